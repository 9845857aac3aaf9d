// The beat rule: zone membership, beats per bar against the zone's meter,
// the beat flag combinations and repeated sample positions.
#pragma once

#include "check/walk_state.h"

namespace kvel {

// w.segment must hold the record's event position: its zone is the one the
// record lies in.
inline void beatRule(WalkState& w, const unsigned char* record, const Event& e) {
    constexpr uint32_t kBarStart = 1u << 21, kUncounted = 1u << 22;
    BeatBarState& bar = w.beatBar;

    const int32_t zone = w.segment.zone;
    if (zone < 0) {
        walkError(*w.c, -3020, fileOffset(*w.c, record), 1, fileOffset(*w.c, record));
    } else {
        if (zone != bar.rememberedZone) [[unlikely]] {
            // A new zone starts a new count and a new first bar.
            bar.beatsCounted = 0;
            bar.firstBar = true;
            bar.rememberedZone = zone;
        }
        if (e.value & kBarStart) {
            // The first bar of a zone may be a partial one: its mismatch is
            // passed over once.
            if (w.segment.meterNumerator != bar.beatsCounted) {
                if (bar.firstBar)
                    bar.firstBar = false;
                else
                    walkError(*w.c, -3101, fileOffset(*w.c, record));
            }
            bar.beatsCounted = 0;
        }
    }
    if (!(e.value & kUncounted)) ++bar.beatsCounted;

    // Flag combinations 3, 6 and 7 of bits 21-23 are not applicable.
    if ((0xC8u >> ((e.value >> 21) & 0x7)) & 1) walkError(*w.c, -3102, fileOffset(*w.c, record), 1, e.value);

    const bool repeated = e.position() == w.beatPosition;
    w.beatPosition = e.position();
    if (repeated) walkError(*w.c, -3103, fileOffset(*w.c, record + ev::samplePosition), 1, e.samplePosition);
}

}  // namespace kvel
