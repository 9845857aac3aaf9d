// The event walk: bar, beat and sample ordering, sample range, zone
// membership, declared categories, and the checks after the last record.
// Event j of wellFormed() lies at file offset 144 + 10 j.
#include "check_helpers.h"

using kvmf::Doc;

TEST(EventWalk, RecordsOfTheSmallFile) {
    const std::string noStart = "ERROR(-3026) : offset 0x00000144 : [Event Sub Frame] No start event exists.";
    kvtest::expectRows(kvmf::wellFormed(), {
        {"bar 0", [](Doc& d) { d.events[9].barBeat = kvmf::barBeat(0, 3); },
         {"ERROR(-3033) : offset 0x000000ea : [Event Sub Frame] Bar number is 0.",
          "ERROR(-3021) : offset 0x000000ea : [Event Sub Frame] Bar number 0 is decreased. (previous 1)"}},
        {"bar decreased", [](Doc& d) { d.events[13].barBeat = kvmf::barBeat(1, 2); },
         {"ERROR(-3021) : offset 0x00000112 : [Event Sub Frame] Bar number 1 is decreased. (previous 2)"}},
        {"beat decreased", [](Doc& d) { d.events[9].barBeat = kvmf::barBeat(1, 1); },
         {"ERROR(-3022) : offset 0x000000ea : [Event Sub Frame] Beat number 1 is decreased. (previous 2)"}},
        // A record without a bar is not ordered and does not become the previous one.
        {"a record without a bar between", [](Doc& d) { d.events[9].barBeat = 0xFFF7, d.events[10].barBeat = kvmf::barBeat(1, 1); },
         {"ERROR(-3022) : offset 0x000000f4 : [Event Sub Frame] Beat number 1 is decreased. (previous 2)"}},
        // The terminator is out of range, but lies in no zone without complaint.
        {"terminator in bar 3", [](Doc& d) { d.events[17].barBeat = kvmf::barBeat(3, 1); },
         {"ERROR(-3019) : offset 0x0000013a : [Event Sub Frame] Bar number 3 is larger than total bar count 2."}},
        // Sample positions are compared as signed values.
        {"sample decreased", [](Doc& d) { d.events[9].samplePosition = 22049; },
         {"ERROR(-3023) : offset 0x000000f0 : [Event Sub Frame] Sample position 00005621 is decreased. (previous 00005622)"}},
        {"negative sample", [](Doc& d) { d.events[16].samplePosition = 0x80000000; },
         {"ERROR(-3023) : offset 0x00000136 : [Event Sub Frame] Sample position 80000000 is decreased. (previous 00025aee)",
          "ERROR(-3028) : offset 0x00000144 : [Event Sub Frame] No end event exists."}},
        // A sample count with the top bit set is below every position.
        {"negative sample count", [](Doc& d) { d.totalSamples = 0x80000000; },
         {"ERROR(-3004) : offset 0x00000060 : [Event Sub Frame] Total samples 80000000 is the invalid value.",
          "ERROR(-3024) : offset 0x000000d2 : [Event Sub Frame] Sample position 00000000 must be less than actual samples 80000000.",
          "ERROR(-3024) : offset 0x000000dc : [Event Sub Frame] Sample position 00000000 must be less than actual samples 80000000.",
          "ERROR(-3024) : offset 0x000000fa : [Event Sub Frame] Sample position 0000ac44 must be less than actual samples 80000000."}, 1},
        // Records behind the terminator lie in no zone and are not reported,
        // until an ordinary zone event ends that exemption.
        {"chord after the terminator", [](Doc& d) { d.events.push_back(kvmf::chordEvent(2, 4, 176400)); }, {}},
        {"zone event after the terminator", [](Doc& d) { d.events.push_back(kvmf::zoneEvent(2, 4, 176400, 1)), d.events.push_back(kvmf::chordEvent(2, 4, 176400)); },
         {"ERROR(-3020) : offset 0x00000144 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x0000014e : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3030) : offset 0x00000158 : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame but 2 zone events are detected."}},
        {"no start event", [](Doc& d) { d.events[1] = kvmf::outlineEvent(1, 1, 0, 32); },
         {noStart, "ERROR(-3027) : offset 0x00000144 : [Event Sub Frame] Start event position ffffffff must be after the first zone position 00000000."}},
        // A start event at a negative position counts as missing.
        {"start event at a negative position", [](Doc& d) { d.events[1].samplePosition = 0x80000000; },
         {"ERROR(-3023) : offset 0x000000a0 : [Event Sub Frame] Sample position 80000000 is decreased. (previous 00000000)", noStart,
          "ERROR(-3027) : offset 0x00000144 : [Event Sub Frame] Start event position 80000000 must be after the first zone position 00000000."}},
        {"no end event", [](Doc& d) { d.events[16] = kvmf::outlineEvent(0xFFF, 0, 176400, 40); },
         {"ERROR(-3028) : offset 0x00000144 : [Event Sub Frame] No end event exists."}},
        {"end event behind the zone end marker",
         [](Doc& d) { d.events[16] = kvmf::terminatorEvent(170000), d.events[17] = kvmf::outlineEvent(0xFFF, 0, 176400, 17), d.zones[0].zoneEndPosition = 160; },
         {"ERROR(-3029) : offset 0x00000144 : [Event Sub Frame] End event position 0002b110 must be before the zone end marker 00029810."}},
    });
}

