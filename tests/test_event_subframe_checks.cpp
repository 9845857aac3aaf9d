// Event sub-frame header, category table and the totals judged after the
// walk. The sub-frame of wellFormed() starts at file offset 84 (0x54).
#include "check_helpers.h"

using kvmf::Doc;

namespace {

// wellFormed's own table: outline 7, beat 8, chord 1, melody 1, absolute chord 1.
std::vector<uint32_t> tablePlus(std::initializer_list<uint32_t> extra) {
    std::vector<uint32_t> t = {0x2F000007, 0x01000008, 0x08000001, 0x10000001, 0x09000001};
    t.insert(t.end(), extra);
    return t;
}

const std::vector<std::string> kNoChangeEvents = {
    "ERROR(-3607) : offset ---------- : [Event Sub Frame] There is no key change event.",
    "ERROR(-3608) : offset ---------- : [Event Sub Frame] There is no tempo change event.",
    "ERROR(-3609) : offset ---------- : [Event Sub Frame] There is no meter change event.",
    "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should exist. 0 events are detected."};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(EventSubFrameChecks, HeaderFields) {
    kvtest::expectRows(kvmf::wellFormed(), {
        {"frame size", [](Doc& d) { d.eventFrameSize = 237; },
         {"ERROR(-3001) : offset 0x00000054 : [Event Sub Frame] Incorrect event frame size. It should be 000000ec but it is 000000ed."}},
        {"header size", [](Doc& d) { d.headerSize = 0; },
         {"ERROR(-3002) : offset 0x00000058 : [Event Sub Frame] Incorrect event frame header size. It should be 00000030 but it is 00000000."}},
        {"sample rate below the range", [](Doc& d) { d.sampleRate = 8000; },
         {"ERROR(-3003) : offset 0x0000005c : [Event Sub Frame] Sample rate 8000 is the invalid value."}},
        {"unusual sample rate", [](Doc& d) { d.sampleRate = 12000; },
         {"WARNING(-13001) : offset 0x0000005c : [Event Sub Frame] The value 12000 could be wrong sample rate value."}},
        {"lowest sample rate", [](Doc& d) { d.sampleRate = 11025; }, {}},
        {"highest sample rate", [](Doc& d) { d.sampleRate = 192000; }, {}},
        {"too many samples", [](Doc& d) { d.totalSamples = 0x6DDD001; },
         {"ERROR(-3004) : offset 0x00000060 : [Event Sub Frame] Total samples 06ddd001 is the invalid value."}},
        {"most samples", [](Doc& d) { d.totalSamples = 0x6DDD000, d.effectiveEnd = 0x6DDD000; }, {}},
        {"effective start too late", [](Doc& d) { d.effectiveStart = 0x6DDD001; },
         {"ERROR(-3005) : offset 0x00000064 : [Event Sub Frame] Effective sample start point 06ddd001 is the invalid value.",
          "ERROR(-3007) : offset 0x00000068 : [Event Sub Frame] Effective sample end position(0002b110) is less than start position(06ddd001)."}},
        {"effective end too late", [](Doc& d) { d.effectiveEnd = 0x6DDD001; },
         {"ERROR(-3006) : offset 0x00000068 : [Event Sub Frame] Effective sample end point 06ddd001 is the invalid value."}},
        {"effective range empty", [](Doc& d) { d.effectiveStart = d.effectiveEnd; },
         {"ERROR(-3007) : offset 0x00000068 : [Event Sub Frame] Effective sample end position(0002b110) is less than start position(0002b110)."}},
        {"no channels", [](Doc& d) { d.channelCount = 0; },
         {"ERROR(-3008) : offset 0x0000006c : [Event Sub Frame] No cannel number is specified.",
          "WARNING(-13002) : offset 0x0000006c : [Event Sub Frame] The value 0 could be wrong channel count."}},
        {"no bits", [](Doc& d) { d.bitsPerSample = 0; },
         {"ERROR(-3009) : offset 0x0000006d : [Event Sub Frame] No bit count is specified.",
          "WARNING(-13003) : offset 0x0000006d : [Event Sub Frame] The value 0 could be wrong bit/sample count."}},
        {"24 bits", [](Doc& d) { d.bitsPerSample = 24; }, {}},
        {"no master tune", [](Doc& d) { d.masterTune = 0xFFFFFFFF; }, {}},
        {"master tune 500", [](Doc& d) { d.masterTune = 500; },
         {"ERROR(-3012) : offset 0x00000070 : [Event Sub Frame] Master tune 500 is the invalid value.",
          "WARNING(-13004) : offset 0x00000070 : [Event Sub Frame] Master tune is not 440Hz. (500)"}},
        {"master tune 414", [](Doc& d) { d.masterTune = 414; },
         {"ERROR(-3012) : offset 0x00000070 : [Event Sub Frame] Master tune 414 is the invalid value."}, 1},
        {"master tune 415", [](Doc& d) { d.masterTune = 415; },
         {"WARNING(-13004) : offset 0x00000070 : [Event Sub Frame] Master tune is not 440Hz. (415)"}},
    });
}

// Offsets follow the sub-frame to where the zone frame size puts it.
TEST(EventSubFrameChecks, OffsetsFollowTheSubFrame) {
    EXPECT_LINES(kvtest::checkMemory(kvtest::wellFormedWith([](Doc& d) { d.zoneFrameSize = 64, d.zoneGap = {0, 0, 0, 0}, d.headerSize = 0; })),
                 {"ERROR(-2027) : offset 0x00000014 : [Zone Sub Frame] Incorrect zone frame size. it should be 0000003c but it is 00000040.",
                  "ERROR(-3002) : offset 0x0000005c : [Event Sub Frame] Incorrect event frame header size. It should be 00000030 but it is 00000000."});
}

// Table entries 5 onward lie at 0x8c, 0x90, ...
TEST(EventSubFrameChecks, CategoryTableAndTotals) {
    const std::string userCategory = "ERROR(-3017) : offset 0x0000008c : [Event Sub Frame] There is no event in the category.(78000000)";
    const std::vector<std::string> category127 = {
        "ERROR(-3016) : offset 0x00000090 : [Event Sub Frame] The category 7f000000 is the invalid category.",
        "ERROR(-3017) : offset 0x00000090 : [Event Sub Frame] There is no event in the category.(7f000000)"};
    kvtest::expectRows(kvmf::wellFormed(), {
        {"category 0", [](Doc& d) { d.categoryTable = tablePlus({0x00000001}); },
         {"ERROR(-3014) : offset 0x0000008c : [Event Sub Frame] No category ID is specified.",
          "ERROR(-3016) : offset 0x0000008c : [Event Sub Frame] The category 0001 is the invalid category.",
          "ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count 000001 in category 00 is mismatch the actual event count 00000000."}},
        // Category 1 declared twice with the full count: the sum doubles it.
        {"category declared twice", [](Doc& d) { d.categoryTable = tablePlus({0x81000008}), d.totalEventCount = 18; },
         {"ERROR(-3015) : offset 0x0000008c : [Event Sub Frame] There is already the same category(81000008) specified.",
          "ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be 00000012 but it is 0000001a."}},
        {"user categories not allowed", [](Doc& d) { d.categoryTable = tablePlus({0x78000000, 0x7F000000}); },
         std::vector<std::string>{"ERROR(-3016) : offset 0x0000008c : [Event Sub Frame] The category 78000000 is the invalid category.",
                                  userCategory} + category127},
        {"user categories allowed", [](Doc& d) { d.categoryTable = tablePlus({0x78000000, 0x7F000000}); },
         std::vector<std::string>{userCategory} + category127, 0, 1},
        // Ten entries are too many, and every one of them is still checked.
        {"ten categories", [](Doc& d) { d.categoryTable = tablePlus({0x18000000, 0x19000000, 0x20000000, 0x70000000, 0x7E000000}); },
         {"ERROR(-3011) : offset 0x0000006e : [Event Sub Frame] There are too many categories specified. (000a)",
          "ERROR(-3017) : offset 0x0000008c : [Event Sub Frame] There is no event in the category.(18000000)",
          "ERROR(-3017) : offset 0x00000090 : [Event Sub Frame] There is no event in the category.(19000000)",
          "ERROR(-3017) : offset 0x00000094 : [Event Sub Frame] There is no event in the category.(20000000)",
          "ERROR(-3017) : offset 0x00000098 : [Event Sub Frame] There is no event in the category.(70000000)",
          "ERROR(-3017) : offset 0x0000009c : [Event Sub Frame] There is no event in the category.(7e000000)"}, 0, 1},
        // No category and no event visited: every total is missing.
        {"empty table", [](Doc& d) { d.categoryTable = std::vector<uint32_t>{}; },
         std::vector<std::string>{
             "ERROR(-3010) : offset 0x0000006e : [Event Sub Frame] Number of categories is not specified.",
             "ERROR(-3013) : offset 0x00000074 : [Event Sub Frame] No total count value is specified.",
             "ERROR(-3026) : offset 0x0000007c : [Event Sub Frame] No start event exists.",
             "ERROR(-3027) : offset 0x0000007c : [Event Sub Frame] Start event position ffffffff must be after the first zone position 00000000.",
             "ERROR(-3028) : offset 0x0000007c : [Event Sub Frame] No end event exists.",
             "ERROR(-3030) : offset 0x0000007c : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame but 0 zone events are detected.",
             "ERROR(-3031) : offset 0x0000007c : [Event Sub Frame] There is no zone terminator at the end of the zones."} + kNoChangeEvents},
        // A total that stops the walk one record early: the terminator is
        // never seen and the outline count falls short.
        {"total one short", [](Doc& d) { d.totalEventCount = 17; },
         {"ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be 00000011 but it is 00000012.",
          "ERROR(-3031) : offset 0x0000013a : [Event Sub Frame] There is no zone terminator at the end of the zones.",
          "ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count 000007 in category 2f is mismatch the actual event count 00000006."}},
        // A total beyond the body: the walk stops at the end of the image.
        {"total beyond the body", [](Doc& d) { d.totalEventCount = 20; },
         {"ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be 00000014 but it is 00000012."}},
        {"no key change", [](Doc& d) { d.events[2] = kvmf::outlineEvent(1, 1, 0, 32); },
         {kNoChangeEvents[0], "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should exist. 2 events are detected."}},
        // A second tempo change makes up for the missing meter change in number.
        {"two tempo changes", [](Doc& d) { d.events[4] = kvmf::outlineEvent(1, 1, 0, 3); }, {kNoChangeEvents[2]}},
    });
}

// Proportions to the beat count (8 here): melody at most 8 / 8, chords of
// both kinds at most 8 / 2; outline events at most 30.
TEST(EventSubFrameChecks, Proportions) {
    const auto outlines = [](int extra) {
        return [extra](Doc& d) {
            for (int k = 0; k < extra; ++k) d.events.push_back(kvmf::outlineEvent(0xFFF, 0, 176400, 32));
        };
    };
    const auto chords = [](Doc& d) {
        kvtest::insertEvent(d, 9, kvmf::chordEvent(1, 2, 22050));
        kvtest::insertEvent(d, 13, kvmf::absoluteChordEvent(1, 4, 66150));
    };
    kvtest::expectRows(kvmf::wellFormed(), {
        {"four chords", chords, {}},
        {"five chords", [&](Doc& d) { chords(d), kvtest::insertEvent(d, 15, kvmf::chordEvent(2, 1, 88200)); },
         {"WARNING(-13203) : offset 0x00000074 : [Event Sub Frame] There are too many(5) chord events."}},
        // Seven beats allow no melody event at all.
        {"seven beats", [](Doc& d) { kvtest::eraseEvent(d, 15); },
         {"WARNING(-13301) : offset 0x00000074 : [Event Sub Frame] There are too many(1) melody events."}},
        {"30 outline events", outlines(23), {}},
        {"31 outline events", outlines(24), {"WARNING(-13601) : offset 0x00000074 : [Event Sub Frame] There are too many(31) outline events."}},
    });
}
