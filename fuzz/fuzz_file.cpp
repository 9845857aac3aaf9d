// libFuzzer target: the input as a file, through KVELOpenFile, and the two
// loaders against each other.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvelfuzz::runFilePath(data, size);
    kvelfuzz::compareLoaders(data, size);
    return 0;
}
