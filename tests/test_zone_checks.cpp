// Zone sub-frame checks: sizes, numbering, the positions each zone record
// holds and the events they must point at.
#include "check_helpers.h"

using kvmf::Doc;

// With no zone the checker stops after -2001; the walk's zone-record steps
// are skipped, only the zone event count is judged. With a first zone that
// starts beyond the image its start record is not read, and the walk's end
// checks stop there.
TEST(ZoneChecks, NoZoneOrOneBeyondTheImage) {
    Doc d;
    d.events = {kvmf::zoneEvent(0xFFF, 0, 0, 0),    kvmf::outlineEvent(0xFFF, 0, 0, 16), kvmf::outlineEvent(0xFFF, 0, 0, 2),
                kvmf::outlineEvent(0xFFF, 0, 0, 3), kvmf::outlineEvent(0xFFF, 0, 0, 4),  kvmf::outlineEvent(0xFFF, 0, 10, 17),
                kvmf::terminatorEvent(10)};
    d.totalSamples = 100;
    d.effectiveEnd = 10;
    EXPECT_LINES(kvtest::check(d),
                 {"ERROR(-2001) : offset 0x00000018 : [Zone Sub Frame] There must be at least one zone.",
                  "ERROR(-3030) : offset 0x0000008c : [Event Sub Frame] Zone count mismatch. 0 zones in zone sub frame but 1 zone events are detected."});
    d.zones.resize(1);
    d.zones[0].zoneStartPosition = 400;
    d.zones[0].zoneEndPosition = 60;
    EXPECT_LINES(kvtest::check(d),
                 {"ERROR(-2004) : offset 0x0000001c : [Zone Sub Frame] Zone start event position 00000190(file offset : 00000210) points not a zone event.",
                  "ERROR(-2009) : offset 0x0000001c : [Zone Sub Frame] Zone end position(0000003c) is less than start position(00000190)."});
}

// Zone records at 26 and 84; zone 1's zone event at position 70 (file offset 260).
TEST(ZoneChecks, NumberingStartAndEndOfTwoZones) {
    const std::string notContinued = "ERROR(-2029) : offset 0x00000056 : [Zone Sub Frame] Zone start point is not equal to previous zone end point.";
    kvtest::expectRows(kvtest::twoZones(), {
        {"as built", [](Doc&) {}, {}},
        {"zone 1 numbered 5", [](Doc& d) { d.zones[1].zoneNumber = 5; },
         {"ERROR(-2002) : offset 0x00000054 : [Zone Sub Frame] Bad zone number. It should be 0001 but it is 0005."}},
        {"zone 1 starting at zone 0's zone event", [](Doc& d) { d.zones[1].zoneStartPosition = 0; },
         {"ERROR(-3604) : offset 0x000000be : [Event Sub Frame] Zone number in the zone event is wrong. it should be 0001 but it is 0000.",
          notContinued}},
        // Zone 1's zone event then lies outside both zones.
        {"zone 1 starting one record late", [](Doc& d) { d.zones[1].zoneStartPosition = 80; },
         {"ERROR(-2004) : offset 0x00000056 : [Zone Sub Frame] Zone start event position 00000050(file offset : 0000010e) points not a zone event.",
          notContinued, "ERROR(-3020) : offset 0x00000104 : [Event Sub Frame] The event is out of zone."}},
        {"a middle zone ending at the terminator", [](Doc& d) { d.zones[0].zoneEndPosition = 120; },
         {"ERROR(-3604) : offset 0x00000136 : [Event Sub Frame] Zone number in the zone event is wrong. it should be 0001 but it is 65535.",
          notContinued}},
        {"misaligned end", [](Doc& d) { d.zones[0].zoneEndPosition = 75; },
         {"ERROR(-2005) : offset 0x00000020 : [Zone Sub Frame] Zone end event position is not aligned to event size.(0000004b)",
          "ERROR(-2006) : offset 0x00000020 : [Zone Sub Frame] Zone end event position 0000004b(file offset : 00000109) points not a zone event.",
          notContinued}},
        // An empty last zone: its events lie in no zone, and its end marker
        // comes before the end event.
        {"empty last zone", [](Doc& d) { d.zones[1].zoneEndPosition = 70; },
         {"ERROR(-2008) : offset 0x0000005a : [Zone Sub Frame] Zone number of the last zone event should be 0xFFFF. (0046)",
          "ERROR(-2009) : offset 0x00000056 : [Zone Sub Frame] Zone end position(00000046) is less than start position(00000046).",
          "ERROR(-3020) : offset 0x00000104 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x0000010e : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x00000118 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x00000118 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3029) : offset 0x00000140 : [Event Sub Frame] End event position 00000190 must be before the zone end marker 000000c8."}},
        // The terminator test reads the value word whatever event it is.
        {"last zone ending at a beat event", [](Doc& d) { d.zones[1].zoneEndPosition = 100; },
         {"ERROR(-2006) : offset 0x0000005a : [Zone Sub Frame] Zone end event position 00000064(file offset : 00000122) points not a zone event.",
          "ERROR(-2008) : offset 0x0000005a : [Zone Sub Frame] Zone number of the last zone event should be 0xFFFF. (0064)",
          "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3029) : offset 0x00000140 : [Event Sub Frame] End event position 00000190 must be before the zone end marker 0000012c."}},
    });
}

