// Which zone an event position lies in, for the event walk and the beat rule.
#include "check/checkers.h"

namespace kvel {

int32_t findZone(int32_t eventPosition) {
    const uint16_t count = zoneCount();
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* r = zoneRecord(i);
        const int32_t start = static_cast<int32_t>(readHost32(r + zr::zoneStart));
        const int32_t end = static_cast<int32_t>(readHost32(r + zr::zoneEnd));
        if (start <= eventPosition && eventPosition < end) return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace kvel
