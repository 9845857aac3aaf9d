#include "bench_image.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "kvmf_records.h"

namespace kvbench {

using namespace kvcodec;

namespace {

constexpr uint32_t kMaxSamples = 0x6DDD000;
constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kMaxBarNumber = kNoBar - 1;
constexpr uint16_t kNoBarBeat = barBeat(kNoBar, 0);

uint32_t numeratorOf(uint32_t zone) { return zone % 2 == 0 ? 4 : 3; }

// Events of music bar k with numerator n: n beats, one (absolute) chord, a
// melody event every fourth bar and one rule-less event per beat.
uint32_t barEvents(uint32_t n, uint64_t k) { return 2 * n + 1 + (k % 4 == 0 ? 1 : 0); }

uint32_t outline(uint32_t code, uint32_t zoneNumber = 0) { return valueWord(47, (zoneNumber << 7) | code); }

// How many whole bars each zone gets so that the events spread evenly over
// the zones; the rest of each zone's share is padded with rule-less events.
struct Plan {
    std::vector<uint32_t> bars;
    uint64_t totalBars = 0;
    uint64_t beats = 0;
    uint64_t spare = 0;  // events beyond the fixed outline events of the zones
};

Plan planBars(const ImageShape& shape) {
    Plan plan;
    const uint64_t fixed = 4ull * shape.zones + 7;
    plan.spare = shape.events > fixed ? shape.events - fixed : 0;
    plan.bars.assign(shape.zones, 0);
    uint64_t used = 0;
    for (uint32_t i = 0; i < shape.zones; ++i) {
        const uint64_t target = plan.spare * (i + 1) / shape.zones;
        const uint32_t n = numeratorOf(i);
        while (used + barEvents(n, plan.totalBars) <= target) {
            used += barEvents(n, plan.totalBars);
            ++plan.bars[i];
            ++plan.totalBars;
            plan.beats += n;
        }
        used = target;
    }
    return plan;
}

struct Body {
    std::vector<unsigned char> bytes;
    uint32_t counts[128] = {};
    bool barZero = false;

