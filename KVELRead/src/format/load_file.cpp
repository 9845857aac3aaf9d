// The file loader.
//
// The file is read with one read into a buffer of the file's size and then
// converted in place. The result is the same as reading the frames field by
// field in file order: the zone sub-frame is read from offset 20, and the
// event sub-frame is read on from right after the last zone record but placed
// at zone sub-frame + frameSize + 4. Where those disagree the event sub-frame
// is moved to its place. A field that would be read past the file's end, or
// placed past the buffer's end, fails the load like a short read (-4).
#include "format/load_file.h"

#include <cstdint>
#include <cstring>

#include "KVELRead.h"
#include "format/byte_order.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"
#include "platform/image_memory.h"

namespace kvel {
namespace {

size_t defaultRead(void* dest, size_t size, std::FILE* file) { return std::fread(dest, 1, size, file); }

}  // namespace

FileLoaderHooks defaultFileLoaderHooks() { return FileLoaderHooks{allocateImage, defaultRead}; }

std::FILE* openForReading(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    // The file is read whole with one read straight into the buffer: the
    // stream needs no buffer of its own (an allocation and a copy less).
    if (f) std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

uint64_t measureFile(std::FILE* f) {
    long end = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) end = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return end > 0 ? static_cast<uint64_t>(end) : 0;
}

uint64_t readWholeFile(unsigned char* buffer, uint64_t size, std::FILE* file, const FileLoaderHooks& hooks) {
    uint64_t available = hooks.read(buffer, static_cast<size_t>(size), file);
    if (available > size) available = size;
    std::memset(buffer + available, 0, static_cast<size_t>(size - available));
    return available;
}

LoadResult placeFrames(unsigned char* buf, uint64_t available, uint64_t size, FrameViews& views) {
    constexpr LoadResult kShort{KVEL_ERROR_CANNOT_READ, 0};
    // Reads come from the file in order; the zone sub-frame lies where it is read.
    if (available < kMainHeaderSize) return kShort;
    convertMainHeader(buf);
    unsigned char* zone = buf + kZoneSubFrameOffset;
    if (available < kZoneSubFrameOffset + kZoneHeaderSize) return kShort;
    convertZoneHeader(zone);
    const uint16_t zoneCount = readHost16(zone + zs::zoneCount);
    const uint64_t readPos = kZoneSubFrameOffset + kZoneHeaderSize + uint64_t{kZoneRecordSize} * zoneCount;
    if (readPos > available) return kShort;
    for (uint32_t i = 0; i < zoneCount; ++i)
        convertZoneRecord(zone + zs::records + uint64_t{kZoneRecordSize} * i);

    // The event sub-frame: read from readPos, placed at `place`. Its length
    // is known only from its own fields, read in order from the file bytes.
    const uint64_t place = kZoneSubFrameOffset + 4 + uint64_t{readHost32(zone + zs::frameSize)};
    auto fits = [&](uint64_t length) { return readPos + length <= available && place + length <= size; };
    if (!fits(kEventHeaderSize)) return kShort;
    const uint16_t categoryCount = readBe16(buf + readPos + es::categoryCount);
    const uint64_t headerLength = firstEventOffset(categoryCount);  // through eventBodySize
    if (!fits(headerLength)) return kShort;
    const int32_t bodySize = static_cast<int32_t>(readBe32(buf + readPos + headerLength - 4));
    if (bodySize <= 0) return LoadResult{KVEL_ERROR_BAD_BODY_SIZE, bodySize};
    const uint64_t records = static_cast<uint64_t>(bodySize) / kEventRecordSize;
    const uint64_t length = headerLength + kEventRecordSize * records;  // a remainder is not read
    if (!fits(length)) return kShort;

    unsigned char* event = buf + place;
    if (place != readPos) std::memmove(event, buf + readPos, length);
    convertEventHeader(event);
    convertWords(event + es::categories, categoryCount);
    convert32(event + headerLength - 4);
    convertEventRecords(event + headerLength, records);

    views.zoneSubFrame = zone;
    views.eventSubFrame = event;
    views.firstEvent = event + headerLength;
    views.eventBodySize = bodySize;
    views.held = size;
    return LoadResult{0, 0};
}

}  // namespace kvel
