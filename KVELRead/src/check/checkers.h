// The checkers that the check driver runs, and the rules the event walk calls.
// Each returns its problem count: 0 or minus the number of problems raised.
#pragma once

#include <cstdint>

#include "check/check_run.h"

namespace kvel {

int32_t checkMainHeader();
int32_t checkZones();
int32_t checkZoneValues(const unsigned char* record, uint32_t index);  // also sums the bars
int32_t checkEventSubFrame();
int32_t walkEvents();

int32_t beatRule(int32_t eventPosition, uint32_t recordOffset, const Event& event);
int32_t chordRule(uint32_t recordOffset, const Event& event);
int32_t absoluteChordRule(uint32_t recordOffset, const Event& event);
int32_t melodyRule(uint32_t recordOffset, const Event& event);
int32_t outlineRule(uint32_t recordOffset, const Event& event);

// Index of the first zone, in record order, with start <= position < end
// (signed comparisons), or -1 when no zone contains it.
int32_t findZone(int32_t eventPosition);

}  // namespace kvel
