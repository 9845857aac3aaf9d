// libFuzzer target: loads, closes, checks and reads in any order.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvelfuzz::runSequence(data, size);
    return 0;
}
