// The zone checker: size, count, numbering and every event position that a
// zone record holds; then each zone's values (zone_values.cpp).
#include <cstring>

#include "check/checkers.h"
#include "check/zone_index.h"

namespace kvel {
namespace {

constexpr uint32_t kOutlineCategory = 47;
constexpr uint32_t kZoneEventCode = 1;

bool isOutline(uint32_t value, uint32_t code) {
    return ((value >> 24) & 0x7F) == kOutlineCategory && (value & 0x7F) == code;
}

uint32_t zoneNumberOf(uint32_t value) { return (value >> 7) & 0xFFFF; }

void prefetch(const unsigned char* at) {
#if defined(__GNUC__)
    if (at) __builtin_prefetch(at);
#else
    (void)at;
#endif
}

struct ZoneCheck {
    Check& c;
    uint32_t bound;  // B: positions above it are not read
    Tally tally;

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
    void fade(uint32_t position, uint32_t fieldOffset, int32_t misaligned, int32_t wrongEvent,
              uint32_t code) {
        if (position == kNoPosition) return;
        if (position % kEventRecordSize != 0) tally.error(misaligned, fieldOffset, 1, position);
        if (!pointsAt(position, code)) tally.error(wrongEvent, fieldOffset, 1, position);
    }

    void zone(uint32_t i, uint32_t count, const unsigned char* record, const unsigned char* previous);

    // Whether zone() would raise nothing for zone i, from fewer reads. Every
    // fade unset, as in all but the first and last zones. The event at the
    // zone's start is read when `readStart`, at its end when `readEnd`; a
    // read left out is the caller's to make or to leave to the walk.
    bool quiet(uint32_t i, uint32_t count, const unsigned char* R, uint32_t previousEnd, bool readStart,
               bool readEnd) {
        const uint32_t start = readHost32(R + zr::zoneStart), end = readHost32(R + zr::zoneEnd);
        uint64_t fades[2];
        std::memcpy(fades, R + zr::fadeInStart, sizeof fades);
        uint32_t value = 0;
        if (readHost16(R + zr::zoneNumber) != i || start >= end || end % kEventRecordSize != 0 ||
            (i > 0 ? previousEnd != start : start % kEventRecordSize != 0) || (fades[0] & fades[1]) != ~uint64_t{0})
            return false;
        if (readEnd && (!valueAt(end, value) || !isOutline(value, kZoneEventCode) ||
                        zoneNumberOf(value) != (i + 1 == count ? 0xFFFF : i + 1)))
            return false;
        if (readStart && (start % kEventRecordSize != 0 || !valueAt(start, value) ||
                          !isOutline(value, kZoneEventCode) || zoneNumberOf(value) != i))
            return false;
        return quietZoneValues(c, R);
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
            if (!quiet(i, count, record, static_cast<uint32_t>(previousEnd), false, i + 1 == count))
                zone(i, count, record, i > 0 ? record - kZoneRecordSize : nullptr);
            previousEnd = end;
        }
        endChain(*c.zoneIndex, zoneRecord(c, 0), count, previousEnd);
        return true;
    }
};

void ZoneCheck::zone(uint32_t i, uint32_t count, const unsigned char* R, const unsigned char* previous) {
    const uint32_t r = c.run.zoneSubFrameOffset + zs::records + kZoneRecordSize * i;
    const uint16_t number = readHost16(R + zr::zoneNumber);
    const uint32_t start = readHost32(R + zr::zoneStart);
    const uint32_t end = readHost32(R + zr::zoneEnd);
    const bool last = i + 1 == count;

    if (number != i) tally.error(-2002, r, 2, i, number);

    if (start % kEventRecordSize != 0) tally.error(-2003, r + zr::zoneStart, 1, start);
    uint32_t value = 0;
    if (!valueAt(start, value) || !isOutline(value, kZoneEventCode))
        tally.error(-2004, r + zr::zoneStart, 2, start, eventFileOffset(start));
    else if (zoneNumberOf(value) != i)
        tally.error(-3604, eventFileOffset(start), 2, i, zoneNumberOf(value));

    if (end % kEventRecordSize != 0) tally.error(-2005, r + zr::zoneEnd, 1, end);
    if (!valueAt(end, value)) {
        tally.error(-2006, r + zr::zoneEnd, 2, end, eventFileOffset(end));
    } else {
        if (!isOutline(value, kZoneEventCode))
            tally.error(-2006, r + zr::zoneEnd, 2, end, eventFileOffset(end));
        else if (zoneNumberOf(value) != i + 1 && !last)
            tally.error(-3604, eventFileOffset(end), 2, i + 1, zoneNumberOf(value));
        // The terminator test reads the same value word, zone event or not.
        if (zoneNumberOf(value) != 0xFFFF && last) tally.error(-2008, r + zr::zoneEnd, 1, end);
    }

    if (start >= end) tally.error(-2009, r + zr::zoneStart, 2, end, start);
    if (previous && readHost32(previous + zr::zoneEnd) != start)
        tally.error(-2029, r + zr::zoneStart, 2, start, end);

    const uint32_t fadeInStart = readHost32(R + zr::fadeInStart);
    const uint32_t fadeInEnd = readHost32(R + zr::fadeInEnd);
    fade(fadeInStart, r + zr::fadeInStart, -2010, -2014, 32);
    fade(fadeInEnd, r + zr::fadeInEnd, -2011, -2015, 33);
    if (fadeInStart != kNoPosition && fadeInEnd != kNoPosition && fadeInStart >= fadeInEnd)
        tally.error(-2018, r + zr::fadeInStart, 2, fadeInEnd, fadeInStart);

    const uint32_t fadeOutStart = readHost32(R + zr::fadeOutStart);
    const uint32_t fadeOutEnd = readHost32(R + zr::fadeOutEnd);
    fade(fadeOutStart, r + zr::fadeOutStart, -2012, -2016, 40);
    fade(fadeOutEnd, r + zr::fadeOutEnd, -2013, -2017, 41);
    if (fadeOutStart != kNoPosition && fadeOutEnd != kNoPosition && fadeOutStart >= fadeOutEnd)
        tally.error(-2019, r + zr::fadeOutEnd, 2, fadeOutEnd, fadeOutStart);

    tally.result += checkZoneValues(c, R, i);
}

}  // namespace

