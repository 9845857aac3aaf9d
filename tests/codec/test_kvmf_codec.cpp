// The codec against the library's own reading of the same bytes, and its
// taking apart of files that end too soon.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "KVELRead.h"
#include "kvmf_image.h"

namespace {

using namespace kvcodec;

// Two zones, two table entries and three events. Every field but the sizes
// and counts the loader needs holds bytes no other field holds, so a field
// written or read at another's offset shows as a wrong value.
Image distinctFields() {
    uint8_t next = 0x01;
    auto n8 = [&] { return next++; };
    auto n16 = [&] { return static_cast<uint16_t>(n8() << 8 | n8()); };
    auto n32 = [&] { return uint32_t{n16()} << 16 | n16(); };

    Image image;
    image.mainHeader = MainHeader{kSignatureId, {n8(), n8(), n8(), n8()}, {n8(), n8(), n8(), n8()}, n16(), n16(), 0};
    image.zoneHeader = ZoneHeader{zoneFrameSize(2), 2};
    for (int i = 0; i < 2; ++i)
        image.zones.push_back({n16(), n32(), n32(), n32(), n32(), n32(), n32(), n32(), n8(), n8(), n16(), n16(), n16(),
                               {n32(), n32(), n32(), n32(), n32()}});
    image.eventHeader = EventHeader{eventFrameSize(2, 30), eventHeaderSize(2), n32(), n32(), n32(), n32(), n8(), n8(),
                                    2, n32(), n32()};
    image.categories = {n32(), n32()};
    image.eventBodySize = 3 * kEventRecordSize;
    for (int j = 0; j < 3; ++j) image.events.push_back({n16(), n32(), n32()});
    const Bytes bytes = writeImage(image);
    image.mainHeader->totalFrameSize = static_cast<uint32_t>(bytes.size() - kMainHeaderSize);
    return image;
}

std::vector<uint64_t> idBytes(const uint8_t* id) { return {id[0], id[1], id[2], id[3]}; }
std::vector<uint64_t> idBytes(const Id& id) { return idBytes(id.data()); }

// Every field as the library's public structs show it after loading the
// codec's bytes, next to the codec's value.
TEST(KvmfCodec, TheLibraryReadsEveryFieldWhereTheCodecWroteIt) {
    const Image image = distinctFields();
    Bytes bytes = writeImage(image);
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBufferWithSize(bytes.data(), bytes.size(), &header), 0);

    struct Row {
        std::string field;
        std::vector<uint64_t> library, codec;
    };
    std::vector<Row> rows;
    const MainHeader& h = *image.mainHeader;
    rows.push_back({"engineId", idBytes(header.engineId), idBytes(h.engineId)});
    rows.push_back({"applicationId", idBytes(header.applicationId), idBytes(h.applicationId)});
    rows.push_back({"version level totalFrameSize", {header.version, header.level, header.totalFrameSize},
                    {h.version, h.level, h.totalFrameSize}});

    const KVEL_ZONE_SUBFRAME* zones = KVELGetZoneSubFrame();
    rows.push_back({"zone frameSize zoneCount", {zones->frameSize, zones->zoneCount},
                    {image.zoneHeader->frameSize, image.zoneHeader->zoneCount}});
    for (size_t i = 0; i < image.zones.size(); ++i) {
        const KVEL_ZONE& l = zones->zones[i];
        const Zone& c = image.zones[i];
        rows.push_back({"zone " + std::to_string(i),
                        {l.zoneNumber, l.zoneStartPosition, l.zoneEndPosition, l.fadeInStartPosition,
                         l.fadeInEndPosition, l.fadeOutStartPosition, l.fadeOutEndPosition,
                         std::bit_cast<uint32_t>(l.bpm), l.meterDenominator, l.meterNumerator, l.barCount, l.key,
                         l.reserved0, l.reserved1, l.reserved2, l.reserved3, l.reserved4, l.reserved5},
                        {c.zoneNumber, c.zoneStartPosition, c.zoneEndPosition, c.fadeInStartPosition,
                         c.fadeInEndPosition, c.fadeOutStartPosition, c.fadeOutEndPosition, c.bpmBits,
                         c.meterDenominator, c.meterNumerator, c.barCount, c.key, c.reserved0, c.reserved[0],
                         c.reserved[1], c.reserved[2], c.reserved[3], c.reserved[4]}});
    }

