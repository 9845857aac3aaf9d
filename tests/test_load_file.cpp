// Loading by path: the failure records, the life cycle of the open file,
// and placement of the frames in the library's buffer.
#include <cstring>

#include "check_helpers.h"
#include "format/load_file.h"

using kvtest::linesFrom;
using kvtest::resetLibrary;

namespace {

const std::string kCannotRead = "ERROR(-4) : Can't read metadata file.";

// Opens `bytes` as a file; returns {result, the lines of the list}.
kvtest::Outcome open(const std::vector<uint8_t>& bytes) {
    resetLibrary();
    kvtest::appendError(-4, -1);  // an open that gets its file empties the list first
    const std::string path = kvtest::writeTemp(bytes);
    KVEL_MAIN_HEADER header;
    const int result = KVELOpenFile(path.c_str(), &header);
    std::remove(path.c_str());
    return {result, linesFrom(0)};
}

std::vector<uint8_t> wellFormedWith(void (*edit)(kvmf::Doc&)) { return kvtest::wellFormedWith(edit).bytes(); }

}  // namespace

TEST(LoadFile, LoadsLikeTheMemoryImage) {
    std::vector<uint8_t> image = kvmf::wellFormed().bytes();
    EXPECT_LINES(open(image), {});
    unsigned char* buffer = static_cast<unsigned char*>(KVELGetWholeBuffer());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetEventSubFrame()), buffer + 84);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetFirstEvent()), buffer + 144);
    const std::vector<uint8_t> loaded(buffer, buffer + image.size());
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    EXPECT_EQ(loaded, image);
    KVELCloseFile();
}

// Only whole records are read; a remainder of the body is not.
TEST(LoadFile, BodySizeWithARemainder) {
    EXPECT_LINES(open(wellFormedWith([](kvmf::Doc& d) { d.events.resize(2), d.eventBodySize = 25, d.trailing = {1, 2, 3, 4, 5}; })), {});
    ASSERT_NE(KVELGetFirstEvent(), nullptr);
    EXPECT_EQ(KVELGetFirstEvent()[1].value, 0x2F000010u);
    KVELCloseFile();
}

// Frames are placed by the zone frame size while the file is read on after
// the last zone record; the buffer is never written outside.
TEST(LoadFile, ZoneFrameSizeMovesTheEventSubFrame) {
    EXPECT_LINES(open(wellFormedWith([](kvmf::Doc& d) { d.zoneFrameSize = 64; })), {kCannotRead});  // four bytes more than the file has
    EXPECT_LINES(open(wellFormedWith([](kvmf::Doc& d) { d.zoneFrameSize = 64, d.trailing = {0, 0, 0, 0}; })), {});
    unsigned char* buffer = static_cast<unsigned char*>(KVELGetWholeBuffer());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetEventSubFrame()), buffer + 88);
    EXPECT_EQ(KVELGetEventSubFrame()->totalEventCount, 18u);
    KVELCloseFile();
}

TEST(LoadFile, Failures) {
    const std::vector<uint8_t> good = kvmf::wellFormed().bytes();
    const struct {
        const char* label;
        std::vector<uint8_t> bytes;
        std::string line;
    } rows[] = {
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 19), kCannotRead},
        {"last byte cut", std::vector<uint8_t>(good.begin(), good.end() - 1), kCannotRead},
        {"body size 0", wellFormedWith([](kvmf::Doc& d) { d.eventBodySize = 0; }),
         "ERROR(-3034) : offset ---------- : [Event Sub Frame] Incorrect event body size. The value is minus(00000000)."},
        {"negative body size", wellFormedWith([](kvmf::Doc& d) { d.eventBodySize = 0xFFFFFF9C; }),
         "ERROR(-3034) : offset ---------- : [Event Sub Frame] Incorrect event body size. The value is minus(ffffff9c)."},
        // Size and count fields that would place a field outside the file's bytes.
        {"huge body size", wellFormedWith([](kvmf::Doc& d) { d.eventBodySize = 0x7FFFFFF0; }), kCannotRead},
        {"zone count", wellFormedWith([](kvmf::Doc& d) { d.zoneCount = 0xFFFF; }), kCannotRead},
        {"category count", wellFormedWith([](kvmf::Doc& d) { d.categoryCount = 0xFFFF; }), kCannotRead},
        {"zone frame size", wellFormedWith([](kvmf::Doc& d) { d.zoneFrameSize = 0xFFFFFFF0; }), kCannotRead},
    };
    for (const auto& row : rows) {
        EXPECT_LINES(open(row.bytes), {row.line}) << row.label;
        EXPECT_EQ(KVELGetWholeBuffer(), nullptr) << row.label;
    }
    // Nothing stays open after a failure.
    EXPECT_LINES(open(good), {});
    KVELCloseFile();
}

TEST(LoadFile, OpenWhileOpen) {
    ASSERT_EQ(open(kvmf::wellFormed().bytes()).result, 0);
    void* loaded = KVELGetWholeBuffer();
    KVEL_MAIN_HEADER header;
    kvtest::appendError(-4, -1);
    EXPECT_EQ(KVELOpenFile("/nonexistent/kvel.kvmf", &header), -1);
    EXPECT_EQ(KVELOpenFile2("/nonexistent/kvel.kvmf"), -1);
    EXPECT_EQ(linesFrom(0), (std::vector<std::string>{kCannotRead, "ERROR(-7) : Previous file is still opened.",
                                                      "ERROR(-7) : Previous file is still opened."}));
    EXPECT_EQ(KVELGetWholeBuffer(), loaded);
    EXPECT_EQ(KVELCloseFile(), 0);
    // A path that cannot be opened keeps the list.
    EXPECT_EQ(KVELOpenFile("/nonexistent/kvel.kvmf", &header), -1);
    EXPECT_EQ(KVELGetErrorCount(), 4);
    EXPECT_EQ(kvtest::line(3), "ERROR(-3) : Can't open the file.");
}

