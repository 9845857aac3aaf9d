// Which zone an event position lies in, for the event walk and the beat rule.
//
// The answer is the first zone in record order with start <= position < end
// (signed). As a function of the position it can only change at a zone's
// start or end, so each check run cuts the positions at those values and
// stores the answer of every segment between two cuts. A lookup is then the
// search for a segment: the walk asks for rising positions, so a cursor that
// steps to the next segment answers it in constant time, and a binary search
// covers any other jump. Building costs one pass over the zones when they
// are in order without overlaps (every well-formed file; when they follow
// one another the zone checker's own pass builds it), and a sort plus a
// painting pass otherwise: a check stays linear in the file's size however
// many zones it has and however they lie. Each segment keeps its zone's
// meter numerator, which the walk needs at every zone, so that the walk
// does not read the zone records again.
//
// The index is per-check-run state that each reader allocates once, sized
// for the largest zone count (about 1.6 MB; untouched pages cost nothing),
// so that no check after a reader's first allocates.
#include <algorithm>

#include "check/zone_index.h"

namespace kvel {

namespace {

struct Span {
    int32_t start, end;
};

uint8_t numeratorOf(const ZoneIndex& x, int32_t zone) {
    if (zone < 0) return 0;
    return x.records[uint64_t{kZoneRecordSize} * static_cast<uint32_t>(zone) + zr::meterNumerator];
}

Span spanOf(const ZoneIndex& x, uint32_t zone) {
    const unsigned char* r = x.records + uint64_t{kZoneRecordSize} * zone;
    return Span{static_cast<int32_t>(readHost32(r + zr::zoneStart)), static_cast<int32_t>(readHost32(r + zr::zoneEnd))};
}

// Zones in order, each starting at or after the end of the previous
// non-empty one: the segments follow from the records directly. False when
// some zone starts before that end.
bool indexOrderedZones(ZoneIndex& x, uint16_t zones) {
    uint32_t m = 0;
    for (uint32_t i = 0; i < zones; ++i) {
        const Span s = spanOf(x, i);
        if (s.start >= s.end) continue;  // contains nothing
        if (m > 0 && s.start < x.cuts[m - 1]) return false;
        if (m == 0 || s.start > x.cuts[m - 1]) {
            x.cuts[m] = s.start;
            ++m;
        }
        x.zoneOf[m - 1] = static_cast<int32_t>(i);
        x.numeratorOf[m - 1] = numeratorOf(x, static_cast<int32_t>(i));
        x.cuts[m] = s.end;
        x.zoneOf[m] = kNoZone;
        x.numeratorOf[m] = 0;
        ++m;
    }
    x.count = m;
    return true;
}

// The first unpainted segment at or after j (path halving).
uint32_t firstUnpainted(ZoneIndex& x, uint32_t j) {
    uint32_t* link = x.unpainted;
    while (link[j] != j) {
        link[j] = link[link[j]];
        j = link[j];
    }
    return j;
}

// Any zones: sort the cuts, then give each segment the first zone, in record
// order, that covers it; a segment once painted is skipped for good.
void indexAnyZones(ZoneIndex& x, uint16_t zones) {
    uint32_t m = 0;
    for (uint32_t i = 0; i < zones; ++i) {
        const Span s = spanOf(x, i);
        if (s.start >= s.end) continue;
        x.cuts[m++] = s.start;
        x.cuts[m++] = s.end;
    }
    std::sort(x.cuts, x.cuts + m);
    m = static_cast<uint32_t>(std::unique(x.cuts, x.cuts + m) - x.cuts);
    x.count = m;
    for (uint32_t j = 0; j <= m; ++j) x.unpainted[j] = j;
    std::fill(x.zoneOf, x.zoneOf + m, kNoZone);

    for (uint32_t i = 0; i < zones; ++i) {
        const Span s = spanOf(x, i);
        if (s.start >= s.end) continue;
        const uint32_t first = static_cast<uint32_t>(std::lower_bound(x.cuts, x.cuts + m, s.start) - x.cuts);
        const uint32_t last = static_cast<uint32_t>(std::lower_bound(x.cuts, x.cuts + m, s.end) - x.cuts);
        for (uint32_t j = firstUnpainted(x, first); j < last; j = firstUnpainted(x, j + 1)) {
            x.zoneOf[j] = static_cast<int32_t>(i);
            x.unpainted[j] = j + 1;
        }
    }
    for (uint32_t j = 0; j < m; ++j) x.numeratorOf[j] = numeratorOf(x, x.zoneOf[j]);
}

}  // namespace

void indexZones(Check& c) {
    ZoneIndex& x = *c.zoneIndex;
    x.cursor = 0;
    x.records = zoneRecord(c, 0);
    if (!indexOrderedZones(x, zoneCount(c))) indexAnyZones(x, zoneCount(c));
}

void endChain(ZoneIndex& x, const unsigned char* records, uint32_t zones, int32_t end) {
    x.cuts[zones] = end;
    x.zoneOf[zones] = kNoZone;
    x.numeratorOf[zones] = 0;
    x.count = zones + 1;
    x.cursor = 0;
    x.records = records;
}

namespace {

// The segment that holds `eventPosition` (at or after cuts[0]): the one after
// segment `hint` when it is that one, as a walk going forward asks, or else
// the one a search finds.
uint32_t segmentIndex(const ZoneIndex& x, uint32_t hint, int32_t eventPosition) {
    const uint32_t m = x.count;
    uint32_t j = hint + 1;
    if (j >= m || eventPosition < x.cuts[j] || (j + 1 < m && eventPosition >= x.cuts[j + 1]))
        j = static_cast<uint32_t>(std::upper_bound(x.cuts, x.cuts + m, eventPosition) - x.cuts) - 1;
    return j;
}

// The segments before the first cut, or of an index without cuts.
bool beforeAll(const ZoneIndex& x, int32_t eventPosition, ZoneSegment& segment) {
    if (x.count > 0 && eventPosition >= x.cuts[0]) return false;
    const int64_t end = x.count > 0 ? x.cuts[0] : kAfterAll;
    segment = ZoneSegment{.first = INT32_MIN, .zone = kNoZone, .end = end, .index = UINT32_MAX, .meterNumerator = 0};
    return true;
}

}  // namespace

ZoneSegment zoneSegmentAt(ZoneIndex& x, int32_t eventPosition) {
    ZoneSegment segment;
    if (beforeAll(x, eventPosition, segment)) return segment;
    return segmentOfIndex(x, segmentIndex(x, x.cursor, eventPosition));
}

ZoneSegment zoneSegmentAfter(const ZoneIndex& x, const ZoneSegment& from, int32_t eventPosition) {
    ZoneSegment segment;
    if (beforeAll(x, eventPosition, segment)) return segment;
    return segmentAt(x, segmentIndex(x, from.index, eventPosition));
}

}  // namespace kvel
