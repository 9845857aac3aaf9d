// Chord and absolute chord rules. In wellFormed() the chord (event 6) lies
// at file offset 204 and the absolute chord (event 10) at 244.
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

namespace {

kvtest::Outcome chordValue(uint32_t value, int suppressWarnings = 0) {
    Doc d = kvmf::wellFormed();
    d.events[6].value = value;
    return check(d, suppressWarnings);
}

kvtest::Outcome absoluteValue(uint32_t value, int suppressWarnings = 0) {
    Doc d = kvmf::wellFormed();
    d.events[10].value = value;
    return check(d, suppressWarnings);
}

}  // namespace

TEST(ChordRule, ChordNumberRanges) {
    for (uint32_t n : {0, 6, 16, 35, 64, 87, 128, 141, 176, 196}) EXPECT_LINES(chordValue(0x08000000 | n << 8), {}) << n;
    for (uint32_t n : {7, 15, 36, 63, 88, 127, 142, 175, 197, 255}) {
        char text[120];
        std::snprintf(text, sizeof text,
                      "ERROR(-3201) : offset 0x000000ce : [Event Sub Frame] Invalid chord number (800%02x00).", n);
        EXPECT_LINES(chordValue(0x08000000 | n << 8), {text}) << n;
    }
}

TEST(ChordRule, FlagsAndReservedBits) {
    for (uint32_t low : {0x00, 0x01, 0x02, 0x1C, 0x1F}) EXPECT_LINES(chordValue(0x08001000 | low), {}) << low;
    EXPECT_LINES(chordValue(0x0800101B),
                 {"ERROR(-3202) : offset 0x000000ce : [Event Sub Frame] Invalid Sharp/Flat flag (800101b)."});
    EXPECT_LINES(chordValue(0x08001003),
                 {"ERROR(-3202) : offset 0x000000ce : [Event Sub Frame] Invalid Sharp/Flat flag (8001003)."});
    const std::string reserved = "ERROR(-3032) : offset 0x000000ce : [Event Sub Frame] Reserved field must be 0";
    EXPECT_LINES(chordValue(0x08001020), {reserved});
    EXPECT_LINES(chordValue(0x08201000), {reserved});
    EXPECT_LINES(chordValue(0x08801000), {reserved});
    EXPECT_LINES(chordValue(0x881F1000), {});  // bits 16-20 and 31 are not tested
}

// Every check runs: one record can draw all four problems, in order.
TEST(ChordRule, AllProblemsOfOneRecord) {
    Doc d = kvmf::wellFormed();
    kvtest::insertEvent(d, 6, kvmf::chordEvent(1, 1, 0));
    d.events[7].value = 0x08000723;  // the chord, now event 7 at 214
    EXPECT_LINES(check(d), {"ERROR(-3201) : offset 0x000000d8 : [Event Sub Frame] Invalid chord number (8000723).",
                            "ERROR(-3202) : offset 0x000000d8 : [Event Sub Frame] Invalid Sharp/Flat flag (8000723).",
                            "ERROR(-3032) : offset 0x000000d8 : [Event Sub Frame] Reserved field must be 0",
                            "ERROR(-3203) : offset 0x000000dc : [Event Sub Frame] More than 1 chord events on the same "
                            "position 0."});
}

// Both chord categories share the same-position check, each remembering
// only its own latest event.
TEST(ChordRule, SamePositionAcrossCategories) {
    const std::string repeated =
        "ERROR(-3203) : offset 0x00000104 : [Event Sub Frame] More than 1 chord events on the same position 44100.";
    Doc d = kvmf::wellFormed();
    kvtest::insertEvent(d, 10, kvmf::chordEvent(1, 3, 44100));  // before the absolute chord
    EXPECT_LINES(check(d), {repeated});
    d = kvmf::wellFormed();
    kvtest::insertEvent(d, 11, kvmf::chordEvent(1, 3, 44100));  // after it
    EXPECT_LINES(check(d), {repeated});
    // A melody event on the same position changes nothing.
    d = kvmf::wellFormed();
    kvtest::insertEvent(d, 8, kvmf::chordEvent(1, 1, 0));
    EXPECT_LINES(check(d), {"ERROR(-3203) : offset 0x000000e6 : [Event Sub Frame] More than 1 chord events on the same "
                            "position 0."});
    // Chord at 0, chord at 22050, absolute chord at 44100 and a chord at 44100
    // after a beat: the latest chord is 22050, the latest absolute chord 44100.
    d = kvmf::wellFormed();
    kvtest::insertEvent(d, 9, kvmf::chordEvent(1, 2, 22050));
    kvtest::insertEvent(d, 12, kvmf::chordEvent(1, 3, 44100));
    EXPECT_LINES(check(d), {"ERROR(-3203) : offset 0x0000010e : [Event Sub Frame] More than 1 chord events on the same "
                            "position 44100."});
}

TEST(AbsoluteChordRule, Bits) {
    EXPECT_LINES(absoluteValue(0x09000000),
                 {"WARNING(-13201) : offset 0x000000f6 : [Event Sub Frame] All of absolute tone number bit is "
                  "0.(09000000)"});
    EXPECT_LINES(absoluteValue(0x09000000, 1), {});
    EXPECT_LINES(absoluteValue(0x09600000), {});  // bits 21 and 22 are tone bits here
    EXPECT_LINES(absoluteValue(0x09801220),
                 {"ERROR(-3032) : offset 0x000000f6 : [Event Sub Frame] Reserved field must be 0"});
    EXPECT_LINES(absoluteValue(0x0900121F), {});
    EXPECT_LINES(absoluteValue(0x09801003),
                 {"ERROR(-3202) : offset 0x000000f6 : [Event Sub Frame] Invalid Sharp/Flat flag (9801003).",
                  "ERROR(-3032) : offset 0x000000f6 : [Event Sub Frame] Reserved field must be 0"});
    EXPECT_LINES(absoluteValue(0x09800003),
                 {"ERROR(-3202) : offset 0x000000f6 : [Event Sub Frame] Invalid Sharp/Flat flag (9800003).",
                  "WARNING(-13201) : offset 0x000000f6 : [Event Sub Frame] All of absolute tone number bit is "
                  "0.(09800003)",
                  "ERROR(-3032) : offset 0x000000f6 : [Event Sub Frame] Reserved field must be 0"});
}