// Opening a file drops a borrowed image without touching it.
TEST(LoadFile, OpenAfterSetBuffer) {
    resetLibrary();
    std::vector<uint8_t> image = kvmf::wellFormed().bytes();
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    const std::vector<uint8_t> converted = image;
    const std::string path = kvtest::writeTemp(kvmf::wellFormed().bytes());
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), 0);
    std::remove(path.c_str());
    EXPECT_NE(KVELGetWholeBuffer(), image.data());
    EXPECT_EQ(image, converted);
    KVELCloseFile();
}

// The second opener reads the file whole but keeps the current image; it
// measures the file, which the header check then compares with. A short
// whole-file read is reported as -5 and closes the file again.
TEST(LoadFile, OpenFile2) {
    resetLibrary();
    std::vector<uint8_t> image = kvmf::wellFormed().bytes();
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    kvtest::appendError(-4, -1);
    const std::string path = kvtest::writeTemp(std::vector<uint8_t>(1000, 0x42));
    EXPECT_EQ(KVELOpenFile2(path.c_str()), 1);
    EXPECT_EQ(KVELGetErrorCount(), 0);
    EXPECT_EQ(KVELGetWholeBuffer(), image.data());
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
    EXPECT_EQ(KVELCheckFormat(0, 0), -1);
    EXPECT_EQ(linesFrom(0), (std::vector<std::string>{
                                "ERROR(-7) : Previous file is still opened.",
                                "ERROR(-1004) : offset 0x00000010 : [Main Header] Bad total frame size. It should be 000003d4."}));
    EXPECT_EQ(KVELCloseFile(), 0);
    EXPECT_EQ(KVELGetWholeBuffer(), nullptr);

    kvtest::setLoaderHooks({nullptr, [](void*, size_t size, uint64_t, std::FILE*) { return size - 1; }});
    EXPECT_EQ(KVELOpenFile2(path.c_str()), -1);
    kvtest::setLoaderHooks({nullptr, nullptr});
    EXPECT_EQ(linesFrom(0), std::vector<std::string>{"ERROR(-5) : Can't allocate memory."});
    EXPECT_EQ(KVELOpenFile2(path.c_str()), 1);
    KVELCloseFile();
    std::remove(path.c_str());
}

// Copies are bounded by the file's bytes, whatever the frames claim.
TEST(LoadFile, CopiesBeyondTheFileFail) {
    ASSERT_EQ(open(wellFormedWith([](kvmf::Doc& d) { d.totalFrameSize = 400, d.eventFrameSize = 1000; })).result, 0);
    std::vector<unsigned char> dest(1004);
    EXPECT_EQ(KVELReadEntireFrame(dest.data()), -1);
    EXPECT_EQ(KVELReadEventSubFrame(dest.data()), -1);
    EXPECT_EQ(KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(dest.data())), 0);
    EXPECT_EQ(linesFrom(0), std::vector<std::string>(2, kCannotRead));
    KVELCloseFile();
}

// A load split over threads is the load on one thread: the same image,
// records and check results, from a file and from its bytes, with problems
// in every part.
TEST(LoadFile, SplitLoadsEqualTheLoadOnOneThread) {
    kvmf::Doc doc = kvmf::bigSong();
    for (size_t i = 1; i < 8; ++i) doc.events[doc.events.size() * i / 8].samplePosition = 0;
    const std::vector<uint8_t> bytes = doc.bytes();
    ASSERT_EQ(kvel::loadParts(bytes.size(), 64), 3u);
    const std::string path = kvtest::writeTemp(bytes);
    struct Load {
        int loaded = 0, result = 0;
        std::vector<uint8_t> image;
        std::vector<std::string> lines;
        bool operator==(const Load&) const = default;
    };
    auto load = [&](int threads, bool fromFile) {
        resetLibrary();
        EXPECT_EQ(KVELReaderSetThreads(kvtest::testReader(), threads), 0);
        Load l;
        KVEL_MAIN_HEADER header;
        l.loaded = fromFile ? KVELOpenFile(path.c_str(), &header) : KVELLoadFileImage(bytes.data(), bytes.size(), &header);
        const auto* buffer = static_cast<const uint8_t*>(KVELGetWholeBuffer());
        if (buffer) l.image.assign(buffer, buffer + bytes.size());
        l.result = KVELCheckFormat(0, 0);
        l.lines = linesFrom(0);
        KVELCloseFile();
        return l;
    };
    const Load one = load(1, true);
    ASSERT_EQ(one.loaded, 0);
    ASSERT_LT(one.result, -6);
    for (const bool fromFile : {true, false}) {
        for (const int threads : {1, 2, 3, 64}) {
            SCOPED_TRACE(std::to_string(threads) + (fromFile ? " threads, file" : " threads, bytes"));
            EXPECT_TRUE(load(threads, fromFile) == one);
        }
    }
    EXPECT_EQ(KVELReaderSetThreads(kvtest::testReader(), 1), 0);
    std::remove(path.c_str());
}

TEST(LoadFile, LoadThreadsOutOfRangeAreRefused) {
    EXPECT_EQ(KVELReaderSetThreads(nullptr, 2), -1);
    for (const int threads : {-1, 0, KVEL_READER_THREADS_MAX + 1})
        EXPECT_EQ(KVELReaderSetThreads(kvtest::testReader(), threads), -1) << threads;
    for (const int threads : {1, KVEL_READER_THREADS_MAX})
        EXPECT_EQ(KVELReaderSetThreads(kvtest::testReader(), threads), 0) << threads;
    KVELReaderSetThreads(kvtest::testReader(), 1);
}
