#include "format/event_blocks.h"

#include "format/frame_layout.h"

// x86-64 with GCC or Clang: SSE2 is always there, SSSE3 is asked for.
#if defined(__x86_64__) && defined(__GNUC__)
#define KVEL_SHUFFLED_BLOCKS
#include <immintrin.h>
#endif

namespace kvel {

#if defined(KVEL_SHUFFLED_BLOCKS)
namespace {

constexpr uint32_t kBlockRecords = 8;
constexpr uint32_t kBlockSize = kBlockRecords * kEventRecordSize;  // 80 bytes, five 16-byte stores

// The byte of the block that output byte `o` takes: the barBeat's two bytes
// swap, and each 32-bit field's four bytes reverse.
constexpr uint32_t sourceOf(uint32_t o) {
    const uint32_t record = o / kEventRecordSize * kEventRecordSize, at = o % kEventRecordSize;
    if (at < ev::value) return record + ev::barBeat + 1 - at;
    if (at < ev::samplePosition) return record + 2 * ev::value + 3 - at;
    return record + 2 * ev::samplePosition + 3 - at;
}

// Output chunk j is bytes 16j to 16j + 15. The fields that cross 48 and 64
// reach past a chunk's own 16 bytes, so chunks 2 to 4 gather from two loads,
// both inside the block.
struct Chunk {
    uint32_t low, high;  // the two loads' offsets; bytes from `high` on come from the second
};
constexpr Chunk kChunks[5] = {{0, 16}, {16, 32}, {32, 34}, {46, 50}, {62, 64}};

// Whether chunk j takes block byte `from` from its first load.
constexpr bool fromFirstLoad(uint32_t j, uint32_t from) { return from < kChunks[j].high; }

struct Shuffles {
    alignas(16) int8_t pick[5][2][16];  // per chunk and load: source index, or -128 for none
};
constexpr Shuffles makeShuffles() {
    Shuffles s{};
    for (uint32_t j = 0; j < 5; ++j) {
        for (uint32_t i = 0; i < 16; ++i) {
            const uint32_t from = sourceOf(16 * j + i);
            const bool first = fromFirstLoad(j, from);
            s.pick[j][0][i] = static_cast<int8_t>(first ? from - kChunks[j].low : 0x80);
            s.pick[j][1][i] = static_cast<int8_t>(first ? 0x80 : from - kChunks[j].high);
        }
    }
    return s;
}
constexpr Shuffles kShuffles = makeShuffles();

// Every source byte lies in a load that the block holds.
constexpr bool loadsInsideBlock() {
    for (uint32_t j = 0; j < 5; ++j)
        for (uint32_t i = 0; i < 16; ++i) {
            const uint32_t from = sourceOf(16 * j + i);
            const uint32_t base = fromFirstLoad(j, from) ? kChunks[j].low : kChunks[j].high;
            if (from < base || from >= base + 16 || base + 16 > kBlockSize) return false;
        }
    return true;
}
static_assert(loadsInsideBlock());

[[gnu::target("ssse3")]] uint64_t shuffleBlocks(unsigned char* first, uint64_t count) {
    const auto pick = [](uint32_t j, uint32_t load) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffles.pick[j][load]));
    };
    const __m128i p0 = pick(0, 0), p1 = pick(1, 0), p2 = pick(2, 0), q2 = pick(2, 1);
    const __m128i p3 = pick(3, 0), q3 = pick(3, 1), p4 = pick(4, 0), q4 = pick(4, 1);
    const uint64_t blocks = count / kBlockRecords;
    for (uint64_t b = 0; b < blocks; ++b) {
        unsigned char* block = first + b * kBlockSize;
        const auto load = [block](uint32_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at)); };
        const auto store = [block](uint32_t j, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 16 * j), v); };
        // Every load before the first store: the loads of chunks 3 and 4
        // reach back into bytes that chunks 2 and 3 write.
        const __m128i a0 = load(kChunks[0].low), a1 = load(kChunks[1].low);
        const __m128i a2 = load(kChunks[2].low), b2 = load(kChunks[2].high);
        const __m128i a3 = load(kChunks[3].low), b3 = load(kChunks[3].high);
        const __m128i a4 = load(kChunks[4].low), b4 = load(kChunks[4].high);
        store(0, _mm_shuffle_epi8(a0, p0));
        store(1, _mm_shuffle_epi8(a1, p1));
        store(2, _mm_or_si128(_mm_shuffle_epi8(a2, p2), _mm_shuffle_epi8(b2, q2)));
        store(3, _mm_or_si128(_mm_shuffle_epi8(a3, p3), _mm_shuffle_epi8(b3, q3)));
        store(4, _mm_or_si128(_mm_shuffle_epi8(a4, p4), _mm_shuffle_epi8(b4, q4)));
    }
    return blocks * kBlockRecords;
}

}  // namespace

uint64_t convertEventBlocks(unsigned char* first, uint64_t count) {
    // Asked at every call, from the compiler runtime's record of the
    // processor: a static of our own would need the C++ runtime's guards,
    // which a C program linking the static library does not bring.
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") ? shuffleBlocks(first, count) : 0;
}

#else

uint64_t convertEventBlocks(unsigned char*, uint64_t) { return 0; }

#endif

}  // namespace kvel
