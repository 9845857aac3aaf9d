// Images whose size and count fields contradict each other in the ways the
// fuzzers found. Each must be read without leaving the bytes really held.
#include <algorithm>
#include <cstring>
#include <functional>

#include "check_helpers.h"
#include "kvmf_records.h"

using kvtest::linesFrom;
using kvtest::resetLibrary;

namespace {

using namespace kvcodec;

constexpr size_t kZoneRecord0 = kZoneSubFrameOffset + kZoneHeaderSize;

// A zone frameSize of 0 puts the event sub-frame at offset 24, over the zone
// count. One zone record is held; converting the event header rewrites the
// count to 0xFFFF (from zone 0's number, 0xFFFF, already in host order).
std::vector<uint8_t> zoneCountUnderEventHeader() {
    std::vector<uint8_t> b(84, 0);
    std::memcpy(b.data() + mh::signature, kSignature, 4);
    put32(b.data() + mh::totalFrameSize, 64);
    put32(b.data() + kZoneSubFrameOffset + zs::frameSize, 0);
    put16(b.data() + kZoneSubFrameOffset + zs::zoneCount, 1);
    put16(b.data() + kZoneRecord0 + zr::zoneNumber, 0xFFFF);
    return b;  // event header over 24..59: categoryCount 0, eventBodySize 0
}

// The same for the file loader, which reads the event sub-frame on after the
// zone record and moves it to offset 24: its frameSize 0xFFFF becomes the count.
std::vector<uint8_t> zoneCountUnderMovedEventFrame() {
    std::vector<uint8_t> b(134, 0);
    std::memcpy(b.data() + mh::signature, kSignature, 4);
    put32(b.data() + mh::totalFrameSize, 114);
    put16(b.data() + kZoneSubFrameOffset + zs::zoneCount, 1);
    const size_t eventFrame = kZoneRecord0 + kZoneRecordSize;
    put32(b.data() + eventFrame + es::frameSize, 0xFFFF);
    put32(b.data() + eventFrame + es::categories, 10);  // no table: eventBodySize, one record
    return b;
}

}  // namespace

TEST(HostileImages, ZoneCountRewrittenByTheEventSubFrameIsCutToTheHeldRecords) {
    struct Case {
        const char* loader;
        std::vector<uint8_t> bytes;
        std::function<int(std::vector<uint8_t>&)> load;
    };
    KVEL_MAIN_HEADER header;
    const std::vector<Case> cases = {
        {"KVELSetBufferWithSize", zoneCountUnderEventHeader(),
         [&](std::vector<uint8_t>& b) { return KVELSetBufferWithSize(b.data(), b.size(), &header); }},
        {"KVELSetBuffer", zoneCountUnderEventHeader(),
         [&](std::vector<uint8_t>& b) { return KVELSetBuffer(b.data(), &header); }},
        {"KVELOpenFile", zoneCountUnderMovedEventFrame(),
         [&](std::vector<uint8_t>& b) { return KVELOpenFile(kvtest::writeTemp(b).c_str(), &header); }},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.loader);
        resetLibrary();
        ASSERT_EQ(c.load(c.bytes), 0);
        ASSERT_EQ(KVELGetZoneSubFrame()->zoneCount, 0xFFFF);

        // The copy would have to read 0xFFFF records from an image that holds one.
        std::vector<uint8_t> dest(6 + 58 * size_t{0xFFFF});
        EXPECT_EQ(KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(dest.data())), -1);
        EXPECT_EQ(linesFrom(0), std::vector<std::string>{"ERROR(-4) : Can't read metadata file."});

        // The checks see the one record held: the frame size it should have is 2 + 58.
        KVELCheckFormat(1, 0);
        const std::vector<std::string> lines = linesFrom(1);
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "ERROR(-2027) : offset 0x00000014 : [Zone Sub Frame] Incorrect zone frame size. "
                            "it should be 0000003c but it is 00000000."),
                  lines.end());
        KVELCloseFile();
    }
    std::remove(kvtest::tempPath().c_str());
}
