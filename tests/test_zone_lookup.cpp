// The zone lookup of the event walk and the beat rule against the plain scan
// it stands for: the first zone in record order with start <= position < end,
// compared as signed numbers, or -1. Whatever the zones look like and in
// whatever order the positions are asked for.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <random>
#include <utility>

#include "check/checkers.h"
#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

namespace {

using Span = std::pair<int32_t, int32_t>;

int32_t scan(const std::vector<Span>& spans, int32_t position) {
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].first <= position && position < spans[i].second) return static_cast<int32_t>(i);
    return -1;
}

// Loads the small well-formed file with these zones and checks it once,
// which prepares the lookup for it.
void load(const std::vector<Span>& spans) {
    Doc d = kvmf::wellFormed();
    d.zones.clear();
    for (const Span& s : spans) {
        kvmf::Zone z;
        z.zoneStartPosition = static_cast<uint32_t>(s.first);
        z.zoneEndPosition = static_cast<uint32_t>(s.second);
        d.zones.push_back(z);
    }
    kvtest::loadMemory(d);
    KVELCheckFormat(0, 0);
}

// Every zone edge and its neighbours, the extremes, and a sweep over the
// file's event positions; rising, falling and shuffled.
std::vector<std::vector<int32_t>> queryOrders(const std::vector<Span>& spans, std::mt19937& rng) {
    std::vector<int32_t> rising = {INT32_MIN, INT32_MAX};
    for (const Span& s : spans)
        for (int32_t edge : {s.first, s.second})
            for (int64_t p = int64_t{edge} - 1; p <= int64_t{edge} + 1; ++p)
                if (p >= INT32_MIN && p <= INT32_MAX) rising.push_back(static_cast<int32_t>(p));
    for (int32_t p = -30; p <= 200; ++p) rising.push_back(p);
    std::sort(rising.begin(), rising.end());
    std::vector<int32_t> falling(rising.rbegin(), rising.rend());
    std::vector<int32_t> shuffled = rising;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    return {rising, falling, shuffled};
}

::testing::AssertionResult agreesWithScan(const std::vector<Span>& spans, std::mt19937& rng) {
    load(spans);
    for (const std::vector<int32_t>& order : queryOrders(spans, rng))
        for (int32_t p : order)
            if (kvel::findZone(p) != scan(spans, p))
                return ::testing::AssertionFailure() << "position " << p << ": " << kvel::findZone(p)
                                                     << ", the scan says " << scan(spans, p);
    return ::testing::AssertionSuccess();
}

}  // namespace

// Random layouts drawn from few values, so that edges coincide, zones repeat
// and overlap, nest in either order, and some are empty, inverted or none.
TEST(ZoneLookup, AgreesWithTheScanOnRandomLayouts) {
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -20, -1, 0, 5, 10, 40, 50, 90, 120, 170, INT32_MAX - 1, INT32_MAX};
    std::mt19937 rng(11);
    std::uniform_int_distribution<size_t> pick(0, std::size(values) - 1);
    for (int layout = 0; layout < 300; ++layout) {
        std::vector<Span> spans(rng() % 12);
        for (Span& s : spans) s = {values[pick(rng)], values[pick(rng)]};
        EXPECT_TRUE(agreesWithScan(spans, rng)) << "layout " << layout;
    }
}

// As many zones as a file can hold, overlapping at random.
TEST(ZoneLookup, AgreesWithTheScanWithTheMostZones) {
    std::mt19937 rng(13);
    std::uniform_int_distribution<int32_t> edge(-2000, 2000);
    std::vector<Span> spans(65535);
    for (Span& s : spans) {
        s.first = edge(rng);
        s.second = s.first + static_cast<int32_t>(rng() % 300) - 20;
    }
    load(spans);
    std::vector<int32_t> positions(2000);
    for (int32_t& p : positions) p = edge(rng) + edge(rng) / 2;
    for (size_t k = 0; k < positions.size(); ++k) {
        if (k == positions.size() / 2) std::sort(positions.begin() + k, positions.end());  // then rising
        ASSERT_EQ(kvel::findZone(positions[k]), scan(spans, positions[k])) << "position " << positions[k];
    }
}

// Two zones over the same events with different meters: a beat belongs to
// the first one in record order. Zone 0 with four beats a bar finds every
// bar complete; zone 0 with two finds the second and third bars too long.
TEST(ZoneLookup, TheCheckUsesTheFirstZoneInRecordOrder) {
    auto twoMeters = [](uint8_t first, uint8_t second) {
        Doc d;
        d.events = {kvmf::zoneEvent(1, 1, 0, 0), kvmf::outlineEvent(1, 1, 0, 16), kvmf::outlineEvent(1, 1, 0, 2),
                    kvmf::outlineEvent(1, 1, 0, 3), kvmf::outlineEvent(1, 1, 0, 4)};
        for (uint32_t k = 0; k < 9; ++k) d.events.push_back(kvmf::beatEvent(1 + k / 4, 1 + k % 4, 1000 * k, k % 4 == 0));
        d.events.push_back(kvmf::outlineEvent(0xFFF, 0, 9000, 17));
        d.events.push_back(kvmf::terminatorEvent(9000));
        for (uint8_t numerator : {first, second}) {
            kvmf::Zone z;
            z.zoneEndPosition = 150;  // the terminator
            z.meterNumerator = numerator;
            z.barCount = 3;
            d.zones.push_back(z);
        }
        d.totalSamples = d.effectiveEnd = 10000;
        return d;
    };
    const Doc d = twoMeters(4, 2);
    const uint32_t first = d.firstEventOffset();
    auto line = [](const char* format, uint32_t offset) {
        char text[200];
        std::snprintf(text, sizeof text, format, offset);
        return std::string(text);
    };
    const std::vector<std::string> zones = {
        line("ERROR(-3604) : offset 0x%08x : [Event Sub Frame] Zone number in the zone event is wrong. it should be 0001 but it is 65535.", first + 150),
        line("ERROR(-3604) : offset 0x%08x : [Event Sub Frame] Zone number in the zone event is wrong. it should be 0001 but it is 0000.", first),
        line("ERROR(-2029) : offset 0x%08x : [Zone Sub Frame] Zone start point is not equal to previous zone end point.", 86),
    };
    const std::vector<std::string> totals = {
        line("ERROR(-3030) : offset 0x%08x : [Event Sub Frame] Zone count mismatch. 2 zones in zone sub frame but 1 zone events are detected.", first + 160),
        line("ERROR(-3606) : offset 0x%08x : [Event Sub Frame] At least 4 key/tempo/meter change event should exist. 3 events are detected.", d.eventSubFrameOffset() + 32),
    };
    auto mismatchAt = [&](uint32_t position) {
        return line("ERROR(-3101) : offset 0x%08x : [Event Sub Frame] Beat number and meter is mismatch.", first + position);
    };

    std::vector<std::string> expected = zones;
    expected.insert(expected.end(), totals.begin(), totals.end());
    EXPECT_LINES(check(d), expected);
    EXPECT_LINES(check(twoMeters(4, 4)), expected);

    expected = zones;
    expected.push_back(mismatchAt(90));
    expected.push_back(mismatchAt(130));
    expected.insert(expected.end(), totals.begin(), totals.end());
    EXPECT_LINES(check(twoMeters(2, 4)), expected);
}
