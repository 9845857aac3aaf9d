// What `kvel check` prints, file by file as each is done: text, one JSON
// document, JSON Lines or JUnit XML. Every format is written from the same
// stream of per-file results, and nothing of a file is kept once it is
// written, so memory does not grow with the number of files.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "check_run.h"
#include "commands.h"

namespace kvel_tool {

constexpr int kCheckSchemaVersion = 1;

struct CheckTotals {
    int64_t files = 0, valid = 0, invalid = 0, notChecked = 0;
    int64_t errors = 0, warnings = 0, unlisted = 0, ignored = 0;
};

class CheckReport {
public:
    // `color`: mark ERROR and WARNING with terminal colours (text only).
    CheckReport(std::ostream& out, Format format, bool quiet, bool color, const CheckOptions& options);
    // Writes what comes before the first file.
    void begin();
    // Writes the file's part and hands it to `out`; false once a write failed.
    bool add(const FileResult& file);
    // Writes the summary; false when a write failed.
    bool finish();
    ExitStatus status() const;
    const CheckTotals& totals() const { return totals_; }

private:
    void text(const FileResult& file);
    void fileMembers(const FileResult& file, const char* indent);
    void junitCase(const FileResult& file);
    void summaryObject();
    bool send();

    std::ostream& out_;
    Format format_;
    bool quiet_, color_;
    const CheckOptions& options_;
    CheckTotals totals_;
    std::string buf_;
    size_t filesWritten_ = 0;
};

std::string summaryLine(const CheckTotals& totals);

}  // namespace kvel_tool
