// The check driver: reset the per-check-run state and run the three checkers.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>

#include "check/checkers.h"
#include "check/event_walk.h"
#include "check/zone_index.h"

namespace kvel {

void initCheckState(Check& c) {
    c.quietPaths = true;
    c.threads = 1;
    c.splitFrom = kSplitWalkFrom;
    c.splitsKept = c.splitsRefused = 0;
    c.in = nullptr;
    c.errors = nullptr;
    c.problems = 0;
    c.beatBar = BeatBarState{-1, 0, true};
    c.walk.made = false;
}

void releaseCheckState(Check& c) {
    std::free(c.zoneIndex);
    c.zoneIndex = nullptr;
}

void raise(Check& c, int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2, uint32_t p3) {
    appendError(*c.errors, code, static_cast<int32_t>(offset), paramCount, p1, p2, p3);
    ++c.problems;
}

uint16_t zoneCount(const Check& c) {
    // A zone frameSize below 2 places the event sub-frame over the count, and
    // its conversion rewrites it: the count may then claim records that were
    // never held.
    const uint16_t count = readHost16(c.in->zoneSubFrame + zs::zoneCount);
    const uint64_t recordsAt = kZoneSubFrameOffset + kZoneHeaderSize;
    const uint64_t held = c.in->held > recordsAt ? (c.in->held - recordsAt) / kZoneRecordSize : 0;
    return static_cast<uint16_t>(std::min<uint64_t>(count, held));
}

namespace {

void resetRun(Check& c, int suppressWarnings, int allowUserCategories) {
    const CheckImage& in = *c.in;
    CheckRun& run = c.run;
    run.suppressWarnings = suppressWarnings != 0;
    run.allowUserCategories = allowUserCategories != 0;
    run.outline = OutlineFacts{-1, -1, 0, 0, 0, 0, 0, 0};
    run.totalBarCount = 0;
    run.firstEventOffset = static_cast<uint32_t>(in.firstEvent - in.image);
    run.eventSubFrameOffset = static_cast<uint32_t>(in.eventSubFrame - in.image);
    std::fill(std::begin(run.previousPosition), std::end(run.previousPosition), kNoPreviousPosition);
    std::fill(std::begin(run.categoryCounts), std::end(run.categoryCounts), 0u);
    run.zoneSubFrameOffset = kZoneSubFrameOffset;
    std::fill(std::begin(run.declared), std::end(run.declared), uint8_t{0});
    c.beatBar = BeatBarState{-1, 0, true};
    run.zoneStartsLeftToWalk = false;

    const uint64_t declaredEnd = uint64_t{kMainHeaderSize} + readHost32(in.image + mh::totalFrameSize);
    run.imageEnd = std::min(declaredEnd, in.held);
}

int32_t checkRun(Check& c, int suppressWarnings, int allowUserCategories, bool leaveStartsToWalk) {
    resetRun(c, suppressWarnings, allowUserCategories);
    int32_t result = checkMainHeader(c);
    result += checkZones(c, leaveStartsToWalk);
    result += checkEventSubFrame(c);
    return result;
}

}  // namespace

int32_t checkImage(Check& c, const CheckImage& image, ErrorList& errors, int suppressWarnings,
                   int allowUserCategories) {
    if (!c.zoneIndex) {
        // Once per reader: large, but its pages are touched only as far as a
        // file's zones reach.
        c.zoneIndex = static_cast<ZoneIndex*>(std::calloc(1, sizeof(ZoneIndex)));
        if (!c.zoneIndex) return -1;
    }
    c.in = &image;
    c.errors = &errors;
    c.problems = 0;
    const ErrorMark mark = markErrors(errors);
    int32_t result = checkRun(c, suppressWarnings, allowUserCategories, true);
    // A zone event left to the walk and not confirmed by it: the run is done
    // again, as if it had not been, with every zone event read.
    if (c.run.zoneStartsLeftToWalk && c.run.outline.zoneEventsAtStarts != zoneCount(c)) {
        restoreErrors(errors, mark);
        c.problems = 0;
        result = checkRun(c, suppressWarnings, allowUserCategories, false);
    }
    return result;
}

}  // namespace kvel
