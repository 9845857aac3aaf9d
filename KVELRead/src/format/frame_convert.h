// The byte-order rules of the three frames: each function converts the
// big-endian fields of one piece of a frame to host order in place. Single
// bytes and the identification bytes are never touched.
#pragma once

#include <cstdint>

namespace kvel {

void convertMainHeader(unsigned char* header);   // 20 bytes
void convertZoneHeader(unsigned char* zoneFrame);  // frameSize, zoneCount
void convertZoneRecord(unsigned char* record);   // 58 bytes
void convertEventHeader(unsigned char* eventFrame);  // the 36 fixed bytes
void convertEventRecord(unsigned char* record);  // 10 bytes

// Converts `count` consecutive 32-bit words (the category table).
void convertWords(unsigned char* words, uint32_t count);

// Converts `count` consecutive event records.
void convertEventRecords(unsigned char* first, uint64_t count);

}  // namespace kvel