int32_t checkZones(Check& c, bool leaveStartsToWalk) {
    const unsigned char* frame = zoneFrame(c);
    const uint32_t frameSize = readHost32(frame + zs::frameSize);
    const uint16_t count = zoneCount(c);
    const uint32_t totalFrameSize = readHost32(c.in->image + mh::totalFrameSize);
    ZoneCheck check{c, totalFrameSize - frameSize - kEventRecordSize, Tally{c}};

    const uint32_t expected = kZoneRecordSize * count + 2;
    if (frameSize != expected) check.tally.error(-2027, c.run.zoneSubFrameOffset, 2, expected, frameSize);
    if (count == 0) {
        indexZones(c);
        check.tally.error(-2001, c.run.zoneSubFrameOffset + zs::zoneCount);
        return check.tally.result;
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
        const int32_t result = check.tally.result, problems = c.problems;
        const int32_t bars = c.run.totalBarCount;
        if (check.chain(count)) {
            c.run.zoneStartsLeftToWalk = true;
            return check.tally.result;
        }
        restoreErrors(*c.errors, mark);
        check.tally.result = result;
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
        const uint32_t previousEnd = i > 0 ? readHost32(record - kZoneRecordSize + zr::zoneEnd) : 0;
        const bool readStart = readHost32(record + zr::zoneStart) != verified;
        if (c.quietPaths && check.quiet(i, count, record, previousEnd, readStart, true)) {
            verified = readHost32(record + zr::zoneEnd);
            continue;
        }
        verified = kNoPosition;
        check.zone(i, count, record, i > 0 ? record - kZoneRecordSize : nullptr);
    }
    return check.tally.result;
}

}  // namespace kvel
