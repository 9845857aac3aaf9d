// KVELSetBuffer: adopt the caller's image and convert it in place.
#include "format/load_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "format/byte_order.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"
#include "interface/reader_state.h"

namespace kvel {

int adoptImage(unsigned char* image, uint64_t limit, KVEL_MAIN_HEADER* header) {
    // A library-owned buffer cannot stay current once another image is
    // adopted: release it here, exactly once. Its file stays open.
    if (g_reader.ownsBuffer) std::free(g_reader.buffer);
    forgetImage();
    g_reader.buffer = image;
    g_reader.mainHeader = image;
    // An adopted image has no file whose size the header could be held to.
    g_reader.fileSize = 0;

    if (limit < 4 || std::memcmp(image, "KVMF", 4) != 0) return -1;
    if (limit < kMainHeaderSize) return -2;
    convertMainHeader(image);
    std::memcpy(header, image, kMainHeaderSize);
    const uint32_t totalFrameSize = readHost32(image + mh::totalFrameSize);

    unsigned char* zone = image + kZoneSubFrameOffset;
    if (kZoneSubFrameOffset + kZoneHeaderSize > limit) return -2;
    convertZoneHeader(zone);
    const uint16_t zoneCount = readHost16(zone + zs::zoneCount);
    const uint64_t zoneEnd = kZoneSubFrameOffset + kZoneHeaderSize + uint64_t{kZoneRecordSize} * zoneCount;
    if (zoneEnd > limit) return -2;
    for (uint32_t i = 0; i < zoneCount; ++i)
        convertZoneRecord(zone + zs::records + uint64_t{kZoneRecordSize} * i);

    // Placed by the (now converted) frameSize, not by the end of the records.
    const uint64_t eventOffset = kZoneSubFrameOffset + 4 + uint64_t{readHost32(zone + zs::frameSize)};
    if (eventOffset + kEventHeaderSize > limit) return -2;
    unsigned char* event = image + eventOffset;
    convertEventHeader(event);
    const uint16_t categoryCount = readHost16(event + es::categoryCount);
    const uint64_t first = eventOffset + firstEventOffset(categoryCount);
    if (first > limit) return -2;
    convertWords(event + es::categories, categoryCount);

    // A body size that is not positive stays in file order in the image; the
    // reader state holds the converted value and no record is converted.
    const int32_t bodySize = static_cast<int32_t>(readBe32(image + first - 4));
    const uint64_t records = bodySize > 0 ? static_cast<uint64_t>(bodySize) / kEventRecordSize : 0;
    if (first + kEventRecordSize * records > limit) return -2;
    if (bodySize > 0) writeHost32(image + first - 4, static_cast<uint32_t>(bodySize));
    convertEventRecords(image + first, records);

    g_reader.zoneSubFrame = zone;
    g_reader.eventSubFrame = event;
    g_reader.firstEvent = image + first;
    g_reader.eventBodySize = bodySize;
    // The caller vouches for the total frame size and for every byte the
    // conversion touched; nothing else is known to be held.
    const uint64_t vouched = std::max({uint64_t{kMainHeaderSize} + totalFrameSize, zoneEnd,
                                       first + kEventRecordSize * records});
    g_reader.heldSize = std::min(vouched, limit);
    g_reader.framesReady = true;
    return 0;
}

}  // namespace kvel

extern "C" KVEL_API int KVELSetBuffer(const void* image, KVEL_MAIN_HEADER* header) {
    // The image is declared const but is converted in place, as documented.
    unsigned char* bytes = static_cast<unsigned char*>(const_cast<void*>(image));
    return kvel::adoptImage(bytes, UINT64_MAX, header) == 0 ? 0 : -1;
}

extern "C" KVEL_API int KVELSetBufferWithSize(const void* image, size_t size, KVEL_MAIN_HEADER* header) {
    unsigned char* bytes = static_cast<unsigned char*>(const_cast<void*>(image));
    if (size < kvel::kMainHeaderSize) {
        // Too short to be looked at: nothing is adopted.
        if (kvel::g_reader.ownsBuffer) std::free(kvel::g_reader.buffer);
        kvel::forgetImage();
        kvel::appendError(kvel::kCannotRead, kvel::kNoOffset);
        return -1;
    }
    const int result = kvel::adoptImage(bytes, size, header);
    if (result == -2) {
        kvel::forgetImage();
        kvel::appendError(kvel::kCannotRead, kvel::kNoOffset);
    }
    return result == 0 ? 0 : -1;
}
