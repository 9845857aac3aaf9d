#include "kvmf_builder.h"

#include <bit>
#include <cstdio>
#include <map>

#include "kvmf_image.h"

namespace kvmf {

Event beatEvent(uint32_t bar, uint32_t beat, uint32_t sample, bool barStart, bool uncounted) {
    uint32_t data = (barStart ? 1u << 21 : 0) | (uncounted ? 1u << 22 : 0);
    return Event{barBeat(bar, beat), valueWord(1, data), sample};
}

Event chordEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint8_t chordNumber, uint8_t low) {
    return Event{barBeat(bar, beat), valueWord(8, (uint32_t{chordNumber} << 8) | low), sample};
}

Event absoluteChordEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t toneBits) {
    return Event{barBeat(bar, beat), valueWord(9, (toneBits << 5) & 0x7FFFE0), sample};
}

Event melodyEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t data) {
    return Event{barBeat(bar, beat), valueWord(16, data & 0xFFF), sample};
}

Event outlineEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t code, uint32_t zoneNumber) {
    return Event{barBeat(bar, beat), valueWord(47, ((zoneNumber & 0xFFFF) << 7) | (code & 0x7F)), sample};
}

Event zoneEvent(uint32_t bar, uint32_t beat, uint32_t sample, uint32_t zoneNumber) {
    return outlineEvent(bar, beat, sample, 1, zoneNumber);
}

Event terminatorEvent(uint32_t sample) { return zoneEvent(kvcodec::kNoBar, 0, sample, kvcodec::kTerminatorZone); }

std::vector<uint32_t> Doc::categories() const {
    if (categoryTable) return *categoryTable;
    std::vector<uint32_t> order;
    std::map<uint32_t, uint32_t> counts;
    for (const Event& e : events)
        if (counts[e.category()]++ == 0) order.push_back(e.category());
    std::vector<uint32_t> table;
    for (uint32_t c : order) table.push_back(valueWord(c, counts[c]));
    return table;
}

uint32_t Doc::eventSubFrameOffset() const {
    const uint32_t size = zoneFrameSize.value_or(kvcodec::zoneFrameSize(static_cast<uint32_t>(zones.size())));
    return static_cast<uint32_t>(kvcodec::eventSubFrameOffset(size));
}

uint32_t Doc::firstEventOffset() const {
    return eventSubFrameOffset() + static_cast<uint32_t>(kvcodec::firstEventOffset(static_cast<uint32_t>(categories().size())));
}

std::vector<uint8_t> Doc::bytes() const {
    const std::vector<uint32_t> table = categories();
    const uint32_t n = static_cast<uint32_t>(table.size());
    uint32_t sum = 0;
    for (uint32_t entry : table) sum += kvcodec::dataOf(entry);
    const uint32_t body = eventBodySize.value_or(kvcodec::kEventRecordSize * static_cast<uint32_t>(events.size()));

    kvcodec::Image image;
    image.mainHeader = kvcodec::MainHeader{signature, engineId, applicationId, version, level, 0};  // size below
    image.zoneHeader = kvcodec::ZoneHeader{
        zoneFrameSize.value_or(kvcodec::zoneFrameSize(static_cast<uint32_t>(zones.size()))),
        zoneCount.value_or(static_cast<uint16_t>(zones.size()))};
    for (size_t i = 0; i < zones.size(); ++i) {
        const Zone& z = zones[i];
        image.zones.push_back({
            .zoneNumber = z.zoneNumber.value_or(static_cast<uint16_t>(i)),
            .zoneStartPosition = z.zoneStartPosition,
            .zoneEndPosition = z.zoneEndPosition,
            .fadeInStartPosition = z.fadeInStartPosition,
            .fadeInEndPosition = z.fadeInEndPosition,
            .fadeOutStartPosition = z.fadeOutStartPosition,
            .fadeOutEndPosition = z.fadeOutEndPosition,
            .bpmBits = z.bpmBits.value_or(std::bit_cast<uint32_t>(z.bpm)),
            .meterDenominator = z.meterDenominator,
            .meterNumerator = z.meterNumerator,
            .barCount = z.barCount,
            .key = z.key,
            .reserved0 = z.reserved0,
            .reserved = z.reserved,
        });
    }
    image.zoneGap = zoneGap;
    image.eventHeader = kvcodec::EventHeader{
        .frameSize = eventFrameSize.value_or(kvcodec::eventFrameSize(n, body)),
        .headerSize = headerSize.value_or(kvcodec::eventHeaderSize(n)),
        .sampleRate = sampleRate,
        .totalSamples = totalSamples,
        .effectiveStart = effectiveStart,
        .effectiveEnd = effectiveEnd,
        .channelCount = channelCount,
        .bitsPerSample = bitsPerSample,
        .categoryCount = categoryCount.value_or(static_cast<uint16_t>(n)),
        .masterTune = masterTune,
        .totalEventCount = totalEventCount.value_or(sum),
    };
    image.categories = table;
    image.eventBodySize = body;
    image.events = events;
    image.trailing = trailing;

    std::vector<uint8_t> out = kvcodec::writeImage(image);
    const uint32_t total = totalFrameSize.value_or(static_cast<uint32_t>(out.size() - kvcodec::kMainHeaderSize));
    kvcodec::put32(out.data() + kvcodec::mh::totalFrameSize, total);
    return out;
}

