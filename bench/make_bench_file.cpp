// The benchmark images outside the benchmark.
//   kvel_bench_file EVENTS ZONES [bar0] OUTPUT
//       writes one to a file, for timing the command-line checker against
//       reading the same bytes;
//   kvel_bench_file --read FILE
//       the file path's floor as a command: reads FILE into a fresh buffer of
//       its size, placed for huge pages, with one read and byte-swaps every
//       field, to time against `kvel check -q FILE`;
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
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "KVELRead.h"
#include "bench_image.h"

[[gnu::noinline]] void floorPass(kvbench::Image& image) { kvbench::swapFields(image.bytes.data(), image.layout); }

[[gnu::noinline]] int checkPass(kvbench::Image& image) {
    KVEL_MAIN_HEADER header;
    if (KVELSetBuffer(image.bytes.data(), &header) != 0) return 1;
    return KVELCheckFormat(0, 0);
}

int readFloor(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    // As fast as a fresh buffer can be filled: aligned to huge pages and
    // asking for them, so that the read takes few page faults.
    constexpr size_t kHugePage = size_t{2} << 20;
    const size_t rounded = (static_cast<size_t>(size > 0 ? size : 1) + kHugePage - 1) & ~(kHugePage - 1);
    auto* buffer = static_cast<unsigned char*>(std::aligned_alloc(kHugePage, rounded));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (buffer) madvise(buffer, rounded, MADV_HUGEPAGE);
#endif
    const size_t got = buffer ? std::fread(buffer, 1, static_cast<size_t>(size), f) : 0;
    std::fclose(f);
    kvbench::Layout layout;
    const bool swapped = got == static_cast<size_t>(size) && kvbench::readLayout(buffer, got, layout);
    if (swapped) kvbench::swapFields(buffer, layout);
    std::printf("%zu bytes read%s\n", got, swapped ? ", every field swapped" : "; not a layout to swap");
    std::free(buffer);
    return swapped ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--read") == 0) return readFloor(argv[2]);
    const bool check = argc == 4 && std::strcmp(argv[1], "--check") == 0;
    const bool barZero = argc == 5 && std::strcmp(argv[3], "bar0") == 0;
    if (!check && argc != 4 && !barZero) {
        std::fprintf(stderr, "usage: %s EVENTS ZONES [bar0] OUTPUT\n       %s --read FILE\n       %s --check EVENTS ZONES\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    const unsigned long events = std::strtoul(argv[check ? 2 : 1], nullptr, 10);
    const unsigned long zones = std::strtoul(argv[check ? 3 : 2], nullptr, 10);
    if (zones < 1 || zones > 65535 || events < 4 * zones + 7 || events > 100000000) {
        std::fprintf(stderr, "need 1 <= ZONES <= 65535 and 4 * ZONES + 7 <= EVENTS <= 10^8\n");
        return 2;
    }
    kvbench::ImageShape shape;
    shape.events = static_cast<uint32_t>(events);
    shape.zones = static_cast<uint32_t>(zones);
    shape.barZero = barZero;
    kvbench::Image image = kvbench::makeImage(shape);
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
