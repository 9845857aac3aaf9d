// Readers on threads: the throughput of checking in-memory images on one
// thread against two threads, each with its own reader and its own image.
//   kvel_bench_threads [EVENTS] [ROUNDS]
// Each round copies an image in file order into a working buffer, adopts it
// with KVELReaderSetBuffer and checks it. One thread does 2 x ROUNDS rounds,
// alternating the two images; then two threads do ROUNDS rounds each at the
// same time. Prints both wall times and the throughput ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "KVELRead.h"
#include "bench_image.h"

namespace {

struct Worker {
    const kvbench::Image* images[2];
    int rounds;
    int failures = 0;

    void run() {
        KVEL_READER* reader = KVELCreateReader();
        std::vector<unsigned char> buffer(images[0]->bytes.size() > images[1]->bytes.size() ? images[0]->bytes.size()
                                                                                           : images[1]->bytes.size());
        KVEL_MAIN_HEADER header;
        for (int i = 0; i < rounds; ++i) {
            const std::vector<unsigned char>& bytes = images[i % 2]->bytes;
            std::memcpy(buffer.data(), bytes.data(), bytes.size());
            if (KVELReaderSetBuffer(reader, buffer.data(), &header) != 0 || KVELReaderCheckFormat(reader, 0, 0) != 0)
                ++failures;
            KVELReaderCloseFile(reader);
        }
        KVELDestroyReader(reader);
    }
};

double seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t events = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;
    kvbench::ImageShape a, b;
    a.events = b.events = events;
    b.zones = 3;  // a different image, as two files would be
    const kvbench::Image first = kvbench::makeImage(a), second = kvbench::makeImage(b);

    Worker alone{{&first, &second}, 2 * rounds};
    auto start = std::chrono::steady_clock::now();
    alone.run();
    const double one = seconds(start);

    Worker left{{&first, &first}, rounds}, right{{&second, &second}, rounds};
    start = std::chrono::steady_clock::now();
    std::thread t([&] { right.run(); });
    left.run();
    t.join();
    const double two = seconds(start);

    const int failures = alone.failures + left.failures + right.failures;
    std::printf("%u events, %d checks: 1 thread %.3f s, 2 threads %.3f s, throughput x%.2f%s\n", events, 2 * rounds,
                one, two, one / two, failures ? " (CHECKS FAILED)" : "");
    return failures ? 1 : 0;
}
