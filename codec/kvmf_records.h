// The frames and records of a KVMF file as host-order fields, and their
// writing to and reading from file bytes. Every field is kept as stored, so
// any file, broken ones too, reads back and writes out unchanged. put() and
// get() are inline: the benchmarks write 10^7 events through put().
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "kvmf_bytes.h"
#include "kvmf_layout.h"

namespace kvcodec {

using Id = std::array<uint8_t, 4>;  // signature, engine and application IDs
inline constexpr Id kSignatureId = {kSignature[0], kSignature[1], kSignature[2], kSignature[3]};

struct MainHeader {
    Id signature{}, engineId{}, applicationId{};
    uint16_t version = 0, level = 0;
    uint32_t totalFrameSize = 0;
    bool operator==(const MainHeader&) const = default;
};

struct ZoneHeader {
    uint32_t frameSize = 0;
    uint16_t zoneCount = 0;
    bool operator==(const ZoneHeader&) const = default;
};

struct Zone {
    uint16_t zoneNumber = 0;
    uint32_t zoneStartPosition = 0, zoneEndPosition = 0;
    uint32_t fadeInStartPosition = kNoPosition, fadeInEndPosition = kNoPosition;
    uint32_t fadeOutStartPosition = kNoPosition, fadeOutEndPosition = kNoPosition;
    uint32_t bpmBits = 0;  // the IEEE 754 single as stored
    uint8_t meterDenominator = 0, meterNumerator = 0;
    uint16_t barCount = 0, key = 0, reserved0 = 0;
    std::array<uint32_t, zr::kReservedWords> reserved{};  // reserved1..reserved5

    float bpm() const { return std::bit_cast<float>(bpmBits); }
    bool operator==(const Zone&) const = default;
};

// Up to and including totalEventCount; the category table follows.
struct EventHeader {
    uint32_t frameSize = 0, headerSize = 0, sampleRate = 0, totalSamples = 0;
    uint32_t effectiveStart = 0, effectiveEnd = 0;
    uint8_t channelCount = 0, bitsPerSample = 0;
    uint16_t categoryCount = 0;
    uint32_t masterTune = 0, totalEventCount = 0;
    bool operator==(const EventHeader&) const = default;
};

struct Event {
    uint16_t barBeat = 0;
    uint32_t value = 0;
    uint32_t samplePosition = 0;

