// Zone sub-frame checks: sizes, numbering, the positions each zone record
// holds and the events they must point at.
#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;
using kvtest::twoZones;

namespace {

// wellFormed with the four fade events after the meter change: fade
// positions 50, 60, 70 and 80, zone end 210.
Doc faded() {
    Doc d = kvmf::wellFormed();
    const uint32_t codes[] = {32, 33, 40, 41};
    for (size_t i = 0; i < 4; ++i) kvtest::insertEvent(d, 5 + i, kvmf::outlineEvent(1, 1, 0, codes[i]));
    d.zones[0].fadeInStartPosition = 50;
    d.zones[0].fadeInEndPosition = 60;
    d.zones[0].fadeOutStartPosition = 70;
    d.zones[0].fadeOutEndPosition = 80;
    return d;
}

}  // namespace

TEST(ZoneChecks, BaseDocumentsAreClean) {
    EXPECT_LINES(check(twoZones()), {});
    EXPECT_LINES(check(faded()), {});
}

// With no zone the checker stops after -2001; the walk's zone-record steps
// are skipped, only the zone event count is judged.
TEST(ZoneChecks, NoZone) {
    Doc d;
    d.events = {kvmf::zoneEvent(0xFFF, 0, 0, 0),         kvmf::outlineEvent(0xFFF, 0, 0, 16),
                kvmf::outlineEvent(0xFFF, 0, 0, 2),      kvmf::outlineEvent(0xFFF, 0, 0, 3),
                kvmf::outlineEvent(0xFFF, 0, 0, 4),      kvmf::outlineEvent(0xFFF, 0, 10, 17),
                kvmf::terminatorEvent(10)};
    d.totalSamples = 100;
    d.effectiveEnd = 10;
    EXPECT_LINES(check(d), {"ERROR(-2001) : offset 0x00000018 : [Zone Sub Frame] There must be at least one zone.",
                            "ERROR(-3030) : offset 0x0000008c : [Event Sub Frame] Zone count mismatch. 0 zones in "
                            "zone sub frame but 1 zone events are detected."});
}

TEST(ZoneChecks, NumberingAndContinuity) {
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneNumber = 5; })),
                 {"ERROR(-2002) : offset 0x00000054 : [Zone Sub Frame] Bad zone number. It should be 0001 but it is "
                  "0005."});
    // Zone 1 starting at zone 0's zone event.
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneStartPosition = 0; })),
                 {"ERROR(-3604) : offset 0x000000be : [Event Sub Frame] Zone number in the zone event is wrong. it "
                  "should be 0001 but it is 0000.",
                  "ERROR(-2029) : offset 0x00000056 : [Zone Sub Frame] Zone start point is not equal to previous zone "
                  "end point."});
    // Zone 1 starting one record late leaves zone 1's zone event outside both zones.
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneStartPosition = 80; })),
                 {"ERROR(-2004) : offset 0x00000056 : [Zone Sub Frame] Zone start event position 00000050(file offset "
                  ": 0000010e) points not a zone event.",
                  "ERROR(-2029) : offset 0x00000056 : [Zone Sub Frame] Zone start point is not equal to previous zone "
                  "end point.",
                  "ERROR(-3020) : offset 0x00000104 : [Event Sub Frame] The event is out of zone."});
    // A middle zone ending at the terminator.
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[0].zoneEndPosition = 120; })),
                 {"ERROR(-3604) : offset 0x00000136 : [Event Sub Frame] Zone number in the zone event is wrong. it "
                  "should be 0001 but it is 65535.",
                  "ERROR(-2029) : offset 0x00000056 : [Zone Sub Frame] Zone start point is not equal to previous zone "
                  "end point."});
}

