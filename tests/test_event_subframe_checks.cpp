// Event sub-frame header, category table and the totals judged after the
// walk. The sub-frame of wellFormed() starts at file offset 84 (0x54).
#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;
using kvtest::wellFormedWith;

namespace {

// wellFormed's own table: outline 7, beat 8, chord 1, melody 1, absolute chord 1.
std::vector<uint32_t> tablePlus(std::initializer_list<uint32_t> extra) {
    std::vector<uint32_t> t = {0x2F000007, 0x01000008, 0x08000001, 0x10000001, 0x09000001};
    t.insert(t.end(), extra);
    return t;
}

}  // namespace

TEST(EventSubFrameChecks, Sizes) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.eventFrameSize = 237; })),
                 {"ERROR(-3001) : offset 0x00000054 : [Event Sub Frame] Incorrect event frame size. It should be "
                  "000000ec but it is 000000ed."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.headerSize = 0; })),
                 {"ERROR(-3002) : offset 0x00000058 : [Event Sub Frame] Incorrect event frame header size. It should "
                  "be 00000030 but it is 00000000."});
}

// Offsets follow the sub-frame to where the zone frame size puts it.
TEST(EventSubFrameChecks, OffsetsFollowTheSubFrame) {
    EXPECT_LINES(kvtest::checkMemory(wellFormedWith([](Doc& d) { d.zoneFrameSize = 64, d.zoneGap = {0, 0, 0, 0}, d.headerSize = 0; })),
                 {"ERROR(-2027) : offset 0x00000014 : [Zone Sub Frame] Incorrect zone frame size. it should be 0000003c "
                  "but it is 00000040.",
                  "ERROR(-3002) : offset 0x0000005c : [Event Sub Frame] Incorrect event frame header size. It should "
                  "be 00000030 but it is 00000000."});
}

TEST(EventSubFrameChecks, AudioParameters) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.sampleRate = 8000; })),
                 {"ERROR(-3003) : offset 0x0000005c : [Event Sub Frame] Sample rate 8000 is the invalid value."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.sampleRate = 12000; })),
                 {"WARNING(-13001) : offset 0x0000005c : [Event Sub Frame] The value 12000 could be wrong sample rate "
                  "value."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.sampleRate = 12000; }), 1), {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.sampleRate = 11025; })), {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.sampleRate = 192000; })), {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.totalSamples = 0x6DDD001; })),
                 {"ERROR(-3004) : offset 0x00000060 : [Event Sub Frame] Total samples 06ddd001 is the invalid value."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.totalSamples = 0x6DDD000, d.effectiveEnd = 0x6DDD000; })), {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.effectiveStart = 0x6DDD001; })),
                 {"ERROR(-3005) : offset 0x00000064 : [Event Sub Frame] Effective sample start point 06ddd001 is the "
                  "invalid value.",
                  "ERROR(-3007) : offset 0x00000068 : [Event Sub Frame] Effective sample end position(0002b110) is less "
                  "than start position(06ddd001)."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.effectiveEnd = 0x6DDD001; })),
                 {"ERROR(-3006) : offset 0x00000068 : [Event Sub Frame] Effective sample end point 06ddd001 is the "
                  "invalid value."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.effectiveStart = d.effectiveEnd; })),
                 {"ERROR(-3007) : offset 0x00000068 : [Event Sub Frame] Effective sample end position(0002b110) is less "
                  "than start position(0002b110)."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.channelCount = 0; })),
                 {"ERROR(-3008) : offset 0x0000006c : [Event Sub Frame] No cannel number is specified.",
                  "WARNING(-13002) : offset 0x0000006c : [Event Sub Frame] The value 0 could be wrong channel count."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.channelCount = 0; }), 1),
                 {"ERROR(-3008) : offset 0x0000006c : [Event Sub Frame] No cannel number is specified."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.bitsPerSample = 0; })),
                 {"ERROR(-3009) : offset 0x0000006d : [Event Sub Frame] No bit count is specified.",
                  "WARNING(-13003) : offset 0x0000006d : [Event Sub Frame] The value 0 could be wrong bit/sample count."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.bitsPerSample = 8, d.channelCount = 6; })),
                 {"WARNING(-13002) : offset 0x0000006c : [Event Sub Frame] The value 6 could be wrong channel count.",
                  "WARNING(-13003) : offset 0x0000006d : [Event Sub Frame] The value 8 could be wrong bit/sample count."});
}

