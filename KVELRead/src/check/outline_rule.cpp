// The outline rule: event codes, zone numbering, and the facts that the end
// of the walk and the header checks judge.
#include "check/checkers.h"

namespace kvel {

int32_t outlineRule(uint32_t recordOffset, const Event& e) {
    Tally tally;
    const uint32_t at = recordOffset + ev::value;
    const uint32_t zoneNumber = (e.value >> 7) & 0xFFFF;
    switch (e.value & 0x7F) {
        case 1:
            if (zoneNumber == 0xFFFF) {  // the terminator is not numbered
                g_run.zoneTerminator = 1;
                break;
            }
            if (zoneNumber != static_cast<uint32_t>(g_run.zoneEventCount)) tally.error(-3603, at, 1, e.value);
            ++g_run.zoneEventCount;
            break;
        case 2: ++g_run.keyChanges; break;
        case 3: ++g_run.tempoChanges; break;
        case 4: ++g_run.meterChanges; break;
        case 16:
            if (g_run.startEventPosition < 0)
                g_run.startEventPosition = e.position();
            else
                tally.error(-3601, at, 1, e.value);
            break;
        case 17:
            if (g_run.endEventPosition < 0)
                g_run.endEventPosition = e.position();
            else
                tally.error(-3602, at, 1, e.value);
            break;
        case 32: case 33: case 40: case 41:
            break;
        default:
            tally.error(-3605, at, 1, e.value);
    }
    return tally.result;
}

}  // namespace kvel
