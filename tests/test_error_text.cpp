// Error text: the line layout and the conversions. The texts themselves are
// compared wherever a check test expects its lines.
#include "check_helpers.h"

using kvtest::line;

namespace {

// Appends one record to an emptied list and formats it into `size` bytes.
std::string format(int32_t code, int32_t offset, std::initializer_list<uint32_t> params = {}, int size = 8192) {
    kvtest::resetLibrary();
    uint32_t p[4] = {0, 0, 0, 0};
    int n = 0;
    for (uint32_t v : params) p[n++] = v;
    kvel::appendError(code, offset, n, p[0], p[1], p[2], p[3]);
    std::vector<char> text(static_cast<size_t>(size) + 16, '\x7f');
    KVELGetErrorString(0, text.data(), size);
    EXPECT_EQ(text[static_cast<size_t>(size)], '\x7f') << "wrote past the buffer";
    return text.data();
}

}  // namespace

TEST(ErrorText, PrefixAndOffsetPart) {
    EXPECT_EQ(format(-4, 77), "ERROR(-4) : Can't read metadata file.");  // general: never an offset
    EXPECT_EQ(format(-999, 5), "ERROR(-999) : ");
    EXPECT_EQ(format(-1000, 5), "ERROR(-1000) : offset 0x00000005 : ");
    EXPECT_EQ(format(-9999, -1), "ERROR(-9999) : offset ---------- : ");
    EXPECT_EQ(format(-10000, 0x7FFFFFFF), "WARNING(-10000) : offset 0x7fffffff : ");
    EXPECT_EQ(format(-2007, -1), "ERROR(-2007) : offset ---------- : ");  // no such id
    EXPECT_EQ(format(-1001, 0), "ERROR(-1001) : offset 0x00000000 : [Main Header] Bad signature.");
    EXPECT_EQ(format(-1001, -2), "ERROR(-1001) : offset 0xfffffffe : [Main Header] Bad signature.");
}

// %ld reads the 32-bit parameter as signed, the hexadecimal forms as unsigned.
TEST(ErrorText, Conversions) {
    EXPECT_EQ(format(-13005, 6, {0xFFFFFFFF, 0x80000000}),
              "WARNING(-13005) : offset 0x00000006 : [Event Sub Frame] Sample position -1 is more than actual "
              "samples -2147483648");
    EXPECT_EQ(format(-3027, 6, {0xFFFFFFFF, 0}),
              "ERROR(-3027) : offset 0x00000006 : [Event Sub Frame] Start event position ffffffff must be after the "
              "first zone position 00000000.");
    EXPECT_EQ(format(-3102, 1, {0x01600000}),
              "ERROR(-3102) : offset 0x00000001 : [Event Sub Frame] Combination of beat event flag 1600000 is not "
              "applicable.");
    EXPECT_EQ(format(-2020, 1, {120}), "ERROR(-2020) : offset 0x00000001 : [Zone Sub Frame] The BPM 120 is the invalid value.");
    EXPECT_EQ(format(-13202, 1, {0x1F}),
              "WARNING(-13202) : offset 0x00000001 : [Event Sub Frame] Sharp/Flat & chord number are N/A value(1f).");
    // Without parameters the text is copied, not used as a format.
    EXPECT_EQ(format(-2011, 40),
              "ERROR(-2011) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position is not aligned to event "
              "size. (%08lx)");
    EXPECT_EQ(format(-2012, 44, {0x2D}),
              "ERROR(-2012) : offset 0x0000002c : [Zone Sub Frame] Fadeout start event position is not aligned to "
              "event size. (0000002d)");
    // A parameter the text does not use is simply not shown.
    EXPECT_EQ(format(-3032, 1, {0x10001000}), "ERROR(-3032) : offset 0x00000001 : [Event Sub Frame] Reserved field must be 0");
}

TEST(ErrorText, Truncation) {
    const std::string full = "ERROR(-1001) : offset 0x00000000 : [Main Header] Bad signature.";
    const int length = static_cast<int>(full.size());
    EXPECT_EQ(format(-1001, 0, {}, length + 1), full);
    EXPECT_EQ(format(-1001, 0, {}, length), full.substr(0, full.size() - 1));
    EXPECT_EQ(format(-1001, 0, {}, 1), "");
}

// An index outside the list gives an empty line.
TEST(ErrorText, IndexOutsideTheList) {
    kvtest::resetLibrary();
    EXPECT_EQ(line(0), "");
    kvel::appendError(-4, -1);
    EXPECT_EQ(line(1), "");
    EXPECT_EQ(line(-1), "");
    EXPECT_EQ(line(0), "ERROR(-4) : Can't read metadata file.");
}
