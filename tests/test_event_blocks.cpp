// The event records' conversion in blocks of eight against converting one
// record at a time, for every count around the block size and every start
// address within 16 bytes: the shuffles must take each byte from its own
// record, write nothing outside the records, and hand the rest back.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "format/event_blocks.h"
#include "format/frame_convert.h"
#include "format/frame_layout.h"

namespace {

using kvel::kEventRecordSize;

TEST(EventBlocks, ConvertLikeOneRecordAtATime) {
    std::mt19937 random(7);
    for (uint64_t count : {0, 1, 7, 8, 9, 15, 16, 17, 23, 24, 25, 64, 1001}) {
        for (size_t start = 0; start < 16; ++start) {
            SCOPED_TRACE(testing::Message() << count << " records from byte " << start);
            // Exactly the records and nothing after them, so that a read or
            // write past the last one is caught by the address sanitizer; the
            // bytes before them are watched.
            std::vector<unsigned char> bytes(start + kEventRecordSize * count);
            for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
            std::vector<unsigned char> expected = bytes;
            for (uint64_t j = 0; j < count; ++j) kvel::convertEventRecord(expected.data() + start + kEventRecordSize * j);

            kvel::convertEventRecords(bytes.data() + start, count);
            EXPECT_EQ(bytes, expected);
        }
    }
}

// Where the processor shuffles, the blocks are taken that way: a fast path
// that quietly stopped being used would pass the test above.
TEST(EventBlocks, TakenInWholeBlocksWhereTheProcessorShuffles) {
    std::vector<unsigned char> bytes(kEventRecordSize * 23);
    const uint64_t done = kvel::convertEventBlocks(bytes.data(), 23);
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    EXPECT_EQ(done, __builtin_cpu_supports("ssse3") ? 16u : 0u);
#else
    EXPECT_EQ(done, 0u);
#endif
}

}  // namespace
