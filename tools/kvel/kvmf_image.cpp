#include "kvmf_image.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kvel_tool {
namespace {

// Reads big-endian fields from a span; the caller has checked the room.
struct Cursor {
    std::span<const uint8_t> bytes;
    uint64_t pos = 0;

    uint64_t left() const { return bytes.size() - pos; }
    bool has(uint64_t n) const { return left() >= n; }
    uint8_t u8() { return bytes[pos++]; }
    uint16_t u16() {
        uint16_t v = static_cast<uint16_t>(bytes[pos] << 8 | bytes[pos + 1]);
        pos += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t v = uint32_t{bytes[pos]} << 24 | uint32_t{bytes[pos + 1]} << 16 | uint32_t{bytes[pos + 2]} << 8 |
                     bytes[pos + 3];
        pos += 4;
        return v;
    }
    template <size_t N>
    std::array<uint8_t, N> raw() {
        std::array<uint8_t, N> a;
        std::memcpy(a.data(), bytes.data() + pos, N);
        pos += N;
        return a;
    }
    Bytes rest(uint64_t end) {
        Bytes b(bytes.begin() + static_cast<ptrdiff_t>(pos), bytes.begin() + static_cast<ptrdiff_t>(end));
        pos = end;
        return b;
    }
};

struct Writer {
    Bytes out;
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v >> 8));
        u8(static_cast<uint8_t>(v));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v >> 16));
        u16(static_cast<uint16_t>(v));
    }
    void raw(std::span<const uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); }
};

MainHeader readMainHeader(Cursor& c) {
    MainHeader h;
    h.signature = c.raw<4>();
    h.engineId = c.raw<4>();
    h.applicationId = c.raw<4>();
    h.version = c.u16();
    h.level = c.u16();
    h.totalFrameSize = c.u32();
    return h;
}

Zone readZone(Cursor& c) {
    Zone z;
    z.zoneNumber = c.u16();
    z.zoneStartPosition = c.u32();
    z.zoneEndPosition = c.u32();
    z.fadeInStartPosition = c.u32();
    z.fadeInEndPosition = c.u32();
    z.fadeOutStartPosition = c.u32();
    z.fadeOutEndPosition = c.u32();
    z.bpmBits = c.u32();
    z.meterDenominator = c.u8();
    z.meterNumerator = c.u8();
    z.barCount = c.u16();
    z.key = c.u16();
    z.reserved0 = c.u16();
    for (uint32_t& r : z.reserved) r = c.u32();
    return z;
}

EventHeader readEventHeader(Cursor& c) {
    EventHeader h;
    h.frameSize = c.u32();
    h.headerSize = c.u32();
    h.sampleRate = c.u32();
    h.totalSamples = c.u32();
    h.effectiveStart = c.u32();
    h.effectiveEnd = c.u32();
    h.channelCount = c.u8();
    h.bitsPerSample = c.u8();
    h.categoryCount = c.u16();
    h.masterTune = c.u32();
    h.totalEventCount = c.u32();
    return h;
}

// Stops at the cursor: everything from here on is kept as trailing bytes.
void stopHere(Image& image, Cursor& c, std::string reason) {
    image.stop = Stop{c.pos, std::move(reason)};
    image.trailing = c.rest(c.bytes.size());
}

}  // namespace

float Zone::bpm() const { return std::bit_cast<float>(bpmBits); }

