// Where the frames of a loaded image lie: what a loader finds and hands to
// whoever keeps the image. Plain data; the loaders fill it and nothing else.
#pragma once

#include <cstdint>

namespace kvel {

struct FrameViews {
    unsigned char* zoneSubFrame;
    unsigned char* eventSubFrame;
    unsigned char* firstEvent;
    int32_t eventBodySize;  // host-order eventBodySize as the loader read it
    // Bytes from the image's start that are known to be held: the file size
    // for a loaded file; for a borrowed image, what the caller vouched for.
    // No copy or check reads at or beyond it.
    uint64_t held;
};

// How a load ended. A failure is the general code of the record the caller
// appends (the body size failure also carries the value read).
struct LoadResult {
    int32_t failure;    // 0, kLoadBadSignature, or a record's code
    int32_t badBodySize;
};

constexpr int32_t kLoadBadSignature = 1;  // no record: the memory loader's -1

}  // namespace kvel
