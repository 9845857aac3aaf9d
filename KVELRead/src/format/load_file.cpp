// The file loader.
//
// The file is read with one read into a buffer of the file's size and then
// converted in place. The result is the same as reading the frames field by
// field in file order: the zone sub-frame is read from offset 20, and the
// event sub-frame is read on from right after the last zone record but placed
// at zone sub-frame + frameSize + 4. Where those disagree the event sub-frame
// is moved to its place. A field that would be read past the file's end, or
// placed past the buffer's end, fails the load like a short read (-4).
//
// A big file may be read, copied and converted in parts on several threads
// when the reader allows it: reading 100 MB from the page cache and swapping
// it is bound by one core's copying, and two cores take about 0.6 of the
// time. The parts touch disjoint bytes, and the result is the one load's.
#include "format/load_file.h"

#include <cstdint>
#include <cstring>

#include "KVELRead.h"
#include "format/byte_order.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"
#include "platform/image_memory.h"
#include "platform/parallel.h"
#include "platform/read_at.h"

namespace kvel {
namespace {

size_t defaultRead(void* dest, size_t size, uint64_t offset, std::FILE* file) {
    return readAt(file, dest, size, offset);
}

// Where part `i` of `parts` over [0, count) begins, rounded down to a
// multiple of `unit`; part `parts` begins at count.
uint64_t partBegin(uint64_t count, unsigned parts, unsigned i, uint64_t unit = 1) {
    if (i >= parts) return count;
    const uint64_t at = count / parts * i + count % parts * i / parts;
    return at - at % unit;
}

// Parts of a buffer start on huge-page boundaries, so that no two threads
// fault in the same page.
constexpr uint64_t kPartAlignment = uint64_t{2} << 20;

}  // namespace

unsigned loadParts(uint64_t bytes, unsigned threads) {
    const uint64_t most = bytes / kMinLoadPart;
    if (threads > kMaxParts) threads = kMaxParts;
    return most >= threads ? threads : most > 0 ? static_cast<unsigned>(most) : 1;
}

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

uint64_t readWholeFile(unsigned char* buffer, uint64_t size, std::FILE* file, const FileLoaderHooks& hooks,
                       unsigned threads) {
    const unsigned parts = loadParts(size, threads);
    uint64_t got[kMaxParts];
    inParts(parts, [&](unsigned i) {
        const uint64_t begin = partBegin(size, parts, i, kPartAlignment);
        const uint64_t length = partBegin(size, parts, i + 1, kPartAlignment) - begin;
        const uint64_t n = hooks.read(buffer + begin, static_cast<size_t>(length), begin, file);
        got[i] = n < length ? n : length;
    });
    // What arrived up to the first short part; bytes after a gap are not
    // kept, as a single read would not have reached them.
    uint64_t available = 0;
    for (unsigned i = 0; i < parts; ++i) {
        available = partBegin(size, parts, i, kPartAlignment) + got[i];
        if (available < partBegin(size, parts, i + 1, kPartAlignment)) break;
    }
    std::memset(buffer + available, 0, static_cast<size_t>(size - available));
    return available;
}

void copyWholeImage(unsigned char* buffer, const void* bytes, uint64_t size, unsigned threads) {
    const unsigned parts = loadParts(size, threads);
    inParts(parts, [&](unsigned i) {
        const uint64_t begin = partBegin(size, parts, i, kPartAlignment);
        const uint64_t end = partBegin(size, parts, i + 1, kPartAlignment);
        if (end > begin) std::memcpy(buffer + begin, static_cast<const unsigned char*>(bytes) + begin, end - begin);
    });
}

LoadResult placeFrames(unsigned char* buf, uint64_t available, uint64_t size, FrameViews& views,
                       unsigned threads) {
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
    unsigned char* const firstRecord = event + headerLength;
    const unsigned parts = loadParts(kEventRecordSize * records, threads);
    inParts(parts, [&](unsigned i) {
        const uint64_t begin = partBegin(records, parts, i), end = partBegin(records, parts, i + 1);
        convertEventRecords(firstRecord + kEventRecordSize * begin, end - begin);
    });

    views.zoneSubFrame = zone;
    views.eventSubFrame = event;
    views.firstEvent = firstRecord;
    views.eventBodySize = bodySize;
    views.held = size;
    return LoadResult{0, 0};
}

}  // namespace kvel
