// Readers on threads of their own: every thread checks its files on its own
// reader, in any interleaving, and gets exactly what a serial run gets. Run
// under ThreadSanitizer as well, where any state the readers shared would
// show as a race.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "KVELRead.h"
#include "kvmf_builder.h"

namespace {

struct Verdict {
    int loaded = 0;
    int result = 0;
    std::vector<std::string> lines;
    bool operator==(const Verdict&) const = default;
};

// Files that exercise different paths: clean, a zone value, the walk's
// rules, the total size compared with the file's, and one that does not load.
std::vector<std::vector<uint8_t>> corpus() {
    std::vector<kvmf::Doc> docs;
    docs.push_back(kvmf::song({4, 8, 2}, {4, 3, 4}));
    docs.push_back(kvmf::wellFormed());
    docs.back().zones[0].meterDenominator = 1;
    docs.push_back(kvmf::song({3, 3}, {4, 6}));
    for (kvmf::Event& e : docs.back().events) e.barBeat &= 0x000F;  // every barred record in bar 0
    docs.push_back(kvmf::wellFormed());
    docs.back().totalFrameSize = 4;
    docs.push_back(kvmf::wellFormed());
    docs.back().eventBodySize = 0;
    std::vector<std::vector<uint8_t>> images;
    for (const kvmf::Doc& d : docs) images.push_back(d.bytes());
    return images;
}

std::vector<std::string> lines(KVEL_READER* reader) {
    std::vector<std::string> out;
    char text[1024];
    for (int i = 0; i < KVELReaderGetErrorCount(reader); ++i) {
        KVELReaderGetErrorString(reader, i, text, sizeof text);
        out.emplace_back(text);
    }
    return out;
}

// Odd rounds load from the file, even ones from its bytes: the two loaders
// must agree, on any thread.
Verdict checkOnce(KVEL_READER* reader, const std::string& path, const std::vector<uint8_t>& bytes, bool fromFile) {
    KVEL_MAIN_HEADER header;
    Verdict v;
    v.loaded = fromFile ? KVELReaderOpenFile(reader, path.c_str(), &header)
                        : KVELReaderLoadFileImage(reader, bytes.data(), bytes.size(), &header);
    if (v.loaded == 0) v.result = KVELReaderCheckFormat(reader, 0, 0);
    v.lines = lines(reader);
    KVELReaderCloseFile(reader);
    return v;
}

// Runs `rounds` rounds of `same(reader, thread, round)` on each of `count`
// threads, each with a reader of its own allowed `readerThreads` threads,
// and returns each thread's rounds that came out different.
template <class Same>
std::vector<int> mismatchesOnThreads(int count, int rounds, int readerThreads, const Same& same) {
    std::vector<int> mismatches(static_cast<size_t>(count), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) {
        threads.emplace_back([&, t] {
            KVEL_READER* reader = KVELCreateReader();
            if (!reader || KVELReaderSetThreads(reader, readerThreads) != 0) {
                mismatches[static_cast<size_t>(t)] = rounds;
                KVELDestroyReader(reader);
                return;
            }
            for (int round = 0; round < rounds; ++round)
                if (!same(reader, t, round)) ++mismatches[static_cast<size_t>(t)];
            KVELDestroyReader(reader);
        });
    }
    for (std::thread& t : threads) t.join();
    return mismatches;
}

}  // namespace

TEST(Threads, ReadersOnFourThreadsAgreeWithASerialRun) {
    const std::vector<std::vector<uint8_t>> images = corpus();
    std::vector<std::string> paths;
    for (size_t i = 0; i < images.size(); ++i) {
        paths.push_back(::testing::TempDir() + "kvel_threads_" + std::to_string(i) + ".kvmf");
        ASSERT_TRUE(kvmf::writeFile(paths.back(), images[i]));
    }

    KVEL_READER* serial = KVELCreateReader();
    ASSERT_NE(serial, nullptr);
    std::vector<Verdict> expected;
    for (size_t i = 0; i < images.size(); ++i) expected.push_back(checkOnce(serial, paths[i], images[i], true));
    KVELDestroyReader(serial);
    ASSERT_TRUE(expected[0].lines.empty());
    ASSERT_EQ(expected.back().loaded, -1);

    const std::vector<int> mismatches = mismatchesOnThreads(4, 200, 1, [&](KVEL_READER* reader, int t, int round) {
        const size_t i = static_cast<size_t>(t + round) % images.size();
        return checkOnce(reader, paths[i], images[i], round % 2 == 1) == expected[i];
    });
    for (size_t t = 0; t < mismatches.size(); ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    for (const std::string& p : paths) std::remove(p.c_str());
}

// A reader is destroyed with what it holds: an open file and its buffer, or
// a borrowed image that stays the caller's. Null is allowed.
TEST(Threads, DestroyReleasesWhatTheReaderHolds) {
    KVELDestroyReader(nullptr);
    const std::vector<uint8_t> bytes = kvmf::wellFormed().bytes();
    const std::string path = ::testing::TempDir() + "kvel_destroy.kvmf";
    ASSERT_TRUE(kvmf::writeFile(path, bytes));
    KVEL_MAIN_HEADER header;

    KVEL_READER* open = KVELCreateReader();
    ASSERT_EQ(KVELReaderOpenFile(open, path.c_str(), &header), 0);
    ASSERT_EQ(KVELReaderCheckFormat(open, 0, 0), 0);
    KVELDestroyReader(open);  // the leak checker of the sanitizer build sees the rest

    std::vector<uint8_t> image = bytes;
    KVEL_READER* borrowed = KVELCreateReader();
    ASSERT_EQ(KVELReaderSetBuffer(borrowed, image.data(), &header), 0);
    KVELDestroyReader(borrowed);
    EXPECT_EQ(image[12], 0x00);  // converted in place, and still the caller's to read
    std::remove(path.c_str());
}

// Loads split over threads of their own, on two readers at once: a file
// and its bytes, each equal to a load on one thread.
TEST(Threads, SplitLoadsOnTwoReadersAgreeWithASerialRun) {
    kvmf::Doc doc = kvmf::bigSong();
    doc.events[doc.events.size() / 2].samplePosition = 0;
    const std::vector<uint8_t> bytes = doc.bytes();
    const std::string path = ::testing::TempDir() + "kvel_threads_big.kvmf";
    ASSERT_TRUE(kvmf::writeFile(path, bytes));

    KVEL_READER* serial = KVELCreateReader();
    ASSERT_NE(serial, nullptr);
    const Verdict expected = checkOnce(serial, path, bytes, true);
    KVELDestroyReader(serial);
    ASSERT_EQ(expected.loaded, 0);
    ASSERT_FALSE(expected.lines.empty());

    const std::vector<int> mismatches = mismatchesOnThreads(2, 2, 3, [&](KVEL_READER* reader, int t, int round) {
        return checkOnce(reader, path, bytes, (t + round) % 2 == 1) == expected;
    });
    for (size_t t = 0; t < mismatches.size(); ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    std::remove(path.c_str());
}
