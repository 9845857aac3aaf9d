// Loads builder documents into the library and collects what a check
// appends, as whole formatted lines, so a test compares complete outputs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KVELRead.h"
#include "interface/error_list.h"  // kvel::appendError, for crafted records
#include "kvmf_builder.h"

namespace kvtest {

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
