// The per-check-run state that the checkers share, the beat bar state, and
// the problem tally every checker and rule keeps.
#pragma once

#include <cstdint>

#include "format/byte_order.h"
#include "format/frame_layout.h"
#include "interface/error_list.h"

namespace kvel {

// What the outline rule gathers during the event walk, judged after it.
struct OutlineFacts {
    int32_t startEventPosition;  // -1 = none yet
    int32_t endEventPosition;
    int32_t zoneEventCount;
    int32_t zoneTerminator;
    int32_t keyChanges, tempoChanges, meterChanges;
    int32_t zoneEventsAtStarts;  // zone events at the start of the zone they number
};

struct CheckRun {
    bool suppressWarnings;
    bool allowUserCategories;
    uint32_t zoneSubFrameOffset;   // 20: base of the zone checks' offsets
    uint32_t firstEventOffset;     // F: file offset of the first event record
    uint32_t eventSubFrameOffset;  // E: file offset of the event sub-frame
    int32_t totalBarCount;
    uint32_t categoryCounts[256];  // records seen by the walk, per category
    uint8_t declared[256];         // categories in the category table
    int32_t previousPosition[256]; // INT32_MIN = no event seen yet
    OutlineFacts outline;

    // Zone events left to the walk. When the zones follow one another, a
    // quiet zone's start and end events (but the terminator) are not read by
    // the zone checker: the walk, which reads every record anyway, counts
    // the zone events it meets at the start of the zone they number
    // (outline.zoneEventsAtStarts). Unless it meets every zone's, the run is
    // done again with every zone event read.
    bool zoneStartsLeftToWalk;
    // Bounds of this run (not part of the file's semantics): the image, how
    // much of it is held, and the walk's image end, min(20 + totalFrameSize, held).
    const unsigned char* image;
    uint64_t held;
    uint64_t imageEnd;
};

// The beat rule's bar state. Every check run starts it afresh so that
// checking the same image twice gives the same records.
struct BeatBarState {
    int32_t rememberedZone;
    int32_t beatsCounted;
    bool firstBar;
};

extern CheckRun g_run;
extern BeatBarState g_beatBar;

constexpr int32_t kNoPreviousPosition = INT32_MIN;

// Appends one check record. Problems are the exception: keeping the append
// out of line and cold keeps the checks' common paths short.
[[gnu::cold, gnu::noinline]] void raise(int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1,
                                      uint32_t p2, uint32_t p3);

// Minus the number of problems raised; warnings held back are not raised.
struct Tally {
    int32_t result = 0;

    void error(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0,
               uint32_t p2 = 0, uint32_t p3 = 0) {
        raise(code, offset, paramCount, p1, p2, p3);
        --result;
    }
    void warning(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0,
                 uint32_t p2 = 0) {
        if (g_run.suppressWarnings) return;
        error(code, offset, paramCount, p1, p2);
    }
};

// One event record, by value, in host order.
struct Event {
    uint16_t barBeat;
    uint32_t value;
    uint32_t samplePosition;

    int32_t bar() const { return barBeat >> 4; }
    int32_t beat() const { return barBeat & 0xF; }
    uint32_t category() const { return (value >> 24) & 0x7F; }
    int32_t position() const { return static_cast<int32_t>(samplePosition); }
};

inline Event readEvent(const unsigned char* r) {
    return Event{readHost16(r + ev::barBeat), readHost32(r + ev::value), readHost32(r + ev::samplePosition)};
}

// The file offset of a byte of the image being checked. The rules take the
// record's address and work out its offset only when they raise a problem.
inline uint32_t fileOffset(const unsigned char* at) { return static_cast<uint32_t>(at - g_run.image); }

// The record at event position `position` (any alignment), or null when its
// ten bytes are not all held.
inline const unsigned char* eventAtPosition(uint64_t position) {
    const uint64_t at = uint64_t{g_run.firstEventOffset} + position;
    return at + kEventRecordSize <= g_run.held ? g_run.image + at : nullptr;
}

// The record numbered `index` when it lies wholly before the walk's image end.
const unsigned char* readableRecord(uint64_t index);

// Zone sub-frame access. zoneCount() is the image's count, cut to the
// records that are held.
const unsigned char* zoneFrame();
uint16_t zoneCount();
const unsigned char* zoneRecord(uint32_t index);
const unsigned char* eventFrame();

}  // namespace kvel
