// The event walk: every event record in body order, then the outline facts
// gathered on the way (start and end events, zone events, the terminator).
#include <algorithm>

#include "check/beat_rule.h"
#include "check/checkers.h"
#include "check/chord_rules.h"
#include "check/melody_rule.h"
#include "check/outline_rule.h"
#include "check/walk_state.h"
#include "interface/reader_state.h"

namespace kvel {
namespace {

constexpr uint16_t kFirstNoBar = 0xFFF0;  // barBeat from here on: bar 0xFFF, no bar

// The sample position of the record that event position `position` falls in
// (record position / 10, remainder dropped), or false when it is not readable.
bool sampleAtPosition(uint32_t position, int32_t& sample) {
    const unsigned char* record = readableRecord(position / kEventRecordSize);
    if (!record) return false;
    sample = static_cast<int32_t>(readHost32(record + ev::samplePosition));
    return true;
}

int32_t afterWalk(uint32_t offset) {
    Tally tally;
    const uint16_t zones = zoneCount();
    // With no zone there is no first or last zone to hold the events to; the
    // zone checker has reported the file already.
    if (zones > 0) {
        const unsigned char* first = zoneRecord(0);
        int32_t s0 = 0;
        if (!readableRecord(readHost32(first + zr::zoneEnd) / kEventRecordSize)) return tally.result;
        // The first zone's start record lies past the image end only when the
        // zone starts after it ends; the walk then ends here as well.
        if (!sampleAtPosition(readHost32(first + zr::zoneStart), s0)) return tally.result;
        if (g_run.outline.startEventPosition < 0) tally.error(-3026, offset);
        if (g_run.outline.startEventPosition < s0)
            tally.error(-3027, offset, 2, static_cast<uint32_t>(g_run.outline.startEventPosition), static_cast<uint32_t>(s0));

        int32_t sL = 0;
        if (!sampleAtPosition(readHost32(zoneRecord(zones - 1u) + zr::zoneEnd), sL)) return tally.result;
        if (g_run.outline.endEventPosition < 0) tally.error(-3028, offset);
        if (g_run.outline.endEventPosition > sL)
            tally.error(-3029, offset, 2, static_cast<uint32_t>(g_run.outline.endEventPosition), static_cast<uint32_t>(sL));
    }
    if (g_run.outline.zoneEventCount != zones)
        tally.error(-3030, offset, 2, zones, static_cast<uint32_t>(g_run.outline.zoneEventCount));
    if (!g_run.outline.zoneTerminator) tally.error(-3031, offset);
    return tally.result;
}

// The walk's own ordering of the records: bar and beat of the last record
// with a bar (bar-major order is the order of barBeat = bar << 4 | beat) and
// the sample position of the last record.
struct Order {
    uint16_t previousBarBeat;
    int32_t previousSample;
};

int32_t g_walkProblems;  // raised by the current walk

// What the walk does with a record of each category.
enum Kind : uint8_t { kNoRule, kBeat, kChord, kAbsoluteChord, kMelody, kOutline = 8, kUndeclared = 16 };

Kind ruleOf(uint32_t category) {
    switch (category) {
        case 1: return kBeat;
        case 8: return kChord;
        case 9: return kAbsoluteChord;
        case 16: return kMelody;
        case 47: return kOutline;
        default: return kNoRule;
    }
}

// An outline record with code 1, and the zone terminator among those.
bool isZoneEvent(const Event& e) { return (e.value & 0x7F) == 1; }
bool isTerminator(const Event& e) { return ((e.value >> 7) & 0xFFFF) == 0xFFFF; }

// The highest barBeat that draws none of -3033, -3019 and -3020 in a zone,
// or -1 when every record with a bar draws one of them.
int32_t highestQuietBarBeat(int32_t zone, bool afterTerminator, int32_t totalBarCount) {
    if ((zone < 0 && !afterTerminator) || totalBarCount < 1) return -1;
    return (std::min(totalBarCount, int32_t{kFirstNoBar >> 4} - 1) << 4) | 0xF;
}

// Steps 1 and 3 to 6 of a record in full, for a record whose bar, sample
// position or category draws a problem. Returns the order after it.
// Everything is passed by value, so that the walk's own locals stay in
// registers.
[[gnu::noinline, gnu::cold]] Order recordProblems(Event e, uint32_t offset, bool inZone, bool afterTerminator,
                                                int32_t totalSamples, Order order) {
    const uint32_t category = e.category();
    if (e.barBeat < 0x10) walkError(-3033, offset);  // bar 0
    if (e.barBeat < kFirstNoBar) {
        const int32_t bar = e.bar();
        if (bar > g_run.totalBarCount)
            walkError(-3019, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(g_run.totalBarCount));
        if (!inZone && !afterTerminator) walkError(-3020, offset);
        if (e.barBeat < order.previousBarBeat) {
            const int32_t previousBar = order.previousBarBeat >> 4, previousBeat = order.previousBarBeat & 0xF;
            if (bar < previousBar)
                walkError(-3021, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(previousBar));
            else
                walkError(-3022, offset, 2, static_cast<uint32_t>(e.beat()), static_cast<uint32_t>(previousBeat));
        }
        order.previousBarBeat = e.barBeat;
    }
    const int32_t pos = e.position();
    if (pos < order.previousSample)
        walkError(-3023, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(order.previousSample));
    order.previousSample = pos;
    if (pos > totalSamples) {
        if (category == 1 || category == 47)
            walkWarning(-13005, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
        else
            walkError(-3024, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
    }
    if (!g_run.declared[category] && category < 127) walkError(-3025, offset + ev::value, 1, category);
    return order;
}

}  // namespace

void walkError(int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2) {
    appendError(code, static_cast<int32_t>(offset), paramCount, p1, p2);
    ++g_walkProblems;
}

void walkWarning(int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2) {
    if (!g_run.suppressWarnings) walkError(code, offset, paramCount, p1, p2);
}

// The walk goes through the body one zone segment at a time (positions with
// one answer of the zone lookup), so the zone test of a record becomes part
// of a range test of its barBeat. A record whose bar, sample position and
// category draw nothing costs a few comparisons; any other one gets every
// test in full (recordProblems). The rules are inlined and their state is a
// local, so the loop touches memory little beyond the record itself.
int32_t walkEvents() {
    const unsigned char* h = eventFrame();
    const int32_t total = static_cast<int32_t>(readHost32(h + es::totalEventCount));
    const int32_t totalSamples = static_cast<int32_t>(readHost32(h + es::totalSamples));
    const int32_t totalBarCount = g_run.totalBarCount;
    const uint64_t firstOffset = g_run.firstEventOffset;
    g_walkProblems = 0;
    WalkState w = beginWalk();

    uint8_t kinds[128];
    for (uint32_t c = 0; c < 128; ++c)
        kinds[c] = static_cast<uint8_t>(ruleOf(c) | (g_run.declared[c] || c == 127 ? 0 : kUndeclared));
    uint32_t counts[128] = {};

    // The records before the first one that is not readable (not wholly
    // before the image end), and not more than totalEventCount of them.
    const uint64_t readable = g_run.imageEnd > firstOffset ? (g_run.imageEnd - firstOffset) / kEventRecordSize : 0;
    const uint64_t visits = total > 0 ? std::min<uint64_t>(static_cast<uint64_t>(total), readable) : 0;
    const unsigned char* const first = g_run.image + firstOffset;
    const unsigned char* const end = first + kEventRecordSize * visits;

    Order order{0, kNoPreviousPosition};  // bar 0, beat 0; no sample yet
    bool afterTerminator = false;
    for (const unsigned char* r = first; r < end;) {
        const int32_t chunkPosition = static_cast<int32_t>(r - first);
        const int32_t zone = zoneAt(w.segment, chunkPosition);
        // The records of this segment: positions below its end.
        const unsigned char* const chunkEnd = w.segment.end < end - first ? first + w.segment.end : end;
        int32_t highest = highestQuietBarBeat(zone, afterTerminator, totalBarCount);
        int32_t lowest = std::max<int32_t>(order.previousBarBeat, 0x10);
        // Inside a zone the after-terminator flag changes no record's tests,
        // so outline records need the long way only outside every zone.
        const uint8_t attention = zone >= 0 ? kUndeclared : kUndeclared | kOutline;

        for (; r < chunkEnd; r += kEventRecordSize) {
            const Event e = readEvent(r);
            const uint32_t category = e.category();
            const uint8_t kind = kinds[category];
            const int32_t pos = e.position();
            const bool barred = e.barBeat < kFirstNoBar;
            const auto quiet = [&](uint8_t loud) {
                return pos >= order.previousSample && pos <= totalSamples && !(kind & loud) &&
                       (!barred || (e.barBeat >= lowest && e.barBeat <= highest));
            };

            bool ordered = quiet(attention);
            if (!ordered) [[unlikely]] {
                // A zone event sets the after-terminator flag before its own bar test.
                if ((kind & kOutline) && isZoneEvent(e)) {
                    afterTerminator = isTerminator(e);
                    highest = highestQuietBarBeat(zone, afterTerminator, totalBarCount);
                }
                ordered = quiet(kUndeclared);
            }
            if (ordered) {
                order.previousSample = pos;
                if (barred) lowest = order.previousBarBeat = e.barBeat;
            } else {
                order = recordProblems(e, fileOffset(r), zone >= 0, afterTerminator, totalSamples, order);
                lowest = std::max<int32_t>(order.previousBarBeat, 0x10);
            }
            ++counts[category];

            // Most frequent first.
            const uint8_t rule = kind & ~kUndeclared;
            if (rule == kNoRule) continue;
            if (rule == kBeat)
                beatRule(w, r, e);
            else if (rule == kChord)
                chordRule(w, r, e);
            else if (rule == kAbsoluteChord)
                absoluteChordRule(w, r, e);
            else if (rule == kMelody)
                melodyRule(w, r, e);
            else {
                if (isZoneEvent(e)) afterTerminator = isTerminator(e);
                outlineRule(w, r, e);
            }
        }
    }
    endWalk(w);
    for (uint32_t c = 0; c < 128; ++c) g_run.categoryCounts[c] += counts[c];
    return afterWalk(fileOffset(end)) - g_walkProblems;
}

}  // namespace kvel
