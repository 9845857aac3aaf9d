// KVELOpenFile, KVELOpenFile2 and KVELCloseFile.
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
#include <cstdlib>
#include <cstring>

#include "KVELRead.h"
#include "format/byte_order.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"
#include "interface/reader_state.h"

namespace kvel {
namespace {

void* defaultAllocate(size_t size) { return std::calloc(size ? size : 1, 1); }
size_t defaultRead(void* dest, size_t size, std::FILE* file) { return std::fread(dest, 1, size, file); }

FileLoaderHooks g_hooks{defaultAllocate, defaultRead};

// Opens `path` after the checks that both openers share, empties the error
// list and measures the file. Returns the stream, or null after appending.
std::FILE* openAndMeasure(const char* path, uint64_t& size) {
    if (g_reader.file) {
        appendError(kStillOpen, kNoOffset);
        return nullptr;
    }
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        appendError(kCannotOpen, kNoOffset);
        return nullptr;
    }
    // The file is read whole with one read straight into the buffer: the
    // stream needs no buffer of its own (an allocation and a copy less).
    std::setvbuf(f, nullptr, _IONBF, 0);
    clearErrors();
    g_reader.file = f;
    long end = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) end = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    // A stream that cannot be measured (a pipe, a directory) reads as empty,
    // so the load fails as a short read.
    size = end > 0 ? static_cast<uint64_t>(end) : 0;
    g_reader.fileSize = static_cast<uint32_t>(size);
    return f;
}

// Reads the frames of the file whose `available` bytes are in `buf`
// (`size` bytes held) and converts them to their places. Returns 0 or the
// failure code; the -3034 parameter goes to `badBodySize`.
int32_t placeFrames(unsigned char* buf, uint64_t available, uint64_t size, int32_t& badBodySize) {
    // Reads come from the file in order; the zone sub-frame lies where it is read.
    if (available < kMainHeaderSize) return kCannotRead;
    convertMainHeader(buf);
    unsigned char* zone = buf + kZoneSubFrameOffset;
    if (available < kZoneSubFrameOffset + kZoneHeaderSize) return kCannotRead;
    convertZoneHeader(zone);
    const uint16_t zoneCount = readHost16(zone + zs::zoneCount);
    const uint64_t readPos = kZoneSubFrameOffset + kZoneHeaderSize + uint64_t{kZoneRecordSize} * zoneCount;
    if (readPos > available) return kCannotRead;
    for (uint32_t i = 0; i < zoneCount; ++i)
        convertZoneRecord(zone + zs::records + uint64_t{kZoneRecordSize} * i);

    // The event sub-frame: read from readPos, placed at `place`. Its length
    // is known only from its own fields, read in order from the file bytes.
    const uint64_t place = kZoneSubFrameOffset + 4 + uint64_t{readHost32(zone + zs::frameSize)};
    auto fits = [&](uint64_t length) { return readPos + length <= available && place + length <= size; };
    if (!fits(kEventHeaderSize)) return kCannotRead;
    const uint16_t categoryCount = readBe16(buf + readPos + es::categoryCount);
    const uint64_t headerLength = firstEventOffset(categoryCount);  // through eventBodySize
    if (!fits(headerLength)) return kCannotRead;
    const int32_t bodySize = static_cast<int32_t>(readBe32(buf + readPos + headerLength - 4));
    if (bodySize <= 0) {
        badBodySize = bodySize;
        return -3034;
    }
    const uint64_t records = static_cast<uint64_t>(bodySize) / kEventRecordSize;
    const uint64_t length = headerLength + kEventRecordSize * records;  // a remainder is not read
    if (!fits(length)) return kCannotRead;

    unsigned char* event = buf + place;
    if (place != readPos) std::memmove(event, buf + readPos, length);
    convertEventHeader(event);
    convertWords(event + es::categories, categoryCount);
    convert32(event + headerLength - 4);
    convertEventRecords(event + headerLength, records);

    g_reader.zoneSubFrame = zone;
    g_reader.eventSubFrame = event;
    g_reader.firstEvent = event + headerLength;
    g_reader.eventBodySize = bodySize;
    return 0;
}

}  // namespace

void setFileLoaderHooks(const FileLoaderHooks& hooks) {
    g_hooks.allocate = hooks.allocate ? hooks.allocate : defaultAllocate;
    g_hooks.read = hooks.read ? hooks.read : defaultRead;
}

}  // namespace kvel

using kvel::g_reader;

extern "C" {

KVEL_API int KVELOpenFile(const char* path, KVEL_MAIN_HEADER* header) {
    uint64_t size = 0;
    std::FILE* f = kvel::openAndMeasure(path, size);
    if (!f) return -1;
    // Only a borrowed image can be current here; it is dropped, not released.
    kvel::forgetImage();

    void* memory = size <= SIZE_MAX ? kvel::g_hooks.allocate(static_cast<size_t>(size)) : nullptr;
    if (!memory) {
        kvel::appendError(kvel::kCannotAllocate, kvel::kNoOffset);
        KVELCloseFile();
        return -1;
    }
    unsigned char* buf = static_cast<unsigned char*>(memory);
    g_reader.buffer = buf;
    g_reader.ownsBuffer = true;
    g_reader.mainHeader = buf;

    const uint64_t available = kvel::g_hooks.read(buf, static_cast<size_t>(size), f);
    int32_t badBodySize = 0;
    const int32_t failure = kvel::placeFrames(buf, available, size, badBodySize);
    if (failure != 0) {
        if (failure == -3034)
            kvel::appendError(failure, kvel::kNoOffset, 1, static_cast<uint32_t>(badBodySize));
        else
            kvel::appendError(failure, kvel::kNoOffset);
        KVELCloseFile();
        return -1;
    }
    g_reader.heldSize = size;
    g_reader.framesReady = true;
    std::memcpy(header, buf, kvel::kMainHeaderSize);
    return 0;
}

KVEL_API int KVELOpenFile2(const char* path) {
    uint64_t size = 0;
    std::FILE* f = kvel::openAndMeasure(path, size);
    if (!f) return -1;
    void* scratch = size <= SIZE_MAX ? kvel::g_hooks.allocate(static_cast<size_t>(size)) : nullptr;
    const bool whole = scratch && kvel::g_hooks.read(scratch, static_cast<size_t>(size), f) == size;
    std::free(scratch);  // the bytes read are not kept
    if (!whole) {
        kvel::appendError(kvel::kCannotAllocate, kvel::kNoOffset);
        std::fclose(f);
        g_reader.file = nullptr;
        return -1;
    }
    return 1;
}

KVEL_API int KVELCloseFile(void) {
    if (g_reader.file) {
        std::fclose(g_reader.file);
        g_reader.file = nullptr;
    }
    if (g_reader.ownsBuffer) std::free(g_reader.buffer);
    kvel::forgetImage();
    return 0;
}

}  // extern "C"
