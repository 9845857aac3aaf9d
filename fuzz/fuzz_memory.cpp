// libFuzzer target: the input as a memory image, through KVELSetBufferWithSize.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvelfuzz::runMemoryPath(data, size);
    return 0;
}