TEST(ZoneChecks, PositionsOfOneZone) {
    kvtest::expectRows(kvmf::wellFormed(), {
        // Misaligned: the bytes at position 15 are read all the same.
        {"misaligned start", [](Doc& d) { d.zones[0].zoneStartPosition = 15; },
         {"ERROR(-2003) : offset 0x0000001c : [Zone Sub Frame] Zone start event position is not aligned to event size. (0000000f)",
          "ERROR(-2004) : offset 0x0000001c : [Zone Sub Frame] Zone start event position 0000000f(file offset : 0000009f) points not a zone event.",
          "ERROR(-3020) : offset 0x00000090 : [Event Sub Frame] The event is out of zone.",
          "ERROR(-3020) : offset 0x0000009a : [Event Sub Frame] The event is out of zone."}},
        // Not held: no terminator check, and the walk's end checks stop there.
        {"end past the image", [](Doc& d) { d.zones[0].zoneEndPosition = 230; },
         {"ERROR(-2006) : offset 0x00000020 : [Zone Sub Frame] Zone end event position 000000e6(file offset : 00000176) points not a zone event."}},
        {"last zone ending at an ordinary zone event", [](Doc& d) { d.events[17] = kvmf::zoneEvent(0xFFF, 0, 176400, 3); },
         {"ERROR(-2008) : offset 0x00000020 : [Zone Sub Frame] Zone number of the last zone event should be 0xFFFF. (00aa)",
          "ERROR(-3603) : offset 0x0000013c : [Event Sub Frame] Zone number 2f000181 is not linear.",
          "ERROR(-3030) : offset 0x00000144 : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame but 2 zone events are detected.",
          "ERROR(-3031) : offset 0x00000144 : [Event Sub Frame] There is no zone terminator at the end of the zones."}},
    });
}

// wellFormed with the four fade events after the meter change: fade
// positions 50, 60, 70 and 80, zone end 210.
TEST(ZoneChecks, Fades) {
    Doc faded = kvmf::wellFormed();
    const uint32_t codes[] = {32, 33, 40, 41};
    for (size_t i = 0; i < 4; ++i) kvtest::insertEvent(faded, 5 + i, kvmf::outlineEvent(1, 1, 0, codes[i]));
    kvmf::Zone& z = faded.zones[0];
    z.fadeInStartPosition = 50, z.fadeInEndPosition = 60, z.fadeOutStartPosition = 70, z.fadeOutEndPosition = 80;
    kvtest::expectRows(faded, {
        {"as built", [](Doc&) {}, {}},
        {"misaligned fade-in start", [](Doc& d) { d.zones[0].fadeInStartPosition = 55; },
         {"ERROR(-2010) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position is not aligned to event size. (00000037)",
          "ERROR(-2014) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position points not a fadein start event.(00000037)"}},
        {"fade-in positions swapped", [](Doc& d) { d.zones[0].fadeInStartPosition = 60, d.zones[0].fadeInEndPosition = 50; },
         {"ERROR(-2014) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position points not a fadein start event.(0000003c)",
          "ERROR(-2015) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position points not a fadein start event.(00000032)",
          "ERROR(-2018) : offset 0x00000024 : [Zone Sub Frame] Fadein end position(00000032) is less than start position(0000003c)."}},
        {"only the fade-in end given: no order", [](Doc& d) { d.zones[0].fadeInStartPosition = kvmf::kNone, d.zones[0].fadeInEndPosition = 50; },
         {"ERROR(-2015) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position points not a fadein start event.(00000032)"}},
        {"fade-out start at its end", [](Doc& d) { d.zones[0].fadeOutStartPosition = 80; },
         {"ERROR(-2016) : offset 0x0000002c : [Zone Sub Frame] Fadeout start event position points not a fadeout start event.(00000050)",
          "ERROR(-2019) : offset 0x00000030 : [Zone Sub Frame] Fadeout end position(00000050) is less than start position(00000050)."}},
        {"misaligned fade-out end", [](Doc& d) { d.zones[0].fadeOutEndPosition = 25; },
         {"ERROR(-2013) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position is not aligned to event size. (00000019)",
          "ERROR(-2017) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position points not a fadeout end event.(00000019)",
          "ERROR(-2019) : offset 0x00000030 : [Zone Sub Frame] Fadeout end position(00000019) is less than start position(00000046)."}},
        // Far beyond the image: not read.
        {"fade-out end far beyond", [](Doc& d) { d.zones[0].fadeOutEndPosition = 0xFFFFFFF0; },
         {"ERROR(-2017) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position points not a fadeout end event.(fffffff0)"}},
    });
}
