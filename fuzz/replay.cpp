// Runs inputs through both fuzz harnesses without libFuzzer, so that the
// ordinary (and the sanitizer) build replays the regression inputs and seeds.
// Usage: kvel_fuzz_replay FILE|DIR...
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(argv[i], ec)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs\n");
        return 2;
    }
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        kvelfuzz::runFilePath(bytes.data(), bytes.size());
        kvelfuzz::runMemoryPath(bytes.data(), bytes.size());
        kvelfuzz::compareLoaders(bytes.data(), bytes.size());
        kvelfuzz::comparePaths(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs replayed through both loaders\n", inputs.size());
    return 0;
}
