// Writes one of the benchmark images to a file, for timing the command-line
// checker against reading the same bytes.
//   kvel_bench_file EVENTS ZONES [bar0] OUTPUT
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_image.h"

int main(int argc, char** argv) {
    const bool barZero = argc == 5 && std::strcmp(argv[3], "bar0") == 0;
    if (argc != 4 && !barZero) {
        std::fprintf(stderr, "usage: %s EVENTS ZONES [bar0] OUTPUT\n", argv[0]);
        return 2;
    }
    const unsigned long events = std::strtoul(argv[1], nullptr, 10);
    const unsigned long zones = std::strtoul(argv[2], nullptr, 10);
    if (zones < 1 || zones > 65535 || events < 4 * zones + 7 || events > 100000000) {
        std::fprintf(stderr, "need 1 <= ZONES <= 65535 and 4 * ZONES + 7 <= EVENTS <= 10^8\n");
        return 2;
    }
    kvbench::ImageSpec spec;
    spec.events = static_cast<uint32_t>(events);
    spec.zones = static_cast<uint32_t>(zones);
    spec.barZero = barZero;
    const kvbench::Image image = kvbench::makeImage(spec);
    if (!kvbench::writeFile(argv[argc - 1], image.bytes)) {
        std::fprintf(stderr, "cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
