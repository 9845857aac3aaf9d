// Load-and-check throughput against the hardware floor.
//
//   memory/check   KVELSetBuffer + KVELCheckFormat on an image in memory
//   memory/floor   one pass that byte-swaps every 16- and 32-bit field of
//                  the same image in place, nothing else
//   file/check     KVELOpenFile + KVELCheckFormat + KVELCloseFile (page cache warm)
//   file/floor     fopen, measure, read the file into a fresh buffer, the
//                  same swap pass, free, fclose
//   file/read      the same without the swap pass
//
// Every benchmark times its own iterations (manual time, on the thread's CPU
// clock unless --kvel_wall_clock), so restoring the image to file order
// between memory/check iterations is not counted. The
// "allocs" counter is the number of heap allocations (malloc, calloc,
// realloc, and operator new through them) made inside the timed part, per
// iteration. After the runs a table relates each check to its floor, using
// the median and the minimum over repetitions (--benchmark_repetitions).
//
// --kvel_smoke runs every benchmark on a tiny image for two iterations: it
// keeps the binary building and running in CI without timing anything.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "KVELRead.h"
#include "bench_image.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

// glibc lets a program replace malloc and friends; these count and hand over
// to the C library's own allocator. A sanitizer brings its own allocator,
// and then nothing is counted (the counter reads 0).
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
void free(void* p) noexcept { __libc_free(p); }
}
#endif

namespace {

using kvbench::Image;
using kvbench::ImageShape;

// The timed parts run on this thread's CPU clock: on a machine shared with
// other work, time spent waiting for a core would otherwise count as the
// work's own. Page faults and reads from the page cache are CPU time of the
// thread, so nothing that the library does is left out. --kvel_wall_clock
// times with the wall clock instead.
bool g_wallClock = false;

double now() {
    if (g_wallClock) return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double secondsSince(double start) { return now() - start; }

// Images and files are made once per shape and kept for the whole run.
struct Store {
    std::map<std::tuple<uint32_t, uint32_t, bool>, Image> images;
    std::map<std::tuple<uint32_t, uint32_t, bool>, std::string> files;
    std::filesystem::path dir;

    ~Store() {
        std::error_code ignored;
        if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }

    const Image& image(const ImageShape& s) {
        const auto key = std::make_tuple(s.events, s.zones, s.barZero);
        auto it = images.find(key);
        if (it == images.end()) it = images.emplace(key, kvbench::makeImage(s)).first;
        return it->second;
    }

    // The image written to a file; empty when it cannot be written.
    std::string file(const ImageShape& s) {
        const auto key = std::make_tuple(s.events, s.zones, s.barZero);
        auto it = files.find(key);
        if (it != files.end()) return it->second;
        if (dir.empty()) {
            const char* base = std::getenv("KVEL_BENCH_DIR");
            dir = std::filesystem::path(base ? base : std::filesystem::temp_directory_path().string()) /
                  ("kvel-bench-" + std::to_string(getpid()));
            std::filesystem::create_directories(dir);
        }
        char name[64];
        std::snprintf(name, sizeof name, "e%u-z%u%s.kvmf", s.events, s.zones, s.barZero ? "-bar0" : "");
        std::string path = (dir / name).string();
        if (!kvbench::writeFile(path, image(s).bytes)) path.clear();
        files.emplace(key, path);
        return path;
    }
};

Store& store() {
    static Store s;
    return s;
}

// Sets an iteration's time and keeps the shortest. On a shared machine the
// best single iteration moves far less than the mean as other work comes and
// goes; bench/side_by_side.py compares builds by it ("best_ns").
struct Timing {
    double best = 1e300;
    void iteration(benchmark::State& state, double seconds) {
        state.SetIterationTime(seconds);
        best = std::min(best, seconds);
    }
};

void setRates(benchmark::State& state, const Image& img, uint64_t allocations, const Timing& timing) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * img.layout.size));
    state.counters["events/s"] =
        benchmark::Counter(img.layout.eventCount, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["best_ns"] = timing.best * 1e9;
}

