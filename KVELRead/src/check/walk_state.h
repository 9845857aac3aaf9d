// What the event walk and its rules carry from record to record. The walk
// keeps it in a local, where the compiler can hold it in registers, and
// hands the per-check-run parts back to the Check at its end.
#pragma once

#include <cstdint>

#include "check/checkers.h"

namespace kvel {

// The walk's own ordering of the records: bar and beat of the last record
// with a bar (bar-major order is the order of barBeat = bar << 4 | beat) and
// the sample position of the last record.
struct Order {
    uint16_t previousBarBeat;
    int32_t previousSample;

    bool operator==(const Order&) const = default;
};

struct WalkState {
    ZoneSegment segment;  // the zone lookup's answer for the current record
    Order order;
    bool afterTerminator;  // the last zone event was the zone terminator
    // Entries 1, 8, 9 and 16 of the previous-position table.
    int32_t beatPosition, chordPosition, absoluteChordPosition, melodyPosition;
    BeatBarState beatBar;
    OutlineFacts outline;

    bool operator==(const WalkState&) const = default;
};

// What every record is held to, fixed for a walk.
struct WalkLimits {
    int32_t totalSamples;
    int32_t totalBarCount;
    int32_t highestBarBeat;  // highestQuietBarBeat(totalBarCount)
    const uint8_t* kinds;    // WalkTables::kinds
};

inline WalkState beginWalk(const Check& c) {
    WalkState w;
    // Empty: the first lookup fills it.
    w.segment = ZoneSegment{.first = 0, .zone = -1, .end = 0, .index = UINT32_MAX, .meterNumerator = 0};
    w.order = Order{0, kNoPreviousPosition};  // bar 0, beat 0; no sample yet
    w.afterTerminator = false;
    w.beatPosition = c.run.previousPosition[KVEL_CATEGORY_BEAT];
    w.chordPosition = c.run.previousPosition[KVEL_CATEGORY_CHORD];
    w.absoluteChordPosition = c.run.previousPosition[KVEL_CATEGORY_ABSOLUTE_CHORD];
    w.melodyPosition = c.run.previousPosition[KVEL_CATEGORY_MELODY];
    w.beatBar = c.beatBar;
    w.outline = c.run.outline;
    return w;
}

inline void endWalk(Check& c, const WalkState& w) {
    c.run.previousPosition[KVEL_CATEGORY_BEAT] = w.beatPosition;
    c.run.previousPosition[KVEL_CATEGORY_CHORD] = w.chordPosition;
    c.run.previousPosition[KVEL_CATEGORY_ABSOLUTE_CHORD] = w.absoluteChordPosition;
    c.run.previousPosition[KVEL_CATEGORY_MELODY] = w.melodyPosition;
    c.beatBar = w.beatBar;
    c.run.outline = w.outline;
}

}  // namespace kvel
