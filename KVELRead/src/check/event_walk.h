// One event record through the walk: the tests every record gets, then its
// category's rule. Written once; the walk takes a record with the Full
// policy, the quiet path (quiet_path.cpp) with the Probe one.
#pragma once

#include <array>
#include <cstdint>

#include "check/beat_rule.h"
#include "check/chord_rules.h"
#include "check/melody_rule.h"
#include "check/outline_rule.h"
#include "check/record_rule.h"
#include "check/walk_state.h"

namespace kvel {

// The kind of every top byte of a value, for a walk over a file that
// declares `declared`.
inline constexpr auto kKindOfCategory = [] {
    std::array<uint8_t, 128> kinds{};
    for (uint32_t category = 0; category < 128; ++category) {
        const Rule rule = ruleOf(category);
        kinds[category] = static_cast<uint8_t>(rule | (rule == kBeatRule ? kBeatKind : 0));
    }
    return kinds;
}();

inline void fillKinds(uint8_t kinds[256], const uint8_t declared[256]) {
    for (uint32_t top = 0; top < 256; ++top) {
        const uint32_t category = top & 0x7F;
        const bool undeclared = !declared[category] && category < 127;
        kinds[top] = static_cast<uint8_t>(kKindOfCategory[category] | (undeclared ? kUndeclared : 0));
    }
}

// `position` is the record's event position; `counts` counts records by the
// value's top byte. With a Probe, nothing changes unless every test passes.
template <class Report>
KVEL_RULE bool walkRecord(WalkState& w, const WalkLimits& limits, const unsigned char* record, int64_t position,
                          uint32_t counts[256], const Report& report) {
    const Event e = readEvent(record);
    const uint8_t kind = limits.kinds[e.value >> 24];
    Order next;
    bool after;
    if (!recordRule(w, limits, record, e, kind, next, after, report)) return false;
    // The most frequent kinds first.
    const Rule rule = static_cast<Rule>(kind & kRuleBits);
    if (rule == kNoRule) {
    } else if (rule == kBeatRule) {
        if (!beatRule(w, record, e, report)) return false;
    } else {
        bool taken = true;
        switch (rule) {
            case kChordRule: taken = chordRule(w, record, e, report); break;
            case kAbsoluteChordRule: taken = absoluteChordRule(w, record, e, report); break;
            case kMelodyRule: taken = melodyRule(w, record, e, report); break;
            case kOutlineRule: taken = outlineRule(w, record, position, e, report); break;
            case kNoRule: case kBeatRule: break;
        }
        if (!taken) return false;
    }
    w.order = next;
    w.afterTerminator = after;
    ++counts[e.value >> 24];
    return true;
}

// The quiet path's kinds (quiet_path.cpp), from `kinds`.
void fillQuietKinds(uint8_t table[2048], const uint8_t kinds[256]);

// The records from `r` on that raise nothing (quiet_path.cpp).
const unsigned char* quietRun(const ZoneIndex& index, const unsigned char* r, const unsigned char* first,
                              const unsigned char* end, WalkState& w, const WalkLimits& limits, WalkTables& t);

// The walk of the records from `r` up to `end`, `first` being the body's
// first record (event_walk.cpp).
void walkRecords(Check& c, const unsigned char* r, const unsigned char* first, const unsigned char* end,
                 WalkState& w, const WalkLimits& limits, WalkTables& t);

// A walk of at least Check::splitFrom records on a reader that allows two
// threads may be split in two (split_walk.cpp), 2^20 records by default.
constexpr uint64_t kSplitWalkFrom = uint64_t{1} << 20;

// Walks the first part of a split walk and takes the second part's quiet
// run when it holds; returns the record that the walk goes on from (`first`
// when there is no split).
const unsigned char* splitWalk(Check& c, const unsigned char* first, const unsigned char* end, WalkState& w,
                               const WalkLimits& limits, WalkTables& t);

}  // namespace kvel
