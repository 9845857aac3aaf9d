// The zone checker and the event walk take the zones and records that raise
// nothing on quiet paths of their own and every other one in full. Whatever
// the file, both ways must append the same lines and return the same
// result: here every zone and record in full is compared with the check as
// it runs, over files edited at random where the paths hand over (sample
// positions at and past the total, bars at and past the total bar count,
// repeated positions, flag bits, undeclared categories, zones that overlap
// or leave gaps, zone boundaries off their zone events, zone values at the
// edges of their ranges).
#include <random>

#include "check/checkers.h"
#include "check/event_walk.h"
#include "check_helpers.h"

namespace {

using kvmf::Doc;

uint32_t pick(std::mt19937& rng, std::initializer_list<uint32_t> values) {
    return *(values.begin() + rng() % values.size());
}

// One edit of a record, or of a field the walk compares records with.
void editOnce(Doc& d, std::mt19937& rng) {
    const size_t j = rng() % d.events.size();
    kvmf::Event& e = d.events[j];
    const kvmf::Event& before = d.events[j > 0 ? j - 1 : j];
    uint32_t totalBars = 0;
    for (const kvmf::Zone& z : d.zones) totalBars += z.barCount;
    kvmf::Event& next = d.events[j + 1 < d.events.size() ? j + 1 : j];
    switch (rng() % 15) {
        case 0:
            e.samplePosition = pick(rng, {before.samplePosition, before.samplePosition - 1, d.totalSamples,
                                          d.totalSamples + 1, 0x80000000u});
            break;
        case 1:
            e.barBeat = static_cast<uint16_t>(pick(rng, {0x0Fu, 0x10u, 0xFFF0u, before.barBeat - 1u, 0x40u,
                                                         kvmf::barBeat(totalBars + 1, 0), kvmf::barBeat(totalBars, 15)}));
            break;
        case 2: e.value ^= 1u << (21 + rng() % 3); break;  // bar start, uncounted, bit 23
        case 3: e.value = (e.value & 0x80FFFFFF) | pick(rng, {1u, 5u, 8u, 9u, 16u, 47u, 126u, 127u}) << 24; break;
        case 4: e.value ^= 1u << (rng() % 21); break;
        case 5: d.totalSamples = pick(rng, {e.samplePosition, e.samplePosition - 1, 0x80000000u}); break;
        case 6: d.zones[rng() % d.zones.size()].barCount = static_cast<uint16_t>(pick(rng, {1u, 2u, 0u})); break;
        case 7: d.zones[rng() % d.zones.size()].zoneStartPosition = static_cast<uint32_t>(10 * j); break;
        case 8: d.zones[rng() % d.zones.size()].zoneEndPosition = static_cast<uint32_t>(10 * j); break;
        case 9:  // a bar past the total, then a record without a bar
            e.barBeat = kvmf::barBeat(totalBars + 2, 1);
            next.barBeat = 0xFFF0;
            break;
        case 10: e.value = kvmf::terminatorEvent(0).value; break;
        case 11: {  // a boundary moved by a record, the zones still end to end
            const size_t z = 1 + rng() % (d.zones.size() - 1);
            const uint32_t moved = d.zones[z].zoneStartPosition + (rng() % 2 ? 10u : -10u);
            d.zones[z].zoneStartPosition = d.zones[z - 1].zoneEndPosition = moved;
            break;
        }
        default: {  // a zone value at or past the edge of its range
            kvmf::Zone& z = d.zones[rng() % d.zones.size()];
            switch (rng() % 9) {
                case 0: z.zoneNumber = static_cast<uint16_t>(rng() % 4); break;
                case 1: z.bpm = static_cast<float>(pick(rng, {29u, 30u, 240u, 241u})); break;
                case 2: z.meterDenominator = static_cast<uint8_t>(pick(rng, {1u, 2u, 3u, 16u, 32u, 0xFFu})); break;
                case 3: z.meterNumerator = static_cast<uint8_t>(pick(rng, {0u, 1u, 7u, 12u, 16u, 65u, 0xFFu})); break;
                case 4: z.barCount = static_cast<uint16_t>(pick(rng, {500u, 501u, 0xFFFFu})); break;
                case 5: z.key = static_cast<uint16_t>(pick(rng, {0u, 13u, 14u, 0x7Fu, 0x81u, 0x181u, 0x301u, 0x401u})); break;
                case 6: z.reserved[rng() % 5] = 1u << (rng() % 32); break;
                case 7: z.fadeOutEndPosition = static_cast<uint32_t>(10 * j); break;
                case 8:  // no fades: the first and the last zone become quiet ones
                    z.fadeInStartPosition = z.fadeInEndPosition = kvmf::kNone;
                    z.fadeOutStartPosition = z.fadeOutEndPosition = kvmf::kNone;
                    break;
            }
            break;
        }
    }
}

// Every record in full, the check as it runs, and the walk split in two
// at its middle with the second part's quiet run on a thread of its own.
kvtest::Outcome checkAllWays(const Doc& d, int suppressWarnings, bool& agree) {
    kvel::Check& c = kvtest::testReader()->check;
    c.quietPaths = false;
    const kvtest::Outcome full = kvtest::checkMemory(d, suppressWarnings);
    c.quietPaths = true;
    const kvtest::Outcome walk = kvtest::checkMemory(d, suppressWarnings);
    KVELReaderSetThreads(kvtest::testReader(), 2);
    c.splitFrom = 2;
    const kvtest::Outcome split = kvtest::checkMemory(d, suppressWarnings);
    KVELReaderSetThreads(kvtest::testReader(), 1);
    c.splitFrom = kvel::kSplitWalkFrom;
    agree = full.result == walk.result && full.lines == walk.lines && split.result == walk.result &&
            split.lines == walk.lines;
    EXPECT_EQ(full.result, walk.result);
    EXPECT_EQ(full.lines, walk.lines);
    EXPECT_EQ(split.result, walk.result);
    EXPECT_EQ(split.lines, walk.lines);
    return walk;
}

TEST(QuietPaths, AgreeWithTheFullChecks) {
    std::mt19937 rng(20261205);
    // Five zones: the three between the first and the last have no fades,
    // and only such zones take the zone checker's quiet path.
    Doc base = kvmf::song({2, 1, 3, 1, 2}, {4, 3, 2, 6});
    // A fixed table, so that a record given another category may be one it
    // does not declare.
    base.categoryTable = base.categories();
    bool agree = true;
    const uint32_t& kept = kvtest::testReader()->check.splitsKept;
    const uint32_t& refused = kvtest::testReader()->check.splitsRefused;
    // The unedited song raises nothing, so the quiet path takes all of it,
    // and the split walk's guess at its middle holds.
    EXPECT_EQ(checkAllWays(base, 0, agree).lines, std::vector<std::string>{});
    EXPECT_EQ(kept, 1u);
    int loud = 0;
    for (int n = 0; n < 3000 && agree; ++n) {
        Doc d = base;
        for (uint32_t edits = 1 + rng() % 3; edits > 0; --edits) editOnce(d, rng);
        loud += !checkAllWays(d, n % 2, agree).lines.empty();
        if (!agree) ADD_FAILURE() << "edit " << n << " differs";
    }
    // The edits must actually reach the problems, or nothing is compared;
    // and split walks must be both kept and walked again.
    EXPECT_GT(loud, 2000);
    EXPECT_GT(kept, 500u);
    EXPECT_GT(refused, 100u);
}

}  // namespace
