// The chord rule (category 8) and the absolute chord rule (category 9). They
// share the sharp/flat test and the same-position test across both categories.
#pragma once

#include "check/report.h"
#include "check/walk_state.h"

namespace kvel {

constexpr uint32_t kChordReserved = 0xE000E0;          // bits 5-7 and 21-23
constexpr uint32_t kAbsoluteChordReserved = 0x800000;  // bit 23
constexpr uint32_t kAbsoluteChordTones = 0x7FFFE0;     // bits 5-22: none set is doubtful

constexpr bool validChordNumber(uint32_t n) {
    return n <= 0x06 || (n >= 0x10 && n <= 0x23) || (n >= 0x40 && n <= 0x57) || (n >= 0x80 && n <= 0x8D) ||
           (n >= 0xB0 && n <= 0xC4);
}

// Flag 3 is invalid unless bits 2-4 are all set.
constexpr bool invalidSharpFlat(uint32_t value) { return (value & 0x1C) != 0x1C && (value & 0x03) == 0x03; }

// A chord of either kind on the sample position of the previous one.
template <class Report>
KVEL_RULE bool sameChordPosition(const WalkState& w, const unsigned char* record, const Event& e, const Report& report) {
    const int32_t pos = e.position();
    return !(pos == w.chordPosition || pos == w.absoluteChordPosition) ||
           report.error(-3203, report.at(record + ev::samplePosition), 1, e.samplePosition);
}

template <class Report>
KVEL_RULE bool chordRule(WalkState& w, const unsigned char* record, const Event& e, const Report& report) {
    const uint32_t at = report.at(record + ev::value);
    if (!validChordNumber((e.value >> 8) & 0xFF) && !report.error(-3201, at, 1, e.value)) return false;
    if (invalidSharpFlat(e.value) && !report.error(-3202, at, 1, e.value)) return false;
    if ((e.value & kChordReserved) && !report.error(-3032, at, 1, e.value)) return false;
    if (!sameChordPosition(w, record, e, report)) return false;
    w.chordPosition = e.position();
    return true;
}

template <class Report>
KVEL_RULE bool absoluteChordRule(WalkState& w, const unsigned char* record, const Event& e, const Report& report) {
    const uint32_t at = report.at(record + ev::value);
    if (invalidSharpFlat(e.value) && !report.error(-3202, at, 1, e.value)) return false;
    if ((e.value & kAbsoluteChordTones) == 0 && !report.warning(-13201, at, 1, e.value)) return false;
    if ((e.value & kAbsoluteChordReserved) && !report.error(-3032, at, 1, e.value)) return false;
    if (!sameChordPosition(w, record, e, report)) return false;
    w.absoluteChordPosition = e.position();
    return true;
}

}  // namespace kvel
