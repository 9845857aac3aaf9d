// The event walk: every event record in body order, then the outline facts
// gathered on the way (start and end events, zone events, the terminator).
#include "check/checkers.h"
#include "interface/reader_state.h"

namespace kvel {
namespace {

constexpr uint32_t kNoBar = 0xFFF;

int32_t dispatch(int32_t position, uint32_t offset, const Event& e) {
    switch (e.category()) {
        case 1: return beatRule(position, offset, e);
        case 8: return chordRule(offset, e);
        case 9: return absoluteChordRule(offset, e);
        case 16: return melodyRule(offset, e);
        case 47: return outlineRule(offset, e);
        default: return 0;
    }
}

// The sample position of the record that event position `position` falls in
// (record position / 10, remainder dropped), or false when it is not readable.
bool sampleAtPosition(uint32_t position, int32_t& sample) {
    const unsigned char* record = readableRecord(position / kEventRecordSize);
    if (!record) return false;
    sample = static_cast<int32_t>(readHost32(record + ev::samplePosition));
    return true;
}

void afterWalk(uint32_t offset, Tally& tally) {
    const uint16_t zones = zoneCount();
    // With no zone there is no first or last zone to hold the events to; the
    // zone checker has reported the file already.
    if (zones > 0) {
        const unsigned char* first = zoneRecord(0);
        int32_t s0 = 0;
        if (!readableRecord(readHost32(first + zr::zoneEnd) / kEventRecordSize)) return;
        // The first zone's start record lies past the image end only when the
        // zone starts after it ends; the walk then ends here as well.
        if (!sampleAtPosition(readHost32(first + zr::zoneStart), s0)) return;
        if (g_run.startEventPosition < 0) tally.error(-3026, offset);
        if (g_run.startEventPosition < s0)
            tally.error(-3027, offset, 2, static_cast<uint32_t>(g_run.startEventPosition), static_cast<uint32_t>(s0));

        int32_t sL = 0;
        if (!sampleAtPosition(readHost32(zoneRecord(zones - 1u) + zr::zoneEnd), sL)) return;
        if (g_run.endEventPosition < 0) tally.error(-3028, offset);
        if (g_run.endEventPosition > sL)
            tally.error(-3029, offset, 2, static_cast<uint32_t>(g_run.endEventPosition), static_cast<uint32_t>(sL));
    }
    if (g_run.zoneEventCount != zones)
        tally.error(-3030, offset, 2, zones, static_cast<uint32_t>(g_run.zoneEventCount));
    if (!g_run.zoneTerminator) tally.error(-3031, offset);
}

}  // namespace

int32_t walkEvents() {
    const unsigned char* h = eventFrame();
    const int32_t total = static_cast<int32_t>(readHost32(h + es::totalEventCount));
    const int32_t totalSamples = static_cast<int32_t>(readHost32(h + es::totalSamples));
    Tally tally;

    int32_t position = 0;
    uint32_t offset = g_run.firstEventOffset;
    int32_t previousBar = 0, previousBeat = 0;
    int32_t previousSample = kNoPreviousPosition;
    bool afterTerminator = false;

    for (int32_t index = 0; index < total; ++index) {
        const unsigned char* record = readableRecord(static_cast<uint64_t>(index));
        if (!record) break;  // the rest is not held; -2028 shows the shortfall
        const Event e = readEvent(record);
        const int32_t bar = e.bar();
        const uint32_t category = e.category();

        if (bar == 0) tally.error(-3033, offset);
        if (category == 47 && (e.value & 0x7F) == 1) afterTerminator = ((e.value >> 7) & 0xFFFF) == 0xFFFF;
        if (bar != kNoBar) {
            if (bar > g_run.totalBarCount)
                tally.error(-3019, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(g_run.totalBarCount));
            if (findZone(position) < 0 && !afterTerminator) tally.error(-3020, offset);
            if (bar < previousBar)
                tally.error(-3021, offset, 2, static_cast<uint32_t>(bar), static_cast<uint32_t>(previousBar));
            else if (bar == previousBar && e.beat() < previousBeat)
                tally.error(-3022, offset, 2, static_cast<uint32_t>(e.beat()), static_cast<uint32_t>(previousBeat));
            previousBar = bar;
            previousBeat = e.beat();
        }
        const int32_t pos = e.position();
        if (pos < previousSample)
            tally.error(-3023, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(previousSample));
        previousSample = pos;
        if (pos > totalSamples) {
            if (category == 1 || category == 47)
                tally.warning(-13005, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
            else
                tally.error(-3024, offset + ev::samplePosition, 2, e.samplePosition, static_cast<uint32_t>(totalSamples));
        }
        if (!g_run.declared[category] && category < 127) tally.error(-3025, offset + ev::value, 1, category);
        ++g_run.categoryCounts[category];
        tally.result += dispatch(position, offset, e);

        position += kEventRecordSize;
        offset += kEventRecordSize;
    }
    afterWalk(offset, tally);
    return tally.result;
}

}  // namespace kvel
