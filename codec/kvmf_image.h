// A KVMF file taken apart field by field, straight from its big-endian
// bytes and bounded by them, so that broken and truncated files can be shown
// too. Every byte of the file lands in exactly one field, in file order, so
// writing the fields back out rebuilds the file byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kvmf_records.h"

namespace kvcodec {

// Where and why taking the file apart had to stop; every byte from `offset`
// on is in `trailing`.
struct Stop {
    uint64_t offset = 0;
    std::string reason;
    bool operator==(const Stop&) const = default;
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
    bool operator==(const Image&) const = default;
};

Image parseImage(std::span<const uint8_t> bytes);
Bytes writeImage(const Image& image);

// File offsets of the sections, as writeImage lays them out.
uint64_t eventSubFrameOffset(const Image& image);
uint64_t firstEventOffset(const Image& image);

}  // namespace kvcodec

// The tool's sources name the codec's types and functions as their own.
namespace kvel_tool {
using namespace kvcodec;
}
