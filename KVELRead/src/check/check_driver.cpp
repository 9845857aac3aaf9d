// KVELCheckFormat: reset the per-check-run state and run the three checkers.
#include <algorithm>
#include <iterator>

#include "KVELRead.h"
#include "check/checkers.h"
#include "interface/reader_state.h"

namespace kvel {

CheckRun g_run;
bool g_quietPaths = true;
BeatBarState g_beatBar{-1, 0, true};

const unsigned char* readableRecord(uint64_t index) {
    const uint64_t at = uint64_t{g_run.firstEventOffset} + kEventRecordSize * index;
    return at + kEventRecordSize <= g_run.imageEnd ? g_run.image + at : nullptr;
}

void raise(int32_t code, uint32_t offset, int32_t paramCount, uint32_t p1, uint32_t p2, uint32_t p3) {
    appendError(code, static_cast<int32_t>(offset), paramCount, p1, p2, p3);
}

const unsigned char* zoneFrame() { return g_reader.zoneSubFrame; }
uint16_t zoneCount() {
    // A zone frameSize below 2 places the event sub-frame over the count, and
    // its conversion rewrites it: the count may then claim records that were
    // never held.
    const uint16_t count = readHost16(g_reader.zoneSubFrame + zs::zoneCount);
    const uint64_t recordsAt = kZoneSubFrameOffset + kZoneHeaderSize;
    const uint64_t held = g_run.held > recordsAt ? (g_run.held - recordsAt) / kZoneRecordSize : 0;
    return static_cast<uint16_t>(std::min<uint64_t>(count, held));
}
const unsigned char* zoneRecord(uint32_t index) {
    return g_reader.zoneSubFrame + zs::records + uint64_t{kZoneRecordSize} * index;
}
const unsigned char* eventFrame() { return g_reader.eventSubFrame; }

namespace {

void resetRun(int suppressWarnings, int allowUserCategories) {
    g_run.suppressWarnings = suppressWarnings != 0;
    g_run.allowUserCategories = allowUserCategories != 0;
    g_run.outline = OutlineFacts{-1, -1, 0, 0, 0, 0, 0, 0};
    g_run.totalBarCount = 0;
    g_run.firstEventOffset = static_cast<uint32_t>(g_reader.firstEvent - g_reader.buffer);
    g_run.eventSubFrameOffset = static_cast<uint32_t>(g_reader.eventSubFrame - g_reader.buffer);
    std::fill(std::begin(g_run.previousPosition), std::end(g_run.previousPosition), kNoPreviousPosition);
    std::fill(std::begin(g_run.categoryCounts), std::end(g_run.categoryCounts), 0u);
    g_run.zoneSubFrameOffset = kZoneSubFrameOffset;
    std::fill(std::begin(g_run.declared), std::end(g_run.declared), uint8_t{0});
    g_beatBar = BeatBarState{-1, 0, true};
    g_run.zoneStartsLeftToWalk = false;

    g_run.image = g_reader.buffer;
    g_run.held = g_reader.heldSize;
    const uint64_t declaredEnd = uint64_t{kMainHeaderSize} + readHost32(g_reader.mainHeader + mh::totalFrameSize);
    g_run.imageEnd = std::min(declaredEnd, g_run.held);
}

int32_t checkRun(int suppressWarnings, int allowUserCategories, bool leaveStartsToWalk) {
    resetRun(suppressWarnings, allowUserCategories);
    int32_t result = checkMainHeader();
    result += checkZones(leaveStartsToWalk);
    result += checkEventSubFrame();
    return result;
}

}  // namespace
}  // namespace kvel

extern "C" KVEL_API int KVELCheckFormat(int suppressWarnings, int allowUserCategories) {
    // Nothing loaded (or an image refused for its signature): nothing to read.
    if (!kvel::framesLoaded()) {
        kvel::appendError(kvel::kCannotRead, kvel::kNoOffset);
        return -1;
    }
    const kvel::ErrorMark mark = kvel::markErrors();
    int32_t result = kvel::checkRun(suppressWarnings, allowUserCategories, true);
    // A zone event left to the walk and not confirmed by it: the run is done
    // again, as if it had not been, with every zone event read.
    if (kvel::g_run.zoneStartsLeftToWalk && kvel::g_run.outline.zoneEventsAtStarts != kvel::zoneCount()) {
        kvel::restoreErrors(mark);
        result = kvel::checkRun(suppressWarnings, allowUserCategories, false);
    }
    return result;
}
