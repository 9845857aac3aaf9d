// Error text: the line layout and the conversions. The texts themselves are
// compared wherever a check test expects its lines.
#include "check_helpers.h"

namespace {

// Appends one record to an emptied list and formats it into `size` bytes.
std::string format(int32_t code, int32_t offset, std::vector<uint32_t> params = {}, int size = 8192) {
    kvtest::resetLibrary();
    const auto n = static_cast<int32_t>(params.size());
    params.resize(4);
    kvtest::appendError(code, offset, n, params[0], params[1], params[2], params[3]);
    std::vector<char> text(static_cast<size_t>(size) + 16, '\x7f');
    KVELGetErrorString(0, text.data(), size);
    EXPECT_EQ(text[static_cast<size_t>(size)], '\x7f') << "wrote past the buffer";
    return text.data();
}

}  // namespace

TEST(ErrorText, Lines) {
    const struct {
        int32_t code, offset;
        std::vector<uint32_t> params;
        std::string line;
    } rows[] = {
        // Codes above -1000 show no offset; from -10000 on they are warnings.
        {-999, 5, {}, "ERROR(-999) : "},
        {-1000, 5, {}, "ERROR(-1000) : offset 0x00000005 : "},
        {-9999, -1, {}, "ERROR(-9999) : offset ---------- : "},
        {-10000, 0x7FFFFFFF, {}, "WARNING(-10000) : offset 0x7fffffff : "},
        {-1001, 0, {}, "ERROR(-1001) : offset 0x00000000 : [Main Header] Bad signature."},
        {-1001, -2, {}, "ERROR(-1001) : offset 0xfffffffe : [Main Header] Bad signature."},
        // %ld reads the 32-bit parameter as signed, the hexadecimal forms as unsigned.
        {-13005, 6, {0xFFFFFFFF, 0x80000000},
         "WARNING(-13005) : offset 0x00000006 : [Event Sub Frame] Sample position -1 is more than actual samples -2147483648"},
        {-3027, 6, {0xFFFFFFFF, 0},
         "ERROR(-3027) : offset 0x00000006 : [Event Sub Frame] Start event position ffffffff must be after the first zone position 00000000."},
        {-3102, 1, {0x01600000}, "ERROR(-3102) : offset 0x00000001 : [Event Sub Frame] Combination of beat event flag 1600000 is not applicable."},
        {-13202, 1, {0x1F}, "WARNING(-13202) : offset 0x00000001 : [Event Sub Frame] Sharp/Flat & chord number are N/A value(1f)."},
        // Without parameters the text is copied, not used as a format.
        {-2011, 40, {}, "ERROR(-2011) : offset 0x00000028 : [Zone Sub Frame] Fadein end event position is not aligned to event size. (%08lx)"},
        // A parameter the text does not use is simply not shown.
        {-3032, 1, {0x10001000}, "ERROR(-3032) : offset 0x00000001 : [Event Sub Frame] Reserved field must be 0"},
    };
    for (const auto& row : rows) EXPECT_EQ(format(row.code, row.offset, row.params), row.line);
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
    EXPECT_EQ(kvtest::line(0), "");
    kvtest::appendError(-4, -1);
    EXPECT_EQ(kvtest::line(1), "");
    EXPECT_EQ(kvtest::line(-1), "");
    EXPECT_EQ(kvtest::line(0), "ERROR(-4) : Can't read metadata file.");
}
