// The zone checker: size, count, numbering and every event position that a
// zone record holds; then each zone's values (zone_values.h). Each zone is
// checked by one definition, over a reporting policy: swept first, and
// reported only when the sweep finds something.
#include <cstring>

#include "check/checkers.h"
#include "check/outline_rule.h"
#include "check/report.h"
#include "check/zone_index.h"
#include "check/zone_values.h"

namespace kvel {
namespace {

constexpr bool isOutline(uint32_t value, uint32_t code) {
    return ((value >> 24) & 0x7F) == KVEL_CATEGORY_OUTLINE && (value & 0x7F) == code;
}

void prefetch(const unsigned char* at) {
#if defined(__GNUC__)
    if (at) __builtin_prefetch(at);
#else
    (void)at;
#endif
}

// Which of a zone's two zone events are read. Reporting reads both; a probe
// may leave them to the walk, which meets every record anyway (see
// CheckRun::zoneStartsLeftToWalk), or to the previous zone's end event.
struct Reads {
    bool start, end;
};

struct ZoneCheck {
    Check& c;
    uint32_t bound;  // B: positions above it are not read

    // The value word at `position`, or false when the position is above B or
    // its record is not held; both read as "does not point at the event".
    bool valueAt(uint32_t position, uint32_t& value) const {
        if (position > bound) return false;
        const unsigned char* record = eventAtPosition(c, position);
        if (!record) return false;
        value = readHost32(record + ev::value);
        return true;
    }

    bool pointsAt(uint32_t position, uint32_t code) const {
        uint32_t value = 0;
        return valueAt(position, value) && isOutline(value, code);
    }

    uint32_t eventFileOffset(uint32_t position) const { return c.run.firstEventOffset + position; }

    // A fade position: alignment, then the outline event it must point at.
    template <class Report>
    bool fade(uint32_t position, uint32_t fieldOffset, int32_t misaligned, int32_t wrongEvent, uint32_t code,
              const Report& report) const {
        if (position == kNoPosition) return true;
        if (position % kEventRecordSize != 0 && !report.error(misaligned, fieldOffset, 1, position)) return false;
        return pointsAt(position, code) || report.error(wrongEvent, fieldOffset, 1, position);
    }

    template <class Report>
    bool fades(const unsigned char* R, uint32_t r, const Report& report) const {
        uint64_t given[2];
        std::memcpy(given, R + zr::fadeInStart, sizeof given);
        if ((given[0] & given[1]) == ~uint64_t{0}) return true;  // no fades, as in all but the first and last zones
        const uint32_t fadeInStart = readHost32(R + zr::fadeInStart);
        const uint32_t fadeInEnd = readHost32(R + zr::fadeInEnd);
        if (!fade(fadeInStart, r + zr::fadeInStart, -2010, -2014, KVEL_OUTLINE_FADE_IN_START, report) ||
            !fade(fadeInEnd, r + zr::fadeInEnd, -2011, -2015, KVEL_OUTLINE_FADE_IN_END, report))
            return false;
        if (fadeInStart != kNoPosition && fadeInEnd != kNoPosition && fadeInStart >= fadeInEnd &&
            !report.error(-2018, r + zr::fadeInStart, 2, fadeInEnd, fadeInStart))
            return false;
        const uint32_t fadeOutStart = readHost32(R + zr::fadeOutStart);
        const uint32_t fadeOutEnd = readHost32(R + zr::fadeOutEnd);
        if (!fade(fadeOutStart, r + zr::fadeOutStart, -2012, -2016, KVEL_OUTLINE_FADE_OUT_START, report) ||
            !fade(fadeOutEnd, r + zr::fadeOutEnd, -2013, -2017, KVEL_OUTLINE_FADE_OUT_END, report))
            return false;
        return !(fadeOutStart != kNoPosition && fadeOutEnd != kNoPosition && fadeOutStart >= fadeOutEnd) ||
               report.error(-2019, r + zr::fadeOutEnd, 2, fadeOutEnd, fadeOutStart);
    }

    // Zone record R, index i of `count`, after `previous` (null for the first).
    template <class Report>
    KVEL_RULE bool zone(uint32_t i, uint32_t count, const unsigned char* R, const unsigned char* previous,
                        Reads reads, const Report& report) {
        const uint32_t r = c.run.zoneSubFrameOffset + zs::records + kZoneRecordSize * i;
        const uint16_t number = readHost16(R + zr::zoneNumber);
        const uint32_t start = readHost32(R + zr::zoneStart);
        const uint32_t end = readHost32(R + zr::zoneEnd);
        const bool last = i + 1 == count;

        if (number != i && !report.error(-2002, r, 2, i, number)) return false;

        if (start % kEventRecordSize != 0 && !report.error(-2003, r + zr::zoneStart, 1, start)) return false;
        uint32_t value = 0;
        if (reads.start) {
            if (!valueAt(start, value) || !isOutline(value, KVEL_OUTLINE_ZONE)) {
                if (!report.error(-2004, r + zr::zoneStart, 2, start, eventFileOffset(start))) return false;
            } else if (zoneNumberOf(value) != i &&
                       !report.error(-3604, eventFileOffset(start), 2, i, zoneNumberOf(value))) {
                return false;
            }
        }

        if (end % kEventRecordSize != 0 && !report.error(-2005, r + zr::zoneEnd, 1, end)) return false;
        if (reads.end) {
            if (!valueAt(end, value)) {
                if (!report.error(-2006, r + zr::zoneEnd, 2, end, eventFileOffset(end))) return false;
            } else {
                if (!isOutline(value, KVEL_OUTLINE_ZONE)) {
                    if (!report.error(-2006, r + zr::zoneEnd, 2, end, eventFileOffset(end))) return false;
                } else if (zoneNumberOf(value) != i + 1 && !last &&
                           !report.error(-3604, eventFileOffset(end), 2, i + 1, zoneNumberOf(value))) {
                    return false;
                }
                // The terminator test reads the same value word, zone event or not.
                if (zoneNumberOf(value) != KVEL_ZONE_TERMINATOR && last &&
                    !report.error(-2008, r + zr::zoneEnd, 1, end))
                    return false;
            }
        }

        if (start >= end && !report.error(-2009, r + zr::zoneStart, 2, end, start)) return false;
        if (previous && readHost32(previous + zr::zoneEnd) != start &&
            !report.error(-2029, r + zr::zoneStart, 2, start, end))
            return false;
        if (!fades(R, r, report)) return false;
        return zoneValues(R, i, c.run.totalBarCount, report);
    }

