// The event walk's quiet path: the records that raise nothing, taken with
// the category rules probing and the walk's state held in registers.
//
// The category rules are the walk's own (chord_rules.h, melody_rule.h,
// outline_rule.h), instantiated with the Probe policy. Two things take a
// shape of their own here, because they are in every record's way:
//   - the tests every record gets (record_rule.h): along a run of quiet
//     records the bars and sample positions only rise, so "in order and
//     within the totals" is a window that moves with the last record, and
//     its upper ends can be held to once, at the end of a run;
//   - the beat rule (beat_rule.h), almost half of all records: its flag
//     tests are made once per check, in the table of quiet kinds built from
//     the rule's own flag definitions, a new zone's count is started when
//     the run enters the zone rather than tested at every beat, and beats
//     are counted a bar at a time.
// Both forms are compared with the reporting ones on every input by the
// quiet-path tests and the paths fuzz target.
#include <algorithm>
#include <array>
#include <cstring>

#include "check/event_walk.h"
#include "check/zone_index.h"

namespace kvel {
namespace {

// What the quiet path does with a record, by the value's bits 21 to 31
// (the top byte and the beat flags).
enum QuietKind : uint8_t {
    kQuietNoRule = kNoRule,  // a declared category without a rule
    // kChordRule, kAbsoluteChordRule, kMelodyRule, kOutlineRule: the rule probes
    kBarStartBeat = 0x10,    // a counted beat that starts a bar
    kUncountedBeat = 0x11,
    kLoud = 0x40,            // the reporting walk: undeclared, or beat flags that are not applicable
    kCountedBeat = 0x80,     // the sign bit: tested before the rest, in one instruction
};

constexpr QuietKind quietKind(uint8_t kind, uint32_t flags) {
    if (kind & kUndeclared) return kLoud;
    if (!(kind & kBeatKind)) return static_cast<QuietKind>(kind);
    const uint32_t value = flags << 21;
    if (invalidBeatFlags(value)) return kLoud;
    return value & kBeatBarStart ? kBarStartBeat : value & kBeatUncounted ? kUncountedBeat : kCountedBeat;
}

// The eight quiet kinds of each record kind, one per value of the flags.
struct QuietRow {
    uint8_t kinds[8];
};
constexpr auto kQuietRows = [] {
    std::array<QuietRow, 256> rows{};
    for (uint32_t kind = 0; kind < 256; ++kind)
        for (uint32_t flags = 0; flags < 8; ++flags) rows[kind].kinds[flags] = quietKind(static_cast<uint8_t>(kind), flags);
    return rows;
}();

}  // namespace

void fillQuietKinds(uint8_t table[2048], const uint8_t kinds[256]) {
    for (uint32_t top = 0; top < 256; ++top) std::memcpy(table + 8 * top, kQuietRows[kinds[top]].kinds, 8);
}

namespace {

// One pass of the quiet path; see quietRun. kBounded: each record is held to
// both ends of its sample and bar ranges. Otherwise the upper ends (the
// total sample count, the highest quiet barBeat) stay out of the loop: the
// records the pass takes have non-decreasing sample positions and barBeats,
// so the last ones taken show whether any went past them. If any did, the
// pass takes its counts back and returns null, leaving the state as it was.
// Aligned so that the loop's speed does not move with the size of unrelated
// code linked before it (by a tenth, measured).
template <bool kBounded>
[[gnu::noinline, gnu::aligned(64)]] const unsigned char* quietPass(const ZoneIndex& index, const unsigned char* r,
                                                                   const unsigned char* const first,
                                                                   const unsigned char* const end, WalkState& state,
                                                                   const WalkLimits& limits, WalkTables& t) {
    const unsigned char* const start = r;
    WalkState w = state;
    const Probe probe;
    uint32_t previousSample = static_cast<uint32_t>(w.order.previousSample);
    // A barred record is quiet when lowest <= barBeat < limit; limit is at
    // most kFirstNoBar, and lowest is raised to it when nothing is quiet.
    const uint32_t limit = static_cast<uint32_t>(limits.highestBarBeat + 1);
    const uint32_t lowest0 = std::min<uint32_t>(w.order.previousBarBeat, limit);
    uint32_t lowest = lowest0;
    uint32_t outlines = 0;
    BeatBarState bar = w.beatBar;
    // Beats are counted by bars, so that a counted beat only adds one to its
    // bar's count: the beats taken are `beats` plus the current bar's count.
    uint32_t beats = 0u - static_cast<uint32_t>(bar.beatsCounted);
    const auto newCount = [&](const BeatBarState& next) {
        beats += static_cast<uint32_t>(bar.beatsCounted);
        bar = next;
    };
    int32_t beatPosition = w.beatPosition;

    const auto stopOf = [&](const ZoneSegment& g) { return g.end < end - first ? first + g.end : end; };
    const unsigned char* stop = stopOf(w.segment);
    // A beat in a new zone starts a new count (and a new first bar).
    bool newZone = w.segment.zone != bar.rememberedZone;
    for (;; r += kEventRecordSize) {
        if (r >= stop) [[unlikely]] {
            // The next segment, while it lies in a zone. Any other step is
            // the caller's: a search would be a call here, and a call in
            // this loop would push its state out of registers.
            if (r >= end) break;
            if (!stepZoneSegment(index, static_cast<int32_t>(r - first), w.segment) || w.segment.zone < 0) break;
            stop = stopOf(w.segment);
            newZone = w.segment.zone != bar.rememberedZone;
        }
        // Every segment this loop reaches lies in a zone: the rules need not
        // test for records outside all zones.
        if (w.segment.zone < 0) __builtin_unreachable();
        const Event e = readEvent(r);
        const int32_t pos = e.position();
        if (pos < static_cast<int32_t>(previousSample)) break;
        if (kBounded && pos > limits.totalSamples) break;
        // A record without a bar is above every limit, and leaves lowest.
        const uint32_t barBeat = e.barBeat;
        uint32_t nextLowest = barBeat;
        if (barBeat < lowest) break;
        if (barBeat >= (kBounded ? limit : kFirstNoBar)) [[unlikely]] {
            if (barBeat < kFirstNoBar) break;
            nextLowest = lowest;
        }
        // The record passes: the window moves on to it.
        const auto taken = [&] {
            previousSample = static_cast<uint32_t>(pos);
            lowest = nextLowest;
        };
        const uint8_t kind = t.quietKinds[e.value >> 21];
        // The two most frequent kinds first. Beats and outline records are
        // counted apart, and go on to the next record themselves.
        if (kind == kQuietNoRule) {
        } else if (kind & kCountedBeat) {
            if (pos == beatPosition) break;
            // Made before the tests end, a new count is what the reporting
            // rule would start with too.
            if (newZone) [[unlikely]] {
                newCount(BeatBarState{w.segment.zone, 0, true});
                newZone = false;
            }
            ++bar.beatsCounted;
            beatPosition = pos;
            taken();
            continue;
        } else if (kind == kBarStartBeat) {
            if (pos == beatPosition) break;
            if (newZone) [[unlikely]] {
                // The zone's first bar starts: its count of 0 passes as the
                // zone's one short first bar unless the meter is 0 as well.
                newCount(BeatBarState{w.segment.zone, 1, w.segment.meterNumerator == 0});
                newZone = false;
            } else {
                // The first bar of a zone may be short: its mismatch passes once.
                if (bar.beatsCounted != w.segment.meterNumerator) {
                    if (!bar.firstBar) break;
                    bar.firstBar = false;
                }
                newCount(BeatBarState{bar.rememberedZone, 1, bar.firstBar});
            }
            beatPosition = pos;
            taken();
            continue;
        } else if (kind == kUncountedBeat) {
            if (pos == beatPosition) break;
            if (newZone) [[unlikely]] {
                newCount(BeatBarState{w.segment.zone, 0, true});
                newZone = false;
            }
            ++beats;
            beatPosition = pos;
            taken();
            continue;
        } else if (kind == kOutlineRule) {
            // Inside a zone the after-terminator flag changes no test, but
            // the records after this run see it.
            if (!outlineRule(w, r, r - first, e, probe)) break;
            if (isZoneEvent(e.value)) w.afterTerminator = isTerminator(e.value);
            // Counted apart: four begin every zone, and counts in memory
            // would wait for one another.
            ++outlines;
            taken();
            continue;
        } else if (kind == kChordRule) {
            if (!chordRule(w, r, e, probe)) break;
        } else if (kind == kAbsoluteChordRule) {
            if (!absoluteChordRule(w, r, e, probe)) break;
        } else if (kind == kMelodyRule) {
            if (!melodyRule(w, r, e, probe)) break;
        } else {
            break;  // an undeclared category
        }
        ++t.counts[e.value >> 24];
        taken();
    }

    if (!kBounded && (static_cast<int32_t>(previousSample) > limits.totalSamples || lowest >= limit)) {
        for (const unsigned char* q = start; q < r; q += kEventRecordSize) {
            const uint32_t top = readHost32(q + ev::value) >> 24;
            if (!(limits.kinds[top] & kBeatKind) && (limits.kinds[top] & kRuleBits) != kOutlineRule) --t.counts[top];
        }
        return nullptr;
    }
    // previousBarBeat (at least lowest0) changed when lowest did.
    w.order = Order{lowest != lowest0 ? static_cast<uint16_t>(lowest) : w.order.previousBarBeat,
                    static_cast<int32_t>(previousSample)};
    t.counts[KVEL_CATEGORY_OUTLINE] += outlines;
    t.counts[KVEL_CATEGORY_BEAT] += beats + static_cast<uint32_t>(bar.beatsCounted);
    w.beatBar = bar;
    w.beatPosition = beatPosition;
    state = w;
    return r;
}

}  // namespace

// The records from `r` on that raise nothing, through any zone segments
// inside zones: returns the first record that may raise something, the first
// outside every zone or of a segment that does not follow the last one, or
// `end`; the caller looks up its segment again. A record's state changes are
// made only after all its tests pass, so the reporting walk finds the record
// it is handed untouched. The previous barBeat is at least 0x10 (bar 1), and
// r lies in a zone.
const unsigned char* quietRun(const ZoneIndex& index, const unsigned char* r, const unsigned char* const first,
                              const unsigned char* const end, WalkState& w, const WalkLimits& limits,
                              WalkTables& t) {
    // Past the totals no record can be quiet, and no barred one past the
    // highest barBeat: the unbounded pass would be taken back.
    if (w.order.previousSample > limits.totalSamples) return r;
    if (w.order.previousBarBeat <= limits.highestBarBeat) {
        if (const unsigned char* stop = quietPass<false>(index, r, first, end, w, limits, t)) return stop;
    }
    return quietPass<true>(index, r, first, end, w, limits, t);
}

}  // namespace kvel
