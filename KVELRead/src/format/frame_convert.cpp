#include "format/frame_convert.h"

#include "format/byte_order.h"
#include "format/event_blocks.h"
#include "format/frame_layout.h"

namespace kvel {

void convertMainHeader(unsigned char* h) {
    convert16(h + mh::version);
    convert16(h + mh::level);
    convert32(h + mh::totalFrameSize);
}

void convertZoneHeader(unsigned char* z) {
    convert32(z + zs::frameSize);
    convert16(z + zs::zoneCount);
}

void convertZoneRecord(unsigned char* r) {
    convert16(r + zr::zoneNumber);
    // The six positions, two at a time.
    for (size_t off = zr::zoneStart; off <= zr::fadeOutStart; off += 8) convert32Pair(r + off);
    convert32(r + zr::bpm);  // the float's four bytes swap as one unit
    convert16(r + zr::barCount);
    convert16(r + zr::key);
    convert16(r + zr::reservedBegin);
    // The five reserved words after it: two pairs and the last one.
    for (size_t off = zr::reservedBegin + 2; off + 8 <= zr::reservedEnd; off += 8) convert32Pair(r + off);
    convert32(r + zr::reservedEnd - 4);
}

void convertEventHeader(unsigned char* e) {
    for (size_t off = es::frameSize; off <= es::effectiveEnd; off += 4) convert32(e + off);
    convert16(e + es::categoryCount);
    convert32(e + es::masterTune);
    convert32(e + es::totalEventCount);
}

void convertEventRecord(unsigned char* r) {
    convert16(r + ev::barBeat);
    static_assert(ev::samplePosition == ev::value + 4);
    convert32Pair(r + ev::value);
}

void convertWords(unsigned char* words, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) convert32(words + 4ull * i);
}

void convertEventRecords(unsigned char* first, uint64_t count) {
    for (uint64_t j = convertEventBlocks(first, count); j < count; ++j) convertEventRecord(first + kEventRecordSize * j);
}

}  // namespace kvel
