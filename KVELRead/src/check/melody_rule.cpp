// The melody rule: reserved bits and repeated sample positions.
#include "check/checkers.h"

namespace kvel {

int32_t melodyRule(uint32_t recordOffset, const Event& e) {
    Tally tally;
    if (e.value & 0x7FF000) tally.error(-3032, recordOffset + ev::value, 1, e.value);
    int32_t& previous = g_run.previousPosition[16];
    const bool repeated = e.position() == previous;
    previous = e.position();
    if (repeated) tally.error(-3301, recordOffset + ev::samplePosition, 1, e.samplePosition);
    return tally.result;
}

}  // namespace kvel
