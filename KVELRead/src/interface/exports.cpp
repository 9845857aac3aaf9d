// The read, copy, size and view exports of the reader state.
#include <cstdint>
#include <cstring>

#include "KVELRead.h"
#include "format/byte_order.h"
#include "format/frame_layout.h"
#include "interface/reader_state.h"

using kvel::g_reader;

namespace {

// The failure when nothing is loaded: -4 and -1, touching nothing else.
int notLoaded() {
    kvel::appendError(kvel::kCannotRead, kvel::kNoOffset);
    return -1;
}

// Copies `length` bytes from `from` unless they reach past what is held; the
// frames' own size fields may claim more than the image holds.
int copyHeld(void* dest, const unsigned char* from, int64_t length) {
    if (length < 1) return 0;
    const uint64_t start = static_cast<uint64_t>(from - g_reader.buffer);
    if (start + static_cast<uint64_t>(length) > g_reader.heldSize) return notLoaded();
    std::memcpy(dest, from, static_cast<size_t>(length));
    return 0;
}

}  // namespace

extern "C" {

KVEL_API int KVELReadMainHeader(KVEL_MAIN_HEADER* header) {
    if (!g_reader.buffer) return notLoaded();
    // Also after a refused signature: the image's first 20 bytes as they stand.
    std::memcpy(header, g_reader.mainHeader ? g_reader.mainHeader : g_reader.buffer, kvel::kMainHeaderSize);
    return 0;
}

KVEL_API int KVELReadEntireFrame(unsigned char* dest) {
    if (!kvel::framesLoaded()) return notLoaded();
    const int32_t n = static_cast<int32_t>(kvel::readHost32(g_reader.mainHeader + kvel::mh::totalFrameSize));
    return copyHeld(dest, g_reader.zoneSubFrame, n);
}

KVEL_API int KVELReadZoneSubFrame(KVEL_ZONE_SUBFRAME* dest) {
    if (!kvel::framesLoaded()) return notLoaded();
    // The count may have been rewritten by an event sub-frame placed over it.
    const uint16_t zoneCount = kvel::readHost16(g_reader.zoneSubFrame + kvel::zs::zoneCount);
    return copyHeld(dest, g_reader.zoneSubFrame, kvel::zs::records + int64_t{kvel::kZoneRecordSize} * zoneCount);
}

KVEL_API int KVELReadEventSubFrame(unsigned char* dest) {
    if (!kvel::framesLoaded()) return notLoaded();
    const int32_t frameSize = static_cast<int32_t>(kvel::readHost32(g_reader.eventSubFrame + kvel::es::frameSize));
    return copyHeld(dest, g_reader.eventSubFrame, int64_t{frameSize} + 4);
}

KVEL_API int KVELReadMainHeader2(const char*, KVEL_MAIN_HEADER*, int) { return 0; }
KVEL_API int KVELReadEntireFrame2(unsigned char*, int) { return 0; }

KVEL_API int KVELGetBufferSizeForZoneSubFrame(void) {
    if (!kvel::framesLoaded()) return 0;
    return static_cast<int>(kvel::readHost32(g_reader.zoneSubFrame + kvel::zs::frameSize) + 4u);
}

KVEL_API int KVELGetBufferSizeForEventSubFrame(void) {
    if (!kvel::framesLoaded()) return 0;
    return static_cast<int>(kvel::readHost32(g_reader.eventSubFrame + kvel::es::frameSize) + 4u);
}

KVEL_API void* KVELGetWholeBuffer(void) { return g_reader.buffer; }

KVEL_API KVEL_ZONE_SUBFRAME* KVELGetZoneSubFrame(void) {
    return reinterpret_cast<KVEL_ZONE_SUBFRAME*>(g_reader.zoneSubFrame);
}

KVEL_API KVEL_EVENT_SUBFRAME* KVELGetEventSubFrame(void) {
    return reinterpret_cast<KVEL_EVENT_SUBFRAME*>(g_reader.eventSubFrame);
}

KVEL_API KVEL_EVENT* KVELGetFirstEvent(void) { return reinterpret_cast<KVEL_EVENT*>(g_reader.firstEvent); }

}  // extern "C"
