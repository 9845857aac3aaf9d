// The event walk's quiet path: the records that raise nothing, taken with
// the fewest tests that show it.
#include <algorithm>
#include <cstring>

#include "check/chord_rules.h"
#include "check/event_walk.h"
#include "check/zone_index.h"

namespace kvel {

namespace {

// The Quiet of a declared category's record with bits 21 to 23 `flags`.
constexpr Quiet quietOf(Rule rule, uint32_t flags) {
    switch (rule) {
        case kNoRule: return kQuiet;
        // Flag combinations 3, 6 and 7 draw -3102.
        case kBeatRule:
            if (flags == 3 || flags >= 6) return kLoud;
            return flags & 1 ? kBarStartBeat : flags & 2 ? kUncountedBeat : kBeat;
        case kChordRule: return flags == 0 ? kChord : kLoud;
        case kAbsoluteChordRule: return flags & 4 ? kLoud : kAbsoluteChord;
        case kMelodyRule: return flags & 3 ? kLoud : kMelody;
        case kOutlineRule: return kOutline;
    }
    return kLoud;
}

// The eight entries of each rule, for all values of bits 21 to 23.
struct FlagRow {
    uint8_t quiet[8];
};
constexpr FlagRow flagRow(Rule rule) {
    FlagRow row{};
    for (uint32_t flags = 0; flags < 8; ++flags) row.quiet[flags] = quietOf(rule, flags);
    return row;
}
constexpr FlagRow kFlagRows[] = {flagRow(kNoRule),           flagRow(kBeatRule),   flagRow(kChordRule),
                                 flagRow(kAbsoluteChordRule), flagRow(kMelodyRule), flagRow(kOutlineRule)};
constexpr FlagRow kLoudRow = {{kLoud, kLoud, kLoud, kLoud, kLoud, kLoud, kLoud, kLoud}};

}  // namespace

void fillQuietTable(const Check& c, uint8_t table[2048]) {
    for (uint32_t top = 0; top < 256; ++top) {
        const uint32_t category = top & 0x7F;
        const bool declared = c.run.declared[category] || category == 127;
        std::memcpy(table + 8 * top, (declared ? kFlagRows[ruleOf(category)] : kLoudRow).quiet, 8);
    }
}

namespace {

// Whether the record's kind counts it in k.counts as it is taken (beats and
// outline records are counted apart).
bool countedInTable(Quiet kind) {
    return kind != kBeat && kind != kBarStartBeat && kind != kUncountedBeat && kind != kOutline;
}

// The outline records taken: each counts one zone event or change.
uint32_t outlineRecords(const OutlineFacts& o) {
    return static_cast<uint32_t>(o.zoneEventCount) + static_cast<uint32_t>(o.keyChanges) +
           static_cast<uint32_t>(o.tempoChanges) + static_cast<uint32_t>(o.meterChanges);
}

// One pass of the quiet path; see quietRun. kBounded: each record is held to
// both ends of its sample and bar ranges. Otherwise the upper ends (the
// total sample count, the highest quiet barBeat) stay out of the loop: the
// records the pass takes have non-decreasing sample positions and barBeats,
// so the last ones taken show whether any went past them. If any did, the
// pass takes its counts back and returns null, leaving `k` as it was.
// Aligned so that the loop's speed does not move with the size of unrelated
// code linked before it (by a tenth, measured).
template <bool kBounded>
[[gnu::noinline, gnu::aligned(64)]] const unsigned char* quietPass(ZoneIndex& index, const unsigned char* r,
                                                                   const unsigned char* const first,
                                                                   const unsigned char* const end, Walk& k,
                                                                   const int32_t highest, const int32_t totalSamples) {
    const unsigned char* const start = r;
    uint32_t previousSample = static_cast<uint32_t>(k.order.previousSample);
    // A barred record is quiet when lowest <= barBeat < limit; limit is at
    // most kFirstNoBar, and lowest is raised to it when nothing is quiet.
    const uint32_t limit = static_cast<uint32_t>(highest + 1);
    const uint32_t lowest0 = std::min<uint32_t>(k.order.previousBarBeat, limit);
    uint32_t lowest = lowest0;

    ZoneSegment segment = k.w.segment;
    BeatBarState bar = k.w.beatBar;
    int32_t beatPosition = k.w.beatPosition, chordPosition = k.w.chordPosition;
    int32_t absoluteChordPosition = k.w.absoluteChordPosition, melodyPosition = k.w.melodyPosition;
    OutlineFacts outline = k.w.outline;
    bool afterTerminator = k.afterTerminator;
    uint32_t beats = 0;  // the most frequent category is counted here

    const auto stopOf = [&](const ZoneSegment& g) { return g.end < end - first ? first + g.end : end; };
    const unsigned char* stop = stopOf(segment);
    // A beat in a new zone starts a new count (and a new first bar).
    bool newZone = segment.zone != bar.rememberedZone;
    for (;; r += kEventRecordSize) {
        if (r >= stop) [[unlikely]] {
            // The next segment, while it lies in a zone.
            if (r >= end) break;
            // Any other step is the caller's: a search would be a call here,
            // and a call in this loop would push its state out of registers.
            if (!stepZoneSegment(index, static_cast<int32_t>(r - first), segment) || segment.zone < 0) break;
            stop = stopOf(segment);
            newZone = segment.zone != bar.rememberedZone;
        }
        const Event e = readEvent(r);
        const int32_t pos = e.position();
        if (pos < static_cast<int32_t>(previousSample)) break;
        if (kBounded && pos > totalSamples) break;
        // A record without a bar is above every limit, and leaves lowest.
        const uint32_t barBeat = e.barBeat;
        uint32_t nextLowest = barBeat;
        if (barBeat < lowest) break;
        if (barBeat >= (kBounded ? limit : kFirstNoBar)) [[unlikely]] {
            if (barBeat < kFirstNoBar) break;
            nextLowest = lowest;
        }
        const uint32_t v = e.value;
        const Quiet kind = static_cast<Quiet>(k.quiet[v >> 21]);
        // The two most frequent kinds first. A counted beat is a bit of its
        // own, so that its test stays out of the jump table for the rest.
        if (kind == kQuiet) {
            ++k.counts[v >> 24];
        } else if (kind & kBeat) {
            if (pos == beatPosition) break;
            // Made before the tests end, the new count is what the full path
            // would start with too.
            if (newZone) [[unlikely]] {
                bar = BeatBarState{segment.zone, 0, true};
                newZone = false;
            }
            ++bar.beatsCounted;
            beatPosition = pos;
            ++beats;
        } else if (kind == kBarStartBeat) {
            if (pos == beatPosition) break;
            if (newZone) [[unlikely]] {
                // The zone's first bar starts: its count of 0 passes as the
                // zone's one short first bar unless the meter is 0 as well.
                bar = BeatBarState{segment.zone, 1, segment.meterNumerator == 0};
                newZone = false;
            } else {
                // The first bar of a zone may be short: its mismatch passes once.
                if (bar.beatsCounted != segment.meterNumerator) {
                    if (!bar.firstBar) break;
                    bar.firstBar = false;
                }
                bar.beatsCounted = 1;
            }
            beatPosition = pos;
            ++beats;
        } else if (kind == kChord) {
            if (!validChordNumber((v >> 8) & 0xFF) || invalidSharpFlat(v) || (v & 0xE0) || pos == chordPosition ||
                pos == absoluteChordPosition)
                break;
            chordPosition = pos;
            ++k.counts[v >> 24];
        } else if (kind == kAbsoluteChord) {
            if (invalidSharpFlat(v) || (v & 0x7FFFE0) == 0 || pos == chordPosition || pos == absoluteChordPosition)
                break;
            absoluteChordPosition = pos;
            ++k.counts[v >> 24];
        } else if (kind == kMelody) {
            if ((v & 0x1FF000) || pos == melodyPosition) break;
            melodyPosition = pos;
            ++k.counts[v >> 24];
        } else if (kind == kOutline) {
            // Inside a zone the after-terminator flag changes no test.
            const uint32_t code = v & 0x7F;
            if (code == 1) {
                // Quiet only at the start of the zone it numbers, as in every
                // well-formed file: each one taken counts as met there.
                if (isTerminator(e) || ((v >> 7) & 0xFFFF) != static_cast<uint32_t>(outline.zoneEventCount) ||
                    outline.zoneEventCount != segment.zone || r - first != segment.first)
                    break;
                ++outline.zoneEventCount;
                afterTerminator = false;
            } else if (code == 2) {
                ++outline.keyChanges;
            } else if (code == 3) {
                ++outline.tempoChanges;
            } else if (code == 4) {
                ++outline.meterChanges;
            } else {
                break;
            }
        } else if (kind == kUncountedBeat) {
            if (pos == beatPosition) break;
            if (newZone) [[unlikely]] {
                bar = BeatBarState{segment.zone, 0, true};
                newZone = false;
            }
            beatPosition = pos;
            ++beats;
        } else {
            break;
        }
        previousSample = static_cast<uint32_t>(pos);
        lowest = nextLowest;
    }

    if (!kBounded && (static_cast<int32_t>(previousSample) > totalSamples || lowest >= limit)) {
        for (const unsigned char* q = start; q < r; q += kEventRecordSize) {
            const uint32_t v = readHost32(q + ev::value);
            if (countedInTable(static_cast<Quiet>(k.quiet[v >> 21]))) --k.counts[v >> 24];
        }
        return nullptr;
    }
    k.w.segment = segment;
    // previousBarBeat (at least lowest0) changed when lowest did.
    k.order = Order{lowest != lowest0 ? static_cast<uint16_t>(lowest) : k.order.previousBarBeat,
                    static_cast<int32_t>(previousSample)};
    k.w.beatBar = bar;
    k.w.beatPosition = beatPosition;
    k.w.chordPosition = chordPosition;
    k.w.absoluteChordPosition = absoluteChordPosition;
    k.w.melodyPosition = melodyPosition;
    outline.zoneEventsAtStarts += outline.zoneEventCount - k.w.outline.zoneEventCount;
    k.counts[47] += outlineRecords(outline) - outlineRecords(k.w.outline);
    k.w.outline = outline;
    k.afterTerminator = afterTerminator;
    k.counts[1] += beats;
    return r;
}

}  // namespace

// The records from `r` on that raise nothing, in the forms that need no
// call, through any zone segments inside zones: returns the first record
// that may raise something or needs the full path, the first outside every
// zone or of a segment that does not follow the last one, or `end`; the
// caller looks up its segment again. A record's state changes are made only
// after all its tests pass, so the full path finds that record untouched.
// `highest` is the highest quiet barBeat inside a zone; the previous barBeat
// is at least 0x10 (bar 1), and r lies in a zone. The state lives in locals
// and goes back to `k` at the end, so the loop runs in registers.
const unsigned char* quietRun(ZoneIndex& index, const unsigned char* r, const unsigned char* const first, const unsigned char* const end,
                              Walk& k, const int32_t highest, const int32_t totalSamples) {
    // Past the totals no record can be quiet, and no barred one past the
    // highest barBeat: the unbounded pass would be taken back.
    if (k.order.previousSample > totalSamples) return r;
    if (k.order.previousBarBeat <= highest) {
        if (const unsigned char* stop = quietPass<false>(index, r, first, end, k, highest, totalSamples)) return stop;
    }
    return quietPass<true>(index, r, first, end, k, highest, totalSamples);
}

}  // namespace kvel
