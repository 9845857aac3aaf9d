// The zone lookup's index (zone_lookup.cpp builds it for each check run):
// the positions cut where any zone starts or ends, and the answer for each
// segment between two cuts. Shared with the event walk, which steps from
// one segment to the next inline.
#pragma once

#include <cstdint>

#include "check/checkers.h"

namespace kvel {

constexpr uint32_t kMaxCuts = 2 * 65535;
constexpr int32_t kNoZone = -1;
constexpr int64_t kAfterAll = int64_t{INT32_MAX} + 1;  // the end of the last segment

struct ZoneIndex {
    int32_t cuts[kMaxCuts];      // ascending, distinct
    int32_t zoneOf[kMaxCuts];    // answer for cuts[j] <= position < cuts[j + 1]; the last is kNoZone
    uint8_t numeratorOf[kMaxCuts];     // the meter numerator of zoneOf[j]; 0 for kNoZone
    uint32_t unpainted[kMaxCuts + 1];  // painting: union-find links to the next unpainted segment
    uint32_t count;
    uint32_t cursor;                   // the segment last answered
    const unsigned char* records;     // the first zone record
};

// Zones that follow one another, each non-empty and starting where the
// previous one ends, the first at 0 or later: segment j is zone j. The zone
// checker, which reads the zones in order anyway, indexes such zones itself
// instead of indexZones: chainZone for each, then endChain.
inline void chainZone(ZoneIndex& x, uint32_t zone, int32_t start, uint8_t numerator) {
    x.cuts[zone] = start;
    x.zoneOf[zone] = static_cast<int32_t>(zone);
    x.numeratorOf[zone] = numerator;
}
void endChain(ZoneIndex& x, const unsigned char* records, uint32_t zones, int32_t end);

// The segment of index j.
inline ZoneSegment segmentAt(const ZoneIndex& x, uint32_t j) {
    return ZoneSegment{.first = x.cuts[j],
                       .zone = x.zoneOf[j],
                       .end = j + 1 < x.count ? x.cuts[j + 1] : kAfterAll,
                       .index = j,
                       .meterNumerator = x.numeratorOf[j]};
}

// The segment of index j, which becomes the one last answered.
inline ZoneSegment segmentOfIndex(ZoneIndex& x, uint32_t j) {
    x.cursor = j;
    return segmentAt(x, j);
}

// The segment after `segment` when it starts at `position`, as a walk going
// forward asks: what zoneSegmentAt(position) gives, without a call. False,
// with `segment` unchanged, otherwise. Reads the index only, so walks on two
// threads may step through one index.
inline bool stepZoneSegment(const ZoneIndex& x, int32_t position, ZoneSegment& segment) {
    const uint32_t j = segment.index + 1;
    if (j >= x.count || x.cuts[j] != position) return false;
    segment = segmentAt(x, j);
    return true;
}

}  // namespace kvel