    uint16_t bar() const { return barOf(barBeat); }
    uint8_t beat() const { return beatOf(barBeat); }
    uint8_t category() const { return categoryOf(value); }
    uint32_t data() const { return dataOf(value); }
    bool operator==(const Event&) const = default;
};

// The size of each record in the file.
template <class R>
inline constexpr uint32_t kSizeOf = 0;
template <>
inline constexpr uint32_t kSizeOf<MainHeader> = kMainHeaderSize;
template <>
inline constexpr uint32_t kSizeOf<ZoneHeader> = kZoneHeaderSize;
template <>
inline constexpr uint32_t kSizeOf<Zone> = kZoneRecordSize;
template <>
inline constexpr uint32_t kSizeOf<EventHeader> = kEventHeaderSize;
template <>
inline constexpr uint32_t kSizeOf<Event> = kEventRecordSize;

// Each record's fields with their offsets, in file order, listed once:
// put() and get() are both made from these lists, so reading and writing
// cannot disagree. `field` is called as field(offset, member); the record is
// const for a put.

template <class R, class F>
    requires std::same_as<std::remove_const_t<R>, MainHeader>
constexpr void fields(R& h, F&& field) {
    field(mh::signature, h.signature);
    field(mh::engineId, h.engineId);
    field(mh::applicationId, h.applicationId);
    field(mh::version, h.version);
    field(mh::level, h.level);
    field(mh::totalFrameSize, h.totalFrameSize);
}

template <class R, class F>
    requires std::same_as<std::remove_const_t<R>, ZoneHeader>
constexpr void fields(R& h, F&& field) {
    field(zs::frameSize, h.frameSize);
    field(zs::zoneCount, h.zoneCount);
}

template <class R, class F>
    requires std::same_as<std::remove_const_t<R>, Zone>
constexpr void fields(R& z, F&& field) {
    field(zr::zoneNumber, z.zoneNumber);
    field(zr::zoneStart, z.zoneStartPosition);
    field(zr::zoneEnd, z.zoneEndPosition);
    field(zr::fadeInStart, z.fadeInStartPosition);
    field(zr::fadeInEnd, z.fadeInEndPosition);
    field(zr::fadeOutStart, z.fadeOutStartPosition);
    field(zr::fadeOutEnd, z.fadeOutEndPosition);
    field(zr::bpm, z.bpmBits);
    field(zr::meterDenominator, z.meterDenominator);
    field(zr::meterNumerator, z.meterNumerator);
    field(zr::barCount, z.barCount);
    field(zr::key, z.key);
    field(zr::reserved0, z.reserved0);
    field(zr::reserved1, z.reserved);
}

template <class R, class F>
    requires std::same_as<std::remove_const_t<R>, EventHeader>
constexpr void fields(R& h, F&& field) {
    field(es::frameSize, h.frameSize);
    field(es::headerSize, h.headerSize);
    field(es::sampleRate, h.sampleRate);
    field(es::totalSamples, h.totalSamples);
    field(es::effectiveStart, h.effectiveStart);
    field(es::effectiveEnd, h.effectiveEnd);
    field(es::channelCount, h.channelCount);
    field(es::bitsPerSample, h.bitsPerSample);
    field(es::categoryCount, h.categoryCount);
    field(es::masterTune, h.masterTune);
    field(es::totalEventCount, h.totalEventCount);
}

template <class R, class F>
    requires std::same_as<std::remove_const_t<R>, Event>
constexpr void fields(R& e, F&& field) {
    field(ev::barBeat, e.barBeat);
    field(ev::value, e.value);
    field(ev::samplePosition, e.samplePosition);
}

// A field's bytes follow from its type: one byte, 16 or 32 bits
// big-endian, or an array of those in a row.
struct FieldWriter {
    uint8_t* p;
    template <class T>
    void operator()(size_t at, const T& v) const {
        if constexpr (std::is_same_v<T, uint8_t>)
            p[at] = v;
        else if constexpr (std::is_same_v<T, uint16_t>)
            put16(p + at, v);
        else if constexpr (std::is_same_v<T, uint32_t>)
            put32(p + at, v);
        else
            for (size_t i = 0; i < v.size(); ++i) (*this)(at + sizeof v[0] * i, v[i]);
    }
};

struct FieldReader {
    const uint8_t* p;
    template <class T>
    void operator()(size_t at, T& v) const {
        if constexpr (std::is_same_v<T, uint8_t>)
            v = p[at];
        else if constexpr (std::is_same_v<T, uint16_t>)
            v = get16(p + at);
        else if constexpr (std::is_same_v<T, uint32_t>)
            v = get32(p + at);
        else
            for (size_t i = 0; i < v.size(); ++i) (*this)(at + sizeof v[0] * i, v[i]);
    }
};

// Writes exactly kSizeOf<R> bytes at p; the caller makes sure they are there.
template <class R>
void put(uint8_t* p, const R& record) {
    fields(record, FieldWriter{p});
}

// Reads a record from the kSizeOf<R> bytes at p.
template <class R>
R get(const uint8_t* p) {
    R record;
    fields(record, FieldReader{p});
    return record;
}

// Every byte of each record lies in exactly one field: each field begins
// where the one before it ends, and the last ends at the record's size.
struct FieldCover {
    size_t end = 0;
    bool contiguous = true;
    template <class T>
    constexpr void operator()(size_t at, const T&) {
        contiguous = contiguous && at == end;
        end = at + sizeof(T);
    }
};

template <class R>
constexpr bool coversRecord() {
    R record{};
    FieldCover cover;
    fields(record, cover);
    return cover.contiguous && cover.end == kSizeOf<R>;
}

static_assert(coversRecord<MainHeader>() && coversRecord<ZoneHeader>() && coversRecord<Zone>() &&
              coversRecord<EventHeader>() && coversRecord<Event>());

}  // namespace kvcodec
