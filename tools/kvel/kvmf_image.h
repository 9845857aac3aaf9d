// A KVMF file taken apart field by field, straight from its big-endian
// bytes and bounded by them, so that broken and truncated files can be shown
// too. Every byte of the file lands in exactly one field, in file order, so
// writing the fields back out rebuilds the file byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvel_tool {

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kNoPosition = 0xFFFFFFFF;  // a fade that is not given
inline constexpr uint32_t kMainHeaderSize = 20;
inline constexpr uint32_t kZoneHeaderSize = 6;
inline constexpr uint32_t kZoneRecordSize = 58;
inline constexpr uint32_t kEventHeaderSize = 36;  // up to the category table
inline constexpr uint32_t kEventRecordSize = 10;
inline constexpr uint16_t kNoBar = 0xFFF;
inline constexpr uint32_t kTerminatorZone = 0xFFFF;

struct MainHeader {
    std::array<uint8_t, 4> signature{}, engineId{}, applicationId{};
    uint16_t version = 0, level = 0;
    uint32_t totalFrameSize = 0;
};

struct ZoneHeader {
    uint32_t frameSize = 0;
    uint16_t zoneCount = 0;
};

struct Zone {
    uint16_t zoneNumber = 0;
    uint32_t zoneStartPosition = 0, zoneEndPosition = 0;
    uint32_t fadeInStartPosition = kNoPosition, fadeInEndPosition = kNoPosition;
    uint32_t fadeOutStartPosition = kNoPosition, fadeOutEndPosition = kNoPosition;
    uint32_t bpmBits = 0;  // the IEEE 754 single as stored
    uint8_t meterDenominator = 0, meterNumerator = 0;
    uint16_t barCount = 0, key = 0, reserved0 = 0;
    std::array<uint32_t, 5> reserved{};  // reserved1..reserved5

    float bpm() const;
};

struct EventHeader {
    uint32_t frameSize = 0, headerSize = 0, sampleRate = 0, totalSamples = 0;
    uint32_t effectiveStart = 0, effectiveEnd = 0;
    uint8_t channelCount = 0, bitsPerSample = 0;
    uint16_t categoryCount = 0;
    uint32_t masterTune = 0, totalEventCount = 0;
};

struct Event {
    uint16_t barBeat = 0;
    uint32_t value = 0;
    uint32_t samplePosition = 0;

    uint16_t bar() const { return barBeat >> 4; }
    uint8_t beat() const { return barBeat & 0xF; }
    uint8_t category() const { return (value >> 24) & 0x7F; }
    uint32_t data() const { return value & 0xFFFFFF; }
};

// Where and why taking the file apart had to stop; every byte from `offset`
// on is in `trailing`.
struct Stop {
    uint64_t offset = 0;
    std::string reason;
};

// The sections in file order. A section that is absent (after a stop) is
// not written; `trailing` always comes last.
struct Image {
    std::optional<MainHeader> mainHeader;
    std::optional<ZoneHeader> zoneHeader;
    std::vector<Zone> zones;  // the records that lie before the event sub-frame
    Bytes zoneGap;            // bytes between the last record and the event sub-frame
    std::optional<EventHeader> eventHeader;
    std::vector<uint32_t> categories;
    std::optional<uint32_t> eventBodySize;
    std::vector<Event> events;
    Bytes trailing;  // bytes beyond the last record (or beyond the stop)
    std::optional<Stop> stop;
};

Image parseImage(std::span<const uint8_t> bytes);
Bytes writeImage(const Image& image);

// File offsets of the sections, as writeImage lays them out.
uint64_t eventSubFrameOffset(const Image& image);
uint64_t firstEventOffset(const Image& image);

}  // namespace kvel_tool
