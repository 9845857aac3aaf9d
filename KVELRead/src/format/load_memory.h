// Adopting a memory image: converting its frames in place and finding them.
#pragma once

#include <cstdint>

#include "KVELRead.h"
#include "format/frame_views.h"

namespace kvel {

// Converts the frames of `image` in place, in frame order, each located
// through the fields converted before it, and fills `views` and `header`.
// No byte at or beyond `limit` is read or written. Returns failure 0,
// kLoadBadSignature (nothing converted, `header` not written) or -4 when a
// frame does not fit within `limit` (the frames before it stay converted).
LoadResult adoptFrames(unsigned char* image, uint64_t limit, FrameViews& views, KVEL_MAIN_HEADER* header);

}  // namespace kvel
