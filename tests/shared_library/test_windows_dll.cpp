// KVELRead.dll as a host links it through its import library: the message
// texts are the DLL's own string-table resource, loaded through the module
// handle that its entry point kept.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "KVELRead.h"

namespace {

HMODULE dll() { return GetModuleHandleA("KVELRead.dll"); }

std::string loadString(HMODULE module, int id) {
    char text[2048];
    const int n = LoadStringA(module, static_cast<UINT>(id), text, sizeof text);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

std::string errorLine(int index) {
    char line[4096];
    KVELGetErrorString(index, line, sizeof line);
    return line;
}

}  // namespace

TEST(StringTable, HoldsEveryMessageTextUnchanged) {
    ASSERT_NE(dll(), nullptr);
#define KVEL_MESSAGE(id, text) EXPECT_EQ(loadString(dll(), id), text) << "message " << id;
#include "messages.def"
#undef KVEL_MESSAGE
    // Ids between the table's ids have no text.
    EXPECT_EQ(loadString(dll(), 1), "");
    EXPECT_EQ(loadString(dll(), 2007), "");
}

// The executable carries no table of its own, so a formatted line can only
// have its text from the DLL's resource.
TEST(StringTable, LinesTakeTheirTextFromTheDll) {
    EXPECT_EQ(loadString(GetModuleHandleA(nullptr), 4), "");

    KVELCloseFile();
    KVEL_MAIN_HEADER header;
    const int before = KVELGetErrorCount();
    EXPECT_EQ(KVELReadMainHeader(&header), -1);  // nothing loaded
    ASSERT_EQ(KVELGetErrorCount(), before + 1);
    EXPECT_EQ(errorLine(before), "ERROR(-4) : Can't read metadata file.");
}
