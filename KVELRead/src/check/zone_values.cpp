// Zone value checks: tempo, meter, bar count, key and scale, reserved bytes,
// and the total bar count that the event walk compares bar numbers with.
#include <initializer_list>
#include <cstring>

#include "check/checkers.h"

namespace kvel {
namespace {

// The tempo truncated toward zero. Values that no 32-bit integer holds (and
// infinities) give INT32_MIN, the integer-indefinite value of the x86 truncating
// conversion, instead of undefined behaviour.
uint32_t truncatedTempo(float bpm) {
    if (!(bpm > -2147483648.0f && bpm < 2147483648.0f)) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int32_t>(bpm));
}

// Whether v is one of `values` (all below 32). A mask test rather than a
// search, which would branch differently for each value a file mixes.
constexpr bool oneOf(uint32_t v, std::initializer_list<uint32_t> values) {
    uint32_t set = 0;
    for (uint32_t x : values) set |= 1u << x;
    return v < 32 && ((set >> v) & 1);
}

// Whether the reserved bytes are all zero, as they nearly always are: three
// words show it at once (the last two overlap). Read straight from the
// record: a copy to the stack read back in other widths stalls on every zone.
bool reservedZero(const unsigned char* R) {
    const auto word = [R](size_t at) {
        uint64_t v;
        std::memcpy(&v, R + at, sizeof v);
        return v;
    };
    return (word(zr::reservedBegin) | word(zr::reservedBegin + 8) | word(zr::reservedEnd - 8)) == 0;
}

}  // namespace

bool quietZoneValues(Check& c, const unsigned char* R) {
    float bpm;
    std::memcpy(&bpm, R + zr::bpm, sizeof bpm);
    const uint8_t d = R[zr::meterDenominator], m = R[zr::meterNumerator];
    const uint16_t bars = readHost16(R + zr::barCount), k = readHost16(R + zr::key);
    const uint32_t keyNumber = k & 0x7F, scale = (k >> 8) & 0x3;
    // Each test is the negation of one problem that checkZoneValues (below)
    // raises, warnings included.
    const bool quiet = bpm >= 30.0f && bpm <= 240.0f && oneOf(d, {2, 4, 8, 16}) &&
                       oneOf(m, {2, 3, 4, 5, 6, 8, 12, 16}) && bars >= 1 && bars <= 500 && (k & 0x0C00) == 0 &&
                       (keyNumber - 1 < 13 || keyNumber == 0x7F) && (!(k & 0x80) || scale == 0) && scale != 3 &&
                       reservedZero(R);
    if (quiet) c.run.totalBarCount = static_cast<int32_t>(static_cast<uint32_t>(c.run.totalBarCount) + bars);
    return quiet;
}

int32_t checkZoneValues(Check& c, const unsigned char* R, uint32_t i) {
    const uint32_t r = c.run.zoneSubFrameOffset + zs::records + kZoneRecordSize * i;
    Tally tally{c};

    float bpm;
    std::memcpy(&bpm, R + zr::bpm, sizeof bpm);
    if (bpm < 30.0f || bpm > 240.0f) tally.warning(-12001, r + zr::bpm, 1, truncatedTempo(bpm));

    const uint8_t d = R[zr::meterDenominator];
    const uint8_t m = R[zr::meterNumerator];
    const bool invalidMeter = d == 0xFF && m == 0xFF;
    if (!invalidMeter) {
        if (d < 2 || d > 64)
            tally.error(-2021, r + zr::meterDenominator, 1, d);
        else if (!oneOf(d, {2, 4, 8, 16}))
            tally.warning(-12002, r + zr::meterDenominator, 1, d);
        if (m < 2 || m > 64)
            tally.error(-2022, r + zr::meterNumerator, 1, m);
        else if (!oneOf(m, {2, 3, 4, 5, 6, 8, 12, 16}))
            tally.warning(-12003, r + zr::meterNumerator, 1, m);
    }

    const uint16_t bars = readHost16(R + zr::barCount);
    if (invalidMeter) {
        if (bars != 0xFFFF) tally.error(-2030, r + zr::barCount, 1, bars);
        c.run.totalBarCount = -1;
    } else {
        if (bars == 0)
            tally.error(-2023, r + zr::barCount, 1, bars);
        else if (bars > 500)
            tally.warning(-12004, r + zr::barCount, 1, bars);
        c.run.totalBarCount = static_cast<int32_t>(static_cast<uint32_t>(c.run.totalBarCount) + bars);
    }

    const uint16_t k = readHost16(R + zr::key);
    if (k & 0x0C00) {
        tally.error(-2024, r + zr::key, 1, k);
    } else {
        const uint32_t keyNumber = k & 0x7F;
        const uint32_t scale = (k >> 8) & 0x3;
        if (keyNumber == 0 || (keyNumber > 13 && keyNumber != 0x7F)) tally.error(-2024, r + zr::key, 1, k);
        if ((k & 0x80) && scale != 0) tally.error(-2025, r + zr::key, 1, k);
        if (scale == 3) tally.warning(-12005, r + zr::key, 1, k);
    }

    // In memory order after conversion, so the first non-zero byte of a
    // reserved field is its least significant one on a little-endian host.
    if (!reservedZero(R)) {
        for (uint32_t j = zr::reservedBegin; j < zr::reservedEnd; ++j) {
            if (R[j] != 0) {
                tally.error(-2026, r + j, 1, R[j]);
                break;
            }
        }
    }
    return tally.result;
}

}  // namespace kvel