// Past the sample count, beat and outline records only draw a warning.
TEST(EventWalk, SampleRange) {
    Doc d = kvmf::wellFormed();
    kvtest::eraseEvent(d, 7);
    d.events.push_back(kvmf::melodyEvent(0xFFF, 0, 176400));
    const std::string melody = "ERROR(-3024) : offset 0x00000140 : [Event Sub Frame] Sample position 0002b110 must be less than actual samples 0002b10f.";
    kvtest::expectRows(d, {
        {"one sample short", [](Doc& d) { d.totalSamples = 176399; },
         {"WARNING(-13005) : offset 0x0000012c : [Event Sub Frame] Sample position 176400 is more than actual samples 176399",
          "WARNING(-13005) : offset 0x00000136 : [Event Sub Frame] Sample position 176400 is more than actual samples 176399", melody}},
        {"one sample short, warnings held back", [](Doc& d) { d.totalSamples = 176399; }, {melody}, 1},
        {"just enough samples", [](Doc& d) { d.totalSamples = 176400; }, {}},
    });
}

// Records of undeclared categories are reported, counted and still ruled.
// Category 127 is never reported; category 0 is unless the table has id 0.
// Absolute chords are left out of the table, which then sits one entry
// shorter: event 10 lies at 140 + 10 * 10.
TEST(EventWalk, UndeclaredCategories) {
    Doc d = kvmf::wellFormed();
    d.categoryTable = std::vector<uint32_t>{0x2F000007, 0x01000008, 0x08000001, 0x10000001};
    d.totalEventCount = 18;
    const std::string total = "ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be 00000012 but it is 00000011.";
    kvtest::expectRows(d, {
        {"absolute chord", [](Doc& d) { d.events[10].value = 0x09000000; },
         {total, "ERROR(-3025) : offset 0x000000f2 : [Event Sub Frame] Category type 09 is not specified.",
          "WARNING(-13201) : offset 0x000000f2 : [Event Sub Frame] All of absolute tone number bit is 0.(09000000)"}},
        {"category 127", [](Doc& d) { d.events[10].value = 0x7F000000; }, {total}},
        // Bit 31 is no part of the category.
        {"category 0 with bit 31", [](Doc& d) { d.events[10].value = 0x80000000; },
         {total, "ERROR(-3025) : offset 0x000000f2 : [Event Sub Frame] Category type 00 is not specified."}},
    });
}

// A reader keeps the walk's tables from one check to the next; a file that
// declares other categories gets tables of its own, in either order.
TEST(EventWalk, TablesFollowTheDeclaredCategories) {
    Doc undeclared = kvmf::wellFormed();
    undeclared.categoryTable = std::vector<uint32_t>{0x2F000007, 0x01000008, 0x08000001, 0x10000001};
    undeclared.totalEventCount = 18;
    undeclared.events[10].value = 0x09000000;
    const std::vector<std::string> lines = {
        "ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be 00000012 but it is 00000011.",
        "ERROR(-3025) : offset 0x000000f2 : [Event Sub Frame] Category type 09 is not specified.",
        "WARNING(-13201) : offset 0x000000f2 : [Event Sub Frame] All of absolute tone number bit is 0.(09000000)"};
    for (int round = 0; round < 2; ++round) {
        EXPECT_LINES(kvtest::check(kvmf::wellFormed()), {});
        EXPECT_LINES(kvtest::check(undeclared), lines);
    }
}

// The walk never reads beyond the bytes held, whatever the header claims.
TEST(EventWalk, StopsAtTheHeldBytes) {
    Doc d = kvmf::wellFormed();
    d.totalEventCount = 19;
    d.totalFrameSize = 314;  // ten bytes more than the image
    std::vector<uint8_t> image = d.bytes();
    kvtest::resetLibrary();
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELSetBufferWithSize(image.data(), image.size(), &header), 0);
    EXPECT_EQ(KVELCheckFormat(0, 0), -1);
    EXPECT_EQ(kvtest::linesFrom(0), std::vector<std::string>{"ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. "
                                                             "It should be 00000013 but it is 00000012."});
    KVELCloseFile();
}

// A walk that visits no record: a negative total, or an image that ends at
// 20 + totalFrameSize = 20, where the end checks also stop at the first
// zone's end. Every category count is then missing, and the change events.
TEST(EventWalk, NoRecordVisited) {
    std::vector<std::string> nothing;
    for (const char* e : {"000007 in category 2f", "000008 in category 01", "000001 in category 08", "000001 in category 10", "000001 in category 09"})
        nothing.push_back(std::string("ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count ") + e + " is mismatch the actual event count 00000000.");
    nothing.insert(nothing.end(),
                   {"ERROR(-3607) : offset ---------- : [Event Sub Frame] There is no key change event.",
                    "ERROR(-3608) : offset ---------- : [Event Sub Frame] There is no tempo change event.",
                    "ERROR(-3609) : offset ---------- : [Event Sub Frame] There is no meter change event.",
                    "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should exist. 0 events are detected."});
    EXPECT_LINES(kvtest::checkMemory(kvtest::wellFormedWith([](Doc& d) { d.totalFrameSize = 0; })), nothing);
    std::vector<std::string> expected = {
        "ERROR(-3018) : offset 0x00000074 : [Event Sub Frame] Total event count mismatch. It should be ffffffff but it is 00000012.",
        "ERROR(-3026) : offset 0x00000090 : [Event Sub Frame] No start event exists.",
        "ERROR(-3027) : offset 0x00000090 : [Event Sub Frame] Start event position ffffffff must be after the first zone position 00000000.",
        "ERROR(-3028) : offset 0x00000090 : [Event Sub Frame] No end event exists.",
        "ERROR(-3030) : offset 0x00000090 : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame but 0 zone events are detected.",
        "ERROR(-3031) : offset 0x00000090 : [Event Sub Frame] There is no zone terminator at the end of the zones."};
    expected.insert(expected.end(), nothing.begin(), nothing.end());
    EXPECT_LINES(kvtest::check(kvtest::wellFormedWith([](Doc& d) { d.totalEventCount = 0xFFFFFFFF; })), expected);
}
