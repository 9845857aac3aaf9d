// libFuzzer target: the input as a memory image, through KVELSetBufferWithSize,
// and the quiet paths against the reporting rules on it.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvelfuzz::runMemoryPath(data, size);
    kvelfuzz::comparePaths(data, size);
    return 0;
}
