#include "bench_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kvbench {
namespace {

constexpr uint32_t kMaxSamples = 0x6DDD000;
constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kNoPosition = 0xFFFFFFFF;
constexpr uint32_t kMaxBarNumber = 0xFFE;  // 0xFFF means "no bar"
constexpr uint16_t kNoBar = 0xFFF0;

void put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

void put32(unsigned char* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v >> 16));
    put16(p + 2, static_cast<uint16_t>(v));
}

void swap16(unsigned char* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    v = __builtin_bswap16(v);
    std::memcpy(p, &v, 2);
}

void swap32(unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

uint32_t numeratorOf(uint32_t zone) { return zone % 2 == 0 ? 4 : 3; }

// Events of music bar k with numerator n: n beats, one (absolute) chord, a
// melody event every fourth bar and one rule-less event per beat.
uint32_t barEvents(uint32_t n, uint64_t k) { return 2 * n + 1 + (k % 4 == 0 ? 1 : 0); }

uint32_t outline(uint32_t code, uint32_t zoneNumber = 0) { return (47u << 24) | (zoneNumber << 7) | code; }

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
    void put(uint16_t barBeat, uint32_t value, uint32_t sample) {
        unsigned char r[10];
        put16(r, barZero ? static_cast<uint16_t>(barBeat & 0xF) : barBeat);
        put32(r + 2, value);
        put32(r + 6, sample);
        bytes.insert(bytes.end(), r, r + 10);
        ++counts[(value >> 24) & 0x7F];
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
            body.put(kNoBar, outline(17), sample);
            terminator = body.position();
            body.put(kNoBar, outline(1, 0xFFFF), sample);
        }
    }

    std::vector<uint32_t> table;
    for (uint32_t c : {47u, 1u, 8u, 9u, 16u, 24u, 25u, 32u})
        if (body.counts[c]) table.push_back((c << 24) | body.counts[c]);
    const uint32_t categories = static_cast<uint32_t>(table.size());
    const uint32_t bodySize = body.position();

    Image image;
    Layout& L = image.layout;
    L.zoneCount = zones;
    L.categoryCount = categories;
    L.eventCount = bodySize / 10;
    L.eventFrameOffset = 20 + 6 + 58ull * zones;
    L.firstEventOffset = L.eventFrameOffset + 40 + 4ull * categories;
    L.size = L.firstEventOffset + bodySize;
    std::vector<unsigned char>& out = image.bytes;
    out.assign(L.size, 0);

    unsigned char* p = out.data();
    std::memcpy(p, "KVMFKVELBNCH", 12);
    put16(p + 12, 0x0100);
    put16(p + 14, 0x1000);
    put32(p + 16, static_cast<uint32_t>(L.size - 20));

    unsigned char* z = p + 20;
    put32(z, 2 + 58 * zones);
    put16(z + 4, static_cast<uint16_t>(zones));
    for (uint32_t i = 0; i < zones; ++i) {
        unsigned char* r = z + 6 + 58ull * i;
        const bool lastZone = i + 1 == zones;
        const uint32_t fields[] = {zoneStart[i], lastZone ? terminator : zoneStart[i + 1],
                                   i == 0 ? fadeIn[0] : kNoPosition, i == 0 ? fadeIn[1] : kNoPosition,
                                   lastZone ? fadeOut[0] : kNoPosition, lastZone ? fadeOut[1] : kNoPosition};
        put16(r, static_cast<uint16_t>(i));
        for (int f = 0; f < 6; ++f) put32(r + 2 + 4 * f, fields[f]);
        const float bpm = 80.0f + static_cast<float>(i % 9) * 10.0f;
        uint32_t bpmBits;
        std::memcpy(&bpmBits, &bpm, 4);
        put32(r + 26, bpmBits);
        r[30] = 4;
        r[31] = static_cast<unsigned char>(numeratorOf(i));
        put16(r + 32, barCounts[i]);
        put16(r + 34, static_cast<uint16_t>(((i % 13) + 1) | ((i % 3) << 8)));
        // reserved0..reserved5 stay zero
    }

    unsigned char* e = p + L.eventFrameOffset;
    put32(e, 36 + 4 * categories + bodySize);
    put32(e + 4, 28 + 4 * categories);
    put32(e + 8, kSampleRate);
    put32(e + 12, sample + kSampleRate);
    put32(e + 16, 0);
    put32(e + 20, std::max<uint32_t>(sample, 1));
    e[24] = 2;
    e[25] = 16;
    put16(e + 26, static_cast<uint16_t>(categories));
    put32(e + 28, 440);
    put32(e + 32, L.eventCount);
    for (uint32_t c = 0; c < categories; ++c) put32(e + 36 + 4 * c, table[c]);
    put32(e + 36 + 4 * categories, bodySize);
    std::memcpy(p + L.firstEventOffset, body.bytes.data(), bodySize);
    return image;
}

void swapFields(unsigned char* image, const Layout& L) {
    swap16(image + 12);
    swap16(image + 14);
    swap32(image + 16);

    unsigned char* z = image + 20;
    swap32(z);
    swap16(z + 4);
    for (uint32_t i = 0; i < L.zoneCount; ++i) {
        unsigned char* r = z + 6 + 58ull * i;
        swap16(r);
        for (int off = 2; off <= 26; off += 4) swap32(r + off);  // positions and bpm
        for (int off = 32; off <= 36; off += 2) swap16(r + off);
        for (int off = 38; off <= 54; off += 4) swap32(r + off);
    }

    unsigned char* e = image + L.eventFrameOffset;
    for (int off = 0; off <= 20; off += 4) swap32(e + off);
    swap16(e + 26);
    swap32(e + 28);
    swap32(e + 32);
    for (uint32_t c = 0; c <= L.categoryCount; ++c) swap32(e + 36 + 4 * c);  // table and body size

    unsigned char* r = image + L.firstEventOffset;
    for (uint32_t j = 0; j < L.eventCount; ++j, r += 10) {
        swap16(r);
        swap32(r + 2);
        swap32(r + 6);
    }
}

bool readLayout(const unsigned char* image, size_t size, Layout& L) {
    auto be16 = [&](size_t at) { return static_cast<uint32_t>(image[at] << 8 | image[at + 1]); };
    auto be32 = [&](size_t at) { return be16(at) << 16 | be16(at + 2); };
    if (size < 26) return false;
    L.zoneCount = be16(24);
    L.eventFrameOffset = 24 + size_t{be32(20)};
    if (L.eventFrameOffset < 26 + 58ull * L.zoneCount || L.eventFrameOffset + 40 > size) return false;
    L.categoryCount = be16(L.eventFrameOffset + 26);
    L.firstEventOffset = L.eventFrameOffset + 40 + 4ull * L.categoryCount;
    if (L.firstEventOffset > size) return false;
    L.eventCount = be32(L.firstEventOffset - 4) / 10;
    L.size = size;
    return L.firstEventOffset + 10ull * L.eventCount <= size;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace kvbench
