// Failures the file system and the heap can produce: a buffer that cannot be
// allocated, reads that come up short anywhere in the file, and closing in
// every state of the reader state. Leaks are left to the sanitizer and
// valgrind runs of this suite.
#include <cstdlib>
#include <cstring>
#include <functional>

#include "check_helpers.h"
#include "format/load_file.h"
#include "platform/read_at.h"

using kvtest::linesFrom;
using kvtest::resetLibrary;

namespace {

const std::vector<std::string> kCannotRead = {"ERROR(-4) : Can't read metadata file."};
const std::vector<std::string> kCannotAllocate = {"ERROR(-5) : Can't allocate memory."};

void* failAllocation(size_t) { return nullptr; }

// Bytes from g_holeFrom up to g_holeTo cannot be read: a read stops short
// at the hole and one that starts in it gets nothing, while reads after it
// succeed, as one part of a split load may fail alone.
uint64_t g_holeFrom = 0, g_holeTo = UINT64_MAX;
size_t readWithHole(void* dest, size_t size, uint64_t offset, std::FILE* file) {
    if (offset >= g_holeFrom && offset < g_holeTo) return 0;
    const uint64_t end = offset < g_holeFrom ? std::min<uint64_t>(offset + size, g_holeFrom) : offset + size;
    return kvel::readAt(file, dest, static_cast<size_t>(end - offset), offset);
}

class FailureInjection : public ::testing::Test {
protected:
    void SetUp() override { resetLibrary(); }
    void TearDown() override {
        kvtest::setLoaderHooks({});
        KVELReaderSetThreads(kvtest::testReader(), 1);
        resetLibrary();
        std::remove(kvtest::tempPath().c_str());
    }
};

// Nothing loaded, no view left, and no file left open (a new open is not
// refused with -7).
void expectEmptyState(const std::string& path) {
    EXPECT_EQ(KVELGetWholeBuffer(), nullptr);
    EXPECT_EQ(KVELGetZoneSubFrame(), nullptr);
    EXPECT_EQ(KVELGetFirstEvent(), nullptr);
    EXPECT_EQ(KVELOpenFile2(path.c_str()), 1);
    KVELCloseFile();
}

}  // namespace

TEST_F(FailureInjection, BufferThatCannotBeAllocatedFailsWithMinus5AndLeavesNothing) {
    const std::string path = kvtest::writeTemp(kvmf::wellFormed().bytes());
    kvtest::setLoaderHooks({failAllocation, nullptr});
    KVEL_MAIN_HEADER header;
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
    EXPECT_EQ(linesFrom(0), kCannotAllocate);
    // The scratch buffer of KVELOpenFile2 fails the same way.
    EXPECT_EQ(KVELOpenFile2(path.c_str()), -1);
    EXPECT_EQ(linesFrom(0), kCannotAllocate);
    kvtest::setLoaderHooks({});
    expectEmptyState(path);
}

TEST_F(FailureInjection, ReadCutShortAnywhereFailsWithMinus4AndLeavesNothing) {
    // Every byte of a well-formed file is read, so a cut at any frame
    // boundary or inside any frame or field is a short read.
    const std::vector<uint8_t> bytes = kvmf::song({2, 1}, {4, 3}).bytes();
    const std::string path = kvtest::writeTemp(bytes);
    KVEL_MAIN_HEADER header;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE("read cut after " + std::to_string(cut) + " bytes");
        g_holeFrom = cut, g_holeTo = UINT64_MAX;
        kvtest::setLoaderHooks({nullptr, readWithHole});
        EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
        EXPECT_EQ(linesFrom(0), kCannotRead);
        kvtest::setLoaderHooks({});
        expectEmptyState(path);
    }
    g_holeFrom = bytes.size();
    kvtest::setLoaderHooks({nullptr, readWithHole});
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), 0);
}

TEST_F(FailureInjection, ReadFailingInAnyPartOfASplitLoadFailsWithMinus4AndLeavesNothing) {
    // Three parts on three threads; a part that fails fails the load even
    // when the parts after it arrive whole.
    const std::vector<uint8_t> bytes = kvmf::bigSong().bytes();
    const std::string path = kvtest::writeTemp(bytes);
    ASSERT_EQ(kvel::loadParts(bytes.size(), 3), 3u);
    ASSERT_EQ(KVELReaderSetThreads(kvtest::testReader(), 3), 0);
    const uint64_t page = uint64_t{2} << 20;  // parts begin on 2 MiB boundaries
    const uint64_t second = bytes.size() / 3 / page * page, third = bytes.size() * 2 / 3 / page * page;
    const struct {
        uint64_t from, to;
    } holes[] = {{0, 1}, {second - 1, second}, {second, second + 1}, {third + 1, third + 2},
                 {bytes.size() - 1, bytes.size()}, {second + 1, UINT64_MAX}};
    KVEL_MAIN_HEADER header;
    for (const auto& hole : holes) {
        SCOPED_TRACE("bytes " + std::to_string(hole.from) + " to " + std::to_string(hole.to) + " unreadable");
        g_holeFrom = hole.from, g_holeTo = hole.to;
        kvtest::setLoaderHooks({nullptr, readWithHole});
        EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
        EXPECT_EQ(linesFrom(0), kCannotRead);
        kvtest::setLoaderHooks({});
        expectEmptyState(path);
    }
}

TEST_F(FailureInjection, CloseInEveryStateLeavesTheEmptyStateAndKeepsTheErrorList) {
    const std::vector<uint8_t> bytes = kvmf::wellFormed().bytes();
    const std::string path = kvtest::writeTemp(bytes);
    std::vector<uint8_t> image = bytes;
    KVEL_MAIN_HEADER header;
    struct State {
        const char* name;
        std::function<void()> enter;
    };
    const std::vector<State> states = {
        {"empty", [] {}},
        {"file loaded", [&] { ASSERT_EQ(KVELOpenFile(path.c_str(), &header), 0); }},
        {"image loaded", [&] { image = bytes; ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0); }},
        {"file open", [&] { ASSERT_EQ(KVELOpenFile2(path.c_str()), 1); }},
        {"file open over an image", [&] {
             image = bytes;
             ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
             ASSERT_EQ(KVELOpenFile2(path.c_str()), 1);
             EXPECT_EQ(KVELGetWholeBuffer(), image.data());
         }},
    };
    for (const State& s : states) {
        SCOPED_TRACE(s.name);
        resetLibrary();
        s.enter();
        KVELCheckFormat(0, 0);  // leaves records for the close to keep
        const std::vector<std::string> before = linesFrom(0);
        const std::vector<uint8_t> imageBefore = image;
        EXPECT_EQ(KVELCloseFile(), 0);
        EXPECT_EQ(linesFrom(0), before);
        EXPECT_EQ(image, imageBefore);  // a borrowed image is only forgotten
        EXPECT_EQ(KVELReadMainHeader(&header), -1);
        EXPECT_EQ(KVELCloseFile(), 0);  // a second close changes nothing
        expectEmptyState(path);
    }
}
