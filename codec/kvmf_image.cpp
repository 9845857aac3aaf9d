#include "kvmf_image.h"

#include <algorithm>

namespace kvcodec {
namespace {

// Walks the file in order; each read is preceded by a check of the room.
struct Cursor {
    std::span<const uint8_t> bytes;
    uint64_t pos = 0;

    uint64_t left() const { return bytes.size() - pos; }
    bool has(uint64_t n) const { return left() >= n; }
    template <class R>
    R read() {
        const R record = get<R>(bytes.data() + pos);
        pos += kSizeOf<R>;
        return record;
    }
    uint32_t read32() {
        pos += 4;
        return get32(bytes.data() + pos - 4);
    }
    Bytes rest(uint64_t end) {
        Bytes b(bytes.begin() + static_cast<ptrdiff_t>(pos), bytes.begin() + static_cast<ptrdiff_t>(end));
        pos = end;
        return b;
    }
};

// Stops at the cursor: everything from here on is kept as trailing bytes.
void stopHere(Image& image, Cursor& c, std::string reason) {
    image.stop = Stop{c.pos, std::move(reason)};
    image.trailing = c.rest(c.bytes.size());
}

// Appends `size` bytes to `out` and returns where they begin.
uint8_t* grow(Bytes& out, size_t size) {
    out.resize(out.size() + size);
    return out.data() + out.size() - size;
}

template <class R>
void append(Bytes& out, const R& record) {
    put(grow(out, kSizeOf<R>), record);
}

void append(Bytes& out, uint32_t field) { put32(grow(out, 4), field); }
void append(Bytes& out, const Bytes& raw) { out.insert(out.end(), raw.begin(), raw.end()); }

}  // namespace

Image parseImage(std::span<const uint8_t> bytes) {
    Image image;
    Cursor c{bytes};
    const std::string size = std::to_string(bytes.size());
    if (!c.has(kMainHeaderSize)) {
        stopHere(image, c, "the file has " + size + " bytes, fewer than the 20 of a main header");
        return image;
    }
    image.mainHeader = c.read<MainHeader>();

    if (!c.has(kZoneHeaderSize)) {
        stopHere(image, c, "the file ends inside the zone sub-frame header");
        return image;
    }
    const ZoneHeader zoneHeader = c.read<ZoneHeader>();
    image.zoneHeader = zoneHeader;
    if (zoneHeader.frameSize < zoneFrameSize(0)) {
        stopHere(image, c, "the zone frame size " + std::to_string(zoneHeader.frameSize) +
                               " does not even cover the zone count; the event sub-frame cannot be placed");
        return image;
    }
    // The event sub-frame is placed by frameSize; records that would reach
    // into it are not shown as zones.
    const uint64_t eventStart = eventSubFrameOffset(zoneHeader.frameSize);
    const uint64_t room = (eventStart - c.pos) / kZoneRecordSize;
    const uint64_t shown = std::min<uint64_t>(zoneHeader.zoneCount, room);
    for (uint64_t i = 0; i < shown; ++i) {
        if (!c.has(kZoneRecordSize)) {
            stopHere(image, c, "the file ends inside zone record " + std::to_string(i));
            return image;
        }
        image.zones.push_back(c.read<Zone>());
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
    image.eventHeader = c.read<EventHeader>();
    for (uint32_t i = 0; i < image.eventHeader->categoryCount; ++i) {
        if (!c.has(4)) {
            stopHere(image, c,
                     "the file ends inside the category table, at entry " + std::to_string(i) + " of " +
                         std::to_string(image.eventHeader->categoryCount));
            return image;
        }
        image.categories.push_back(c.read32());
    }
    if (!c.has(4)) {
        stopHere(image, c, "the file ends before the event body size");
        return image;
    }
    image.eventBodySize = c.read32();
    const int32_t bodySize = static_cast<int32_t>(*image.eventBodySize);
    const uint32_t records = bodySize > 0 ? static_cast<uint32_t>(bodySize) / kEventRecordSize : 0;
    for (uint32_t j = 0; j < records; ++j) {
        if (!c.has(kEventRecordSize)) {
            stopHere(image, c,
                     "the event body size promises " + std::to_string(records) +
                         " records; the file ends inside record " + std::to_string(j));
            return image;
        }
        image.events.push_back(c.read<Event>());
    }
    image.trailing = c.rest(bytes.size());
    return image;
}

Bytes writeImage(const Image& image) {
    Bytes out;
    out.reserve(firstEventOffset(image) + uint64_t{kEventRecordSize} * image.events.size() + image.trailing.size());
    if (image.mainHeader) append(out, *image.mainHeader);
    if (image.zoneHeader) append(out, *image.zoneHeader);
    for (const Zone& z : image.zones) append(out, z);
    append(out, image.zoneGap);
    if (image.eventHeader) append(out, *image.eventHeader);
    for (uint32_t entry : image.categories) append(out, entry);
    if (image.eventBodySize) append(out, *image.eventBodySize);
    for (const Event& e : image.events) append(out, e);
    append(out, image.trailing);
    return out;
}

uint64_t eventSubFrameOffset(const Image& image) {
    return kMainHeaderSize + kZoneHeaderSize + uint64_t{kZoneRecordSize} * image.zones.size() + image.zoneGap.size();
}

uint64_t firstEventOffset(const Image& image) {
    return eventSubFrameOffset(image) + firstEventOffset(static_cast<uint32_t>(image.categories.size()));
}

}  // namespace kvcodec
