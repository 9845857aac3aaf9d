// The memory loader: convert a borrowed image in place.
#include "format/load_memory.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"

namespace kvel {

LoadResult adoptFrames(unsigned char* image, uint64_t limit, FrameViews& views, KVEL_MAIN_HEADER* header) {
    constexpr LoadResult kDoesNotFit{KVEL_ERROR_CANNOT_READ, 0};
    if (limit < 4 || std::memcmp(image, kSignature, 4) != 0) return LoadResult{kLoadBadSignature, 0};
    if (limit < kMainHeaderSize) return kDoesNotFit;
    convertMainHeader(image);
    std::memcpy(header, image, kMainHeaderSize);
    const uint32_t totalFrameSize = readHost32(image + mh::totalFrameSize);

    unsigned char* zone = image + kZoneSubFrameOffset;
    if (kZoneSubFrameOffset + kZoneHeaderSize > limit) return kDoesNotFit;
    convertZoneHeader(zone);
    const uint16_t zoneCount = readHost16(zone + zs::zoneCount);
    const uint64_t zoneEnd = kZoneSubFrameOffset + kZoneHeaderSize + uint64_t{kZoneRecordSize} * zoneCount;
    if (zoneEnd > limit) return kDoesNotFit;
    for (uint32_t i = 0; i < zoneCount; ++i)
        convertZoneRecord(zone + zs::records + uint64_t{kZoneRecordSize} * i);

    // Placed by the (now converted) frameSize, not by the end of the records.
    const uint64_t eventOffset = kZoneSubFrameOffset + 4 + uint64_t{readHost32(zone + zs::frameSize)};
    if (eventOffset + kEventHeaderSize > limit) return kDoesNotFit;
    unsigned char* event = image + eventOffset;
    convertEventHeader(event);
    const uint16_t categoryCount = readHost16(event + es::categoryCount);
    const uint64_t first = eventOffset + firstEventOffset(categoryCount);
    if (first > limit) return kDoesNotFit;
    convertWords(event + es::categories, categoryCount);

    // A body size that is not positive stays in file order in the image; the
    // views hold the converted value and no record is converted.
    const int32_t bodySize = static_cast<int32_t>(readBe32(image + first - 4));
    const uint64_t records = bodySize > 0 ? static_cast<uint64_t>(bodySize) / kEventRecordSize : 0;
    if (first + kEventRecordSize * records > limit) return kDoesNotFit;
    if (bodySize > 0) writeHost32(image + first - 4, static_cast<uint32_t>(bodySize));
    convertEventRecords(image + first, records);

    views.zoneSubFrame = zone;
    views.eventSubFrame = event;
    views.firstEvent = image + first;
    views.eventBodySize = bodySize;
    // The caller vouches for the total frame size and for every byte the
    // conversion touched; nothing else is known to be held.
    const uint64_t vouched = std::max({uint64_t{kMainHeaderSize} + totalFrameSize, zoneEnd,
                                       first + kEventRecordSize * records});
    views.held = std::min(vouched, limit);
    return LoadResult{0, 0};
}

}  // namespace kvel
