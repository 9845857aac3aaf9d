// The benchmark images outside the benchmark.
//   kvel_bench_file EVENTS ZONES [bar0] OUTPUT
//       writes one to a file, for timing the command-line checker against
//       reading the same bytes;
//   kvel_bench_file --check EVENTS ZONES
//       runs the byte-swap floor pass and KVELSetBuffer + KVELCheckFormat
//       on one once each, in functions of their own, so that callgrind
//       counts the instructions of each (stable where timings on a shared
//       machine are not):
//       valgrind --tool=callgrind --callgrind-out-file=cg.out kvel_bench_file --check 1000000 2
//       callgrind_annotate --inclusive=yes cg.out | grep -E 'floorPass|checkPass'
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "KVELRead.h"
#include "bench_image.h"

[[gnu::noinline]] void floorPass(kvbench::Image& image) { kvbench::swapFields(image.bytes.data(), image.layout); }

[[gnu::noinline]] int checkPass(kvbench::Image& image) {
    KVEL_MAIN_HEADER header;
    if (KVELSetBuffer(image.bytes.data(), &header) != 0) return 1;
    return KVELCheckFormat(0, 0);
}

int main(int argc, char** argv) {
    const bool check = argc == 4 && std::strcmp(argv[1], "--check") == 0;
    const bool barZero = argc == 5 && std::strcmp(argv[3], "bar0") == 0;
    if (!check && argc != 4 && !barZero) {
        std::fprintf(stderr, "usage: %s EVENTS ZONES [bar0] OUTPUT\n       %s --check EVENTS ZONES\n", argv[0], argv[0]);
        return 2;
    }
    const unsigned long events = std::strtoul(argv[check ? 2 : 1], nullptr, 10);
    const unsigned long zones = std::strtoul(argv[check ? 3 : 2], nullptr, 10);
    if (zones < 1 || zones > 65535 || events < 4 * zones + 7 || events > 100000000) {
        std::fprintf(stderr, "need 1 <= ZONES <= 65535 and 4 * ZONES + 7 <= EVENTS <= 10^8\n");
        return 2;
    }
    kvbench::ImageSpec spec;
    spec.events = static_cast<uint32_t>(events);
    spec.zones = static_cast<uint32_t>(zones);
    spec.barZero = barZero;
    kvbench::Image image = kvbench::makeImage(spec);
    if (check) {
        floorPass(image);
        floorPass(image);  // back to file order
        std::printf("%lu events, %lu zones: KVELCheckFormat %d\n", events, zones, checkPass(image));
        return 0;
    }
    if (!kvbench::writeFile(argv[argc - 1], image.bytes)) {
        std::fprintf(stderr, "cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
