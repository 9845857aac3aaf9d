// libFuzzer target: how `kvel dump` takes raw bytes apart. Whatever the
// bytes, they are split without reading past them, shown as text, and
// written back byte for byte -- directly and through the JSON form that
// `kvel pack` reads.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "dump_text.h"
#include "image_json.h"
#include "kvmf_image.h"

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "kvel dump broke its promise: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvel_tool;
    const Bytes input(data, data + size);
    const Image image = parseImage(input);
    require(writeImage(image) == input, "the fields do not rebuild the file");

    std::ostringstream text;
    dumpText(text, image, "input.kvmf", size);

    const Json doc = Json::parse(imageToJson(image, "input.kvmf", size).dump());
    require(writeImage(imageFromJson(doc)) == input, "the JSON form does not rebuild the file");
    return 0;
}
