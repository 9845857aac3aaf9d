// The chord rule (category 8) and the absolute chord rule (category 9). They
// share the sharp/flat test and the same-position test across both categories.
#include "check/checkers.h"

namespace kvel {
namespace {

bool validChordNumber(uint32_t n) {
    return n <= 0x06 || (n >= 0x10 && n <= 0x23) || (n >= 0x40 && n <= 0x57) ||
           (n >= 0x80 && n <= 0x8D) || (n >= 0xB0 && n <= 0xC4);
}

// Flag 3 is invalid unless bits 2-4 are all set.
bool invalidSharpFlat(uint32_t value) { return (value & 0x1C) != 0x1C && (value & 0x03) == 0x03; }

void samePosition(uint32_t recordOffset, const Event& e, int own, Tally& tally) {
    const int32_t pos = e.position();
    if (pos == g_run.previousPosition[8] || pos == g_run.previousPosition[9])
        tally.error(-3203, recordOffset + ev::samplePosition, 1, e.samplePosition);
    g_run.previousPosition[own] = pos;
}

}  // namespace

int32_t chordRule(uint32_t recordOffset, const Event& e) {
    Tally tally;
    const uint32_t at = recordOffset + ev::value;
    if (!validChordNumber((e.value >> 8) & 0xFF)) tally.error(-3201, at, 1, e.value);
    if (invalidSharpFlat(e.value)) tally.error(-3202, at, 1, e.value);
    if (e.value & 0xE000E0) tally.error(-3032, at, 1, e.value);
    samePosition(recordOffset, e, 8, tally);
    return tally.result;
}

int32_t absoluteChordRule(uint32_t recordOffset, const Event& e) {
    Tally tally;
    const uint32_t at = recordOffset + ev::value;
    if (invalidSharpFlat(e.value)) tally.error(-3202, at, 1, e.value);
    if ((e.value & 0x7FFFE0) == 0) tally.warning(-13201, at, 1, e.value);
    if (e.value & 0x800000) tally.error(-3032, at, 1, e.value);
    samePosition(recordOffset, e, 9, tally);
    return tally.result;
}

}  // namespace kvel
