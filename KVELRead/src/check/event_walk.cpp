// The event walk: every event record in body order, then the outline facts
// gathered on the way (start and end events, zone events, the terminator).
#include <algorithm>
#include <cstring>

#include "check/event_walk.h"
#include "check/zone_index.h"

namespace kvel {
namespace {

// The sample position of the record that event position `position` falls in
// (record position / 10, remainder dropped), or false when it is not readable.
bool sampleAtPosition(const Check& c, uint32_t position, int32_t& sample) {
    const unsigned char* record = readableRecord(c, position / kEventRecordSize);
    if (!record) return false;
    sample = static_cast<int32_t>(readHost32(record + ev::samplePosition));
    return true;
}

int32_t afterWalk(Check& c, uint32_t offset) {
    Tally tally{c};
    const uint16_t zones = zoneCount(c);
    // With no zone there is no first or last zone to hold the events to; the
    // zone checker has reported the file already.
    if (zones > 0) {
        const unsigned char* first = zoneRecord(c, 0);
        int32_t s0 = 0;
        if (!readableRecord(c, readHost32(first + zr::zoneEnd) / kEventRecordSize)) return tally.result;
        // The first zone's start record lies past the image end only when the
        // zone starts after it ends; the walk then ends here as well.
        if (!sampleAtPosition(c, readHost32(first + zr::zoneStart), s0)) return tally.result;
        if (c.run.outline.startEventPosition < 0) tally.error(-3026, offset);
        if (c.run.outline.startEventPosition < s0)
            tally.error(-3027, offset, 2, static_cast<uint32_t>(c.run.outline.startEventPosition), static_cast<uint32_t>(s0));

        int32_t sL = 0;
        if (!sampleAtPosition(c, readHost32(zoneRecord(c, zones - 1u) + zr::zoneEnd), sL)) return tally.result;
        if (c.run.outline.endEventPosition < 0) tally.error(-3028, offset);
        if (c.run.outline.endEventPosition > sL)
            tally.error(-3029, offset, 2, static_cast<uint32_t>(c.run.outline.endEventPosition), static_cast<uint32_t>(sL));
    }
    if (c.run.outline.zoneEventCount != zones)
        tally.error(-3030, offset, 2, zones, static_cast<uint32_t>(c.run.outline.zoneEventCount));
    if (!c.run.outline.zoneTerminator) tally.error(-3031, offset);
    return tally.result;
}

}  // namespace

// Most records raise nothing, and the quiet path (quietRun) takes those,
// with the same rules probing, one zone segment after another. The record
// it stops at, and any that follow it while they raise problems, are taken
// with the rules reporting; outside every zone, or before the first bar,
// all are.
void walkRecords(Check& c, const unsigned char* r, const unsigned char* const first, const unsigned char* const end,
                 WalkState& w, const WalkLimits& limits, WalkTables& tables) {
    const ZoneIndex& index = *c.zoneIndex;
    const Full full{c};
    const auto at = [first](const unsigned char* q) { return static_cast<int32_t>(q - first); };
    while (r < end) {
        // Inside a zone, once the walk has seen a bar, the quiet path takes
        // what it can.
        if (c.quietPaths && zoneAt(index, w.segment, at(r)) >= 0 && w.order.previousBarBeat >= 0x10) {
            r = quietRun(index, r, first, end, w, limits, tables);
            if (r >= end) break;
        }
        // The record the quiet path stopped at, and the ones after it while
        // they raise problems (a whole body in bar 0, say).
        int32_t before;
        do {
            zoneAt(index, w.segment, at(r));
            before = c.problems;
            walkRecord(w, limits, r, at(r), tables.counts, full);
            r += kEventRecordSize;
        } while (r < end && c.problems != before);
    }
}

int32_t walkEvents(Check& c) {
    const unsigned char* h = eventFrame(c);
    const int32_t total = static_cast<int32_t>(readHost32(h + es::totalEventCount));
    const uint64_t firstOffset = c.run.firstEventOffset;
    WalkTables& tables = c.walk;
    if (!tables.made || std::memcmp(tables.madeFor, c.run.declared, sizeof tables.madeFor) != 0) {
        std::memcpy(tables.madeFor, c.run.declared, sizeof tables.madeFor);
        fillKinds(tables.kinds, c.run.declared);
        fillQuietKinds(tables.quietKinds, tables.kinds);
        tables.made = true;
    }
    std::fill(std::begin(tables.counts), std::end(tables.counts), 0u);
    const WalkLimits limits{static_cast<int32_t>(readHost32(h + es::totalSamples)), c.run.totalBarCount,
                            highestQuietBarBeat(c.run.totalBarCount), tables.kinds};
    const int32_t problemsBefore = c.problems;
    WalkState w = beginWalk(c);

    // The records before the first one that is not readable (not wholly
    // before the image end), and not more than totalEventCount of them.
    const uint64_t readable = c.run.imageEnd > firstOffset ? (c.run.imageEnd - firstOffset) / kEventRecordSize : 0;
    const uint64_t visits = total > 0 ? std::min<uint64_t>(static_cast<uint64_t>(total), readable) : 0;
    const unsigned char* const first = c.in->image + firstOffset;
    const unsigned char* const end = first + kEventRecordSize * visits;

    const unsigned char* r = first;
    if (c.threads > 1 && c.quietPaths && visits >= c.splitFrom) r = splitWalk(c, first, end, w, limits, tables);
    walkRecords(c, r, first, end, w, limits, tables);
    endWalk(c, w);
    for (uint32_t category = 0; category < 128; ++category)
        c.run.categoryCounts[category] += tables.counts[category] + tables.counts[category | 0x80];
    const int32_t walkProblems = c.problems - problemsBefore;
    return afterWalk(c, fileOffset(c, end)) - walkProblems;
}

}  // namespace kvel
