// The melody rule. In wellFormed() the melody event (event 7) lies at file
// offset 214.
#include "check_helpers.h"

using kvmf::Doc;
using kvtest::check;

TEST(MelodyRule, ReservedBits) {
    const std::string reserved = "ERROR(-3032) : offset 0x000000d8 : [Event Sub Frame] Reserved field must be 0";
    for (uint32_t value : {0x10001040u, 0x10400000u, 0x107FF000u}) {
        Doc d = kvmf::wellFormed();
        d.events[7].value = value;
        EXPECT_LINES(check(d), {reserved}) << std::hex << value;
    }
    for (uint32_t value : {0x10800000u, 0x90000000u, 0x10000FFFu}) {
        Doc d = kvmf::wellFormed();
        d.events[7].value = value;
        EXPECT_LINES(check(d), {}) << std::hex << value;
    }
}

// Only melody events are compared with each other; the melody of
// wellFormed() already shares its position with a beat and a chord.
TEST(MelodyRule, SamePosition) {
    Doc d = kvmf::wellFormed();
    kvtest::insertEvent(d, 8, kvmf::Event{kvmf::barBeat(1, 1), 0x10001041, 0});
    kvtest::insertEvent(d, 9, kvmf::melodyEvent(1, 1, 0));
    EXPECT_LINES(check(d), {"ERROR(-3032) : offset 0x000000e2 : [Event Sub Frame] Reserved field must be 0",
                            "ERROR(-3301) : offset 0x000000e6 : [Event Sub Frame] More than 1 melody events on the same "
                            "position 0.",
                            "ERROR(-3301) : offset 0x000000f0 : [Event Sub Frame] More than 1 melody events on the same "
                            "position 0.",
                            "WARNING(-13301) : offset 0x00000074 : [Event Sub Frame] There are too many(3) melody "
                            "events."});
}
