// The tests every event record gets, whatever its category: its bar against
// the total and the zones, bar, beat and sample order, its sample position
// against the total, and its category against the category table.
#pragma once

#include "check/outline_rule.h"
#include "check/report.h"
#include "check/walk_state.h"

namespace kvel {

constexpr uint16_t kFirstNoBar = 0xFFF0;  // barBeat from here on: bar 0xFFF, no bar

// The category rules, by category number.
enum Rule : uint8_t { kNoRule, kBeatRule, kChordRule, kAbsoluteChordRule, kMelodyRule, kOutlineRule };

// A record's kind, by the value's top byte: its category's rule, with
// kUndeclared set when the category table does not declare the category.
// Beats, the most frequent category with a rule, have a bit of their own,
// so that the quiet path tests for them apart from the other rules.
constexpr uint8_t kUndeclared = 0x80;
constexpr uint8_t kBeatKind = 0x40;
constexpr uint8_t kRuleBits = 0x0F;

// The highest barBeat that draws none of -3033, -3019 and -3020 inside a
// zone, or -1 when every record with a bar draws one of them.
constexpr int32_t highestQuietBarBeat(int32_t totalBarCount) {
    if (totalBarCount < 1) return -1;
    return ((totalBarCount < (kFirstNoBar >> 4) - 1 ? totalBarCount : (kFirstNoBar >> 4) - 1) << 4) | 0xF;
}

// The record's effect on the walk's order and after-terminator flag goes to
// `next` and `after`, for the caller to keep once the category rule has
// taken the record as well.
template <class Report>
KVEL_RULE bool recordRule(const WalkState& w, const WalkLimits& limits, const unsigned char* record, const Event& e,
                          uint8_t kind, Order& next, bool& after, const Report& report) {
    const uint32_t category = e.category();
    const int32_t pos = e.position();
    const bool barred = e.barBeat < kFirstNoBar;
    // A zone event sets the flag before its own bar test.
    after = (kind & kRuleBits) == kOutlineRule && isZoneEvent(e.value) ? isTerminator(e.value) : w.afterTerminator;
    next = Order{barred ? e.barBeat : w.order.previousBarBeat, pos};
    // The common case at once: no bar, or a bar in order, inside a zone and
    // within the total bar count; a sample position in order and within the
    // total; a declared category. The tests below tell the problems apart.
    const int32_t lowest = w.order.previousBarBeat > 0x10 ? w.order.previousBarBeat : 0x10;
    if ((!barred || (e.barBeat >= lowest && e.barBeat <= limits.highestBarBeat && (w.segment.zone >= 0 || after))) &&
        pos >= w.order.previousSample && pos <= limits.totalSamples && !(kind & kUndeclared)) [[likely]]
        return true;

    if (e.barBeat < 0x10 && !report.error(-3033, report.at(record))) return false;  // bar 0
    if (barred) {
        const int32_t bar = e.bar();
        if (bar > limits.totalBarCount &&
            !report.error(-3019, report.at(record), 2, static_cast<uint32_t>(bar),
                          static_cast<uint32_t>(limits.totalBarCount)))
            return false;
        if (w.segment.zone < 0 && !after && !report.error(-3020, report.at(record))) return false;
        if (e.barBeat < w.order.previousBarBeat) {
            const int32_t previousBar = w.order.previousBarBeat >> 4, previousBeat = w.order.previousBarBeat & 0xF;
            if (bar < previousBar ? !report.error(-3021, report.at(record), 2, static_cast<uint32_t>(bar),
                                                  static_cast<uint32_t>(previousBar))
                                  : !report.error(-3022, report.at(record), 2, static_cast<uint32_t>(e.beat()),
                                                  static_cast<uint32_t>(previousBeat)))
                return false;
        }
    }
    if (pos < w.order.previousSample &&
        !report.error(-3023, report.at(record + ev::samplePosition), 2, e.samplePosition,
                      static_cast<uint32_t>(w.order.previousSample)))
        return false;
    if (pos > limits.totalSamples) {
        const uint32_t at = report.at(record + ev::samplePosition);
        const uint32_t total = static_cast<uint32_t>(limits.totalSamples);
        // Beats and outline events past the end are only doubtful.
        if (category == KVEL_CATEGORY_BEAT || category == KVEL_CATEGORY_OUTLINE
                ? !report.warning(-13005, at, 2, e.samplePosition, total)
                : !report.error(-3024, at, 2, e.samplePosition, total))
            return false;
    }
    // Category 127 is never reported undeclared.
    if ((kind & kUndeclared) && !report.error(-3025, report.at(record + ev::value), 1, category)) return false;
    return true;
}

constexpr Rule ruleOf(uint32_t category) {
    switch (category) {
        case KVEL_CATEGORY_BEAT: return kBeatRule;
        case KVEL_CATEGORY_CHORD: return kChordRule;
        case KVEL_CATEGORY_ABSOLUTE_CHORD: return kAbsoluteChordRule;
        case KVEL_CATEGORY_MELODY: return kMelodyRule;
        case KVEL_CATEGORY_OUTLINE: return kOutlineRule;
        default: return kNoRule;
    }
}

}  // namespace kvel
