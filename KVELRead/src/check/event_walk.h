// What the event walk's two paths share: the walk's state, and how the
// quiet path (quiet_path.cpp) sorts the records it can take.
#pragma once

#include <cstdint>

#include "check/walk_state.h"

namespace kvel {

constexpr uint16_t kFirstNoBar = 0xFFF0;  // barBeat from here on: bar 0xFFF, no bar

// The walk's own ordering of the records: bar and beat of the last record
// with a bar (bar-major order is the order of barBeat = bar << 4 | beat) and
// the sample position of the last record.
struct Order {
    uint16_t previousBarBeat;
    int32_t previousSample;
};

// The category rules.
enum Rule : uint8_t { kNoRule, kBeatRule, kChordRule, kAbsoluteChordRule, kMelodyRule, kOutlineRule };

inline Rule ruleOf(uint32_t category) {
    switch (category) {
        case 1: return kBeatRule;
        case 8: return kChordRule;
        case 9: return kAbsoluteChordRule;
        case 16: return kMelodyRule;
        case 47: return kOutlineRule;
        default: return kNoRule;
    }
}

// An outline record with code 1, and the zone terminator among those.
inline bool isZoneEvent(const Event& e) { return (e.value & 0x7F) == 1; }
inline bool isTerminator(const Event& e) { return ((e.value >> 7) & 0xFFFF) == 0xFFFF; }

// What the quiet path does with a record, by the value's bits 21 to 31
// (category and bits 21 to 23): the category's rule, with the tests that
// those bits decide already made. kLoud: the full path.
enum Quiet : uint8_t {
    kQuiet,           // a declared category without a rule
    kBarStartBeat,    // a counted beat that starts a bar
    kUncountedBeat,
    kChord,           // bits 21-23 clear
    kAbsoluteChord,   // bit 23 clear
    kMelody,          // bits 21-22 clear
    kOutline,
    kLoud,
    kBeat = 0x80      // a counted beat; a bit of its own, tested before the rest
};

// Fills the Quiet of every value of bits 21 to 31 for the current check
// run's category table.
void fillQuietTable(const Check& c, uint8_t table[2048]);

// Everything the walk carries from record to record.
struct Walk {
    WalkState w;  // the rules' state
    Order order;
    bool afterTerminator;
    uint8_t quiet[2048];   // Quiet by the value's bits 21-31
    uint32_t counts[256];  // records by the value's top byte (bit 7 and the category)
};

// The records from `r` on that raise nothing (quiet_path.cpp). See there.
const unsigned char* quietRun(ZoneIndex& index, const unsigned char* r, const unsigned char* first, const unsigned char* end, Walk& k,
                              int32_t highest, int32_t totalSamples);

}  // namespace kvel
