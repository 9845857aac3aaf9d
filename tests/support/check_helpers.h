// Loads builder documents into the library and collects what a check
// appends, as whole formatted lines, so a test compares complete outputs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KVELRead.h"
#include "interface/reader.h"
#include "kvmf_builder.h"

namespace kvtest {

// The reader that the tests' calls reach: the flat API's default reader, or,
// in the build that goes through the reader API, a reader of the tests' own.
KVEL_READER* testReader();

// Appends a crafted record to the test reader's list, as the library would.
inline void appendError(int32_t code, int32_t offset, int32_t paramCount = 0, uint32_t p1 = 0, uint32_t p2 = 0,
                        uint32_t p3 = 0, uint32_t p4 = 0) {
    kvel::appendError(testReader()->errors, code, offset, paramCount, p1, p2, p3, p4);
}

// Replaces the test reader's loader hooks; null members restore the defaults.
void setLoaderHooks(const kvel::FileLoaderHooks& hooks);

struct Outcome {
    int result = 0;
    std::vector<std::string> lines;
};

// KVELGetErrorString of one record, with a buffer far larger than any line.
std::string line(int index);
// The formatted lines of records first .. KVELGetErrorCount() - 1.
std::vector<std::string> linesFrom(int first);

// Closes whatever is loaded and empties the error list.
void resetLibrary();

// A file path private to this process.
std::string tempPath();
// Writes `bytes` to tempPath() and returns that path.
std::string writeTemp(const std::vector<uint8_t>& bytes);

// Resets the library and adopts a copy of `doc` with KVELSetBuffer; the copy
// stays alive until the next call.
std::vector<uint8_t>& loadMemory(const kvmf::Doc& doc);

// Loads `doc` with loadMemory() or with KVELOpenFile, then runs
// KVELCheckFormat once.
Outcome checkMemory(const kvmf::Doc& doc, int suppressWarnings = 0, int allowUserCategories = 0);
Outcome checkFile(const kvmf::Doc& doc, int suppressWarnings = 0, int allowUserCategories = 0);
// Both ways; they must agree. Returns the file's outcome.
Outcome check(const kvmf::Doc& doc, int suppressWarnings = 0, int allowUserCategories = 0);

// The outcome holds exactly `expected`, in order, and the result counts them.
::testing::AssertionResult linesAre(const Outcome& outcome, const std::vector<std::string>& expected);

// One row of a check table: a label, an edit of the base document, and the
// exact lines the check must append, with the check's two options.
struct Row {
    std::string label;
    std::function<void(kvmf::Doc&)> edit;
    std::vector<std::string> lines;
    int suppressWarnings = 0;
    int allowUserCategories = 0;
};

// Checks each row's edit of `base` both ways and compares the whole output.
void expectRows(const kvmf::Doc& base, const std::vector<Row>& rows);

// wellFormed() after `edit`.
kvmf::Doc wellFormedWith(const std::function<void(kvmf::Doc&)>& edit);

// Two 2/4 zones of one bar each, two beats a bar. Zone records at 26 and
// 84, the event sub-frame at 142, event j at file offset 190 + 10 j.
kvmf::Doc twoZones();

// Edits of the event list that keep the zone records pointing at the same
// events: positions at or behind the edited index move by one record.
void insertEvent(kvmf::Doc& doc, size_t index, const kvmf::Event& event);
void eraseEvent(kvmf::Doc& doc, size_t index);

}  // namespace kvtest

#define EXPECT_LINES(outcome, ...) EXPECT_TRUE(::kvtest::linesAre((outcome), __VA_ARGS__))

// The build that runs every behaviour test through the reader API: each
// flat export's name stands for its twin on the test reader.
#ifdef KVEL_TEST_THROUGH_READER
#define KVEL_ON_TEST_READER(name, ...) KVELReader##name(::kvtest::testReader() __VA_OPT__(,) __VA_ARGS__)
#define KVELOpenFile(...) KVEL_ON_TEST_READER(OpenFile, __VA_ARGS__)
#define KVELLoadFileImage(...) KVEL_ON_TEST_READER(LoadFileImage, __VA_ARGS__)
#define KVELOpenFile2(...) KVEL_ON_TEST_READER(OpenFile2, __VA_ARGS__)
#define KVELSetBuffer(...) KVEL_ON_TEST_READER(SetBuffer, __VA_ARGS__)
#define KVELSetBufferWithSize(...) KVEL_ON_TEST_READER(SetBufferWithSize, __VA_ARGS__)
#define KVELCloseFile() KVEL_ON_TEST_READER(CloseFile)
#define KVELCheckFormat(...) KVEL_ON_TEST_READER(CheckFormat, __VA_ARGS__)
#define KVELReadMainHeader(...) KVEL_ON_TEST_READER(ReadMainHeader, __VA_ARGS__)
#define KVELReadEntireFrame(...) KVEL_ON_TEST_READER(ReadEntireFrame, __VA_ARGS__)
#define KVELReadZoneSubFrame(...) KVEL_ON_TEST_READER(ReadZoneSubFrame, __VA_ARGS__)
#define KVELReadEventSubFrame(...) KVEL_ON_TEST_READER(ReadEventSubFrame, __VA_ARGS__)
#define KVELGetBufferSizeForZoneSubFrame() KVEL_ON_TEST_READER(GetBufferSizeForZoneSubFrame)
#define KVELGetBufferSizeForEventSubFrame() KVEL_ON_TEST_READER(GetBufferSizeForEventSubFrame)
#define KVELGetWholeBuffer() KVEL_ON_TEST_READER(GetWholeBuffer)
#define KVELGetZoneSubFrame() KVEL_ON_TEST_READER(GetZoneSubFrame)
#define KVELGetEventSubFrame() KVEL_ON_TEST_READER(GetEventSubFrame)
#define KVELGetFirstEvent() KVEL_ON_TEST_READER(GetFirstEvent)
#define KVELGetErrorCount() KVEL_ON_TEST_READER(GetErrorCount)
#define KVELGetFirstError() KVEL_ON_TEST_READER(GetFirstError)
#define KVELGetNextError() KVEL_ON_TEST_READER(GetNextError)
#define KVELGetErrorRecord(...) KVEL_ON_TEST_READER(GetErrorRecord, __VA_ARGS__)
#define KVELGetErrorString(...) KVEL_ON_TEST_READER(GetErrorString, __VA_ARGS__)
#endif
