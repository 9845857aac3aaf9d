// libFuzzer target: the input as a file, through KVELOpenFile.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvelfuzz::runFilePath(data, size);
    return 0;
}