Image parseImage(std::span<const uint8_t> bytes) {
    Image image;
    Cursor c{bytes};
    const std::string size = std::to_string(bytes.size());
    if (!c.has(kMainHeaderSize)) {
        stopHere(image, c, "the file has " + size + " bytes, fewer than the 20 of a main header");
        return image;
    }
    image.mainHeader = readMainHeader(c);

    if (!c.has(kZoneHeaderSize)) {
        stopHere(image, c, "the file ends inside the zone sub-frame header");
        return image;
    }
    const ZoneHeader zoneHeader{c.u32(), c.u16()};
    image.zoneHeader = zoneHeader;
    if (zoneHeader.frameSize < 2) {
        stopHere(image, c, "the zone frame size " + std::to_string(zoneHeader.frameSize) +
                               " does not even cover the zone count; the event sub-frame cannot be placed");
        return image;
    }
    // The event sub-frame is placed by frameSize; records that would reach
    // into it are not shown as zones.
    const uint64_t eventStart = 24 + uint64_t{zoneHeader.frameSize};
    const uint64_t room = (eventStart - c.pos) / kZoneRecordSize;
    const uint64_t shown = std::min<uint64_t>(zoneHeader.zoneCount, room);
    for (uint64_t i = 0; i < shown; ++i) {
        if (!c.has(kZoneRecordSize)) {
            stopHere(image, c, "the file ends inside zone record " + std::to_string(i));
            return image;
        }
        image.zones.push_back(readZone(c));
    }
    if (eventStart > bytes.size()) {
        stopHere(image, c, "the event sub-frame would begin at offset " + std::to_string(eventStart) +
                               ", beyond the end of the file (" + size + " bytes)");
        return image;
    }
    image.zoneGap = c.rest(eventStart);

    if (!c.has(kEventHeaderSize)) {
        stopHere(image, c, "the file ends inside the event sub-frame header");
        return image;
    }
    image.eventHeader = readEventHeader(c);
    for (uint32_t i = 0; i < image.eventHeader->categoryCount; ++i) {
        if (!c.has(4)) {
            stopHere(image, c,
                     "the file ends inside the category table, at entry " + std::to_string(i) + " of " +
                         std::to_string(image.eventHeader->categoryCount));
            return image;
        }
        image.categories.push_back(c.u32());
    }
    if (!c.has(4)) {
        stopHere(image, c, "the file ends before the event body size");
        return image;
    }
    image.eventBodySize = c.u32();
    const int32_t bodySize = static_cast<int32_t>(*image.eventBodySize);
    const uint32_t records = bodySize > 0 ? static_cast<uint32_t>(bodySize) / kEventRecordSize : 0;
    for (uint32_t j = 0; j < records; ++j) {
        if (!c.has(kEventRecordSize)) {
            stopHere(image, c,
                     "the event body size promises " + std::to_string(records) +
                         " records; the file ends inside record " + std::to_string(j));
            return image;
        }
        image.events.push_back(Event{c.u16(), c.u32(), c.u32()});
    }
    image.trailing = c.rest(bytes.size());
    return image;
}

Bytes writeImage(const Image& image) {
    Writer w;
    if (const auto& h = image.mainHeader) {
        w.raw(h->signature);
        w.raw(h->engineId);
        w.raw(h->applicationId);
        w.u16(h->version);
        w.u16(h->level);
        w.u32(h->totalFrameSize);
    }
    if (const auto& z = image.zoneHeader) {
        w.u32(z->frameSize);
        w.u16(z->zoneCount);
    }
    for (const Zone& z : image.zones) {
        w.u16(z.zoneNumber);
        for (uint32_t p : {z.zoneStartPosition, z.zoneEndPosition, z.fadeInStartPosition, z.fadeInEndPosition,
                           z.fadeOutStartPosition, z.fadeOutEndPosition, z.bpmBits})
            w.u32(p);
        w.u8(z.meterDenominator);
        w.u8(z.meterNumerator);
        w.u16(z.barCount);
        w.u16(z.key);
        w.u16(z.reserved0);
        for (uint32_t r : z.reserved) w.u32(r);
    }
    w.raw(image.zoneGap);
    if (const auto& h = image.eventHeader) {
        for (uint32_t v : {h->frameSize, h->headerSize, h->sampleRate, h->totalSamples, h->effectiveStart,
                           h->effectiveEnd})
            w.u32(v);
        w.u8(h->channelCount);
        w.u8(h->bitsPerSample);
        w.u16(h->categoryCount);
        w.u32(h->masterTune);
        w.u32(h->totalEventCount);
    }
    for (uint32_t entry : image.categories) w.u32(entry);
    if (image.eventBodySize) w.u32(*image.eventBodySize);
    for (const Event& e : image.events) {
        w.u16(e.barBeat);
        w.u32(e.value);
        w.u32(e.samplePosition);
    }
    w.raw(image.trailing);
    return std::move(w.out);
}

uint64_t eventSubFrameOffset(const Image& image) {
    return kMainHeaderSize + kZoneHeaderSize + uint64_t{kZoneRecordSize} * image.zones.size() + image.zoneGap.size();
}

uint64_t firstEventOffset(const Image& image) {
    return eventSubFrameOffset(image) + kEventHeaderSize + 4 * uint64_t{image.categories.size()} + 4;
}

}  // namespace kvel_tool
