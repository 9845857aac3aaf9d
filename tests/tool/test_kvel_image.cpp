// The tool's own reading of file bytes and its JSON form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image_json.h"
#include "kvmf_builder.h"
#include "kvmf_image.h"

namespace {

using kvel_tool::Json;

std::vector<uint8_t> throughJson(const std::vector<uint8_t>& bytes) {
    const Json json = Json::parse(kvel_tool::imageToJson(kvel_tool::parseImage(bytes), "x", bytes.size()).dump());
    return kvel_tool::writeImage(kvel_tool::imageFromJson(json));
}

// Every prefix of a file, from empty to whole, is taken apart and rebuilt
// byte for byte, directly and through JSON.
TEST(KvelImage, EveryTruncationRoundTrips) {
    kvmf::Doc d = kvmf::wellFormed();
    d.trailing = {1, 2, 3};
    const std::vector<uint8_t> whole = d.bytes();
    for (size_t n = 0; n <= whole.size(); ++n) {
        const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + static_cast<long>(n));
        const kvel_tool::Image image = kvel_tool::parseImage(prefix);
        EXPECT_EQ(kvel_tool::writeImage(image), prefix) << n << " bytes";
        EXPECT_EQ(throughJson(prefix), prefix) << n << " bytes";
        EXPECT_EQ(image.stop.has_value(), n < whole.size() - 3) << n << " bytes";
    }
}

// Files whose fields contradict each other, or hold values JSON cannot
// write as plain numbers, still round-trip.
TEST(KvelImage, InconsistentFilesRoundTrip) {
    const struct {
        const char* what;
        void (*change)(kvmf::Doc&);
    } cases[] = {
        {"zone frame size too small for the records", [](kvmf::Doc& d) { d.zoneFrameSize = 40; }},
        {"zone frame size 0", [](kvmf::Doc& d) { d.zoneFrameSize = 0; }},
        {"zone frame size past the end", [](kvmf::Doc& d) { d.zoneFrameSize = 100000; }},
        {"gap after the zone records", [](kvmf::Doc& d) { d.zoneGap = {9, 9, 9, 9}; d.zoneFrameSize = 64; }},
        {"zone count larger than the records", [](kvmf::Doc& d) { d.zoneCount = 7; }},
        {"body size not a multiple of 10", [](kvmf::Doc& d) { d.eventBodySize = 175; }},
        {"negative body size", [](kvmf::Doc& d) { d.eventBodySize = 0x80000010; }},
        {"category count past the end", [](kvmf::Doc& d) { d.categoryCount = 60000; }},
        {"NaN tempo", [](kvmf::Doc& d) { d.zones[0].bpmBits = 0x7FC00001; }},
        {"negative zero tempo", [](kvmf::Doc& d) { d.zones[0].bpm = -0.0f; }},
        {"odd tempo", [](kvmf::Doc& d) { d.zones[0].bpm = 93.33f; }},
        {"smallest subnormal tempo", [](kvmf::Doc& d) { d.zones[0].bpm = std::numeric_limits<float>::denorm_min(); }},
        {"identifiers with control bytes", [](kvmf::Doc& d) { d.engineId = {0, 0x1F, 0x80, 'A'}; }},
        {"bit 31 and stray data bits", [](kvmf::Doc& d) {
             for (kvmf::Event& e : d.events) e.value |= 0x80000000 | 0x00800000;
             d.categoryTable = std::vector<uint32_t>{0x81000008, 0x7F000001};
         }},
        {"reserved fields", [](kvmf::Doc& d) { d.zones[0].reserved0 = 0xABCD; d.zones[0].reserved = {1, 2, 3, 4, 5}; }},
    };
    for (const auto& c : cases) {
        kvmf::Doc d = kvmf::wellFormed();
        c.change(d);
        const std::vector<uint8_t> bytes = d.bytes();
        EXPECT_EQ(kvel_tool::writeImage(kvel_tool::parseImage(bytes)), bytes) << c.what;
        EXPECT_EQ(throughJson(bytes), bytes) << c.what;
    }
}

