// The outline rule: event codes, zone numbering, and the facts that the end
// of the walk and the header checks judge.
#pragma once

#include "check/report.h"
#include "check/walk_state.h"

namespace kvel {

constexpr uint32_t zoneNumberOf(uint32_t value) { return (value >> 7) & 0xFFFF; }

// An outline record with code 1, and the zone terminator among those.
constexpr bool isZoneEvent(uint32_t value) { return (value & 0x7F) == KVEL_OUTLINE_ZONE; }
constexpr bool isTerminator(uint32_t value) { return zoneNumberOf(value) == KVEL_ZONE_TERMINATOR; }

// `position` is the record's event position. Each code makes at most one
// test, before it changes anything.
template <class Report>
KVEL_RULE bool outlineRule(WalkState& w, const unsigned char* record, int64_t position, const Event& e,
                           const Report& report) {
    OutlineFacts& o = w.outline;
    const uint32_t code = e.value & 0x7F;
    // The four codes that begin every zone, as tests in the order they come:
    // a jump table here would follow the walk's own and be mispredicted.
    if (code == KVEL_OUTLINE_ZONE) {
        const uint32_t zoneNumber = zoneNumberOf(e.value);
        if (zoneNumber == KVEL_ZONE_TERMINATOR) {  // the terminator is not numbered
            o.zoneTerminator = 1;
            return true;
        }
        if (zoneNumber != static_cast<uint32_t>(o.zoneEventCount) &&
            !report.error(-3603, report.at(record + ev::value), 1, e.value))
            return false;
        ++o.zoneEventCount;
        // Counted for the zone checker, which may leave these events to the walk.
        if (zoneNumber == static_cast<uint32_t>(w.segment.zone) && position == w.segment.first)
            ++o.zoneEventsAtStarts;
        return true;
    }
    if (code == KVEL_OUTLINE_KEY_CHANGE) {
        ++o.keyChanges;
        return true;
    }
    if (code == KVEL_OUTLINE_TEMPO_CHANGE) {
        ++o.tempoChanges;
        return true;
    }
    if (code == KVEL_OUTLINE_METER_CHANGE) {
        ++o.meterChanges;
        return true;
    }
    switch (code) {
        case KVEL_OUTLINE_START:
            if (o.startEventPosition >= 0) return report.error(-3601, report.at(record + ev::value), 1, e.value);
            o.startEventPosition = e.position();
            break;
        case KVEL_OUTLINE_END:
            if (o.endEventPosition >= 0) return report.error(-3602, report.at(record + ev::value), 1, e.value);
            o.endEventPosition = e.position();
            break;
        case KVEL_OUTLINE_FADE_IN_START: case KVEL_OUTLINE_FADE_IN_END:
        case KVEL_OUTLINE_FADE_OUT_START: case KVEL_OUTLINE_FADE_OUT_END:
            break;
        default:
            return report.error(-3605, report.at(record + ev::value), 1, e.value);
    }
    return true;
}

}  // namespace kvel
