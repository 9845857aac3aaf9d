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
            if (kvel::findZone(kvtest::testReader()->check, p) != scan(spans, p))
                return ::testing::AssertionFailure() << "position " << p << ": " << kvel::findZone(kvtest::testReader()->check, p)
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
        ASSERT_EQ(kvel::findZone(kvtest::testReader()->check, positions[k]), scan(spans, positions[k])) << "position " << positions[k];
    }
}

// Two zones over the same events with different meters: a beat belongs to
// the first one in record order. Zone 0 with four beats a bar finds every
// bar complete, whatever zone 1's meter; zone 0 with two finds the second
// and third bars too long. The two zones draw the same other lines each time.
TEST(ZoneLookup, TheCheckUsesTheFirstZoneInRecordOrder) {
    auto twoMeters = [](uint8_t first, uint8_t second) {
        Doc d;
        d.events = {kvmf::zoneEvent(1, 1, 0, 0), kvmf::outlineEvent(1, 1, 0, 16), kvmf::outlineEvent(1, 1, 0, 2),
                    kvmf::outlineEvent(1, 1, 0, 3), kvmf::outlineEvent(1, 1, 0, 4)};
        for (uint32_t k = 0; k < 9; ++k) d.events.push_back(kvmf::beatEvent(1 + k / 4, 1 + k % 4, 1000 * k, k % 4 == 0));
        d.events.push_back(kvmf::outlineEvent(0xFFF, 0, 9000, 17));
        d.events.push_back(kvmf::terminatorEvent(9000));
        d.zones.resize(2);
        for (size_t z = 0; z < 2; ++z) d.zones[z].zoneEndPosition = 150, d.zones[z].barCount = 3;  // the terminator
        d.zones[0].meterNumerator = first;
        d.zones[1].meterNumerator = second;
        d.totalSamples = d.effectiveEnd = 10000;
        return d;
    };
    std::vector<std::string> expected = check(twoMeters(4, 4)).lines;
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_LINES(check(twoMeters(4, 2)), expected);
    // Beats 4 and 8 of the file, at event positions 90 and 130.
    for (uint32_t offset : {twoMeters(2, 4).eventOffset(13), twoMeters(2, 4).eventOffset(9)}) {
        char text[120];
        std::snprintf(text, sizeof text, "ERROR(-3101) : offset 0x%08x : [Event Sub Frame] Beat number and meter is mismatch.", offset);
        expected.insert(expected.begin() + 3, text);
    }
    EXPECT_LINES(check(twoMeters(2, 4)), expected);
}
