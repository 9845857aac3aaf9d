// Where every field of a KVMF file lies. The sizes and offsets are the
// library's own (format/frame_layout.h, plain constexpr data); this header
// names them for the tools and adds what the library keeps elsewhere or not
// at all: the reserved fields of a zone record, the bit fields of an event
// and a category table entry, and the frame sizes a well-formed file carries.
#pragma once

#include <cstddef>
#include <cstdint>

// A path of its own rather than an include directory: the codec reaches this
// one header of the library's sources and no other.
#include "../KVELRead/src/format/frame_layout.h"

namespace kvcodec {

using kvel::kEventHeaderSize;
using kvel::kEventRecordSize;
using kvel::kMainHeaderSize;
using kvel::kNoPosition;
using kvel::kSignature;
using kvel::kZoneHeaderSize;
using kvel::kZoneRecordSize;
using kvel::kZoneSubFrameOffset;

namespace mh = kvel::mh;  // main header
namespace zs = kvel::zs;  // zone sub-frame header
namespace ev = kvel::ev;  // event record
namespace es = kvel::es;  // event sub-frame header

// The zone record, with the reserved fields the library only skips.
namespace zr {
using namespace kvel::zr;
constexpr size_t reserved0 = reservedBegin;      // 16 bits
constexpr size_t reserved1 = reservedBegin + 2;  // then reserved1..reserved5, 32 bits each
constexpr size_t kReservedWords = (reservedEnd - reserved1) / 4;
static_assert(reserved1 + 4 * kReservedWords == reservedEnd);
}  // namespace zr

// barBeat: bits 4-15 the bar, bits 0-3 the beat.
inline constexpr uint16_t kNoBar = 0xFFF;
constexpr uint16_t barBeat(uint32_t bar, uint32_t beat) { return static_cast<uint16_t>((bar << 4) | (beat & 0xF)); }
constexpr uint16_t barOf(uint16_t barBeat) { return barBeat >> 4; }
constexpr uint8_t beatOf(uint16_t barBeat) { return barBeat & 0xF; }

// An event's value, and likewise a category table entry: bits 24-30 the
// category, bits 0-23 the category data (the event count, in the table).
// Bit 31 belongs to neither.
inline constexpr uint32_t kCategoryShift = 24;
inline constexpr uint32_t kCategoryMask = 0x7F;
inline constexpr uint32_t kDataMask = 0xFFFFFF;
constexpr uint32_t valueWord(uint32_t category, uint32_t data) { return (category << kCategoryShift) | (data & kDataMask); }
constexpr uint8_t categoryOf(uint32_t value) { return (value >> kCategoryShift) & kCategoryMask; }
constexpr uint32_t dataOf(uint32_t value) { return value & kDataMask; }

inline constexpr uint32_t kTerminatorZone = KVEL_ZONE_TERMINATOR;

// Size and position fields as a file whose fields agree carries them. Each
// frame size counts the bytes after its own field.
constexpr uint32_t zoneFrameSize(uint32_t zones) {
    return (kZoneHeaderSize - zs::zoneCount) + kZoneRecordSize * zones;  // the zone count and the records
}
constexpr uint64_t eventSubFrameOffset(uint32_t zoneFrameSize) {
    return uint64_t{kZoneSubFrameOffset} + zs::zoneCount + zoneFrameSize;
}
// The rest of the header, the category table, the body size field and the body.
constexpr uint32_t eventFrameSize(uint32_t categories, uint32_t bodySize) {
    return (kEventHeaderSize - es::headerSize) + 4 * categories + 4 + bodySize;
}
// headerSize counts from the sample rate to the end of the category table.
constexpr uint32_t eventHeaderSize(uint32_t categories) { return kEventHeaderSize - es::sampleRate + 4 * categories; }
using kvel::firstEventOffset;  // inside the event sub-frame, after the table and the body size

}  // namespace kvcodec