TEST(EventSubFrameChecks, MasterTune) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.masterTune = 0xFFFFFFFF; })), {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.masterTune = 500; })),
                 {"ERROR(-3012) : offset 0x00000070 : [Event Sub Frame] Master tune 500 is the invalid value.",
                  "WARNING(-13004) : offset 0x00000070 : [Event Sub Frame] Master tune is not 440Hz. (500)"});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.masterTune = 414; }), 1),
                 {"ERROR(-3012) : offset 0x00000070 : [Event Sub Frame] Master tune 414 is the invalid value."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.masterTune = 415; })),
                 {"WARNING(-13004) : offset 0x00000070 : [Event Sub Frame] Master tune is not 440Hz. (415)"});
}

TEST(EventSubFrameChecks, CategoryTable) {
    // Entries 5 onward lie at 0x8c, 0x90, ...
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.categoryTable = tablePlus({0x00000001}); })),
                 {"ERROR(-3014) : offset 0x0000008c : [Event Sub Frame] No category ID is specified.",
                  "ERROR(-3016) : offset 0x0000008c : [Event Sub Frame] The category 0001 is the invalid category.",
                  "ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count 000001 in category 00 is mismatch "
                  "the actual event count 00000000."});
    // Category 1 declared twice with the full count: the sum doubles it.
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.categoryTable = tablePlus({0x81000008}), d.totalEventCount = 18; })),
                 {"ERROR(-3015) : offset 0x0000008c : [Event Sub Frame] There is already the same category(81000008) "
                  "specified.",
                  "ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be "
                  "00000012 but it is 0000001a."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.categoryTable = tablePlus({0x78000000, 0x7F000000}); })),
                 {"ERROR(-3016) : offset 0x0000008c : [Event Sub Frame] The category 78000000 is the invalid category.",
                  "ERROR(-3017) : offset 0x0000008c : [Event Sub Frame] There is no event in the category.(78000000)",
                  "ERROR(-3016) : offset 0x00000090 : [Event Sub Frame] The category 7f000000 is the invalid category.",
                  "ERROR(-3017) : offset 0x00000090 : [Event Sub Frame] There is no event in the category.(7f000000)"});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.categoryTable = tablePlus({0x78000000, 0x7F000000}); }), 0, 1),
                 {"ERROR(-3017) : offset 0x0000008c : [Event Sub Frame] There is no event in the category.(78000000)",
                  "ERROR(-3016) : offset 0x00000090 : [Event Sub Frame] The category 7f000000 is the invalid category.",
                  "ERROR(-3017) : offset 0x00000090 : [Event Sub Frame] There is no event in the category.(7f000000)"});
    // Ten entries are too many, and every one of them is still checked.
    EXPECT_LINES(check(wellFormedWith([](Doc& d) {
                     d.categoryTable = tablePlus({0x18000000, 0x19000000, 0x20000000, 0x70000000, 0x7E000000});
                 }),
                       0, 1),
                 {"ERROR(-3011) : offset 0x0000006e : [Event Sub Frame] There are too many categories specified. (000a)",
                  "ERROR(-3017) : offset 0x0000008c : [Event Sub Frame] There is no event in the category.(18000000)",
                  "ERROR(-3017) : offset 0x00000090 : [Event Sub Frame] There is no event in the category.(19000000)",
                  "ERROR(-3017) : offset 0x00000094 : [Event Sub Frame] There is no event in the category.(20000000)",
                  "ERROR(-3017) : offset 0x00000098 : [Event Sub Frame] There is no event in the category.(70000000)",
                  "ERROR(-3017) : offset 0x0000009c : [Event Sub Frame] There is no event in the category.(7e000000)"});
}

// A total that stops the walk one record early: the terminator is never
// seen and the outline count falls short.
TEST(EventSubFrameChecks, TotalEventCountShort) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.totalEventCount = 17; })),
                 {"ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be "
                  "00000011 but it is 00000012.",
                  "ERROR(-3031) : offset 0x0000013a : [Event Sub Frame] There is no zone terminator at the end of the "
                  "zones.",
                  "ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count 000007 in category 2f is mismatch "
                  "the actual event count 00000006."});
    // A total beyond the body: the walk stops at the end of the image.
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.totalEventCount = 20; })),
                 {"ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be "
                  "00000014 but it is 00000012."});
}