    uint32_t position() const { return static_cast<uint32_t>(bytes.size()); }
    void put(uint16_t field, uint32_t value, uint32_t sample) {
        unsigned char r[kEventRecordSize];
        kvcodec::put<Event>(r, {barZero ? barBeat(0, beatOf(field)) : field, value, sample});
        bytes.insert(bytes.end(), r, r + kEventRecordSize);
        ++counts[categoryOf(value)];
    }
};

}  // namespace

Image makeImage(const ImageShape& shape) {
    const Plan plan = planBars(shape);
    const uint32_t zones = shape.zones;

    std::vector<uint16_t> barCounts(zones);
    uint64_t totalBarCount = 0;
    for (uint32_t i = 0; i < zones; ++i) {
        barCounts[i] = static_cast<uint16_t>(std::clamp<uint32_t>(plan.bars[i], 1, 500));
        totalBarCount += barCounts[i];
    }
    // Music bar k gets bar number 1 + k / perNumber; bars that share a number
    // get non-decreasing beat fields, so bars and beats never decrease.
    const uint64_t maxBar = std::min<uint64_t>(kMaxBarNumber, totalBarCount);
    const uint64_t perNumber = std::max<uint64_t>(1, (plan.totalBars + maxBar - 1) / maxBar);
    auto barBeatOf = [&](uint64_t k, uint32_t beat) {
        const uint64_t bar = 1 + k / perNumber;
        const uint64_t field = perNumber == 1 ? beat : 1 + (k % perNumber) * 15 / perNumber;
        return static_cast<uint16_t>((bar << 4) | field);
    };
    const uint32_t step = static_cast<uint32_t>(std::clamp<uint64_t>(
        (kMaxSamples - 2 * kSampleRate) / (plan.beats + 1), 1, kSampleRate / 2));

    static const uint8_t chords[] = {0x00, 0x03, 0x10, 0x23, 0x40, 0x57, 0x80, 0x8D, 0xB0, 0xC4};
    static const uint32_t fills[] = {24, 25, 32};
    Body body;
    body.barZero = shape.barZero;
    body.bytes.reserve(10ull * shape.events);
    std::vector<uint32_t> zoneStart(zones);
    uint32_t fadeIn[2] = {kNoPosition, kNoPosition}, fadeOut[2] = {kNoPosition, kNoPosition};
    uint32_t terminator = 0, sample = 0;
    uint64_t k = 0, spareUsed = 0;
    uint16_t last = barBeatOf(0, 1);

    for (uint32_t i = 0; i < zones; ++i) {
        zoneStart[i] = body.position();
        const uint16_t first = k < plan.totalBars ? barBeatOf(k, 1) : last;
        last = first;
        body.put(first, outline(1, i), sample);
        if (i == 0) {
            body.put(first, outline(16), sample);
            fadeIn[0] = body.position();
            body.put(first, outline(32), sample);
            fadeIn[1] = body.position();
            body.put(first, outline(33), sample);
        }
        for (uint32_t code : {2u, 3u, 4u}) body.put(first, outline(code), sample);

        const uint32_t n = numeratorOf(i);
        for (uint32_t b = 0; b < plan.bars[i]; ++b, ++k) {
            for (uint32_t beat = 1; beat <= n; ++beat, sample += step) {
                last = barBeatOf(k, beat);
                body.put(last, (1u << 24) | (beat == 1 ? 1u << 21 : 0), sample);
                if (beat == 1) {
                    if (k % 2 == 0)
                        body.put(last, (8u << 24) | (uint32_t{chords[k % 10]} << 8) | (k % 3), sample);
                    else
                        body.put(last, (9u << 24) | (((0x91 + (k & 0xFF)) << 5) & 0x7FFFE0), sample);
                    if (k % 4 == 0) body.put(last, (16u << 24) | (k & 0xFFF), sample);
                }
                body.put(last, (fills[beat % 3] << 24) | (k & 0xFFFFFF), sample);
            }
            spareUsed += barEvents(n, k);
        }
        for (const uint64_t target = plan.spare * (i + 1) / zones; spareUsed < target; ++spareUsed)
            body.put(last, (fills[spareUsed % 3] << 24), sample);

        if (i + 1 == zones) {
            fadeOut[0] = body.position();
            body.put(last, outline(40), sample);
            fadeOut[1] = body.position();
            body.put(last, outline(41), sample);
            body.put(kNoBarBeat, outline(17), sample);
            terminator = body.position();
            body.put(kNoBarBeat, outline(1, 0xFFFF), sample);
        }
    }

    std::vector<uint32_t> table;
    for (uint32_t c : {47u, 1u, 8u, 9u, 16u, 24u, 25u, 32u})
        if (body.counts[c]) table.push_back(valueWord(c, body.counts[c]));
    const uint32_t categories = static_cast<uint32_t>(table.size());
    const uint32_t bodySize = body.position();

    Image image;
    Layout& L = image.layout;
    L.zoneCount = zones;
    L.categoryCount = categories;
    L.eventCount = bodySize / kEventRecordSize;
    L.eventFrameOffset = eventSubFrameOffset(zoneFrameSize(zones));
    L.firstEventOffset = L.eventFrameOffset + firstEventOffset(categories);
    L.size = L.firstEventOffset + bodySize;
    std::vector<unsigned char>& out = image.bytes;
    out.assign(L.size, 0);

    unsigned char* p = out.data();
    put<MainHeader>(p, {kSignatureId, {'K', 'V', 'E', 'L'}, {'B', 'N', 'C', 'H'}, 0x0100, 0x1000,
                      static_cast<uint32_t>(L.size - kMainHeaderSize)});
    put<ZoneHeader>(p + kZoneSubFrameOffset, {zoneFrameSize(zones), static_cast<uint16_t>(zones)});
    for (uint32_t i = 0; i < zones; ++i) {
        const bool lastZone = i + 1 == zones;
        Zone z;  // reserved0..reserved5 stay zero
        z.zoneNumber = static_cast<uint16_t>(i);
        z.zoneStartPosition = zoneStart[i];
        z.zoneEndPosition = lastZone ? terminator : zoneStart[i + 1];
        z.fadeInStartPosition = i == 0 ? fadeIn[0] : kNoPosition;
        z.fadeInEndPosition = i == 0 ? fadeIn[1] : kNoPosition;
        z.fadeOutStartPosition = lastZone ? fadeOut[0] : kNoPosition;
        z.fadeOutEndPosition = lastZone ? fadeOut[1] : kNoPosition;
        z.bpmBits = std::bit_cast<uint32_t>(80.0f + static_cast<float>(i % 9) * 10.0f);
        z.meterDenominator = 4;
        z.meterNumerator = static_cast<uint8_t>(numeratorOf(i));
        z.barCount = barCounts[i];
        z.key = static_cast<uint16_t>(((i % 13) + 1) | ((i % 3) << 8));
        put(p + kZoneSubFrameOffset + kZoneHeaderSize + uint64_t{kZoneRecordSize} * i, z);
    }

    unsigned char* e = p + L.eventFrameOffset;
    EventHeader h;
    h.frameSize = eventFrameSize(categories, bodySize);
    h.headerSize = eventHeaderSize(categories);
    h.sampleRate = kSampleRate;
    h.totalSamples = sample + kSampleRate;
    h.effectiveStart = 0;
    h.effectiveEnd = std::max<uint32_t>(sample, 1);
    h.channelCount = 2;
    h.bitsPerSample = 16;
    h.categoryCount = static_cast<uint16_t>(categories);
    h.masterTune = 440;
    h.totalEventCount = L.eventCount;
    put(e, h);
    for (uint32_t c = 0; c < categories; ++c) put32(e + es::categories + 4 * c, table[c]);
    put32(e + es::categories + 4 * categories, bodySize);
    std::memcpy(p + L.firstEventOffset, body.bytes.data(), bodySize);
    return image;
}

void swapFields(unsigned char* image, const Layout& L) {
    swap16(image + mh::version);
    swap16(image + mh::level);
    swap32(image + mh::totalFrameSize);

    unsigned char* z = image + kZoneSubFrameOffset;
    swap32(z + zs::frameSize);
    swap16(z + zs::zoneCount);
    for (uint32_t i = 0; i < L.zoneCount; ++i) {
        unsigned char* r = z + kZoneHeaderSize + uint64_t{kZoneRecordSize} * i;
        swap16(r + zr::zoneNumber);
        for (size_t off = zr::zoneStart; off <= zr::bpm; off += 4) swap32(r + off);  // positions and bpm
        for (size_t off = zr::barCount; off <= zr::reserved0; off += 2) swap16(r + off);
        for (size_t off = zr::reserved1; off < zr::reservedEnd; off += 4) swap32(r + off);
    }

    unsigned char* e = image + L.eventFrameOffset;
    for (size_t off = es::frameSize; off <= es::effectiveEnd; off += 4) swap32(e + off);
    swap16(e + es::categoryCount);
    swap32(e + es::masterTune);
    swap32(e + es::totalEventCount);
    for (uint32_t c = 0; c <= L.categoryCount; ++c) swap32(e + es::categories + 4 * c);  // table and body size

    unsigned char* r = image + L.firstEventOffset;
    for (uint32_t j = 0; j < L.eventCount; ++j, r += kEventRecordSize) {
        swap16(r + ev::barBeat);
        swap32(r + ev::value);
        swap32(r + ev::samplePosition);
    }
}

bool readLayout(const unsigned char* image, size_t size, Layout& L) {
    if (size < kZoneSubFrameOffset + kZoneHeaderSize) return false;
    const ZoneHeader zoneHeader = get<ZoneHeader>(image + kZoneSubFrameOffset);
    L.zoneCount = zoneHeader.zoneCount;
    L.eventFrameOffset = eventSubFrameOffset(zoneHeader.frameSize);
    if (L.eventFrameOffset < eventSubFrameOffset(zoneFrameSize(L.zoneCount)) ||
        L.eventFrameOffset + firstEventOffset(0) > size)
        return false;
    L.categoryCount = get16(image + L.eventFrameOffset + es::categoryCount);
    L.firstEventOffset = L.eventFrameOffset + firstEventOffset(L.categoryCount);
    if (L.firstEventOffset > size) return false;
    L.eventCount = get32(image + L.firstEventOffset - 4) / kEventRecordSize;
    L.size = size;
    return L.firstEventOffset + uint64_t{kEventRecordSize} * L.eventCount <= size;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace kvbench
