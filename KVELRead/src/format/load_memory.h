// Adopting a memory image: shared by KVELSetBuffer and the bounded variant.
#pragma once

#include <cstdint>

#include "KVELRead.h"

namespace kvel {

// Adopts `image` and converts its frames in place, in frame order, each frame
// located through the fields converted before it. No byte at or beyond
// `limit` is read or written. Returns 0, -1 for a wrong signature (nothing
// converted), or -2 when a frame does not fit within `limit` (the frames
// before it stay converted).
int adoptImage(unsigned char* image, uint64_t limit, KVEL_MAIN_HEADER* header);

}  // namespace kvel
