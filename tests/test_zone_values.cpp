// Zone value checks (tempo, meter, bar count, key, reserved bytes) and the
// total bar count the event walk compares bar numbers with.
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;

namespace {

// `first`, then the walk's -3019 for every event of wellFormed() with a bar
// number above `total` (events 0-11 lie in bar 1, 12-15 in bar 2), with the
// beat rule's -3101 after event 12 when `mismatch`.
std::vector<std::string> barsAbove(int total, std::vector<std::string> first, bool mismatch = false) {
    char text[200];
    for (int j = 0; j < 16; ++j) {
        const int bar = j < 12 ? 1 : 2;
        if (bar <= total) continue;
        std::snprintf(text, sizeof text, "ERROR(-3019) : offset 0x%08x : [Event Sub Frame] Bar number %d is larger than total bar count %d.",
                      144 + 10 * j, bar, total);
        first.push_back(text);
        if (j == 12 && mismatch) first.push_back("ERROR(-3101) : offset 0x00000108 : [Event Sub Frame] Beat number and meter is mismatch.");
    }
    return first;
}

}  // namespace

TEST(ZoneValues, OneZoneOfTheSmallFile) {
    const std::string mismatch = "ERROR(-3101) : offset 0x00000108 : [Event Sub Frame] Beat number and meter is mismatch.";
    kvtest::expectRows(kvmf::wellFormed(), {
        {"tempo at the lower edge", [](Doc& d) { d.zones[0].bpm = 30.0f; }, {}},
        {"tempo at the upper edge", [](Doc& d) { d.zones[0].bpm = 240.0f; }, {}},
        {"NaN tempo", [](Doc& d) { d.zones[0].bpmBits = 0x7FC00000; }, {}},
        {"tempo above the range", [](Doc& d) { d.zones[0].bpm = 240.01f; },
         {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM 240 seems to be too fast or slow."}},
        {"negative tempo, truncated toward zero", [](Doc& d) { d.zones[0].bpm = -1.5f; },
         {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM -1 seems to be too fast or slow."}},
        // Tempos no 32-bit integer holds show as INT32_MIN rather than undefined behaviour.
        {"tempo 1e10", [](Doc& d) { d.zones[0].bpmBits = 0x501502F9; },
         {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM -2147483648 seems to be too fast or slow."}},
        {"tempo -inf", [](Doc& d) { d.zones[0].bpmBits = 0xFF800000; },
         {"WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM -2147483648 seems to be too fast or slow."}},
        {"denominator 1", [](Doc& d) { d.zones[0].meterDenominator = 1; },
         {"ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value."}},
        // 0xFF alone is no invalid meter: that takes both at 0xFF.
        {"denominator 255", [](Doc& d) { d.zones[0].meterDenominator = 0xFF; },
         {"ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 255 is the invalid value."}},
        {"denominator 32", [](Doc& d) { d.zones[0].meterDenominator = 32; },
         {"WARNING(-12002) : offset 0x00000038 : [Zone Sub Frame] Specified meter denominator 32 seems to be wrong."}},
        {"denominator 2", [](Doc& d) { d.zones[0].meterDenominator = 2; }, {}},
        {"denominator 16", [](Doc& d) { d.zones[0].meterDenominator = 16; }, {}},
        {"denominator 64", [](Doc& d) { d.zones[0].meterDenominator = 64; },
         {"WARNING(-12002) : offset 0x00000038 : [Zone Sub Frame] Specified meter denominator 64 seems to be wrong."}},
        // The beat rule counts four beats a bar against the numerator.
        {"numerator 7", [](Doc& d) { d.zones[0].meterNumerator = 7; },
         {"WARNING(-12003) : offset 0x00000039 : [Zone Sub Frame] Specified meter numerator 7 seems to be wrong.", mismatch}},
        {"numerator 1", [](Doc& d) { d.zones[0].meterNumerator = 1; },
         {"ERROR(-2022) : offset 0x00000039 : [Zone Sub Frame] The meter numerator 1 is the invalid value.", mismatch}},
        {"500 bars", [](Doc& d) { d.zones[0].barCount = 500; }, {}},
        {"501 bars", [](Doc& d) { d.zones[0].barCount = 501; },
         {"WARNING(-12004) : offset 0x0000003a : [Zone Sub Frame] Specified bar count 501 could be a wrong value."}},
        {"no bars", [](Doc& d) { d.zones[0].barCount = 0; },
         barsAbove(0, {"ERROR(-2023) : offset 0x0000003a : [Zone Sub Frame] The bar count 0 is the invalid value."})},
        // An invalid meter makes the total bar count -1, so every bar is above it.
        {"invalid meter", [](Doc& d) { d.zones[0].meterDenominator = d.zones[0].meterNumerator = 0xFF, d.zones[0].barCount = 0xFFFF; },
         barsAbove(-1, {}, true)},
        {"invalid meter with a bar count", [](Doc& d) { d.zones[0].meterDenominator = d.zones[0].meterNumerator = 0xFF, d.zones[0].barCount = 16; },
         barsAbove(-1, {"ERROR(-2030) : offset 0x0000003a : [Zone Sub Frame] Bar Count must be 0xFFFF with invalid meter. Current bar count value is 0010."}, true)},
        {"key 0", [](Doc& d) { d.zones[0].key = 0x0000; },
         {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 00 is the invalid value."}},
        {"key 14", [](Doc& d) { d.zones[0].key = 0x000E; },
         {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 0e is the invalid value."}},
        {"key 0x7e", [](Doc& d) { d.zones[0].key = 0x007E; },
         {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 7e is the invalid value."}},
        {"key bits 10-11", [](Doc& d) { d.zones[0].key = 0x0C01; },
         {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key c01 is the invalid value."}},
        // Key, minor flag with a scale, and scale 3 are judged each on its own.
        {"key 0x380", [](Doc& d) { d.zones[0].key = 0x0380; },
         {"ERROR(-2024) : offset 0x0000003c : [Zone Sub Frame] The key 380 is the invalid value.",
          "ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 380 is the invalid value.",
          "WARNING(-12005) : offset 0x0000003c : [Zone Sub Frame] Specified scale 380 could be a wrong value."}},
        {"warnings held back", [](Doc& d) { d.zones[0].bpm = 10.0f, d.zones[0].meterDenominator = 3, d.zones[0].barCount = 501, d.zones[0].key = 0x0381; },
         {"ERROR(-2025) : offset 0x0000003c : [Zone Sub Frame] The scale 381 is the invalid value."}, 1},
        // Reserved bytes are examined in memory order after conversion, so on
        // a little-endian host the low byte of each field comes first.
        {"last reserved byte", [](Doc& d) { d.zones[0].reserved[4] = 1; },
         {"ERROR(-2026) : offset 0x00000050 : [Zone Sub Frame] All of the reserved field must be filled with 0. (detected the value 01)"}},
        {"first reserved field", [](Doc& d) { d.zones[0].reserved0 = 0x0100, d.zones[0].reserved[2] = 5; },
         {"ERROR(-2026) : offset 0x0000003f : [Zone Sub Frame] All of the reserved field must be filled with 0. (detected the value 01)"}},
        {"high byte of a reserved field", [](Doc& d) { d.zones[0].reserved[0] = 0xAB000000; },
         {"ERROR(-2026) : offset 0x00000043 : [Zone Sub Frame] All of the reserved field must be filled with 0. (detected the value ab)"}},
    });
    for (uint16_t key : {0x000D, 0x007F, 0x0081, 0x0101, 0x0201, 0xF001})
        kvtest::expectRows(kvmf::wellFormed(), {{"key " + std::to_string(key), [&](Doc& d) { d.zones[0].key = key; }, {}}});
}

// The total is the sum over all zones: 56 here, so bar 56 is the last one allowed.
TEST(ZoneValues, TotalBarCountOverZones) {
    Doc d = kvmf::song({8, 16, 32}, {4});
    d.zones[2].barCount = 31;
    std::vector<std::string> expected;
    char text[200];
    for (size_t j = 0; j < d.events.size(); ++j) {
        if ((d.events[j].barBeat >> 4) != 56) continue;
        std::snprintf(text, sizeof text, "ERROR(-3019) : offset 0x%08x : [Event Sub Frame] Bar number 56 is larger than total bar count 55.",
                      d.eventOffset(j));
        expected.push_back(text);
    }
    EXPECT_EQ(expected.size(), 7u);
    EXPECT_LINES(kvtest::check(d), expected);
}
