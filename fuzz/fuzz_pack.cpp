// libFuzzer target: how `kvel pack` reads a JSON document. Any text either
// is refused the way the tool refuses it (a JSON error or a JsonInputError)
// or gives a file that `kvel dump` takes apart and rebuilds unchanged.
#include <cstdio>
#include <cstdlib>

#include "image_json.h"
#include "kvmf_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvel_tool;
    Bytes file;
    try {
        file = writeImage(imageFromJson(Json::parse(data, data + size)));
    } catch (const Json::exception&) {
        return 0;
    } catch (const JsonInputError&) {
        return 0;
    }
    if (writeImage(parseImage(file)) != file) {
        std::fprintf(stderr, "kvel pack wrote a file that dump does not rebuild\n");
        std::abort();
    }
    return 0;
}
