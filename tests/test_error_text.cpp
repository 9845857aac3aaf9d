// Error text: the line layout, the conversions and every text of the table.
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

struct Message {
    int32_t code;
    const char* text;
};

// Every text of the message table, exactly as the library must show it.
const Message kMessages[] = {
    {-2, "Too many errors are detected."},
    {-3, "Can't open the file."},
    {-4, "Can't read metadata file."},
    {-5, "Can't allocate memory."},
    {-6, "No more error detected."},
    {-7, "Previous file is still opened."},
    {-1001, "[Main Header] Bad signature."},
    {-1002, "[Main Header] Bad engine ID."},
    {-1003, "[Main Header] Bad application ID."},
    {-1004, "[Main Header] Bad total frame size. It should be %08lx."},
    {-2001, "[Zone Sub Frame] There must be at least one zone."},
    {-2002, "[Zone Sub Frame] Bad zone number. It should be %04ld but it is %04ld."},
    {-2003, "[Zone Sub Frame] Zone start event position is not aligned to event size. (%08lx)"},
    {-2004, "[Zone Sub Frame] Zone start event position %08lx(file offset : %08lx) points not a zone event."},
    {-2005, "[Zone Sub Frame] Zone end event position is not aligned to event size.(%08lx)"},
    {-2006, "[Zone Sub Frame] Zone end event position %08lx(file offset : %08lx) points not a zone event."},
    {-2008, "[Zone Sub Frame] Zone number of the last zone event should be 0xFFFF. (%04lx)"},
    {-2009, "[Zone Sub Frame] Zone end position(%08lx) is less than start position(%08lx)."},
    {-2010, "[Zone Sub Frame] Fadein start event position is not aligned to event size. (%08lx)"},
    {-2011, "[Zone Sub Frame] Fadein end event position is not aligned to event size. (%08lx)"},
    {-2012, "[Zone Sub Frame] Fadeout start event position is not aligned to event size. (%08lx)"},
    {-2013, "[Zone Sub Frame] Fadeout end event position is not aligned to event size. (%08lx)"},
    {-2014, "[Zone Sub Frame] Fadein start event position points not a fadein start event.(%08lx)"},
    {-2015, "[Zone Sub Frame] Fadein end event position points not a fadein start event.(%08lx)"},
    {-2016, "[Zone Sub Frame] Fadeout start event position points not a fadeout start event.(%08lx)"},
    {-2017, "[Zone Sub Frame] Fadeout end event position points not a fadeout end event.(%08lx)"},
    {-2018, "[Zone Sub Frame] Fadein end position(%08lx) is less than start position(%08lx)."},
    {-2019, "[Zone Sub Frame] Fadeout end position(%08lx) is less than start position(%08lx)."},
    {-2020, "[Zone Sub Frame] The BPM %ld is the invalid value."},
    {-2021, "[Zone Sub Frame] The meter denominator %ld is the invalid value."},
    {-2022, "[Zone Sub Frame] The meter numerator %ld is the invalid value."},
    {-2023, "[Zone Sub Frame] The bar count %ld is the invalid value."},
    {-2024, "[Zone Sub Frame] The key %02lx is the invalid value."},
    {-2025, "[Zone Sub Frame] The scale %02lx is the invalid value."},
    {-2026, "[Zone Sub Frame] All of the reserved field must be filled with 0. (detected the value %02lx)"},
    {-2027, "[Zone Sub Frame] Incorrect zone frame size. it should be %08lx but it is %08lx."},
    {-2028, "[Zone Sub Frame] Event count %06lx in category %02lx is mismatch the actual event count %08lx."},
    {-2029, "[Zone Sub Frame] Zone start point is not equal to previous zone end point."},
    {-2030, "[Zone Sub Frame] Bar Count must be 0xFFFF with invalid meter. Current bar count value is %04lx."},
    {-3001, "[Event Sub Frame] Incorrect event frame size. It should be %08lx but it is %08lx."},
    {-3002, "[Event Sub Frame] Incorrect event frame header size. It should be %08lx but it is %08lx."},
    {-3003, "[Event Sub Frame] Sample rate %ld is the invalid value."},
    {-3004, "[Event Sub Frame] Total samples %08lx is the invalid value."},
    {-3005, "[Event Sub Frame] Effective sample start point %08lx is the invalid value."},
    {-3006, "[Event Sub Frame] Effective sample end point %08lx is the invalid value."},
    {-3007, "[Event Sub Frame] Effective sample end position(%08lx) is less than start position(%08lx)."},
    {-3008, "[Event Sub Frame] No cannel number is specified."},
    {-3009, "[Event Sub Frame] No bit count is specified."},
    {-3010, "[Event Sub Frame] Number of categories is not specified."},
    {-3011, "[Event Sub Frame] There are too many categories specified. (%04lx)"},
    {-3012, "[Event Sub Frame] Master tune %ld is the invalid value."},
    {-3013, "[Event Sub Frame] No total count value is specified."},
    {-3014, "[Event Sub Frame] No category ID is specified."},
    {-3015, "[Event Sub Frame] There is already the same category(%04lx) specified."},
    {-3016, "[Event Sub Frame] The category %04lx is the invalid category."},
    {-3017, "[Event Sub Frame] There is no event in the category.(%04lx)"},
    {-3018, "[Event Sub Frame] Total event count mismatch. It should be %08lx but it is %08lx."},
    {-3019, "[Event Sub Frame] Bar number %ld is larger than total bar count %ld."},
    {-3020, "[Event Sub Frame] The event is out of zone."},
    {-3021, "[Event Sub Frame] Bar number %ld is decreased. (previous %ld)"},
    {-3022, "[Event Sub Frame] Beat number %ld is decreased. (previous %ld)"},
    {-3023, "[Event Sub Frame] Sample position %08lx is decreased. (previous %08lx)"},
    {-3024, "[Event Sub Frame] Sample position %08lx must be less than actual samples %08lx."},
    {-3025, "[Event Sub Frame] Category type %02lx is not specified."},
    {-3026, "[Event Sub Frame] No start event exists."},
    {-3027, "[Event Sub Frame] Start event position %08lx must be after the first zone position %08lx."},
    {-3028, "[Event Sub Frame] No end event exists."},
    {-3029, "[Event Sub Frame] End event position %08lx must be before the zone end marker %08lx."},
    {-3030, "[Event Sub Frame] Zone count mismatch. %ld zones in zone sub frame but %ld zone events are detected."},
    {-3031, "[Event Sub Frame] There is no zone terminator at the end of the zones."},
    {-3032, "[Event Sub Frame] Reserved field must be 0"},
    {-3033, "[Event Sub Frame] Bar number is 0."},
    {-3034, "[Event Sub Frame] Incorrect event body size. The value is minus(%08lx)."},
    {-3101, "[Event Sub Frame] Beat number and meter is mismatch."},
    {-3102, "[Event Sub Frame] Combination of beat event flag %lx is not applicable."},
    {-3103, "[Event Sub Frame] More than 1 beat events on the same position %ld."},
    {-3201, "[Event Sub Frame] Invalid chord number (%04lx)."},
    {-3202, "[Event Sub Frame] Invalid Sharp/Flat flag (%02lx)."},
    {-3203, "[Event Sub Frame] More than 1 chord events on the same position %ld."},
    {-3301, "[Event Sub Frame] More than 1 melody events on the same position %ld."},
    {-3601, "[Event Sub Frame] Start event %08lx is already exist."},
    {-3602, "[Event Sub Frame] End event %08lx is already exist."},
    {-3603, "[Event Sub Frame] Zone number %08lx is not linear."},
    {-3604, "[Event Sub Frame] Zone number in the zone event is wrong. it should be %04ld but it is %04ld."},
    {-3605, "[Event Sub Frame] Invalid outline event code %08lx."},
    {-3606, "[Event Sub Frame] At least %ld key/tempo/meter change event should exist. %ld events are detected."},
    {-3607, "[Event Sub Frame] There is no key change event."},
    {-3608, "[Event Sub Frame] There is no tempo change event."},
    {-3609, "[Event Sub Frame] There is no meter change event."},
    {-11001, "[Main Header] Not specified engine ID."},
    {-11002, "[Main Header] Not specified application ID."},
    {-11003, "[Main Header] Not specified the version number."},
    {-11004, "[Main Header] Version number %04lx could be wrong."},
    {-11005, "[Main Header] Not specified the level value."},
    {-11006, "[Main Header] Level value %04lx could be wrong."},
    {-12001, "[Zone Sub Frame] Specified BPM %ld seems to be too fast or slow."},
    {-12002, "[Zone Sub Frame] Specified meter denominator %ld seems to be wrong."},
    {-12003, "[Zone Sub Frame] Specified meter numerator %ld seems to be wrong."},
    {-12004, "[Zone Sub Frame] Specified bar count %ld could be a wrong value."},
    {-12005, "[Zone Sub Frame] Specified scale %02lx could be a wrong value."},
    {-13001, "[Event Sub Frame] The value %ld could be wrong sample rate value."},
    {-13002, "[Event Sub Frame] The value %ld could be wrong channel count."},
    {-13003, "[Event Sub Frame] The value %ld could be wrong bit/sample count."},
    {-13004, "[Event Sub Frame] Master tune is not 440Hz. (%ld)"},
    {-13005, "[Event Sub Frame] Sample position %ld is more than actual samples %ld"},
    {-13201, "[Event Sub Frame] All of absolute tone number bit is 0.(%08lx)"},
    {-13202, "[Event Sub Frame] Sharp/Flat & chord number are N/A value(%02lx)."},
    {-13203, "[Event Sub Frame] There are too many(%ld) chord events."},
    {-13301, "[Event Sub Frame] There are too many(%ld) melody events."},
    {-13601, "[Event Sub Frame] There are too many(%ld) outline events."},
};

}  // namespace

