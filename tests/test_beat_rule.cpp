// The beat rule: bar-start events judge the beats counted since the last
// one against the zone's meter numerator; flag combinations; repeated
// positions.
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

namespace {

// One 4/4 zone holding the beats of `pattern` (B bar start, x beat, u
// uncounted beat, U bar start and uncounted), 1000 samples apart. The beats
// follow five outline events, so beat k lies at file offset 182 + 10 k.
Doc beats(const std::string& pattern) {
    Doc d;
    d.events = {kvmf::zoneEvent(1, 1, 0, 0), kvmf::outlineEvent(1, 1, 0, 16), kvmf::outlineEvent(1, 1, 0, 2),
                kvmf::outlineEvent(1, 1, 0, 3), kvmf::outlineEvent(1, 1, 0, 4)};
    uint32_t bar = 1, beat = 0, sample = 0;
    for (size_t k = 0; k < pattern.size(); ++k) {
        const char c = pattern[k];
        const bool start = c == 'B' || c == 'U';
        if (start && k > 0) ++bar, beat = 0;
        d.events.push_back(kvmf::beatEvent(bar, ++beat, sample += 1000, start, c == 'u' || c == 'U'));
    }
    d.events.push_back(kvmf::outlineEvent(0xFFF, 0, sample, 17));
    d.events.push_back(kvmf::terminatorEvent(sample));
    d.zones.resize(1);
    d.zones[0].zoneEndPosition = static_cast<uint32_t>(10 * (d.events.size() - 1));
    d.zones[0].barCount = static_cast<uint16_t>(bar);
    d.totalSamples = sample + 1000;
    d.effectiveEnd = sample;
    return d;
}

std::string mismatchAt(int beat) {
    char text[120];
    std::snprintf(text, sizeof text, "ERROR(-3101) : offset 0x%08x : [Event Sub Frame] Beat number and meter is mismatch.", 182 + 10 * beat);
    return text;
}

}  // namespace

// The first bar of a zone may be partial: its mismatch is passed over once.
TEST(BeatRule, BarCounts) {
    EXPECT_LINES(check(beats("BxxxBxxxB")), {});
    EXPECT_LINES(check(beats("BxxBxxxBxxB")), {mismatchAt(3), mismatchAt(10)});
    // A full bar before the first bar start keeps the first-bar allowance.
    EXPECT_LINES(check(beats("xxxxBxxBxxxB")), {});
    EXPECT_LINES(check(beats("BxxuxB")), {});
    // Beats after the last bar start are never judged.
    EXPECT_LINES(check(beats("BxxxBxxxxxxx")), {});
}

// Bits 21-23 as f = 1, 2, 4: 3, 6 and 7 are not allowed. The last beat of
// BxxxBxxxB carries f; as a bar start it still closes a full bar.
TEST(BeatRule, FlagCombinations) {
    const char* words[] = {"1000000", "1200000", "1400000", "1600000", "1800000", "1a00000", "1c00000", "1e00000"};
    for (uint32_t f = 0; f < 8; ++f) {
        Doc d = beats("BxxxBxxxB");
        d.events[13].value = 0x01000000 | f << 21;
        std::vector<std::string> expected;
        if (f == 3 || f == 6 || f == 7)
            expected.push_back(std::string("ERROR(-3102) : offset 0x00000106 : [Event Sub Frame] Combination of beat event flag ") + words[f] +
                               " is not applicable.");
        EXPECT_LINES(check(d), expected) << f;
    }
    // An uncounted bar start takes part in the bar check but is not counted.
    EXPECT_LINES(check(beats("BxxxUxxxxB")),
                 {"ERROR(-3102) : offset 0x000000de : [Event Sub Frame] Combination of beat event flag 1600000 is not applicable."});
}

TEST(BeatRule, SamePosition) {
    Doc d = beats("BxxxB");
    d.events[7].samplePosition = d.events[8].samplePosition = d.events[6].samplePosition;
    EXPECT_LINES(check(d), {"ERROR(-3103) : offset 0x000000d0 : [Event Sub Frame] More than 1 beat events on the same position 2000.",
                            "ERROR(-3103) : offset 0x000000da : [Event Sub Frame] More than 1 beat events on the same position 2000."});
    // The first beat at the smallest position equals "none seen yet".
    d = beats("BxxxB");
    d.events[5].samplePosition = 0x80000000;
    EXPECT_LINES(check(d), {"ERROR(-3023) : offset 0x000000bc : [Event Sub Frame] Sample position 80000000 is decreased. (previous 00000000)",
                            "ERROR(-3103) : offset 0x000000bc : [Event Sub Frame] More than 1 beat events on the same position -2147483648."});
}

// A beat outside every zone: the rule reports it, with its offset as the
// record's parameter, even where the walk makes an exception (behind the
// terminator), and does not judge its bar.
TEST(BeatRule, OutsideEveryZone) {
    Doc d = beats("BxxxB");
    d.events.push_back(kvmf::beatEvent(0xFFF, 0, 6000, true));
    EXPECT_LINES(check(d), {"ERROR(-3020) : offset 0x000000fc : [Event Sub Frame] The event is out of zone."});
    KVEL_ERROR_RECORD r;
    ASSERT_EQ(KVELGetErrorRecord(0, &r), 0);
    EXPECT_EQ(r.paramCount, 1);
    EXPECT_EQ(r.param1, 0xFCu);
}

// A new zone starts a new count with a new first-bar allowance: zone 0
// ends one beat into a second bar, zone 1 opens with a bar start.
TEST(BeatRule, ZoneChange) {
    Doc d = kvtest::twoZones();
    kvtest::insertEvent(d, 7, kvmf::beatEvent(1, 3, 150));
    EXPECT_LINES(check(d), {});
}
