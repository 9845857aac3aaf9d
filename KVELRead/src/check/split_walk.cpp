// A long walk on two threads. The quiet path runs ahead on a second thread
// from a bar's first beat near the middle of the body, starting from the
// state the walk would have there if every record before it raised
// nothing, which the records just before the beat show. Meanwhile the walk
// takes the records before the beat as always. If it arrives at the beat
// with that state, it takes the records the second thread took as they
// stand; if not, it goes on from the beat itself. A quiet run depends on
// nothing but the state it starts from and the records, so the result is
// that of one walk either way: a wrong guess costs time, never a record.
#include <algorithm>
#include <cstring>

#include "check/event_walk.h"
#include "check/zone_index.h"
#include "platform/parallel.h"

namespace kvel {
namespace {

// How far from the middle the split looks for a bar's first beat, and how
// far back from there it reads the state, in records.
constexpr uint32_t kLookAround = uint32_t{1} << 16;

// The parts of the state that only add up and decide nothing: the second
// part starts them at 0, and its sums are added to the first part's.
WalkState withoutSums(WalkState w) {
    w.outline.keyChanges = w.outline.tempoChanges = w.outline.meterChanges = 0;
    w.outline.zoneEventsAtStarts = 0;
    w.outline.zoneTerminator = 0;
    return w;
}

void addSums(WalkState& to, const WalkState& from) {
    to.outline.keyChanges += from.outline.keyChanges;
    to.outline.tempoChanges += from.outline.tempoChanges;
    to.outline.meterChanges += from.outline.meterChanges;
    to.outline.zoneEventsAtStarts += from.outline.zoneEventsAtStarts;
    to.outline.zoneTerminator |= from.outline.zoneTerminator;
}

uint8_t kindOf(const WalkLimits& limits, uint32_t value) { return limits.kinds[value >> 24]; }

// The first counted beat that starts a bar from the middle on, or null.
const unsigned char* splitPoint(const unsigned char* first, const unsigned char* end, const WalkLimits& limits) {
    const uint64_t records = static_cast<uint64_t>(end - first) / kEventRecordSize;
    const unsigned char* r = first + kEventRecordSize * (records / 2);
    const unsigned char* const last = records / 2 + kLookAround < records ? r + kEventRecordSize * kLookAround : end;
    for (; r < last; r += kEventRecordSize) {
        const uint32_t value = readHost32(r + ev::value);
        if ((kindOf(limits, value) & kBeatKind) && (value & kBeatBarStart) && !(value & kBeatUncounted)) return r;
    }
    return nullptr;
}

// The state of a walk that began with `start` and took every record from
// `first` up to `m` without a problem, as the records before `m` show it.
// False when they do not show it, or when the quiet path would not start
// at `m` with it.
bool stateBefore(const ZoneIndex& index, const unsigned char* first, const unsigned char* m, const WalkState& start,
                 const WalkLimits& limits, WalkState& s) {
    s = withoutSums(start);
    s.segment = zoneSegmentAfter(index, start.segment, static_cast<int32_t>(m - first));
    if (s.segment.zone < 0 || m == first) return false;
    s.afterTerminator = false;
    s.order.previousSample = readEvent(m - kEventRecordSize).position();
    // Read back: the last record with a bar, the last of each rule that
    // keeps a position, and the beats counted since the bar before began.
    bool barred = false, barStart = false, chord = false, absoluteChord = false, melody = false;
    int32_t counted = 0;
    const unsigned char* lastBeat = nullptr;
    const int64_t back = std::min<int64_t>((m - first) / kEventRecordSize, kLookAround);
    for (int64_t i = 1; i <= back; ++i) {
        const unsigned char* const q = m - kEventRecordSize * i;
        const Event e = readEvent(q);
        if (!barred && e.barBeat < kFirstNoBar) {
            s.order.previousBarBeat = e.barBeat;
            barred = true;
        }
        const uint8_t kind = kindOf(limits, e.value);
        if (kind & kBeatKind) {
            if (!lastBeat) {
                s.beatPosition = e.position();
                lastBeat = q;
            }
            if (!barStart) {
                counted += !(e.value & kBeatUncounted);
                barStart = (e.value & kBeatBarStart) != 0;
            }
        } else if ((kind & kRuleBits) == kChordRule && !chord) {
            s.chordPosition = e.position();
            chord = true;
        } else if ((kind & kRuleBits) == kAbsoluteChordRule && !absoluteChord) {
            s.absoluteChordPosition = e.position();
            absoluteChord = true;
        } else if ((kind & kRuleBits) == kMelodyRule && !melody) {
            s.melodyPosition = e.position();
            melody = true;
        }
        // The last beat is found no later than the bar's start.
        if (barred && barStart && chord && absoluteChord && melody) break;
    }
    // The bar count of the last beat's zone is under way, its first bar
    // behind it. A rule whose record was not found keeps the position it
    // started with, which is right when the body has no such record before
    // `m`.
    if (!barred || !barStart) return false;
    const int32_t beatZone = zoneSegmentAfter(index, s.segment, static_cast<int32_t>(lastBeat - first)).zone;
    s.beatBar = BeatBarState{beatZone, counted, false};
    // Every zone up to this one has begun with its zone event.
    s.outline.zoneEventCount = start.outline.zoneEventCount + s.segment.zone + 1;
    // The start event is one of a body's first records.
    const unsigned char* const firstFew = std::min(m, first + 64 * kEventRecordSize);
    for (const unsigned char* q = first; q < firstFew && s.outline.startEventPosition < 0; q += kEventRecordSize) {
        const Event e = readEvent(q);
        if ((kindOf(limits, e.value) & kRuleBits) == kOutlineRule && (e.value & 0x7F) == KVEL_OUTLINE_START)
            s.outline.startEventPosition = e.position();
    }
    return s.order.previousBarBeat >= 0x10;
}

}  // namespace

const unsigned char* splitWalk(Check& c, const unsigned char* first, const unsigned char* end, WalkState& w,
                               const WalkLimits& limits, WalkTables& t) {
    const unsigned char* const m = splitPoint(first, end, limits);
    WalkState guess;
    if (!m || !stateBefore(*c.zoneIndex, first, m, w, limits, guess)) return first;

    // The second part counts into tables of its own, and only reads the
    // zone index and the kinds; the first part alone appends records.
    WalkTables second;
    std::memcpy(second.quietKinds, t.quietKinds, sizeof second.quietKinds);
    std::memset(second.counts, 0, sizeof second.counts);
    WalkState ahead = guess;
    const unsigned char* stop = m;
    inParts(2, [&](unsigned part) {
        if (part == 0)
            walkRecords(c, first, first, m, w, limits, t);
        else
            stop = quietRun(*c.zoneIndex, m, first, end, ahead, limits, second);
    });

    // The walk as it would look `m` up before going on.
    zoneAt(*c.zoneIndex, w.segment, static_cast<int32_t>(m - first));
    if (!(withoutSums(w) == guess)) {
        ++c.splitsRefused;
        return m;
    }
    addSums(ahead, w);
    w = ahead;
    for (uint32_t i = 0; i < 256; ++i) t.counts[i] += second.counts[i];
    ++c.splitsKept;
    return stop;
}

}  // namespace kvel
