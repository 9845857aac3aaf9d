// The error list: the cap with its overflow record, and first/next iteration.
#include "check_helpers.h"

using kvtest::resetLibrary;

namespace {

void failRead(int times) {
    KVEL_MAIN_HEADER header;
    for (int i = 0; i < times; ++i) KVELReadMainHeader(&header);  // nothing loaded: -4
}

KVEL_ERROR_RECORD record(int index) {
    KVEL_ERROR_RECORD r{};
    EXPECT_EQ(KVELGetErrorRecord(index, &r), 0) << index;
    return r;
}

}  // namespace

TEST(ErrorList, OverflowReplacesOnlyTheLastRecord) {
    resetLibrary();
    failRead(1000);
    EXPECT_EQ(KVELGetErrorCount(), 1000);
    EXPECT_EQ(record(999).code, -4);  // exactly full: the last record stays
    failRead(1);
    EXPECT_EQ(KVELGetErrorCount(), 1000);
    EXPECT_EQ(record(998).code, -4);
    const KVEL_ERROR_RECORD last = record(999);
    EXPECT_EQ(last.code, -2);
    EXPECT_EQ(last.offset, -1);
    EXPECT_EQ(last.paramCount, 0);
    EXPECT_EQ(kvtest::line(999), "ERROR(-2) : Too many errors are detected.");
    failRead(1);
    EXPECT_EQ(KVELGetErrorCount(), 1000);
    EXPECT_EQ(record(998).code, -4);
    EXPECT_EQ(record(999).code, -2);
    KVEL_ERROR_RECORD r;
    EXPECT_EQ(KVELGetErrorRecord(1000, &r), -1);
}

TEST(ErrorList, FirstAndNext) {
    resetLibrary();
    EXPECT_EQ(KVELGetFirstError(), 0);
    EXPECT_EQ(KVELGetNextError(), 0);
    // The first-error call moved the cursor to 1 although the list was empty,
    // so a record appended afterwards is not returned by the next call.
    failRead(1);
    EXPECT_EQ(KVELGetNextError(), 0);
    resetLibrary();

    failRead(1);
    EXPECT_EQ(KVELGetFirstError(), -4);
    EXPECT_EQ(KVELGetNextError(), 0);
    EXPECT_EQ(KVELGetNextError(), 0);

    // After an open the cursor starts at record 0 without KVELGetFirstError.
    const std::string path = kvtest::writeTemp(kvmf::wellFormed().bytes());
    KVEL_MAIN_HEADER header;
    ASSERT_EQ(KVELOpenFile(path.c_str(), &header), 0);
    KVELCloseFile();
    KVELOpenFile("/nonexistent/kvel.kvmf", &header);  // -3
    failRead(1);
    EXPECT_EQ(KVELGetNextError(), -3);
    EXPECT_EQ(KVELGetNextError(), -4);
    EXPECT_EQ(KVELGetNextError(), 0);
    EXPECT_EQ(KVELGetNextError(), 0);
    // The cursor is independent of the count: a new record is found next.
    failRead(1);
    EXPECT_EQ(KVELGetNextError(), -4);
    EXPECT_EQ(KVELGetFirstError(), -3);
    EXPECT_EQ(KVELGetNextError(), -4);
    std::remove(path.c_str());
}
