// The event sub-frame checker: header fields and category table, the event
// walk, then the totals that the walk and the rules gathered.
#include <initializer_list>

#include "check/checkers.h"

namespace kvel {
namespace {

constexpr uint32_t kMaxSamples = 0x6DDD000;
constexpr uint32_t kTuneNotGiven = 0xFFFFFFFF;

bool validCategory(const Check& c, uint32_t id) {
    switch (id) {
        case KVEL_CATEGORY_BEAT: case KVEL_CATEGORY_CHORD: case KVEL_CATEGORY_ABSOLUTE_CHORD:
        case KVEL_CATEGORY_MELODY: case KVEL_CATEGORY_PLAIN_24: case KVEL_CATEGORY_PLAIN_25:
        case KVEL_CATEGORY_PLAIN_32: case KVEL_CATEGORY_OUTLINE:
            return true;
        default:
            return c.run.allowUserCategories && id >= KVEL_CATEGORY_USER_FIRST && id <= KVEL_CATEGORY_USER_LAST;
    }
}

bool expectedSampleRate(uint32_t rate) {
    for (uint32_t r : {11025u, 16000u, 22050u, 32000u, 44100u, 48000u, 64000u, 96000u, 192000u})
        if (rate == r) return true;
    return false;
}

}  // namespace

int32_t checkEventSubFrame(Check& c) {
    const unsigned char* h = eventFrame(c);
    const uint32_t E = c.run.eventSubFrameOffset;
    Tally tally{c};

    const uint32_t frameSize = readHost32(h + es::frameSize);
    const uint32_t headerSize = readHost32(h + es::headerSize);
    const uint32_t sampleRate = readHost32(h + es::sampleRate);
    const uint32_t totalSamples = readHost32(h + es::totalSamples);
    const uint32_t effectiveStart = readHost32(h + es::effectiveStart);
    const uint32_t effectiveEnd = readHost32(h + es::effectiveEnd);
    const uint8_t channels = h[es::channelCount];
    const uint8_t bits = h[es::bitsPerSample];
    const uint32_t n = readHost16(h + es::categoryCount);
    const uint32_t masterTune = readHost32(h + es::masterTune);
    const uint32_t totalEventCount = readHost32(h + es::totalEventCount);

    const uint32_t expectedFrame = static_cast<uint32_t>(c.in->eventBodySize) + 4 * n + 36;
    if (frameSize != expectedFrame) tally.error(-3001, E + es::frameSize, 2, expectedFrame, frameSize);
    if (headerSize != 4 * n + 28) tally.error(-3002, E + es::headerSize, 2, 4 * n + 28, headerSize);
    if (sampleRate < 11025 || sampleRate > 192000)
        tally.error(-3003, E + es::sampleRate, 1, sampleRate);
    else if (!expectedSampleRate(sampleRate))
        tally.warning(-13001, E + es::sampleRate, 1, sampleRate);
    if (totalSamples > kMaxSamples) tally.error(-3004, E + es::totalSamples, 1, totalSamples);
    if (effectiveStart > kMaxSamples) tally.error(-3005, E + es::effectiveStart, 1, effectiveStart);
    if (effectiveEnd > kMaxSamples) tally.error(-3006, E + es::effectiveEnd, 1, effectiveEnd);
    if (effectiveEnd <= effectiveStart)
        tally.error(-3007, E + es::effectiveEnd, 2, effectiveEnd, effectiveStart);
    if (channels == 0) tally.error(-3008, E + es::channelCount);
    if (channels != 2) tally.warning(-13002, E + es::channelCount, 1, channels);
    if (bits == 0) tally.error(-3009, E + es::bitsPerSample);
    if (bits != 16 && bits != 24) tally.warning(-13003, E + es::bitsPerSample, 1, bits);
    if (n == 0) tally.error(-3010, E + es::categoryCount);
    if (n > 9) tally.error(-3011, E + es::categoryCount, 1, n);
    if (masterTune != kTuneNotGiven) {
        if (masterTune > 466 || masterTune < 415) tally.error(-3012, E + es::masterTune, 1, masterTune);
        if (masterTune != 440) tally.warning(-13004, E + es::masterTune, 1, masterTune);
    }
    if (totalEventCount == 0) tally.error(-3013, E + es::totalEventCount);

    // The loaders make no frame current unless its whole table is held.
    const unsigned char* table = h + es::categories;
    for (uint8_t& flag : c.run.declared) flag = 0;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t entry = readHost32(table + 4 * i);
        const uint32_t id = (entry >> 24) & 0x7F;
        const uint32_t offset = E + es::categories + 4 * i;
        sum += entry & 0xFFFFFF;
        if (id == 0)
            tally.error(-3014, offset, 1, entry);
        else if (c.run.declared[id])
            tally.error(-3015, offset, 1, entry);
        c.run.declared[id] = 1;
        if (!validCategory(c, id)) tally.error(-3016, offset, 1, entry);
        if ((entry & 0xFFFFFF) == 0) tally.error(-3017, offset, 1, entry);
    }
    if (totalEventCount != sum) tally.error(-3018, E + es::totalEventCount, 2, totalEventCount, sum);

    tally.result += walkEvents(c);

    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t entry = readHost32(table + 4 * i);
        const uint32_t id = (entry >> 24) & 0x7F;
        if (c.run.categoryCounts[id] != (entry & 0xFFFFFF))
            tally.error(-2028, E + es::totalEventCount, 3, entry & 0xFFFFFF, id, c.run.categoryCounts[id]);
    }

    const auto count = [&c](uint32_t category) { return static_cast<int32_t>(c.run.categoryCounts[category]); };
    const int32_t beats = count(1);
    if (count(16) > beats / 8) tally.warning(-13301, E + es::totalEventCount, 1, static_cast<uint32_t>(count(16)));
    const int32_t chords = static_cast<int32_t>(c.run.categoryCounts[8] + c.run.categoryCounts[9]);
    if (chords > beats / 2) tally.warning(-13203, E + es::totalEventCount, 1, static_cast<uint32_t>(chords));
    if (count(47) > 30) tally.warning(-13601, E + es::totalEventCount, 1, static_cast<uint32_t>(count(47)));

    if (c.run.outline.keyChanges == 0) tally.error(-3607, static_cast<uint32_t>(kNoOffset));
    if (c.run.outline.tempoChanges == 0) tally.error(-3608, static_cast<uint32_t>(kNoOffset));
    if (c.run.outline.meterChanges == 0) tally.error(-3609, static_cast<uint32_t>(kNoOffset));
    const int32_t changes = static_cast<int32_t>(static_cast<uint32_t>(c.run.outline.keyChanges) +
                                                 static_cast<uint32_t>(c.run.outline.tempoChanges) +
                                                 static_cast<uint32_t>(c.run.outline.meterChanges));
    const int32_t needed = static_cast<int32_t>(zoneCount(c)) + 2;
    if (changes < needed)
        tally.error(-3606, E + es::totalEventCount, 2, static_cast<uint32_t>(needed), static_cast<uint32_t>(changes));
    return tally.result;
}

}  // namespace kvel