void memoryCheck(benchmark::State& state, ImageShape shape) {
    const Image& img = store().image(shape);
    std::vector<unsigned char> work = img.bytes;
    KVEL_MAIN_HEADER header;

    // The swap pass must undo the library's conversion exactly, or later
    // iterations would check a different image.
    KVELSetBuffer(work.data(), &header);
    const int problems = -KVELCheckFormat(0, 0);
    KVELCloseFile();
    kvbench::swapFields(work.data(), img.layout);
    if (work != img.bytes) {
        state.SkipWithError("the swap pass does not restore the image");
        return;
    }

    Timing timing;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = g_allocations.load(std::memory_order_relaxed);
        const double start = now();
        KVELSetBuffer(work.data(), &header);
        int result = KVELCheckFormat(0, 0);
        const double seconds = secondsSince(start);
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(result);
        KVELCloseFile();
        kvbench::swapFields(work.data(), img.layout);  // back to file order
        timing.iteration(state, seconds);
    }
    setRates(state, img, allocations, timing);
    state.counters["problems"] = problems;
}

void memoryFloor(benchmark::State& state, ImageShape shape) {
    const Image& img = store().image(shape);
    std::vector<unsigned char> work = img.bytes;
    Timing timing;
    for (auto _ : state) {
        const double start = now();
        kvbench::swapFields(work.data(), img.layout);  // alternates between the orders
        benchmark::ClobberMemory();
        timing.iteration(state, secondsSince(start));
    }
    setRates(state, img, 0, timing);
}

void fileCheck(benchmark::State& state, ImageShape shape) {
    const Image& img = store().image(shape);
    const std::string path = store().file(shape);
    if (path.empty()) {
        state.SkipWithError("cannot write the image file");
        return;
    }
    KVEL_MAIN_HEADER header;
    int problems = 0;
    Timing timing;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = g_allocations.load(std::memory_order_relaxed);
        const double start = now();
        int result = KVELOpenFile(path.c_str(), &header);
        if (result == 0) result = KVELCheckFormat(0, 0);
        KVELCloseFile();
        timing.iteration(state, secondsSince(start));
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        problems = -result;
    }
    setRates(state, img, allocations, timing);
    state.counters["problems"] = problems;
}

// Reads the file the way any loader must: measure it, get a buffer of its
// size, read it; then the swap pass when `swap` is set.
void fileFloor(benchmark::State& state, ImageShape shape, bool swap) {
    const Image& img = store().image(shape);
    const std::string path = store().file(shape);
    Timing timing;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = g_allocations.load(std::memory_order_relaxed);
        const double start = now();
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            state.SkipWithError("cannot open the image file");
            return;
        }
        std::setvbuf(f, nullptr, _IONBF, 0);  // one read straight into the buffer
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        auto* buffer = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
        const size_t got = std::fread(buffer, 1, static_cast<size_t>(size), f);
        if (swap && got == img.layout.size) kvbench::swapFields(buffer, img.layout);
        benchmark::DoNotOptimize(buffer[got / 2]);
        std::free(buffer);
        std::fclose(f);
        timing.iteration(state, secondsSince(start));
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    setRates(state, img, allocations, timing);
}

std::string nameOf(const char* what, const ImageShape& s) {
    std::string name = std::string(what) + "/events:" + std::to_string(s.events) + "/zones:" + std::to_string(s.zones);
    return s.barZero ? name + "/bar0" : name;
}

// The ratios that the performance targets are stated in.
struct Ratio {
    std::string label, numerator, denominator;
    double target;  // 0: no target, shown for information
};

std::vector<Ratio> g_ratios;

