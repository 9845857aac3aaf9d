// The melody rule. In wellFormed() the melody event (event 7) lies at file
// offset 214.
#include "check_helpers.h"

using kvmf::Doc;

TEST(MelodyRule, ReservedBits) {
    const std::string reserved = "ERROR(-3032) : offset 0x000000d8 : [Event Sub Frame] Reserved field must be 0";
    kvtest::expectRows(kvmf::wellFormed(), {
        {"bit 12", [](Doc& d) { d.events[7].value = 0x10001040; }, {reserved}},
        {"bit 22", [](Doc& d) { d.events[7].value = 0x10400000; }, {reserved}},
        {"bits 23 and 31", [](Doc& d) { d.events[7].value = 0x90800000; }, {}},
        {"bits 0-11", [](Doc& d) { d.events[7].value = 0x10000FFF; }, {}},
    });
}

// Only melody events are compared with each other; the melody of
// wellFormed() already shares its position with a beat and a chord.
TEST(MelodyRule, SamePosition) {
    Doc d = kvmf::wellFormed();
    kvtest::insertEvent(d, 8, kvmf::Event{kvmf::barBeat(1, 1), 0x10001041, 0});
    kvtest::insertEvent(d, 9, kvmf::melodyEvent(1, 1, 0));
    EXPECT_LINES(kvtest::check(d), {"ERROR(-3032) : offset 0x000000e2 : [Event Sub Frame] Reserved field must be 0",
                                    "ERROR(-3301) : offset 0x000000e6 : [Event Sub Frame] More than 1 melody events on the same position 0.",
                                    "ERROR(-3301) : offset 0x000000f0 : [Event Sub Frame] More than 1 melody events on the same position 0.",
                                    "WARNING(-13301) : offset 0x00000074 : [Event Sub Frame] There are too many(3) melody events."});
}