// Without parameters a text is copied, not used as a format, so each line
// shows the stored text itself, conversions included.
TEST(ErrorText, EveryMessageOfTheTable) {
    for (const Message& m : kMessages) {
        const std::string prefix = (m.code > -10000 ? "ERROR(" : "WARNING(") + std::to_string(m.code) + ") : ";
        const std::string offset = m.code <= -1000 ? "offset ---------- : " : "";
        EXPECT_EQ(format(m.code, -1), prefix + offset + m.text);
    }
}

TEST(ErrorText, DocumentedLines) {
    EXPECT_EQ(format(-3, -1), "ERROR(-3) : Can't open the file.");
    EXPECT_EQ(format(-3034, -1, {0xFFFFFF9C}),
              "ERROR(-3034) : offset ---------- : [Event Sub Frame] Incorrect event body size. The value is "
              "minus(ffffff9c).");
    EXPECT_EQ(format(-11004, 12, {0x1203}),
              "WARNING(-11004) : offset 0x0000000c : [Main Header] Version number 1203 could be wrong.");
    EXPECT_EQ(format(-3, -1, {}, 10), "ERROR(-3)");
    EXPECT_EQ(format(-2021, 56, {1}),
              "ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value.");
}

TEST(ErrorText, PrefixAndOffsetPart) {
    EXPECT_EQ(format(-4, 77), "ERROR(-4) : Can't read metadata file.");  // general: never an offset
    EXPECT_EQ(format(-2, -1), "ERROR(-2) : Too many errors are detected.");
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
    EXPECT_EQ(format(-2002, 26, {1, 0}),
              "ERROR(-2002) : offset 0x0000001a : [Zone Sub Frame] Bad zone number. It should be 0001 but it is "
              "0000.");
    EXPECT_EQ(format(-3604, 26, {1, 65535}),
              "ERROR(-3604) : offset 0x0000001a : [Event Sub Frame] Zone number in the zone event is wrong. it "
              "should be 0001 but it is 65535.");
    EXPECT_EQ(format(-2028, 116, {5, 0x2F, 3}),
              "ERROR(-2028) : offset 0x00000074 : [Zone Sub Frame] Event count 000005 in category 2f is mismatch "
              "the actual event count 00000003.");
    EXPECT_EQ(format(-3102, 1, {0x01600000}),
              "ERROR(-3102) : offset 0x00000001 : [Event Sub Frame] Combination of beat event flag 1600000 is not "
              "applicable.");
    EXPECT_EQ(format(-2020, 1, {120}), "ERROR(-2020) : offset 0x00000001 : [Zone Sub Frame] The BPM 120 is the invalid value.");
    EXPECT_EQ(format(-13202, 1, {0x1F}),
              "WARNING(-13202) : offset 0x00000001 : [Event Sub Frame] Sharp/Flat & chord number are N/A value(1f).");
    // A parameter the text does not use is simply not shown.
    EXPECT_EQ(format(-3032, 1, {0x10001000}), "ERROR(-3032) : offset 0x00000001 : [Event Sub Frame] Reserved field must be 0");
    EXPECT_EQ(format(-3606, 116, {3, 0, 0, 0}),
              "ERROR(-3606) : offset 0x00000074 : [Event Sub Frame] At least 3 key/tempo/meter change event should "
              "exist. 0 events are detected.");
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
