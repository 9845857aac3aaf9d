// Failures the file system and the heap can produce: a buffer that cannot be
// allocated, reads that come up short anywhere in the file, and closing in
// every state of the reader state. Leaks are left to the sanitizer and
// valgrind runs of this suite.
#include <cstdlib>
#include <cstring>
#include <functional>

#include "check_helpers.h"
#include "format/load_file.h"

using kvtest::linesFrom;
using kvtest::resetLibrary;

namespace {

const std::vector<std::string> kCannotRead = {"ERROR(-4) : Can't read metadata file."};
const std::vector<std::string> kCannotAllocate = {"ERROR(-5) : Can't allocate memory."};

void* failAllocation(size_t) { return nullptr; }

// Reads deliver at most `g_readLimit` bytes in all, wherever the cut falls.
size_t g_readLimit = 0;
size_t shortRead(void* dest, size_t size, std::FILE* file) {
    const size_t n = std::fread(dest, 1, std::min(size, g_readLimit), file);
    g_readLimit -= n;
    return n;
}

class FailureInjection : public ::testing::Test {
protected:
    void SetUp() override { resetLibrary(); }
    void TearDown() override {
        kvtest::setLoaderHooks({});
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
        g_readLimit = cut;
        kvtest::setLoaderHooks({nullptr, shortRead});
        EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
        EXPECT_EQ(linesFrom(0), kCannotRead);
        kvtest::setLoaderHooks({});
        expectEmptyState(path);
    }
    g_readLimit = bytes.size();
    kvtest::setLoaderHooks({nullptr, shortRead});
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), 0);
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
