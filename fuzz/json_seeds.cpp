// Turns a directory of KVMF files into their JSON forms, as `kvel dump
// --format json` writes them: the seeds of the pack fuzzer.
// Usage: kvel_fuzz_json_seeds FROM_DIR TO_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "image_json.h"
#include "kvmf_image.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FROM_DIR TO_DIR\n", argv[0]);
        return 2;
    }
    fs::create_directories(argv[2]);
    int written = 0;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        std::ifstream in(entry.path(), std::ios::binary);
        const kvel_tool::Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const kvel_tool::Json doc = kvel_tool::imageToJson(kvel_tool::parseImage(bytes), entry.path().filename().string(), bytes.size());
        std::ofstream out(fs::path(argv[2]) / (entry.path().stem().string() + ".json"));
        out << doc.dump(2) << '\n';
        ++written;
    }
    std::printf("%d JSON seeds written to %s\n", written, argv[2]);
    return 0;
}
