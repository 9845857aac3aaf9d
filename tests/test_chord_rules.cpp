// Chord and absolute chord rules. In wellFormed() the chord (event 6) lies
// at file offset 204 and the absolute chord (event 10) at 244.
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

namespace {

std::function<void(Doc&)> value(size_t event, uint32_t v) {
    return [=](Doc& d) { d.events[event].value = v; };
}

}  // namespace

TEST(ChordRule, ChordNumberRanges) {
    for (uint32_t n : {0, 6, 16, 35, 64, 87, 128, 141, 176, 196}) kvtest::expectRows(kvmf::wellFormed(), {{std::to_string(n), value(6, 0x08000000 | n << 8), {}}});
    for (uint32_t n : {7, 15, 36, 63, 88, 127, 142, 175, 197, 255}) {
        char text[120];
        std::snprintf(text, sizeof text, "ERROR(-3201) : offset 0x000000ce : [Event Sub Frame] Invalid chord number (800%02x00).", n);
        kvtest::expectRows(kvmf::wellFormed(), {{std::to_string(n), value(6, 0x08000000 | n << 8), {text}}});
    }
}

TEST(ChordRule, FlagsAndReservedBits) {
    const std::string reserved = "ERROR(-3032) : offset 0x000000ce : [Event Sub Frame] Reserved field must be 0";
    const std::string tones = "WARNING(-13201) : offset 0x000000f6 : [Event Sub Frame] All of absolute tone number bit is 0.";
    kvtest::expectRows(kvmf::wellFormed(), {
        {"flags 1", value(6, 0x08001001), {}},
        {"flags 2", value(6, 0x08001002), {}},
        {"flag bits 2-4", value(6, 0x0800101C), {}},
        // Flag 3 is allowed only with bits 2-4 all set.
        {"flags 3 with bits 2-4", value(6, 0x0800101F), {}},
        {"flags 3", value(6, 0x08001003), {"ERROR(-3202) : offset 0x000000ce : [Event Sub Frame] Invalid Sharp/Flat flag (8001003)."}},
        {"reserved bit 5", value(6, 0x08001020), {reserved}},
        {"reserved bit 21", value(6, 0x08201000), {reserved}},
        {"reserved bit 23", value(6, 0x08801000), {reserved}},
        {"bits 16-20 and 31", value(6, 0x881F1000), {}},
        {"absolute chord without tones", value(10, 0x09000000), {tones + "(09000000)"}},
        // Bits 21 and 22 are tone bits in an absolute chord.
        {"absolute chord tone bits 21-22", value(10, 0x09600000), {}},
        {"absolute chord flags 3 with bits 2-4", value(10, 0x0900121F), {}},
        {"absolute chord with every problem", value(10, 0x09800003),
         {"ERROR(-3202) : offset 0x000000f6 : [Event Sub Frame] Invalid Sharp/Flat flag (9800003).", tones + "(09800003)",
          "ERROR(-3032) : offset 0x000000f6 : [Event Sub Frame] Reserved field must be 0"}},
    });
}

// Every check runs: one record can draw all four problems, in order.
TEST(ChordRule, AllProblemsOfOneRecord) {
    Doc d = kvmf::wellFormed();
    kvtest::insertEvent(d, 6, kvmf::chordEvent(1, 1, 0));
    d.events[7].value = 0x08000723;  // the chord, now event 7 at 214
    EXPECT_LINES(check(d), {"ERROR(-3201) : offset 0x000000d8 : [Event Sub Frame] Invalid chord number (8000723).",
                            "ERROR(-3202) : offset 0x000000d8 : [Event Sub Frame] Invalid Sharp/Flat flag (8000723).",
                            "ERROR(-3032) : offset 0x000000d8 : [Event Sub Frame] Reserved field must be 0",
                            "ERROR(-3203) : offset 0x000000dc : [Event Sub Frame] More than 1 chord events on the same position 0."});
}

// Both chord categories share the same-position check, each remembering
// only its own latest event.
TEST(ChordRule, SamePositionAcrossCategories) {
    const std::string repeated = "ERROR(-3203) : offset 0x00000104 : [Event Sub Frame] More than 1 chord events on the same position 44100.";
    kvtest::expectRows(kvmf::wellFormed(), {
        {"chord before the absolute chord", [](Doc& d) { kvtest::insertEvent(d, 10, kvmf::chordEvent(1, 3, 44100)); }, {repeated}},
        {"chord after the absolute chord", [](Doc& d) { kvtest::insertEvent(d, 11, kvmf::chordEvent(1, 3, 44100)); }, {repeated}},
        // Chord at 0, chord at 22050, absolute chord at 44100 and a chord at
        // 44100 after a beat: the latest chord is 22050, the latest absolute chord 44100.
        {"latest of each kind", [](Doc& d) { kvtest::insertEvent(d, 9, kvmf::chordEvent(1, 2, 22050)), kvtest::insertEvent(d, 12, kvmf::chordEvent(1, 3, 44100)); },
         {"ERROR(-3203) : offset 0x0000010e : [Event Sub Frame] More than 1 chord events on the same position 44100."}},
    });
}
