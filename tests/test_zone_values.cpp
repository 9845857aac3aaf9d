// Zone value checks (tempo, meter, bar count, key, reserved bytes) and the
// total bar count the event walk compares bar numbers with.
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

namespace {

Doc zone(void (*edit)(kvmf::Zone&)) {
    Doc d = kvmf::wellFormed();
    edit(d.zones[0]);
    return d;
}

// The walk's -3019 for every event of wellFormed() with a bar number above
// `total` (events 0-11 lie in bar 1, 12-15 in bar 2), with the beat rule's
// -3101 after event 12 when `mismatch`.
std::vector<std::string> barsAbove(int total, bool mismatch = false) {
    std::vector<std::string> lines;
    char text[200];
    for (int j = 0; j < 16; ++j) {
        const int bar = j < 12 ? 1 : 2;
        if (bar <= total) continue;
        std::snprintf(text, sizeof text,
                      "ERROR(-3019) : offset 0x%08x : [Event Sub Frame] Bar number %d is larger than total bar count %d.",
                      144 + 10 * j, bar, total);
        lines.push_back(text);
        if (j == 12 && mismatch)
            lines.push_back("ERROR(-3101) : offset 0x00000108 : [Event Sub Frame] Beat number and meter is mismatch.");
    }
    return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(ZoneValues, Tempo) {
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpm = 30.0f; })), {});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpm = 240.0f; })), {});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpmBits = 0x7FC00000; })), {});  // NaN
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpm = 29.5f; })),
                 {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM 29 seems to be too fast or slow."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpm = 240.01f; })),
                 {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM 240 seems to be too fast or slow."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.bpm = -1.5f; })),
                 {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM -1 seems to be too fast or slow."});
}

// Tempos far out of the integer range still draw one warning, whatever its
// parameter shows.
TEST(ZoneValues, TempoBeyondTheIntegerRange) {
    for (uint32_t bits : {0x501502F9u /* 1e10 */, 0xD01502F9u /* -1e10 */, 0x7F800000u /* inf */, 0xFF800000u}) {
        Doc d = kvmf::wellFormed();
        d.zones[0].bpmBits = bits;
        const kvtest::Outcome out = check(d);
        EXPECT_EQ(out.result, -1) << std::hex << bits;
        ASSERT_EQ(out.lines.size(), 1u);
        EXPECT_EQ(out.lines[0].rfind("WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM ", 0), 0u);
    }
}

TEST(ZoneValues, Meter) {
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = 1; })),
                 {"ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = 0xFF; })),
                 {"ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 255 is the invalid value."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = 32; })),
                 {"WARNING(-12002) : offset 0x00000038 : [Zone Sub Frame] Specified meter denominator 32 seems to be wrong."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = 16; })), {});
    // The beat rule counts four beats a bar against the numerator.
    const std::string mismatch = "ERROR(-3101) : offset 0x00000108 : [Event Sub Frame] Beat number and meter is mismatch.";
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterNumerator = 7; })),
                 {"WARNING(-12003) : offset 0x00000039 : [Zone Sub Frame] Specified meter numerator 7 seems to be wrong.",
                  mismatch});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterNumerator = 1; })),
                 {"ERROR(-2022) : offset 0x00000039 : [Zone Sub Frame] The meter numerator 1 is the invalid value.", mismatch});
}

TEST(ZoneValues, BarCount) {
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.barCount = 500; })), {});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.barCount = 501; })),
                 {"WARNING(-12004) : offset 0x0000003a : [Zone Sub Frame] Specified bar count 501 could be a wrong value."});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.barCount = 0; })),
                 std::vector<std::string>{"ERROR(-2023) : offset 0x0000003a : [Zone Sub Frame] The bar count 0 is the "
                                          "invalid value."} + barsAbove(0));
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.barCount = 1; })), barsAbove(1));
    // An invalid meter makes the total bar count -1, so every bar is above it.
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = z.meterNumerator = 0xFF, z.barCount = 0xFFFF; })),
                 barsAbove(-1, true));
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.meterDenominator = z.meterNumerator = 0xFF, z.barCount = 16; })),
                 std::vector<std::string>{"ERROR(-2030) : offset 0x0000003a : [Zone Sub Frame] Bar Count must be 0xFFFF "
                                          "with invalid meter. Current bar count value is 0010."} + barsAbove(-1, true));
}

