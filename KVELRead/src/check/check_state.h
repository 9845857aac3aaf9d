// What a check run reads, keeps and reports to. A reader holds one Check and
// hands the driver its image and its error list; nothing of a check lives
// anywhere else, so checks on different readers never meet.
#pragma once

#include <cstdint>

#include "check/walk_tables.h"
#include "format/byte_order.h"
#include "format/frame_layout.h"
#include "interface/error_list.h"

namespace kvel {

// The loaded image as the checks see it: converted frames, read only.
struct CheckImage {
    const unsigned char* image;  // the main header is here
    uint64_t held;               // bytes held from `image`; nothing at or beyond is read
    const unsigned char* zoneSubFrame;
    const unsigned char* eventSubFrame;
    const unsigned char* firstEvent;
    int32_t eventBodySize;
    uint32_t fileSize;           // 0: no file size to hold totalFrameSize to
};

// What the outline rule gathers during the event walk, judged after it.
struct OutlineFacts {
    int32_t startEventPosition;  // -1 = none yet
    int32_t endEventPosition;
    int32_t zoneEventCount;
    int32_t zoneTerminator;
    int32_t keyChanges, tempoChanges, meterChanges;
    int32_t zoneEventsAtStarts;  // zone events at the start of the zone they number

    bool operator==(const OutlineFacts&) const = default;
};

// The per-check-run state the checkers share, reset by every run.
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
    // taken back and done again with every zone event read.
    bool zoneStartsLeftToWalk;
    // The walk's image end (not part of the file's semantics):
    // min(20 + totalFrameSize, held).
    uint64_t imageEnd;
};

// The beat rule's bar state. Every check run starts it afresh so that
// checking the same image twice gives the same records.
struct BeatBarState {
    int32_t rememberedZone;
    int32_t beatsCounted;
    bool firstBar;

    bool operator==(const BeatBarState&) const = default;
};

struct ZoneIndex;

struct Check {
    CheckRun run;
    BeatBarState beatBar;
    ZoneIndex* zoneIndex;  // allocated on the reader's first check, kept until it goes
    WalkTables walk;
    // Whether the zone checker and the walk take the zones and records that
    // raise nothing on their quiet paths (the default). Turned off, every
    // zone and record gets every test in full: the tests compare the two.
    bool quietPaths;
    // Threads the walk may use (the reader's setting), the fewest records
    // it splits between two, and the splits whose second part was kept or
    // walked again.
    unsigned threads;
    uint64_t splitFrom;
    uint32_t splitsKept, splitsRefused;
    // This run's input and sink, and the problems it has raised.
    const CheckImage* in;
    ErrorList* errors;
    int32_t problems;
};

void initCheckState(Check& c);
void releaseCheckState(Check& c);

constexpr int32_t kNoPreviousPosition = INT32_MIN;

// Checks `image`, appending to `errors`; returns 0 or minus the problems
// raised. Allocates the zone index on the first run: -1 with nothing done
// when it cannot.
int32_t checkImage(Check& c, const CheckImage& image, ErrorList& errors, int suppressWarnings,
                   int allowUserCategories);

// Appends one check record and counts it. Problems are the exception:
// keeping the append out of line and cold keeps the checks' common paths
// short.
[[gnu::cold, gnu::noinline]] void raise(Check& c, int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1,
                                      uint32_t p2, uint32_t p3);

// Minus the number of problems raised; warnings held back are not raised.
struct Tally {
    Check& c;
    int32_t result = 0;

    void error(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0, uint32_t p2 = 0,
               uint32_t p3 = 0) {
        raise(c, code, offset, paramCount, p1, p2, p3);
        --result;
    }
    void warning(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0, uint32_t p2 = 0) {
        if (c.run.suppressWarnings) return;
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
inline uint32_t fileOffset(const Check& c, const unsigned char* at) { return static_cast<uint32_t>(at - c.in->image); }

// The record at event position `position` (any alignment), or null when its
// ten bytes are not all held.
inline const unsigned char* eventAtPosition(const Check& c, uint64_t position) {
    const uint64_t at = uint64_t{c.run.firstEventOffset} + position;
    return at + kEventRecordSize <= c.in->held ? c.in->image + at : nullptr;
}

// The record numbered `index` when it lies wholly before the walk's image end.
inline const unsigned char* readableRecord(const Check& c, uint64_t index) {
    const uint64_t at = uint64_t{c.run.firstEventOffset} + kEventRecordSize * index;
    return at + kEventRecordSize <= c.run.imageEnd ? c.in->image + at : nullptr;
}

// Zone sub-frame access. zoneCount() is the image's count, cut to the
// records that are held.
inline const unsigned char* zoneFrame(const Check& c) { return c.in->zoneSubFrame; }
uint16_t zoneCount(const Check& c);
inline const unsigned char* zoneRecord(const Check& c, uint32_t index) {
    return c.in->zoneSubFrame + zs::records + uint64_t{kZoneRecordSize} * index;
}
inline const unsigned char* eventFrame(const Check& c) { return c.in->eventSubFrame; }

}  // namespace kvel