// No category and no event visited: every total is missing.
TEST(EventSubFrameChecks, EmptyTable) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.categoryTable = std::vector<uint32_t>{}; })),
                 {"ERROR(-3010) : offset 0x0000006e : [Event Sub Frame] Number of categories is not specified.",
                  "ERROR(-3013) : offset 0x00000074 : [Event Sub Frame] No total count value is specified.",
                  "ERROR(-3026) : offset 0x0000007c : [Event Sub Frame] No start event exists.",
                  "ERROR(-3027) : offset 0x0000007c : [Event Sub Frame] Start event position ffffffff must be after the "
                  "first zone position 00000000.",
                  "ERROR(-3028) : offset 0x0000007c : [Event Sub Frame] No end event exists.",
                  "ERROR(-3030) : offset 0x0000007c : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame "
                  "but 0 zone events are detected.",
                  "ERROR(-3031) : offset 0x0000007c : [Event Sub Frame] There is no zone terminator at the end of the "
                  "zones.",
                  "ERROR(-3607) : offset ---------- : [Event Sub Frame] There is no key change event.",
                  "ERROR(-3608) : offset ---------- : [Event Sub Frame] There is no tempo change event.",
                  "ERROR(-3609) : offset ---------- : [Event Sub Frame] There is no meter change event.",
                  "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should "
                  "exist. 0 events are detected."});
}

// Proportions to the beat count (8 here): melody at most 8 / 8, chords of
// both kinds at most 8 / 2; outline events at most 30.
TEST(EventSubFrameChecks, Proportions) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { kvtest::insertEvent(d, 9, kvmf::melodyEvent(1, 2, 22050)); })),
                 {"WARNING(-13301) : offset 0x00000074 : [Event Sub Frame] There are too many(2) melody events."});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) {
                     kvtest::insertEvent(d, 9, kvmf::chordEvent(1, 2, 22050));
                     kvtest::insertEvent(d, 13, kvmf::absoluteChordEvent(1, 4, 66150));
                 })),
                 {});
    EXPECT_LINES(check(wellFormedWith([](Doc& d) {
                     kvtest::insertEvent(d, 9, kvmf::chordEvent(1, 2, 22050));
                     kvtest::insertEvent(d, 13, kvmf::absoluteChordEvent(1, 4, 66150));
                     kvtest::insertEvent(d, 15, kvmf::chordEvent(2, 1, 88200));
                 })),
                 {"WARNING(-13203) : offset 0x00000074 : [Event Sub Frame] There are too many(5) chord events."});
    // Seven beats allow no melody event at all.
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { kvtest::eraseEvent(d, 15); })),
                 {"WARNING(-13301) : offset 0x00000074 : [Event Sub Frame] There are too many(1) melody events."});
    const auto outlines = [](int extra) {
        Doc d = kvmf::wellFormed();
        for (int k = 0; k < extra; ++k) d.events.push_back(kvmf::outlineEvent(0xFFF, 0, 176400, 32));
        return d;
    };
    EXPECT_LINES(check(outlines(23)), {});
    EXPECT_LINES(check(outlines(24)),
                 {"WARNING(-13601) : offset 0x00000074 : [Event Sub Frame] There are too many(31) outline events."});
    EXPECT_LINES(check(outlines(24), 1), {});
}

TEST(EventSubFrameChecks, ChangeEvents) {
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.events[2] = kvmf::outlineEvent(1, 1, 0, 32); })),
                 {"ERROR(-3607) : offset ---------- : [Event Sub Frame] There is no key change event.",
                  "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should "
                  "exist. 2 events are detected."});
    // A second tempo change makes up for the missing meter change in number.
    EXPECT_LINES(check(wellFormedWith([](Doc& d) { d.events[4] = kvmf::outlineEvent(1, 1, 0, 3); })),
                 {"ERROR(-3609) : offset ---------- : [Event Sub Frame] There is no meter change event."});
}