// The total is the sum over all zones: 56 here, so bar 56 is the last one allowed.
TEST(ZoneValues, TotalBarCountOverZones) {
    Doc d = kvmf::song({8, 16, 32}, {4});
    d.zones[2].barCount = 31;
    std::vector<std::string> expected;
    char text[200];
    for (size_t j = 0; j < d.events.size(); ++j) {
        if ((d.events[j].barBeat >> 4) != 56) continue;
        std::snprintf(text, sizeof text,
                      "ERROR(-3019) : offset 0x%08x : [Event Sub Frame] Bar number 56 is larger than total bar count 55.",
                      d.eventOffset(j));
        expected.push_back(text);
    }
    EXPECT_EQ(expected.size(), 7u);
    EXPECT_LINES(check(d), expected);
}

TEST(ZoneValues, Key) {
    const auto keyed = [](uint16_t key) {
        Doc d = kvmf::wellFormed();
        d.zones[0].key = key;
        return check(d);
    };
    for (uint16_t key : {0x0001, 0x000D, 0x007F, 0x0081, 0x0101, 0x0201, 0xF001}) EXPECT_LINES(keyed(key), {}) << key;
    EXPECT_LINES(keyed(0x0000), {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 00 is the invalid value."});
    EXPECT_LINES(keyed(0x000E), {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 0e is the invalid value."});
    EXPECT_LINES(keyed(0x007E), {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 7e is the invalid value."});
    EXPECT_LINES(keyed(0x0C01), {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key c01 is the invalid value."});
    EXPECT_LINES(keyed(0x0F00), {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key f00 is the invalid value."});
    EXPECT_LINES(keyed(0x0181), {"ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 181 is the invalid value."});
    EXPECT_LINES(keyed(0x0301),
                 {"WARNING(-12005) : offset 0x0000003c : [Zone Sub Frame] Specified scale 301 could be a wrong value."});
    EXPECT_LINES(keyed(0x0381),
                 {"ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 381 is the invalid value.",
                  "WARNING(-12005) : offset 0x0000003c : [Zone Sub Frame] Specified scale 381 could be a wrong value."});
    EXPECT_LINES(keyed(0x0380),
                 {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 380 is the invalid value.",
                  "ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 380 is the invalid value.",
                  "WARNING(-12005) : offset 0x0000003c : [Zone Sub Frame] Specified scale 380 could be a wrong value."});
}

TEST(ZoneValues, SuppressedWarningsAreNotCounted) {
    Doc d = kvmf::wellFormed();
    d.zones[0].bpm = 10.0f;
    d.zones[0].meterDenominator = 3;
    d.zones[0].barCount = 501;
    d.zones[0].key = 0x0381;
    EXPECT_LINES(check(d, 1), {"ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 381 is the invalid value."});
}

// Reserved bytes are examined in memory order after conversion, so on a
// little-endian host the low byte of each field comes first.
TEST(ZoneValues, ReservedBytes) {
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.reserved[4] = 1; })),
                 {"ERROR(-2026) : offset 0x00000050 : [Zone Sub Frame] All of the reserved field must be filled with 0. "
                  "(detected the value 01)"});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.reserved0 = 0x0100, z.reserved[2] = 5; })),
                 {"ERROR(-2026) : offset 0x0000003f : [Zone Sub Frame] All of the reserved field must be filled with 0. "
                  "(detected the value 01)"});
    EXPECT_LINES(check(zone([](kvmf::Zone& z) { z.reserved[0] = 0xAB000000; })),
                 {"ERROR(-2026) : offset 0x00000043 : [Zone Sub Frame] All of the reserved field must be filled with 0. "
                  "(detected the value ab)"});
}
