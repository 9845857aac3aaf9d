// The checkers that the check driver runs, and the zone lookup. Each checker
// returns its problem count: 0 or minus the number of problems raised. The
// rules the event walk calls (beat_rule.h, chord_rules.h, melody_rule.h,
// outline_rule.h) count theirs through walkError and walkWarning.
#pragma once

#include <cstdint>

#include "check/check_state.h"

namespace kvel {

int32_t checkMainHeader(Check& c);
// Also prepares the zone lookup (indexZones or its own). With
// `leaveStartsToWalk`, the zone events that the walk meets may be left to it
// (see CheckRun::zoneStartsLeftToWalk).
int32_t checkZones(Check& c, bool leaveStartsToWalk);
int32_t checkEventSubFrame(Check& c);
int32_t walkEvents(Check& c);

// The zone an event position lies in: the first zone, in record order, with
// start <= position < end (signed comparisons), or -1 when no zone contains
// it. indexZones prepares the lookup for the current image; every check run
// calls it first. zoneSegmentAt also gives the positions around `position`
// that have the same answer, so a caller walking forward asks again only
// when it leaves them.
struct ZoneSegment {
    int32_t first;           // first <= position < end
    int32_t zone;
    int64_t end;
    uint32_t index;          // its place in the zone index; before the first, UINT32_MAX
    uint8_t meterNumerator;  // the zone's, 0 when there is no zone

    bool operator==(const ZoneSegment&) const = default;
};

void indexZones(Check& c);
ZoneSegment zoneSegmentAt(ZoneIndex& index, int32_t eventPosition);
// zoneSegmentAt for a walk that holds `from`: it leaves the index as it is,
// so that walks on two threads may share it.
ZoneSegment zoneSegmentAfter(const ZoneIndex& index, const ZoneSegment& from, int32_t eventPosition);

inline int32_t findZone(Check& c, int32_t eventPosition) { return zoneSegmentAt(*c.zoneIndex, eventPosition).zone; }

// The zone of `eventPosition`, through the segment last asked for.
inline int32_t zoneAt(const ZoneIndex& index, ZoneSegment& segment, int32_t eventPosition) {
    if (eventPosition < segment.first || eventPosition >= segment.end)
        segment = zoneSegmentAfter(index, segment, eventPosition);
    return segment.zone;
}

}  // namespace kvel
