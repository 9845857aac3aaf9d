// Adopting a memory image: in-place conversion, what is left untouched, and
// the bounded variant.
#include <cstring>

#include "check_helpers.h"

using kvtest::resetLibrary;

namespace {

template <class T>
T at(const void* base, size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(base) + offset, sizeof v);
    return v;
}

}  // namespace

// The record conversion swaps some fields two at a time: each field gets a
// value of its own and must land in its own place, in host order.
TEST(LoadMemory, ConvertsEveryFieldInPlace) {
    resetLibrary();
    kvmf::Doc doc = kvmf::wellFormed();
    doc.version = 0x0102;
    kvmf::Zone& z = doc.zones[0];
    z.zoneNumber = 0x0102;
    z.zoneStartPosition = 0x03040506, z.zoneEndPosition = 0x0708090A;
    z.fadeInStartPosition = 0x0B0C0D0E, z.fadeInEndPosition = 0x0F101112;
    z.fadeOutStartPosition = 0x13141516, z.fadeOutEndPosition = 0x1718191A;
    z.bpmBits = 0x1B1C1D1E;
    z.barCount = 0x2122, z.key = 0x2324, z.reserved0 = 0x2526;
    z.reserved = {0x27282930, 0x31323334, 0x35363738, 0x39404142, 0x43444546};
    doc.events[1] = kvmf::Event{0x4748, 0x2F505152, 0x53545556};
    std::vector<uint8_t> image = doc.bytes();
    KVEL_MAIN_HEADER header{};
    ASSERT_EQ(KVELSetBuffer(image.data(), &header), 0);
    EXPECT_EQ(KVELGetErrorCount(), 0);
    EXPECT_EQ(std::memcmp(header.signature, "KVMFKVEL", 8), 0);
    EXPECT_EQ(header.version, 0x0102);
    EXPECT_EQ(header.level, 0x1000);
    EXPECT_EQ(header.totalFrameSize, 304u);

    const KVEL_ZONE_SUBFRAME* zones = KVELGetZoneSubFrame();
    EXPECT_EQ(zones->frameSize, 60u);
    EXPECT_EQ(zones->zoneCount, 1);
    const unsigned char* r = reinterpret_cast<const unsigned char*>(zones) + 6;
    EXPECT_EQ(at<uint16_t>(r, 0), 0x0102);
    const uint32_t words[] = {0x03040506, 0x0708090A, 0x0B0C0D0E, 0x0F101112, 0x13141516, 0x1718191A, 0x1B1C1D1E};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(at<uint32_t>(r, 2 + 4 * i), words[i]) << "word " << i;
    EXPECT_EQ(at<uint16_t>(r, 32), 0x2122);
    EXPECT_EQ(at<uint16_t>(r, 34), 0x2324);
    EXPECT_EQ(at<uint16_t>(r, 36), 0x2526);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(at<uint32_t>(r, 38 + 4 * i), z.reserved[i]) << "reserved " << i + 1;

    const KVEL_EVENT_SUBFRAME* events = KVELGetEventSubFrame();
    EXPECT_EQ(events->frameSize, 236u);
    EXPECT_EQ(events->sampleRate, 44100u);
    EXPECT_EQ(events->categoryCount, 5);
    EXPECT_EQ(events->totalEventCount, 18u);
    EXPECT_EQ(at<uint32_t>(events, 36), 0x2F000007u);  // first category entry
    EXPECT_EQ(at<uint32_t>(events, 56), 180u);         // eventBodySize
    const KVEL_EVENT* first = KVELGetFirstEvent();
    EXPECT_EQ(at<uint32_t>(first, 2), 0x2F000001u);
    EXPECT_EQ(at<uint16_t>(first, 10), 0x4748);
    EXPECT_EQ(at<uint32_t>(first, 12), 0x2F505152u);
    EXPECT_EQ(at<uint32_t>(first, 16), 0x53545556u);
    EXPECT_EQ(at<uint32_t>(first, 170 + 2), 0x2F7FFF81u);  // the terminator
}

// A refused image is neither converted nor its header copied out, and the
// list is neither emptied nor appended to; only the raw header is readable.
TEST(LoadMemory, WrongSignatureLeavesTheImageAlone) {
    resetLibrary();
    KVEL_MAIN_HEADER header;
    std::memset(&header, 0x5A, sizeof header);
    kvtest::appendError(-4, -1);
    std::vector<uint8_t> image = kvtest::wellFormedWith([](kvmf::Doc& d) { d.signature = {'K', 'V', 'M', 'X'}; }).bytes();
    const std::vector<uint8_t> original = image;
    EXPECT_EQ(KVELSetBuffer(image.data(), &header), -1);
    EXPECT_EQ(KVELGetErrorCount(), 1);
    EXPECT_EQ(header.version, 0x5A5A);
    EXPECT_EQ(KVELGetWholeBuffer(), image.data());
    KVEL_MAIN_HEADER copy;
    EXPECT_EQ(KVELReadMainHeader(&copy), 0);
    EXPECT_EQ(std::memcmp(&copy, original.data(), 20), 0);
    EXPECT_EQ(KVELGetBufferSizeForZoneSubFrame(), 0);
    EXPECT_EQ(KVELGetZoneSubFrame(), nullptr);
    EXPECT_EQ(KVELCheckFormat(0, 0), -1);
    EXPECT_EQ(kvtest::linesFrom(1), std::vector<std::string>{"ERROR(-4) : Can't read metadata file."});
    EXPECT_EQ(image, original);
}

// Only whole records are converted; a remainder of the body stays as it
// was. A body size that is not positive leaves the size word and every
// record in file order.
TEST(LoadMemory, BodySizes) {
    kvmf::Doc doc = kvmf::wellFormed();
    doc.events.resize(2);
    doc.eventBodySize = 25;
    doc.trailing = {1, 2, 3, 4, 5};
    std::vector<uint8_t>& image = kvtest::loadMemory(doc);
    EXPECT_EQ(at<uint32_t>(KVELGetFirstEvent(), 12), 0x2F000010u);
    EXPECT_EQ(std::vector<uint8_t>(image.end() - 5, image.end()), doc.trailing);

    resetLibrary();
    image = kvtest::wellFormedWith([](kvmf::Doc& d) { d.eventBodySize = 0xFFFFFF9C; }).bytes();
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
    const std::string path = kvtest::writeTemp(kvtest::wellFormedWith([](kvmf::Doc& d) { d.trailing = {0}; }).bytes());
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
}

// An image cut anywhere short of its frames is refused and not adopted.
TEST(LoadMemory, BoundedImage) {
    const std::vector<uint8_t> good = kvmf::wellFormed().bytes();
    KVEL_MAIN_HEADER header;
    for (size_t size : {size_t{0}, size_t{19}, size_t{20}, size_t{83}, size_t{143}, good.size() - 1}) {
        resetLibrary();
        std::vector<uint8_t> image(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(KVELSetBufferWithSize(image.data(), image.size(), &header), -1) << size;
        EXPECT_EQ(kvtest::linesFrom(0), std::vector<std::string>{"ERROR(-4) : Can't read metadata file."}) << size;
        EXPECT_EQ(KVELGetWholeBuffer(), nullptr) << size;
    }
    resetLibrary();
    std::vector<uint8_t> image = good;
    EXPECT_EQ(KVELSetBufferWithSize(image.data(), image.size(), &header), 0);
    EXPECT_EQ(KVELCheckFormat(0, 0), 0);
}