// With every size, count and position field taken out, pack derives the
// same file that the test builder derives.
TEST(KvelImage, LeftOutFieldsAreDerived) {
    kvmf::Doc d = kvmf::song({3, 2}, {4, 3});
    const std::vector<uint8_t> bytes = d.bytes();
    Json json = kvel_tool::imageToJson(kvel_tool::parseImage(bytes), "x", bytes.size());
    json["mainHeader"].erase("totalFrameSize");
    for (const char* key : {"frameSize", "zoneCount"}) json["zoneSubFrame"].erase(key);
    for (Json& zone : json["zoneSubFrame"]["zones"])
        for (const char* key : {"zoneNumber", "zoneStartPosition", "zoneEndPosition", "fadeInStartPosition",
                                "fadeInEndPosition", "fadeOutStartPosition", "fadeOutEndPosition", "barCount"})
            zone.erase(key);
    for (const char* key : {"frameSize", "headerSize", "categoryCount", "totalEventCount", "categories", "eventBodySize"})
        json["eventSubFrame"].erase(key);
    EXPECT_EQ(kvel_tool::writeImage(kvel_tool::imageFromJson(json)), bytes);
}

TEST(KvelImage, UnusableJsonIsRefusedWithItsPath) {
    const struct {
        const char* json;
        const char* message;
    } cases[] = {
        {"[]", "/: expected an object"},
        {R"({"mainHeader": {"verison": 1}})", "/mainHeader/verison: unknown field"},
        {R"({"mainHeader": {"version": 65536}})", "/mainHeader/version: must be at most 65535"},
        {R"({"mainHeader": {"level": -1}})", "/mainHeader/level: must not be negative"},
        {R"({"mainHeader": {"signature": "KVM"}})",
         "/mainHeader/signature: expected a string of 4 characters or an array of 4 byte values"},
        {R"({"schemaVersion": 2})", "/schemaVersion: version 2 is newer than this kvel reads (1)"},
        {R"({"trailing": "abc"})", "/trailing: expected an even number of hexadecimal digits"},
        {R"({"zoneSubFrame": {"zones": [{"bpm": "fast"}]}})",
         "/zoneSubFrame/zones/0/zoneStartPosition: not given, and there is no zone event with zone number 0 to take it from"},
        {R"({"eventSubFrame": {"events": [{"bar": 1, "category": "beat"}]}})",
         "/eventSubFrame/events/0/samplePosition: missing"},
        {R"({"eventSubFrame": {"events": [{"category": "beat", "samplePosition": 0}]}})",
         "/eventSubFrame/events/0/bar: missing (null for an event without a bar)"},
        {R"({"eventSubFrame": {"events": [{"bar": 1, "category": "chord", "melody": 2, "samplePosition": 0}]}})",
         "/eventSubFrame/events/0/melody: does not apply to an event of category 8"},
        {R"({"eventSubFrame": {"events": [{"bar": 1, "category": 128, "samplePosition": 0}]}})",
         "/eventSubFrame/events/0/category: must be at most 127"},
        {R"({"eventSubFrame": {"events": [{"bar": 1, "category": "outline", "outline": "start", "zone": 1,
             "samplePosition": 0}]}})",
         "/eventSubFrame/events/0/zone: only a zone event has a zone number"},
        {R"({"eventSubFrame": {"events": [{"bar": 1, "category": "outline", "outline": "fade", "samplePosition": 0}]}})",
         "/eventSubFrame/events/0/outline: unknown outline event \"fade\" (known: zone, keyChange, tempoChange, "
         "meterChange, start, end, fadeInStart, fadeInEnd, fadeOutStart, fadeOutEnd)"},
    };
    for (const auto& c : cases) {
        try {
            kvel_tool::imageFromJson(Json::parse(c.json));
            ADD_FAILURE() << "accepted " << c.json;
        } catch (const kvel_tool::JsonInputError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

}  // namespace