TEST(ZoneChecks, StartAndEndPositions) {
    // Misaligned: the bytes at position 15 are read all the same.
    EXPECT_LINES(check(kvtest::wellFormedWith([](Doc& d) { d.zones[0].zoneStartPosition = 15; })),
                 {"ERROR(-2003) : offset 0x0000001c : [Zone Sub Frame] Zone start event position is not aligned to "
                  "event size. (0000000f)",
                  "ERROR(-2004) : offset 0x0000001c : [Zone Sub Frame] Zone start event position 0000000f(file offset "
                  ": 0000009f) points not a zone event.",
                  "ERROR(-3020) : offset 0x00000090 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x0000009a : [Event Sub Frame] The event is out of zone."});
    // Beyond the bound totalFrameSize - frameSize - 10 (234): not read, no
    // terminator check; the walk's end checks stop at the unreadable record.
    EXPECT_LINES(check(kvtest::wellFormedWith([](Doc& d) { d.zones[0].zoneEndPosition = 240; })),
                 {"ERROR(-2006) : offset 0x00000020 : [Zone Sub Frame] Zone end event position 000000f0(file offset "
                  ": 00000180) points not a zone event."});
    // Within the bound but past the image: reported the same way.
    EXPECT_LINES(check(kvtest::wellFormedWith([](Doc& d) { d.zones[0].zoneEndPosition = 230; })),
                 {"ERROR(-2006) : offset 0x00000020 : [Zone Sub Frame] Zone end event position 000000e6(file offset "
                  ": 00000176) points not a zone event."});
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneEndPosition = 180; })),
                 {"ERROR(-2006) : offset 0x0000005a : [Zone Sub Frame] Zone end event position 000000b4(file offset "
                  ": 00000172) points not a zone event."});
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[0].zoneEndPosition = 75; })),
                 {"ERROR(-2005) : offset 0x00000020 : [Zone Sub Frame] Zone end event position is not aligned to event "
                  "size.(0000004b)",
                  "ERROR(-2006) : offset 0x00000020 : [Zone Sub Frame] Zone end event position 0000004b(file offset "
                  ": 00000109) points not a zone event.",
                  "ERROR(-2029) : offset 0x00000056 : [Zone Sub Frame] Zone start point is not equal to previous zone "
                  "end point."});
    // An empty last zone: its events lie in no zone, and its end marker
    // comes before the end event.
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneEndPosition = 70; })),
                 {"ERROR(-2008) : offset 0x0000005a : [Zone Sub Frame] Zone number of the last zone event should be "
                  "0xFFFF. (0046)",
                  "ERROR(-2009) : offset 0x00000056 : [Zone Sub Frame] Zone end position(00000046) is less than start "
                  "position(00000046).",
                  "ERROR(-3020) : offset 0x00000104 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x0000010e : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x00000118 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x00000118 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3029) : offset 0x00000140 : [Event Sub Frame] End event position 00000190 must be before "
                  "the zone end marker 000000c8."});
    // The last zone ending at a beat event.
    EXPECT_LINES(check(kvtest::edited(twoZones(), [](Doc& d) { d.zones[1].zoneEndPosition = 100; })),
                 {"ERROR(-2006) : offset 0x0000005a : [Zone Sub Frame] Zone end event position 00000064(file offset "
                  ": 00000122) points not a zone event.",
                  "ERROR(-2008) : offset 0x0000005a : [Zone Sub Frame] Zone number of the last zone event should be "
                  "0xFFFF. (0064)",
                  "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3020) : offset 0x00000122 : [Event Sub Frame] The event is out of zone.",
                  "ERROR(-3029) : offset 0x00000140 : [Event Sub Frame] End event position 00000190 must be before "
                  "the zone end marker 0000012c."});
    // The last zone ending at an ordinary zone event.
    EXPECT_LINES(check(kvtest::wellFormedWith([](Doc& d) { d.events[17] = kvmf::zoneEvent(0xFFF, 0, 176400, 3); })),
                 {"ERROR(-2008) : offset 0x00000020 : [Zone Sub Frame] Zone number of the last zone event should be "
                  "0xFFFF. (00aa)",
                  "ERROR(-3603) : offset 0x0000013c : [Event Sub Frame] Zone number 2f000181 is not linear.",
                  "ERROR(-3030) : offset 0x00000144 : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame "
                  "but 2 zone events are detected.",
                  "ERROR(-3031) : offset 0x00000144 : [Event Sub Frame] There is no zone terminator at the end of the "
                  "zones."});
}

TEST(ZoneChecks, Fades) {
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeInStartPosition = 55; })),
                 {"ERROR(-2010) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position is not aligned to "
                  "event size. (00000037)",
                  "ERROR(-2014) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position points not a "
                  "fadein start event.(00000037)"});
    // Swapped fade-in positions: both events are wrong, and the order too.
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeInStartPosition = 60, d.zones[0].fadeInEndPosition = 50; })),
                 {"ERROR(-2014) : offset 0x00000024 : [Zone Sub Frame] Fadein start event position points not a "
                  "fadein start event.(0000003c)",
                  "ERROR(-2015) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position points not a fadein "
                  "start event.(00000032)",
                  "ERROR(-2018) : offset 0x00000024 : [Zone Sub Frame] Fadein end position(00000032) is less than "
                  "start position(0000003c)."});
    // Only one end given: no order check.
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeInStartPosition = kvmf::kNone, d.zones[0].fadeInEndPosition = 50; })),
                 {"ERROR(-2015) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position points not a fadein "
                  "start event.(00000032)"});
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeOutStartPosition = 50; })),
                 {"ERROR(-2016) : offset 0x0000002c : [Zone Sub Frame] Fadeout start event position points not a "
                  "fadeout start event.(00000032)"});
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeOutStartPosition = 80; })),
                 {"ERROR(-2016) : offset 0x0000002c : [Zone Sub Frame] Fadeout start event position points not a "
                  "fadeout start event.(00000050)",
                  "ERROR(-2019) : offset 0x00000030 : [Zone Sub Frame] Fadeout end position(00000050) is less than "
                  "start position(00000050)."});
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeOutEndPosition = 25; })),
                 {"ERROR(-2013) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position is not aligned to "
                  "event size. (00000019)",
                  "ERROR(-2017) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position points not a "
                  "fadeout end event.(00000019)",
                  "ERROR(-2019) : offset 0x00000030 : [Zone Sub Frame] Fadeout end position(00000019) is less than "
                  "start position(00000046)."});
    // Far beyond the image: not read.
    EXPECT_LINES(check(kvtest::edited(faded(), [](Doc& d) { d.zones[0].fadeOutEndPosition = 0xFFFFFFF0; })),
                 {"ERROR(-2017) : offset 0x00000030 : [Zone Sub Frame] Fadeout end event position points not a "
                  "fadeout end event.(fffffff0)"});
}
