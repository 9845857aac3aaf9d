// Zone value checks: tempo, meter, bar count, key and scale, reserved bytes,
// and the total bar count that the event walk compares bar numbers with.
// Written once, over a reporting policy (report.h): the zone checker probes
// a zone with it before it reports.
#pragma once

#include <cstring>
#include <initializer_list>

#include "check/report.h"

namespace kvel {

// Whether v is one of `values` (all below 32). A mask test rather than a
// search, which would branch differently for each value a file mixes.
constexpr bool oneOf(uint32_t v, std::initializer_list<uint32_t> values) {
    uint32_t set = 0;
    for (uint32_t x : values) set |= 1u << x;
    return v < 32 && ((set >> v) & 1);
}

// The tempo truncated toward zero. Values that no 32-bit integer holds (and
// infinities) give INT32_MIN, the integer-indefinite value of the x86
// truncating conversion, instead of undefined behaviour.
inline uint32_t truncatedTempo(float bpm) {
    if (!(bpm > -2147483648.0f && bpm < 2147483648.0f)) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int32_t>(bpm));
}

// Whether the reserved bytes are all zero, as they nearly always are: three
// words show it at once (the last two overlap). Read straight from the
// record: a copy to the stack read back in other widths stalls on every zone.
inline bool reservedZero(const unsigned char* R) {
    const auto word = [R](size_t at) {
        uint64_t v;
        std::memcpy(&v, R + at, sizeof v);
        return v;
    };
    return (word(zr::reservedBegin) | word(zr::reservedBegin + 8) | word(zr::reservedEnd - 8)) == 0;
}

// Zone record R with index i; adds its bars to `totalBarCount` (or sets it
// to -1 for an invalid meter) unless a Probe stops it.
template <class Report>
KVEL_RULE bool zoneValues(const unsigned char* R, uint32_t i, int32_t& totalBarCount, const Report& report) {
    const uint32_t r = kZoneSubFrameOffset + zs::records + kZoneRecordSize * i;

    float bpm;
    std::memcpy(&bpm, R + zr::bpm, sizeof bpm);
    if ((bpm < 30.0f || bpm > 240.0f) && !report.warning(-12001, r + zr::bpm, 1, truncatedTempo(bpm))) return false;

    const uint8_t d = R[zr::meterDenominator];
    const uint8_t m = R[zr::meterNumerator];
    const bool invalidMeter = d == 0xFF && m == 0xFF;
    if (!invalidMeter) {
        if (d < 2 || d > 64) {
            if (!report.error(-2021, r + zr::meterDenominator, 1, d)) return false;
        } else if (!oneOf(d, {2, 4, 8, 16}) && !report.warning(-12002, r + zr::meterDenominator, 1, d)) {
            return false;
        }
        if (m < 2 || m > 64) {
            if (!report.error(-2022, r + zr::meterNumerator, 1, m)) return false;
        } else if (!oneOf(m, {2, 3, 4, 5, 6, 8, 12, 16}) && !report.warning(-12003, r + zr::meterNumerator, 1, m)) {
            return false;
        }
    }

    const uint16_t bars = readHost16(R + zr::barCount);
    int32_t total;
    if (invalidMeter) {
        if (bars != 0xFFFF && !report.error(-2030, r + zr::barCount, 1, bars)) return false;
        total = -1;
    } else {
        if (bars == 0) {
            if (!report.error(-2023, r + zr::barCount, 1, bars)) return false;
        } else if (bars > 500 && !report.warning(-12004, r + zr::barCount, 1, bars)) {
            return false;
        }
        total = static_cast<int32_t>(static_cast<uint32_t>(totalBarCount) + bars);
    }

    const uint16_t k = readHost16(R + zr::key);
    if (k & 0x0C00) {
        if (!report.error(-2024, r + zr::key, 1, k)) return false;
    } else {
        const uint32_t keyNumber = k & 0x7F;
        const uint32_t scale = (k >> 8) & 0x3;
        if ((keyNumber == 0 || (keyNumber > 13 && keyNumber != 0x7F)) && !report.error(-2024, r + zr::key, 1, k))
            return false;
        if ((k & 0x80) && scale != 0 && !report.error(-2025, r + zr::key, 1, k)) return false;
        if (scale == 3 && !report.warning(-12005, r + zr::key, 1, k)) return false;
    }

    // In memory order after conversion, so the first non-zero byte of a
    // reserved field is its least significant one on a little-endian host.
    if (!reservedZero(R)) {
        for (uint32_t j = zr::reservedBegin; j < zr::reservedEnd; ++j) {
            if (R[j] != 0) {
                if (!report.error(-2026, r + j, 1, R[j])) return false;
                break;
            }
        }
    }
    totalBarCount = total;
    return true;
}

}  // namespace kvel
