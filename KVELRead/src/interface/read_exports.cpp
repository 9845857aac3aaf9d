// The read, copy, size and view exports of a reader.
#include <cstdint>
#include <cstring>

#include "KVELRead.h"
#include "format/byte_order.h"
#include "format/frame_layout.h"
#include "interface/reader.h"

using kvel::Reader;

namespace {

// The failure when nothing is loaded: -4 and -1, touching nothing else.
int notLoaded(Reader& r) {
    kvel::appendError(r.errors, KVEL_ERROR_CANNOT_READ, kvel::kNoOffset);
    return -1;
}

// Copies `length` bytes from `from` unless they reach past what is held; the
// frames' own size fields may claim more than the image holds.
int copyHeld(Reader& r, void* dest, const unsigned char* from, int64_t length) {
    if (length < 1) return 0;
    const uint64_t start = static_cast<uint64_t>(from - r.buffer);
    if (start + static_cast<uint64_t>(length) > r.views.held) return notLoaded(r);
    std::memcpy(dest, from, static_cast<size_t>(length));
    return 0;
}

}  // namespace

extern "C" {

KVEL_API int KVELReaderReadMainHeader(KVEL_READER* reader, KVEL_MAIN_HEADER* header) {
    Reader& r = *reader;
    if (!r.buffer) return notLoaded(r);
    // Also after a refused signature: the image's first 20 bytes as they stand.
    std::memcpy(header, r.buffer, kvel::kMainHeaderSize);
    return 0;
}

KVEL_API int KVELReaderReadEntireFrame(KVEL_READER* reader, unsigned char* dest) {
    Reader& r = *reader;
    if (!kvel::framesLoaded(r)) return notLoaded(r);
    const int32_t n = static_cast<int32_t>(kvel::readHost32(r.buffer + kvel::mh::totalFrameSize));
    return copyHeld(r, dest, r.views.zoneSubFrame, n);
}

KVEL_API int KVELReaderReadZoneSubFrame(KVEL_READER* reader, KVEL_ZONE_SUBFRAME* dest) {
    Reader& r = *reader;
    if (!kvel::framesLoaded(r)) return notLoaded(r);
    // The count may have been rewritten by an event sub-frame placed over it.
    const uint16_t zoneCount = kvel::readHost16(r.views.zoneSubFrame + kvel::zs::zoneCount);
    return copyHeld(r, dest, r.views.zoneSubFrame, kvel::zs::records + int64_t{kvel::kZoneRecordSize} * zoneCount);
}

KVEL_API int KVELReaderReadEventSubFrame(KVEL_READER* reader, unsigned char* dest) {
    Reader& r = *reader;
    if (!kvel::framesLoaded(r)) return notLoaded(r);
    const int32_t frameSize = static_cast<int32_t>(kvel::readHost32(r.views.eventSubFrame + kvel::es::frameSize));
    return copyHeld(r, dest, r.views.eventSubFrame, int64_t{frameSize} + 4);
}

KVEL_API int KVELReaderGetBufferSizeForZoneSubFrame(KVEL_READER* reader) {
    if (!kvel::framesLoaded(*reader)) return 0;
    return static_cast<int>(kvel::readHost32(reader->views.zoneSubFrame + kvel::zs::frameSize) + 4u);
}

KVEL_API int KVELReaderGetBufferSizeForEventSubFrame(KVEL_READER* reader) {
    if (!kvel::framesLoaded(*reader)) return 0;
    return static_cast<int>(kvel::readHost32(reader->views.eventSubFrame + kvel::es::frameSize) + 4u);
}

KVEL_API void* KVELReaderGetWholeBuffer(KVEL_READER* reader) { return reader->buffer; }

KVEL_API KVEL_ZONE_SUBFRAME* KVELReaderGetZoneSubFrame(KVEL_READER* reader) {
    return reinterpret_cast<KVEL_ZONE_SUBFRAME*>(reader->views.zoneSubFrame);
}

KVEL_API KVEL_EVENT_SUBFRAME* KVELReaderGetEventSubFrame(KVEL_READER* reader) {
    return reinterpret_cast<KVEL_EVENT_SUBFRAME*>(reader->views.eventSubFrame);
}

KVEL_API KVEL_EVENT* KVELReaderGetFirstEvent(KVEL_READER* reader) {
    return reinterpret_cast<KVEL_EVENT*>(reader->views.firstEvent);
}

}  // extern "C"
