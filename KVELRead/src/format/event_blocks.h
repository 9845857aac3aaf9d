// Event records converted eight at a time, with byte shuffles where the
// processor has them: one record at a time takes two stores a record, and
// the conversion is bound by them; a block of eight takes five.
#pragma once

#include <cstdint>

namespace kvel {

// Converts the records from `first` in whole blocks of eight, as far as
// `count` allows, when the processor can shuffle bytes (SSSE3 on x86-64);
// returns how many it converted: a multiple of 8, or 0 when it cannot. The
// caller converts the rest one at a time. Reads and writes only the records.
uint64_t convertEventBlocks(unsigned char* first, uint64_t count);

}  // namespace kvel
