// The check driver and the main header checks.
#include "check_helpers.h"

using kvmf::Doc;
using kvtest::checkMemory;

TEST(CheckDriver, WellFormedFilesCheckClean) {
    EXPECT_LINES(kvtest::check(kvmf::wellFormed()), {});
    EXPECT_LINES(kvtest::check(kvmf::song({40, 30, 30}, {4, 3, 6}, 48000)), {});
}

TEST(MainHeaderChecks, Fields) {
    kvtest::expectRows(kvmf::wellFormed(), {
        // Bytes below 0x20 as signed chars are bad, so 0x80 is too.
        {"bad engine ID", [](Doc& d) { d.engineId = {'A', 0x80, 0x1F, 0}; },
         {"ERROR(-1002) : offset 0x00000004 : [Main Header] Bad engine ID."}},
        {"engine ID of the edge characters", [](Doc& d) { d.engineId = {' ', 0x7F, 'a', '~'}; }, {}},
        {"no engine ID", [](Doc& d) { d.engineId = {0, 0, 0, 0}; },
         {"WARNING(-11001) : offset 0x00000004 : [Main Header] Not specified engine ID."}},
        {"bad application ID", [](Doc& d) { d.applicationId = {'A', 'B', 'C', 0x1F}; },
         {"ERROR(-1003) : offset 0x00000008 : [Main Header] Bad application ID."}},
        {"no application ID", [](Doc& d) { d.applicationId = {0, 0, 0, 0}; },
         {"WARNING(-11002) : offset 0x00000008 : [Main Header] Not specified application ID."}},
        {"version and level at their edges", [](Doc& d) { d.version = 0x0FFF, d.level = 0xF000; }, {}},
        {"version 0x1000", [](Doc& d) { d.version = 0x1000; },
         {"WARNING(-11004) : offset 0x0000000c : [Main Header] Version number 1000 could be wrong."}},
        {"level 0x0fff", [](Doc& d) { d.level = 0x0FFF; },
         {"WARNING(-11006) : offset 0x0000000e : [Main Header] Level value 0fff could be wrong."}},
        {"level 0xf001", [](Doc& d) { d.level = 0xF001; },
         {"WARNING(-11006) : offset 0x0000000e : [Main Header] Level value f001 could be wrong."}},
        {"no version or level", [](Doc& d) { d.version = 0, d.level = 0; },
         {"WARNING(-11003) : offset 0x0000000c : [Main Header] Not specified the version number.",
          "WARNING(-11005) : offset 0x0000000e : [Main Header] Not specified the level value."}},
    });
}

// A file loads whatever its signature; the check reports it and goes on.
// The total frame size is compared with the size of an opened file only.
TEST(MainHeaderChecks, SignatureAndSizeOfAnOpenedFile) {
    EXPECT_LINES(kvtest::checkFile(kvtest::wellFormedWith([](Doc& d) { d.signature = {'K', 'V', 'M', 'f'}, d.version = 0; })),
                 {"ERROR(-1001) : offset 0x00000000 : [Main Header] Bad signature.",
                  "WARNING(-11003) : offset 0x0000000c : [Main Header] Not specified the version number."});
    Doc longer = kvmf::wellFormed();
    longer.totalFrameSize = 304;
    longer.trailing = {0};
    EXPECT_LINES(kvtest::checkFile(longer), {"ERROR(-1004) : offset 0x00000010 : [Main Header] Bad total frame size. It should be 00000131."});
    EXPECT_LINES(checkMemory(longer), {});
}

// Each run appends behind the last and starts from fresh run state,
// including the bar count of the beat rule.
TEST(CheckDriver, SecondRunRepeatsTheFirst) {
    Doc doc = kvmf::wellFormed();
    doc.version = 0;
    doc.events[15] = kvmf::beatEvent(2, 4, 7 * 22050, false, true);  // the run ends three beats into a bar
    const std::vector<std::string> once = {"WARNING(-11003) : offset 0x0000000c : [Main Header] Not specified the version number."};
    EXPECT_LINES(checkMemory(doc), once);
    EXPECT_EQ(KVELCheckFormat(0, 0), -1);
    EXPECT_EQ(kvtest::linesFrom(0), std::vector<std::string>(2, once[0]));
}

// 1200 problems: the list keeps 999 of them and the overflow record, the
// result counts all.
TEST(CheckDriver, MoreProblemsThanTheListHolds) {
    Doc doc = kvmf::wellFormed();
    for (uint32_t k = 0; k < 1200; ++k) doc.events.push_back(kvmf::Event{0xFFF0, 0x10001000, 176400 + k});  // melody, reserved bit set
    doc.totalSamples = 400000;
    const kvtest::Outcome out = checkMemory(doc, 1);
    EXPECT_EQ(out.result, -1200);
    ASSERT_EQ(out.lines.size(), 1000u);
    EXPECT_EQ(out.lines[998], "ERROR(-3032) : offset 0x00002842 : [Event Sub Frame] Reserved field must be 0");
    EXPECT_EQ(out.lines[999], "ERROR(-2) : Too many errors are detected.");
}