    // Out of the probing loops' way: a zone that raises something.
    [[gnu::noinline, gnu::cold]] void report(uint32_t i, uint32_t count, const unsigned char* R,
                                             const unsigned char* previous) {
        zone(i, count, R, previous, Reads{true, true}, Full{c});
    }

    // Sweeps zone i with the reads given, and reports it in full when the
    // sweep finds anything (with the bar count it had before). True when
    // the sweep found nothing.
    KVEL_RULE bool check(uint32_t i, uint32_t count, const unsigned char* R, Reads reads) {
        const unsigned char* previous = i > 0 ? R - kZoneRecordSize : nullptr;
        if (c.quietPaths) {
            const int32_t bars = c.run.totalBarCount;
            const Sweep sweep;
            zone(i, count, R, previous, reads, sweep);
            if (!sweep.found) [[likely]]
                return true;
            c.run.totalBarCount = bars;
        }
        report(i, count, R, previous);
        return false;
    }

    // Checks zones that follow one another (see chainZone), indexing them on
    // the way; false as soon as one does not.
    bool chain(uint16_t count) {
        const unsigned char* record = zoneRecord(c, 0);
        int32_t previousEnd = static_cast<int32_t>(readHost32(record + zr::zoneStart));
        if (previousEnd < 0) return false;
        for (uint32_t i = 0; i < count; ++i, record += kZoneRecordSize) {
            const int32_t start = static_cast<int32_t>(readHost32(record + zr::zoneStart));
            const int32_t end = static_cast<int32_t>(readHost32(record + zr::zoneEnd));
            if (start != previousEnd || start >= end) return false;
            chainZone(*c.zoneIndex, i, start, record[zr::meterNumerator]);
            check(i, count, record, Reads{false, i + 1 == count});
            previousEnd = end;
        }
        endChain(*c.zoneIndex, zoneRecord(c, 0), count, previousEnd);
        return true;
    }
};

}  // namespace

int32_t checkZones(Check& c, bool leaveStartsToWalk) {
    const int32_t problemsBefore = c.problems;
    const Full full{c};
    const unsigned char* frame = zoneFrame(c);
    const uint32_t frameSize = readHost32(frame + zs::frameSize);
    const uint16_t count = zoneCount(c);
    const uint32_t totalFrameSize = readHost32(c.in->image + mh::totalFrameSize);
    ZoneCheck check{c, totalFrameSize - frameSize - kEventRecordSize};

    const uint32_t expected = kZoneRecordSize * count + 2;
    if (frameSize != expected) full.error(-2027, c.run.zoneSubFrameOffset, 2, expected, frameSize);
    if (count == 0) {
        indexZones(c);
        full.error(-2001, c.run.zoneSubFrameOffset + zs::zoneCount);
        return problemsBefore - c.problems;
    }
    // Zones that follow one another, as in every well-formed file: the event
    // at a zone's start is also the previous zone's end, and the walk meets
    // it first thing in the zone. A quiet zone leaves those reads to the walk
    // (CheckRun::zoneStartsLeftToWalk), all but the terminator's: with many
    // zones those reads are spread over the whole body. The walk's records
    // lie below B anyway; the last zone's start at or below it keeps every
    // read left to the walk one that would have been made. Zones that turn
    // out not to follow one another are checked again from the first, as if
    // they had not been.
    if (c.quietPaths && leaveStartsToWalk && readHost32(zoneRecord(c, count - 1u) + zr::zoneStart) <= check.bound) {
        const ErrorMark mark = markErrors(*c.errors);
        const int32_t problems = c.problems;
        const int32_t bars = c.run.totalBarCount;
        if (check.chain(count)) {
            c.run.zoneStartsLeftToWalk = true;
            return problemsBefore - c.problems;
        }
        restoreErrors(*c.errors, mark);
        c.problems = problems;
        c.run.totalBarCount = bars;
    }
    indexZones(c);
    const unsigned char* record = zoneRecord(c, 0);
    // Each zone reads the event records at its start and end, spread over the
    // whole body when zones are many: fetching early the one of the zone 32
    // records on hides the wait for memory (checking a zone takes a small
    // fraction of a read from memory; eight zones ahead was too close).
    constexpr uint32_t kAhead = 32;
    uint32_t verified = kNoPosition;  // the previous zone's end, when its event was read and right
    for (uint32_t i = 0; i < count; ++i, record += kZoneRecordSize) {
        if (i + kAhead < count) prefetch(eventAtPosition(c, readHost32(record + kAhead * kZoneRecordSize + zr::zoneEnd)));
        const bool readStart = readHost32(record + zr::zoneStart) != verified;
        verified = check.check(i, count, record, Reads{readStart, true}) ? readHost32(record + zr::zoneEnd) : kNoPosition;
    }
    return problemsBefore - c.problems;
}

}  // namespace kvel
