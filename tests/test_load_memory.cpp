// Adopting a memory image: in-place conversion, what is left untouched, and
// the bounded variant.
#include <cstring>

#include "check_helpers.h"

using kvtest::resetLibrary;

namespace {

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

template <class T>
T at(const void* base, size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(base) + offset, sizeof v);
    return v;
}

}  // namespace

TEST(LoadMemory, ConvertsEveryFrameInPlace) {
    resetLibrary();
    kvmf::Doc doc = kvmf::wellFormed();
    doc.version = 0x0102;
    std::vector<uint8_t> image = doc.bytes();
    KVEL_MAIN_HEADER header;
    std::memset(&header, 0, sizeof header);
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    EXPECT_EQ(KVELGetErrorCount(), 0);
    EXPECT_EQ(std::memcmp(header.signature, "KVMF", 4), 0);
    EXPECT_EQ(std::memcmp(header.engineId, "KVEL", 4), 0);
    EXPECT_EQ(header.version, 0x0102);
    EXPECT_EQ(header.level, 0x1000);
    EXPECT_EQ(header.totalFrameSize, 304u);

    // Record fields are pinned one by one below.
    const KVEL_ZONE_SUBFRAME* zones = KVELGetZoneSubFrame();
    EXPECT_EQ(zones->frameSize, 60u);
    EXPECT_EQ(zones->zoneCount, 1);
    EXPECT_EQ(at<float>(zones, 6 + 26), 120.0f);           // bpm

    const KVEL_EVENT_SUBFRAME* events = KVELGetEventSubFrame();
    EXPECT_EQ(events->frameSize, 236u);
    EXPECT_EQ(events->sampleRate, 44100u);
    EXPECT_EQ(events->categoryCount, 5);
    EXPECT_EQ(events->totalEventCount, 18u);
    EXPECT_EQ(at<uint32_t>(events, 36), 0x2F000007u);      // first category entry
    EXPECT_EQ(at<uint32_t>(events, 56), 180u);             // eventBodySize
    const KVEL_EVENT* first = KVELGetFirstEvent();
    EXPECT_EQ(at<uint16_t>(first, 0), 0x0011);
    EXPECT_EQ(at<uint32_t>(first, 2), 0x2F000001u);
    EXPECT_EQ(at<uint32_t>(first, 170 + 2), 0x2F7FFF81u);  // the terminator
    EXPECT_EQ(at<uint32_t>(first, 90 + 6), 44100u);
}

TEST(LoadMemory, WrongSignatureLeavesTheImageAlone) {
    resetLibrary();
    KVEL_MAIN_HEADER header;
    std::memset(&header, 0x5A, sizeof header);
    kvel::appendError(-4, -1);  // the list is neither emptied nor appended to
    kvmf::Doc doc = kvmf::wellFormed();
    doc.signature = {'K', 'V', 'M', 'X'};
    std::vector<uint8_t> image = doc.bytes();
    const std::vector<uint8_t> original = image;
    EXPECT_EQ(KVELSetBuffer(image.data(), &header), -1);
    EXPECT_EQ(image, original);
    EXPECT_EQ(KVELGetErrorCount(), 1);
    EXPECT_EQ(header.version, 0x5A5A);
    EXPECT_EQ(KVELGetWholeBuffer(), image.data());
    KVEL_MAIN_HEADER copy;
    EXPECT_EQ(KVELReadMainHeader(&copy), 0);
    EXPECT_EQ(std::memcmp(&copy, original.data(), 20), 0);
    // The frames behind the header are not reachable.
    EXPECT_EQ(KVELGetBufferSizeForZoneSubFrame(), 0);
    EXPECT_EQ(KVELGetBufferSizeForEventSubFrame(), 0);
    EXPECT_EQ(KVELGetZoneSubFrame(), nullptr);
    EXPECT_EQ(KVELGetFirstEvent(), nullptr);
    unsigned char dest[400];
    EXPECT_EQ(KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(dest)), -1);
    EXPECT_EQ(KVELCheckFormat(0, 0), -1);
    EXPECT_EQ(kvtest::linesFrom(1), (std::vector<std::string>{"ERROR(-4) : Can't read metadata file.",
                                                              "ERROR(-4) : Can't read metadata file."}));
    EXPECT_EQ(image, original);
}

TEST(LoadMemory, ZoneGapAndEmptyCategoryTable) {
    kvmf::Doc doc = kvmf::wellFormed();
    doc.zoneFrameSize = 64;
    doc.zoneGap = {0x12, 0x34, 0x56, 0x78};
    doc.categoryTable = std::vector<uint32_t>{};
    std::vector<uint8_t>& image = kvtest::loadMemory(doc);
    EXPECT_EQ(be32(image, 84), 0x12345678u);  // the gap is not converted
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetEventSubFrame()), image.data() + 88);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetFirstEvent()), image.data() + 128);
    EXPECT_EQ(KVELGetEventSubFrame()->sampleRate, 44100u);
}

