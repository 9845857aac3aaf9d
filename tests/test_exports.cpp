// The export list and the reader state as the read, size and view
// functions see it.
#include <cstdio>
#include <cstring>
#include <set>

#include "check_helpers.h"

using kvtest::resetLibrary;

namespace {

const std::vector<std::string> kNothingLoaded = {"ERROR(-4) : Can't read metadata file."};

// Runs `call` and returns {result, the lines it appended}.
kvtest::Outcome appended(const std::function<int()>& call) {
    const int before = KVELGetErrorCount();
    const int result = call();
    return {result, kvtest::linesFrom(before)};
}

}  // namespace

TEST(Exports, SharedLibraryExportsExactlyTheApi) {
    std::FILE* nm = popen("nm -D --defined-only '" KVEL_SHARED_LIBRARY "'", "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char address[64], type[8], name[256];
    while (std::fscanf(nm, "%63s %7s %255s", address, type, name) == 3) names.insert(name);
    ASSERT_EQ(pclose(nm), 0);
    // Every operation on a reader has a flat form; the two legacy no-ops
    // have only that, and readers come and go by their own two and take
    // one setting of their own.
    const std::set<std::string> operations = {
        "OpenFile", "OpenFile2", "LoadFileImage", "SetBuffer", "SetBufferWithSize", "CloseFile", "CheckFormat",
        "ReadMainHeader", "ReadEntireFrame", "ReadZoneSubFrame", "ReadEventSubFrame", "GetWholeBuffer",
        "GetZoneSubFrame", "GetEventSubFrame", "GetFirstEvent", "GetBufferSizeForZoneSubFrame",
        "GetBufferSizeForEventSubFrame", "GetErrorCount", "GetFirstError", "GetNextError", "GetErrorRecord",
        "GetErrorString"};
    std::set<std::string> api = {"KVELReadMainHeader2", "KVELReadEntireFrame2", "KVELCreateReader", "KVELDestroyReader",
                                 "KVELReaderSetThreads"};
    for (const std::string& name : operations) {
        api.insert("KVEL" + name);
        api.insert("KVELReader" + name);
    }
    EXPECT_EQ(names, api);
}

// Every read function fails alike when nothing is loaded, with a record of
// no offset and no parameter; the size functions and views answer 0 and
// null without a record.
TEST(ReaderState, NothingLoaded) {
    resetLibrary();
    unsigned char dest[64];
    KVEL_MAIN_HEADER header;
    for (const auto& refused : std::vector<std::function<int()>>{
             [&] { return KVELReadMainHeader(&header); }, [&] { return KVELReadEntireFrame(dest); },
             [&] { return KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(dest)); },
             [&] { return KVELReadEventSubFrame(dest); }, [] { return KVELCheckFormat(0, 0); }})
        EXPECT_LINES(appended(refused), kNothingLoaded);
    for (const auto& quiet : std::vector<std::function<int()>>{
             [] { return KVELGetBufferSizeForZoneSubFrame(); }, [] { return KVELGetBufferSizeForEventSubFrame(); },
             [&] { return KVELReadMainHeader2("x", &header, 1); }, [&] { return KVELReadEntireFrame2(dest, 1); }})
        EXPECT_LINES(appended(quiet), {});
    EXPECT_EQ(KVELGetWholeBuffer(), nullptr);
    EXPECT_EQ(KVELGetZoneSubFrame(), nullptr);
    EXPECT_EQ(KVELGetEventSubFrame(), nullptr);
    EXPECT_EQ(KVELGetFirstEvent(), nullptr);
    KVEL_ERROR_RECORD r;
    ASSERT_EQ(KVELGetErrorRecord(0, &r), 0);
    EXPECT_EQ(r.offset, -1);
    EXPECT_EQ(r.paramCount, 0);
    EXPECT_EQ(r.param1 | r.param2 | r.param3 | r.param4, 0u);
}

// Four bytes behind the last zone record and no category: the event
// sub-frame at 88, the first event at 88 + 40.
TEST(ReaderState, ViewsSizesAndCopiesOfALoadedImage) {
    kvmf::Doc doc = kvmf::wellFormed();
    doc.zoneFrameSize = 64;
    doc.zoneGap = {0x12, 0x34, 0x56, 0x78};
    doc.categoryTable = std::vector<uint32_t>{};
    std::vector<uint8_t>& image = kvtest::loadMemory(doc);
    unsigned char* base = image.data();
    EXPECT_EQ(KVELGetWholeBuffer(), base);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetZoneSubFrame()), base + 20);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetEventSubFrame()), base + 88);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(KVELGetFirstEvent()), base + 128);
    EXPECT_EQ(KVELGetEventSubFrame()->sampleRate, 44100u);
    EXPECT_EQ(std::vector<uint8_t>(base + 84, base + 88), doc.zoneGap);  // not converted
    EXPECT_EQ(KVELGetBufferSizeForZoneSubFrame(), 68);
    EXPECT_EQ(KVELGetBufferSizeForEventSubFrame(), 220);

    KVEL_MAIN_HEADER copy;
    EXPECT_EQ(KVELReadMainHeader(&copy), 0);
    EXPECT_EQ(std::memcmp(&copy, base, 20), 0);
    // The zone copy takes the count and the records, not the gap behind them.
    std::vector<unsigned char> zones(68, 0xEE);
    EXPECT_EQ(KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(zones.data())), 0);
    EXPECT_EQ(std::memcmp(zones.data(), base + 20, 64), 0);
    EXPECT_EQ(zones[64], 0xEE);
    std::vector<unsigned char> events(221, 0xEE);
    EXPECT_EQ(KVELReadEventSubFrame(events.data()), 0);
    EXPECT_EQ(std::memcmp(events.data(), base + 88, 220), 0);
    EXPECT_EQ(events[220], 0xEE);
    std::vector<unsigned char> all(image.size() - 20 + 1, 0xEE);
    EXPECT_EQ(KVELReadEntireFrame(all.data()), 0);
    EXPECT_EQ(std::memcmp(all.data(), base + 20, image.size() - 20), 0);
    EXPECT_EQ(all.back(), 0xEE);
    EXPECT_EQ(KVELGetErrorCount(), 0);

    // Closing forgets the image: reads fail again and the views are cleared.
    EXPECT_EQ(KVELCloseFile(), 0);
    EXPECT_EQ(KVELGetWholeBuffer(), nullptr);
    EXPECT_EQ(KVELGetZoneSubFrame(), nullptr);
    EXPECT_EQ(KVELGetFirstEvent(), nullptr);
    EXPECT_LINES(appended([&] { return KVELReadMainHeader(&copy); }), kNothingLoaded);
}

// Sizes taken as signed bound the copies: 0 and negative sizes copy
// nothing and still succeed. An event frame size of -4 copies 0 bytes.
TEST(ReaderState, CopiesOfNoBytes) {
    for (uint32_t size : {0u, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFCu}) {
        const bool eventFrame = size == 0xFFFFFFFCu;
        kvtest::loadMemory(kvtest::wellFormedWith([&](kvmf::Doc& d) { (eventFrame ? d.eventFrameSize : d.totalFrameSize) = size; }));
        unsigned char dest[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_LINES(appended([&] { return eventFrame ? KVELReadEventSubFrame(dest) : KVELReadEntireFrame(dest); }), {}) << size;
        EXPECT_EQ(dest[0], 0xEE);
    }
}