Doc wellFormed() {
    Doc d;
    const uint32_t beat = 22050;  // 120 bpm at 44.1 kHz
    d.events = {
        zoneEvent(1, 1, 0, 0),
        outlineEvent(1, 1, 0, 16),  // start
        outlineEvent(1, 1, 0, 2),   // key change
        outlineEvent(1, 1, 0, 3),   // tempo change
        outlineEvent(1, 1, 0, 4),   // meter change
        beatEvent(1, 1, 0, true),
        chordEvent(1, 1, 0, 0x10),
        melodyEvent(1, 1, 0),
        beatEvent(1, 2, beat),
        beatEvent(1, 3, 2 * beat),
        absoluteChordEvent(1, 3, 2 * beat),
        beatEvent(1, 4, 3 * beat),
        beatEvent(2, 1, 4 * beat, true),
        beatEvent(2, 2, 5 * beat),
        beatEvent(2, 3, 6 * beat),
        beatEvent(2, 4, 7 * beat),
        outlineEvent(0xFFF, 0, 8 * beat, 17),  // end
        terminatorEvent(8 * beat),
    };
    Zone z;
    z.zoneStartPosition = 0;
    z.zoneEndPosition = 170;
    z.barCount = 2;
    d.zones = {z};
    d.totalSamples = 200000;
    d.effectiveEnd = 8 * beat;
    return d;
}

Doc song(const std::vector<uint16_t>& barsPerZone, const std::vector<uint8_t>& numerators, uint32_t sampleRate) {
    Doc d;
    d.sampleRate = sampleRate;
    auto position = [&] { return static_cast<uint32_t>(10 * d.events.size()); };
    uint32_t sample = 0, bar = 1;
    const size_t zoneTotal = barsPerZone.size();
    static const uint8_t chords[] = {0x00, 0x03, 0x10, 0x23, 0x40, 0x57, 0x80, 0x8D, 0xB0, 0xC4};
    for (size_t zi = 0; zi < zoneTotal; ++zi) {
        Zone z;
        const uint8_t num = numerators[zi % numerators.size()];
        z.meterNumerator = num;
        z.meterDenominator = num == 6 || num == 12 ? 8 : 4;
        z.bpm = 90.0f + 20.0f * static_cast<float>(zi % 7);
        z.barCount = barsPerZone[zi];
        z.key = static_cast<uint16_t>(((zi % 13) + 1) | ((zi % 3) << 8));
        z.zoneStartPosition = position();
        const uint32_t perBeat = static_cast<uint32_t>(static_cast<float>(sampleRate) * 60.0f / z.bpm);

        d.events.push_back(zoneEvent(bar, 1, sample, static_cast<uint32_t>(zi)));
        if (zi == 0) {
            d.events.push_back(outlineEvent(bar, 1, sample, 16));
            z.fadeInStartPosition = position();
            d.events.push_back(outlineEvent(bar, 1, sample, 32));
        }
        d.events.push_back(outlineEvent(bar, 1, sample, 2));
        d.events.push_back(outlineEvent(bar, 1, sample, 3));
        d.events.push_back(outlineEvent(bar, 1, sample, 4));
        for (uint32_t b = 0; b < z.barCount; ++b, ++bar) {
            const bool lastBar = zi + 1 == zoneTotal && b + 1 == z.barCount;
            if (zi == 0 && b == 1) {
                z.fadeInEndPosition = position();
                d.events.push_back(outlineEvent(bar, 1, sample, 33));
            }
            if (lastBar) {
                z.fadeOutStartPosition = position();
                d.events.push_back(outlineEvent(bar, 1, sample, 40));
            }
            for (uint32_t beat = 1; beat <= num; ++beat, sample += perBeat) {
                d.events.push_back(beatEvent(bar, beat, sample, beat == 1));
                if (beat == 1) {
                    if (bar % 4 == 0)
                        d.events.push_back(absoluteChordEvent(bar, beat, sample, 0x91 + bar));
                    else
                        d.events.push_back(chordEvent(bar, beat, sample, chords[bar % 10], static_cast<uint8_t>(bar % 3)));
                    if (bar % 4 == 1) d.events.push_back(melodyEvent(bar, beat, sample, bar & 0xFFF));
                }
                if (lastBar && beat == num) {
                    z.fadeOutEndPosition = position();
                    d.events.push_back(outlineEvent(bar, beat, sample, 41));
                }
            }
        }
        d.zones.push_back(z);
    }
    for (size_t zi = 0; zi + 1 < zoneTotal; ++zi) d.zones[zi].zoneEndPosition = d.zones[zi + 1].zoneStartPosition;
    d.events.push_back(outlineEvent(0xFFF, 0, sample, 17));
    if (!d.zones.empty()) d.zones.back().zoneEndPosition = position();
    d.events.push_back(terminatorEvent(sample));
    d.totalSamples = sample + sampleRate;
    d.effectiveEnd = sample;
    return d;
}

Doc bigSong() {
    // A low sample rate keeps the 2.4 million beats within the sample limit.
    return song(std::vector<uint16_t>(200, 1000), {12}, 50);
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    // fwrite must not be handed the null data() of an empty vector.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace kvmf
