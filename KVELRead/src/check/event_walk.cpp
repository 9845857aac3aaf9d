// The event walk: every event record in body order, then the outline facts
// gathered on the way (start and end events, zone events, the terminator).
#include <algorithm>
#include <iterator>

#include "check/beat_rule.h"
#include "check/checkers.h"
#include "check/chord_rules.h"
#include "check/event_walk.h"
#include "check/melody_rule.h"
#include "check/outline_rule.h"
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

// The highest barBeat that draws none of -3033, -3019 and -3020 inside a
// zone, or -1 when every record with a bar draws one of them.
int32_t highestQuietBarBeat(int32_t totalBarCount) {
    if (totalBarCount < 1) return -1;
    return (std::min(totalBarCount, int32_t{kFirstNoBar >> 4} - 1) << 4) | 0xF;
}

// Steps 1 and 3 to 6 of a record in full, for a record whose bar, sample
// position or category draws a problem. Returns the order after it.
// Everything is passed by value, so that the walk's own locals stay in
// registers.
[[gnu::noinline, gnu::cold]] Order recordProblems(Check& c, Event e, uint32_t offset, bool inZone, bool afterTerminator,
                                                int32_t totalSamples, Order order) {
    const uint32_t category = e.category();
    if (e.barBeat < 0x10) walkError(c, -3033, offset);  // bar 0
    if (e.barBeat < kFirstNoBar) {
        const int32_t bar = e.bar();
        if (bar > c.run.totalBarCount)
            walkError(c, -3019, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(c.run.totalBarCount));
        if (!inZone && !afterTerminator) walkError(c, -3020, offset);
        if (e.barBeat < order.previousBarBeat) {
            const int32_t previousBar = order.previousBarBeat >> 4, previousBeat = order.previousBarBeat & 0xF;
            if (bar < previousBar)
                walkError(c, -3021, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(previousBar));
            else
                walkError(c, -3022, offset, 2, static_cast<uint32_t>(e.beat()), static_cast<uint32_t>(previousBeat));
        }
        order.previousBarBeat = e.barBeat;
    }
    const int32_t pos = e.position();
    if (pos < order.previousSample)
        walkError(c, -3023, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(order.previousSample));
    order.previousSample = pos;
    if (pos > totalSamples) {
        if (category == 1 || category == 47)
            walkWarning(c, -13005, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
        else
            walkError(c, -3024, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
    }
    if (!c.run.declared[category] && category < 127) walkError(c, -3025, offset + ev::value, 1, category);
    return order;
}

// Every test of a record, raising what it draws, and its category's rule.
[[gnu::noinline]] void fullRecord(Check& c, const unsigned char* r, Walk& k, int32_t totalSamples) {
    const Event e = readEvent(r);
    const uint32_t category = e.category();
    const Rule rule = ruleOf(category);
    // A zone event sets the after-terminator flag before its own bar test.
    if (rule == kOutlineRule && isZoneEvent(e)) k.afterTerminator = isTerminator(e);
    k.order = recordProblems(c, e, fileOffset(c, r), k.w.segment.zone >= 0, k.afterTerminator, totalSamples, k.order);
    ++k.counts[category];
    switch (rule) {
        case kBeatRule: beatRule(k.w, r, e); break;
        case kChordRule: chordRule(k.w, r, e); break;
        case kAbsoluteChordRule: absoluteChordRule(k.w, r, e); break;
        case kMelodyRule: melodyRule(k.w, r, e); break;
        case kOutlineRule: outlineRule(k.w, r, e); break;
        case kNoRule: break;
    }
}

}  // namespace

void walkError(Check& c, int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2) {
    raise(c, code, offset, paramCount, p1, p2, 0);
}

void walkWarning(Check& c, int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2) {
    if (!c.run.suppressWarnings) walkError(c, code, offset, paramCount, p1, p2);
}

// Most records raise nothing, and the quiet path (quietRun) takes those with
// the few tests that show it, one zone segment after another. The record it
// stops at, and any that follow it while they raise problems, get every test
// in full (fullRecord); outside every zone, or before the first bar, all do.
int32_t walkEvents(Check& c) {
    const unsigned char* h = eventFrame(c);
    const int32_t total = static_cast<int32_t>(readHost32(h + es::totalEventCount));
    const int32_t totalSamples = static_cast<int32_t>(readHost32(h + es::totalSamples));
    const int32_t totalBarCount = c.run.totalBarCount;
    const uint64_t firstOffset = c.run.firstEventOffset;
    const int32_t problemsBefore = c.problems;
    Walk k;
    k.w = beginWalk(c);
    k.order = Order{0, kNoPreviousPosition};  // bar 0, beat 0; no sample yet
    k.afterTerminator = false;
    fillQuietTable(c, k.quiet);
    std::fill(std::begin(k.counts), std::end(k.counts), 0u);

    // The records before the first one that is not readable (not wholly
    // before the image end), and not more than totalEventCount of them.
    const uint64_t readable = c.run.imageEnd > firstOffset ? (c.run.imageEnd - firstOffset) / kEventRecordSize : 0;
    const uint64_t visits = total > 0 ? std::min<uint64_t>(static_cast<uint64_t>(total), readable) : 0;
    const unsigned char* const first = c.run.image + firstOffset;
    const unsigned char* const end = first + kEventRecordSize * visits;

    const int32_t highest = highestQuietBarBeat(totalBarCount);
    const auto at = [first](const unsigned char* r) { return static_cast<int32_t>(r - first); };
    for (const unsigned char* r = first; r < end;) {
        // Inside a zone, once the walk has seen a bar, the quiet path takes
        // what it can.
        if (c.quietPaths && zoneAt(*c.zoneIndex, k.w.segment, at(r)) >= 0 && k.order.previousBarBeat >= 0x10) {
            r = quietRun(*c.zoneIndex, r, first, end, k, highest, totalSamples);
            if (r >= end) break;
        }
        // The full path takes the record the quiet path stopped at, and the
        // ones after it while they raise problems (a whole body in bar 0, say).
        int32_t before;
        do {
            zoneAt(*c.zoneIndex, k.w.segment, at(r));
            before = c.problems;
            fullRecord(c, r, k, totalSamples);
            r += kEventRecordSize;
        } while (r < end && c.problems != before);
    }
    endWalk(c, k.w);
    for (uint32_t category = 0; category < 128; ++category)
        c.run.categoryCounts[category] += k.counts[category] + k.counts[category | 0x80];
    const int32_t walkProblems = c.problems - problemsBefore;
    return afterWalk(c, fileOffset(c, end)) - walkProblems;
}

}  // namespace kvel