// Only whole records are converted; a remainder of the body stays as it was.
TEST(LoadMemory, BodySizeWithARemainder) {
    kvmf::Doc doc = kvmf::wellFormed();
    doc.events.resize(2);
    doc.eventBodySize = 25;
    doc.trailing = {1, 2, 3, 4, 5};
    std::vector<uint8_t>& image = kvtest::loadMemory(doc);
    const KVEL_EVENT* first = KVELGetFirstEvent();
    EXPECT_EQ(at<uint32_t>(first, 12), 0x2F000010u);
    EXPECT_EQ(std::vector<uint8_t>(image.end() - 5, image.end()), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

// A body size that is not positive leaves the size word and the records in
// file order.
TEST(LoadMemory, NegativeBodySizeConvertsNoRecord) {
    resetLibrary();
    kvmf::Doc doc = kvmf::wellFormed();
    doc.eventBodySize = 0xFFFFFF9C;
    std::vector<uint8_t> image = doc.bytes();
    const std::vector<uint8_t> original = image;
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetFirstEvent()), image.data() + 144);
    EXPECT_TRUE(std::equal(image.begin() + 140, image.end(), original.begin() + 140));
}

// Adopting an image while a file is loaded releases the file's buffer
// (the leak checker of the sanitizer build watches this) and forgets its
// size, but leaves the file open.
TEST(LoadMemory, ReplacesALoadedFile) {
    resetLibrary();
    kvmf::Doc doc = kvmf::wellFormed();
    doc.trailing = {0};
    const std::string path = kvtest::writeTemp(doc.bytes());
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELOpenFile(path.c_str(), &header), 0);
    std::remove(path.c_str());
    std::vector<uint8_t> image = kvmf::wellFormed().bytes();
    image.push_back(0);  // totalFrameSize no longer matches: only a file size would tell
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    EXPECT_EQ(KVELGetWholeBuffer(), image.data());
    EXPECT_EQ(KVELCheckFormat(0, 0), 0);
    EXPECT_EQ(KVELOpenFile(path.c_str(), &header), -1);
    EXPECT_EQ(kvtest::linesFrom(0), std::vector<std::string>{"ERROR(-7) : Previous file is still opened."});
    KVELCloseFile();
    EXPECT_EQ(KVELGetWholeBuffer(), nullptr);
}

TEST(LoadMemory, BoundedImage) {
    const std::vector<uint8_t> good = kvmf::wellFormed().bytes();
    const std::vector<std::string> refused = {"ERROR(-4) : Can't read metadata file."};
    KVEL_MAIN_HEADER header;
    for (size_t size : {size_t{0}, size_t{19}, size_t{20}, size_t{83}, size_t{143}, good.size() - 1}) {
        resetLibrary();
        std::vector<uint8_t> image(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(KVELSetBufferWithSize(image.data(), image.size(), &header), -1) << size;
        EXPECT_EQ(kvtest::linesFrom(0), refused) << size;
        EXPECT_EQ(KVELGetWholeBuffer(), nullptr) << size;
    }
    resetLibrary();
    std::vector<uint8_t> image = good;
    EXPECT_EQ(KVELSetBufferWithSize(image.data(), image.size(), &header), 0);
    EXPECT_EQ(KVELCheckFormat(0, 0), 0);
    EXPECT_EQ(KVELGetErrorCount(), 0);
}

// The record conversion swaps some fields two at a time: each field must
// still land in its own place, in its own byte order.
TEST(LoadMemory, ConvertsEachRecordFieldToItsOwnValue) {
    resetLibrary();
    kvmf::Doc doc = kvmf::wellFormed();
    kvmf::Zone& z = doc.zones[0];
    z.zoneNumber = 0x0102;
    z.zoneStartPosition = 0x03040506;
    z.zoneEndPosition = 0x0708090A;
    z.fadeInStartPosition = 0x0B0C0D0E;
    z.fadeInEndPosition = 0x0F101112;
    z.fadeOutStartPosition = 0x13141516;
    z.fadeOutEndPosition = 0x1718191A;
    z.bpmBits = 0x1B1C1D1E;
    z.barCount = 0x2122;
    z.key = 0x2324;
    z.reserved0 = 0x2526;
    z.reserved = {0x27282930, 0x31323334, 0x35363738, 0x39404142, 0x43444546};
    doc.events[1] = kvmf::Event{0x4748, 0x49505152, 0x53545556};
    std::vector<uint8_t> image = doc.bytes();
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);

    const unsigned char* r = reinterpret_cast<const unsigned char*>(KVELGetZoneSubFrame()) + 6;
    EXPECT_EQ(at<uint16_t>(r, 0), 0x0102);
    const uint32_t words[] = {0x03040506, 0x0708090A, 0x0B0C0D0E, 0x0F101112, 0x13141516, 0x1718191A, 0x1B1C1D1E};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(at<uint32_t>(r, 2 + 4 * i), words[i]) << "word " << i;
    EXPECT_EQ(at<uint16_t>(r, 32), 0x2122);
    EXPECT_EQ(at<uint16_t>(r, 34), 0x2324);
    EXPECT_EQ(at<uint16_t>(r, 36), 0x2526);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(at<uint32_t>(r, 38 + 4 * i), z.reserved[i]) << "reserved " << i + 1;

    const unsigned char* e = reinterpret_cast<const unsigned char*>(KVELGetFirstEvent()) + 10;
    EXPECT_EQ(at<uint16_t>(e, 0), 0x4748);
    EXPECT_EQ(at<uint32_t>(e, 2), 0x49505152u);
    EXPECT_EQ(at<uint32_t>(e, 6), 0x53545556u);
}
