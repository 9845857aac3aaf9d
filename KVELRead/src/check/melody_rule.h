// The melody rule: reserved bits and repeated sample positions.
#pragma once

#include "check/report.h"
#include "check/walk_state.h"

namespace kvel {

constexpr uint32_t kMelodyReserved = 0x7FF000;  // bits 12-22

template <class Report>
KVEL_RULE bool melodyRule(WalkState& w, const unsigned char* record, const Event& e, const Report& report) {
    if ((e.value & kMelodyReserved) && !report.error(-3032, report.at(record + ev::value), 1, e.value)) return false;
    if (e.position() == w.melodyPosition &&
        !report.error(-3301, report.at(record + ev::samplePosition), 1, e.samplePosition))
        return false;
    w.melodyPosition = e.position();
    return true;
}

}  // namespace kvel
