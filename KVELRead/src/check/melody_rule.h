// The melody rule: reserved bits and repeated sample positions.
#pragma once

#include "check/walk_state.h"

namespace kvel {

inline void melodyRule(WalkState& w, const unsigned char* record, const Event& e) {
    if (e.value & 0x7FF000) walkError(*w.c, -3032, fileOffset(*w.c, record + ev::value), 1, e.value);
    const bool repeated = e.position() == w.melodyPosition;
    w.melodyPosition = e.position();
    if (repeated) walkError(*w.c, -3301, fileOffset(*w.c, record + ev::samplePosition), 1, e.samplePosition);
}

}  // namespace kvel
