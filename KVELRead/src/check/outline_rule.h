// The outline rule: event codes, zone numbering, and the facts that the end
// of the walk and the header checks judge.
#pragma once

#include "check/walk_state.h"

namespace kvel {

inline void outlineRule(WalkState& w, const unsigned char* record, const Event& e) {
    const unsigned char* at = record + ev::value;
    const uint32_t zoneNumber = (e.value >> 7) & 0xFFFF;
    switch (e.value & 0x7F) {
        case 1:
            if (zoneNumber == 0xFFFF) {  // the terminator is not numbered
                w.outline.zoneTerminator = 1;
                break;
            }
            if (zoneNumber != static_cast<uint32_t>(w.outline.zoneEventCount)) walkError(*w.c, -3603, fileOffset(*w.c, at), 1, e.value);
            ++w.outline.zoneEventCount;
            if (zoneNumber == static_cast<uint32_t>(w.segment.zone) &&
                int64_t{fileOffset(*w.c, record)} - w.c->run.firstEventOffset == w.segment.first)
                ++w.outline.zoneEventsAtStarts;
            break;
        case 2: ++w.outline.keyChanges; break;
        case 3: ++w.outline.tempoChanges; break;
        case 4: ++w.outline.meterChanges; break;
        case 16:
            if (w.outline.startEventPosition < 0)
                w.outline.startEventPosition = e.position();
            else
                walkError(*w.c, -3601, fileOffset(*w.c, at), 1, e.value);
            break;
        case 17:
            if (w.outline.endEventPosition < 0)
                w.outline.endEventPosition = e.position();
            else
                walkError(*w.c, -3602, fileOffset(*w.c, at), 1, e.value);
            break;
        case 32: case 33: case 40: case 41:
            break;
        default:
            walkError(*w.c, -3605, fileOffset(*w.c, at), 1, e.value);
    }
}

}  // namespace kvel
