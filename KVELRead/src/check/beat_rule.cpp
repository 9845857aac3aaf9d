// The beat rule: zone membership, beats per bar against the zone's meter,
// the beat flag combinations and repeated sample positions.
#include "check/checkers.h"

namespace kvel {

int32_t beatRule(int32_t eventPosition, uint32_t recordOffset, const Event& e) {
    constexpr uint32_t kBarStart = 1u << 21, kUncounted = 1u << 22;
    Tally tally;

    const int32_t zone = findZone(eventPosition);
    if (zone < 0) {
        tally.error(-3020, recordOffset, 1, recordOffset);
    } else {
        if (zone != g_beatBar.rememberedZone) {
            g_beatBar.beatsCounted = 0;
            g_beatBar.firstBar = true;
            g_beatBar.rememberedZone = zone;
        }
        if (e.value & kBarStart) {
            const int32_t numerator = zoneRecord(static_cast<uint32_t>(zone))[zr::meterNumerator];
            // The first bar of a zone may be a partial one: its mismatch is
            // passed over once.
            if (numerator != g_beatBar.beatsCounted) {
                if (g_beatBar.firstBar)
                    g_beatBar.firstBar = false;
                else
                    tally.error(-3101, recordOffset);
            }
            g_beatBar.beatsCounted = 0;
        }
    }
    if (!(e.value & kUncounted)) ++g_beatBar.beatsCounted;

    const uint32_t flags = (e.value >> 21) & 0x7;
    if (flags == 3 || flags == 6 || flags == 7) tally.error(-3102, recordOffset, 1, e.value);

    int32_t& previous = g_run.previousPosition[1];
    const bool repeated = e.position() == previous;
    previous = e.position();
    if (repeated) tally.error(-3103, recordOffset + ev::samplePosition, 1, e.samplePosition);
    return tally.result;
}

}  // namespace kvel
