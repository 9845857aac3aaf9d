// The chord rule (category 8) and the absolute chord rule (category 9). They
// share the sharp/flat test and the same-position test across both categories.
#pragma once

#include "check/walk_state.h"

namespace kvel {

inline bool validChordNumber(uint32_t n) {
    return n <= 0x06 || (n >= 0x10 && n <= 0x23) || (n >= 0x40 && n <= 0x57) ||
           (n >= 0x80 && n <= 0x8D) || (n >= 0xB0 && n <= 0xC4);
}

// Flag 3 is invalid unless bits 2-4 are all set.
inline bool invalidSharpFlat(uint32_t value) { return (value & 0x1C) != 0x1C && (value & 0x03) == 0x03; }

// A chord of either kind on the sample position of the previous one.
inline void sameChordPosition(WalkState& w, const unsigned char* record, const Event& e, int32_t& own) {
    const int32_t pos = e.position();
    if (pos == w.chordPosition || pos == w.absoluteChordPosition)
        walkError(*w.c, -3203, fileOffset(*w.c, record + ev::samplePosition), 1, e.samplePosition);
    own = pos;
}

inline void chordRule(WalkState& w, const unsigned char* record, const Event& e) {
    const unsigned char* at = record + ev::value;
    if (!validChordNumber((e.value >> 8) & 0xFF)) walkError(*w.c, -3201, fileOffset(*w.c, at), 1, e.value);
    if (invalidSharpFlat(e.value)) walkError(*w.c, -3202, fileOffset(*w.c, at), 1, e.value);
    if (e.value & 0xE000E0) walkError(*w.c, -3032, fileOffset(*w.c, at), 1, e.value);
    sameChordPosition(w, record, e, w.chordPosition);
}

inline void absoluteChordRule(WalkState& w, const unsigned char* record, const Event& e) {
    const unsigned char* at = record + ev::value;
    if (invalidSharpFlat(e.value)) walkError(*w.c, -3202, fileOffset(*w.c, at), 1, e.value);
    if ((e.value & 0x7FFFE0) == 0) walkWarning(*w.c, -13201, fileOffset(*w.c, at), 1, e.value);
    if (e.value & 0x800000) walkError(*w.c, -3032, fileOffset(*w.c, at), 1, e.value);
    sameChordPosition(w, record, e, w.absoluteChordPosition);
}

}  // namespace kvel