void registerAll(bool smoke) {
    const std::vector<uint32_t> sizes =
        smoke ? std::vector<uint32_t>{1000} : std::vector<uint32_t>{1000, 100000, 1000000, 10000000};
    const uint32_t adversarialEvents = smoke ? 1000 : 1000000;
    const uint32_t manyZones = smoke ? 100 : 65535;

    auto add = [&](const std::string& name, auto fn, const ImageShape& shape) {
        auto* b = benchmark::RegisterBenchmark(name.c_str(), fn, shape);
        b->UseManualTime()->Unit(shape.events >= 1000000 ? benchmark::kMillisecond : benchmark::kMicrosecond);
        if (smoke) b->Iterations(2);
    };
    for (uint32_t n : sizes) {
        const ImageShape shape{n, 2, false};
        add(nameOf("memory/check", shape), memoryCheck, shape);
        add(nameOf("memory/floor", shape), memoryFloor, shape);
        add(nameOf("file/check", shape), fileCheck, shape);
        add(nameOf("file/floor", shape), [](benchmark::State& s, ImageShape p) { fileFloor(s, p, true); }, shape);
        add(nameOf("file/read", shape), [](benchmark::State& s, ImageShape p) { fileFloor(s, p, false); }, shape);
        const std::string at = std::to_string(n);
        g_ratios.push_back({"memory path / floor, " + at + " events", nameOf("memory/check", shape),
                            nameOf("memory/floor", shape), n == sizes.back() ? 3.0 : 0.0});
        g_ratios.push_back({"file path / floor, " + at + " events", nameOf("file/check", shape),
                            nameOf("file/floor", shape), n == sizes.back() ? 3.0 : 0.0});
    }
    const ImageShape twoZones{adversarialEvents, 2, false};
    const ImageShape zones{adversarialEvents, manyZones, false};
    const ImageShape everyEvent{adversarialEvents, 2, true};
    if (std::find(sizes.begin(), sizes.end(), adversarialEvents) == sizes.end())
        add(nameOf("memory/check", twoZones), memoryCheck, twoZones);
    add(nameOf("memory/check", zones), memoryCheck, zones);
    add(nameOf("memory/check", everyEvent), memoryCheck, everyEvent);
    g_ratios.push_back({std::to_string(manyZones) + " zones / 2 zones, " + std::to_string(adversarialEvents) + " events",
                        nameOf("memory/check", zones), nameOf("memory/check", twoZones), 1.5});
    g_ratios.push_back({"a diagnostic per event / none, " + std::to_string(adversarialEvents) + " events",
                        nameOf("memory/check", everyEvent), nameOf("memory/check", twoZones), 0.0});
}

// The console output, then the ratio table computed from the same runs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only for a terminal.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0) continue;
            const double perIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
            if (run.run_type == Run::RT_Iteration)
                times_[run.run_name.function_name].push_back(perIteration);
            else if (run.aggregate_name == "median")  // all there is with --benchmark_report_aggregates_only
                medians_[run.run_name.function_name] = perIteration;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::FILE* out = stdout;
        std::fprintf(out, "\n%-52s %9s %9s %8s\n", "ratio (same run)", "median", "minimum", "target");
        for (const Ratio& r : g_ratios) {
            const std::vector<double>& n = timesOf(r.numerator);
            const std::vector<double>& d = timesOf(r.denominator);
            if (n.empty() || d.empty()) continue;
            const double median = medianOf(n) / medianOf(d);
            const double minimum = minOf(n) / minOf(d);
            char target[32] = "-";
            if (r.target > 0)
                std::snprintf(target, sizeof target, "%s%.1f", median <= r.target ? "<= " : "MISS ", r.target);
            std::fprintf(out, "%-52s %9.2f %9.2f %8s\n", r.label.c_str(), median, minimum, target);
        }
    }

private:
    static double medianOf(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const size_t m = v.size() / 2;
        return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
    }
    static double minOf(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

    std::vector<double>& timesOf(const std::string& name) {
        std::vector<double>& runs = times_[name];
        if (runs.empty() && medians_.count(name)) runs.push_back(medians_[name]);
        return runs;
    }

    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bool smoke = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kvel_smoke") == 0) {
            smoke = true;
        } else if (std::strcmp(argv[i], "--kvel_wall_clock") == 0) {
            g_wallClock = true;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }
    registerAll(smoke);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
