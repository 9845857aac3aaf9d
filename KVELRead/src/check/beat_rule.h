// The beat rule: zone membership, beats per bar against the zone's meter,
// the beat flag combinations and repeated sample positions.
#pragma once

#include "check/report.h"
#include "check/walk_state.h"

namespace kvel {

constexpr uint32_t kBeatBarStart = 1u << 21;
constexpr uint32_t kBeatUncounted = 1u << 22;

// Combinations 3, 6 and 7 of the flag bits 21-23 are not applicable.
constexpr bool invalidBeatFlags(uint32_t value) { return (0xC8u >> ((value >> 21) & 0x7)) & 1; }

// w.segment holds the record's event position: its zone is the one the
// record lies in.
template <class Report>
KVEL_RULE bool beatRule(WalkState& w, const unsigned char* record, const Event& e, const Report& report) {
    BeatBarState bar = w.beatBar;
    const int32_t zone = w.segment.zone;
    if (zone < 0) {
        if (!report.error(-3020, report.at(record), 1, report.at(record))) return false;
    } else {
        // A new zone starts a new count and a new first bar.
        if (zone != bar.rememberedZone) [[unlikely]]
            bar = BeatBarState{zone, 0, true};
        if (e.value & kBeatBarStart) {
            // The first bar of a zone may be a partial one: its mismatch is
            // passed over once.
            if (w.segment.meterNumerator != bar.beatsCounted) {
                if (bar.firstBar)
                    bar.firstBar = false;
                else if (!report.error(-3101, report.at(record)))
                    return false;
            }
            bar.beatsCounted = 0;
        }
    }
    if (!(e.value & kBeatUncounted)) ++bar.beatsCounted;
    if (invalidBeatFlags(e.value) && !report.error(-3102, report.at(record), 1, e.value)) return false;
    if (e.position() == w.beatPosition &&
        !report.error(-3103, report.at(record + ev::samplePosition), 1, e.samplePosition))
        return false;
    w.beatBar = bar;
    w.beatPosition = e.position();
    return true;
}

}  // namespace kvel
