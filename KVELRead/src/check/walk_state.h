// What the event walk and the category rules carry from record to record.
// The walk keeps it in a local, where the compiler can hold it in registers,
// and hands the per-check-run parts back to the Check at its end.
#pragma once

#include <cstdint>

#include "check/checkers.h"

namespace kvel {

struct WalkState {
    Check* c;
    ZoneSegment segment;  // the zone lookup's last answer
    // Entries 1, 8, 9 and 16 of the previous-position table.
    int32_t beatPosition, chordPosition, absoluteChordPosition, melodyPosition;
    BeatBarState beatBar;
    OutlineFacts outline;
};

// The walk and its rules raise their problems through these. They append
// the record and count it for the walk's result, so that a record which
// raises nothing costs no bookkeeping. walkWarning raises nothing when
// warnings are held back.
[[gnu::cold, gnu::noinline]] void walkError(Check& c, int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0,
                                          uint32_t p2 = 0);
[[gnu::cold, gnu::noinline]] void walkWarning(Check& c, int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1,
                                            uint32_t p2 = 0);

inline WalkState beginWalk(Check& c) {
    WalkState w;
    w.c = &c;
    w.segment = ZoneSegment{0, 0, -1, 0};  // empty: the first lookup fills it
    w.beatPosition = c.run.previousPosition[1];
    w.chordPosition = c.run.previousPosition[8];
    w.absoluteChordPosition = c.run.previousPosition[9];
    w.melodyPosition = c.run.previousPosition[16];
    w.beatBar = c.beatBar;
    w.outline = c.run.outline;
    return w;
}

inline void endWalk(Check& c, const WalkState& w) {
    c.run.previousPosition[1] = w.beatPosition;
    c.run.previousPosition[8] = w.chordPosition;
    c.run.previousPosition[9] = w.absoluteChordPosition;
    c.run.previousPosition[16] = w.melodyPosition;
    c.beatBar = w.beatBar;
    c.run.outline = w.outline;
}

}  // namespace kvel