    const KVEL_EVENT_SUBFRAME* l = KVELGetEventSubFrame();
    const EventHeader& c = *image.eventHeader;
    rows.push_back({"event header",
                    {l->frameSize, l->headerSize, l->sampleRate, l->totalSamples, l->effectiveStart,
                     l->effectiveEnd, l->channelCount, l->bitsPerSample, l->categoryCount, l->masterTune,
                     l->totalEventCount},
                    {c.frameSize, c.headerSize, c.sampleRate, c.totalSamples, c.effectiveStart, c.effectiveEnd,
                     c.channelCount, c.bitsPerSample, c.categoryCount, c.masterTune, c.totalEventCount}});
    rows.push_back({"category table and body size", {l->categories[0], l->categories[1], l->categories[2]},
                    {image.categories[0], image.categories[1], *image.eventBodySize}});
    for (size_t j = 0; j < image.events.size(); ++j) {
        const KVEL_EVENT& e = KVELGetFirstEvent()[j];
        const Event& ce = image.events[j];
        rows.push_back({"event " + std::to_string(j), {e.barBeat, e.value, e.samplePosition},
                        {ce.barBeat, ce.value, ce.samplePosition}});
    }
    for (const Row& row : rows) EXPECT_EQ(row.library, row.codec) << row.field;
    KVELCloseFile();

    // And the codec reads back what it wrote.
    const Bytes written = writeImage(image);
    const Image parsed = parseImage(written);
    EXPECT_EQ(parsed, image);
    EXPECT_EQ(writeImage(parsed), written);
}

// A file cut short is taken apart up to the last whole field: where it
// stops, why, and what was read before.
TEST(KvmfCodec, ATruncatedFileStopsAtTheFieldItCannotHold) {
    // Zone records at 26 and 84, the event header at 142, the table at
    // 178, the body size at 186, the events at 190, 200 and 210.
    const Bytes whole = writeImage(distinctFields());
    ASSERT_EQ(whole.size(), 220u);
    const struct {
        size_t cut;
        uint64_t stop;
        std::string reason;
        size_t zones, categories, events;
    } rows[] = {
        {0, 0, "the file has 0 bytes, fewer than the 20 of a main header", 0, 0, 0},
        {19, 0, "the file has 19 bytes, fewer than the 20 of a main header", 0, 0, 0},
        {25, 20, "the file ends inside the zone sub-frame header", 0, 0, 0},
        {83, 26, "the file ends inside zone record 0", 0, 0, 0},
        {141, 84, "the file ends inside zone record 1", 1, 0, 0},
        {142, 142, "the file ends inside the event sub-frame header", 2, 0, 0},
        {177, 142, "the file ends inside the event sub-frame header", 2, 0, 0},
        {181, 178, "the file ends inside the category table, at entry 0 of 2", 2, 0, 0},
        {185, 182, "the file ends inside the category table, at entry 1 of 2", 2, 1, 0},
        {189, 186, "the file ends before the event body size", 2, 2, 0},
        {199, 190, "the event body size promises 3 records; the file ends inside record 0", 2, 2, 0},
        {219, 210, "the event body size promises 3 records; the file ends inside record 2", 2, 2, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.cut);
        const Bytes bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(row.cut));
        const Image image = parseImage(bytes);
        ASSERT_TRUE(image.stop.has_value());
        EXPECT_EQ(image.stop->offset, row.stop);
        EXPECT_EQ(image.stop->reason, row.reason);
        EXPECT_EQ(image.trailing, Bytes(bytes.begin() + static_cast<ptrdiff_t>(row.stop), bytes.end()));
        EXPECT_EQ(image.zones.size(), row.zones);
        EXPECT_EQ(image.categories.size(), row.categories);
        EXPECT_EQ(image.events.size(), row.events);
    }
}

}  // namespace
