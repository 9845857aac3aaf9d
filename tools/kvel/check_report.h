// What `kvel check` prints: each file's records and a summary as text, or
// one JSON document.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "check_run.h"
#include "commands.h"

namespace kvel_tool {

constexpr int kCheckSchemaVersion = 1;

struct CheckTotals {
    int files = 0, valid = 0, invalid = 0, notChecked = 0;
    int64_t errors = 0, warnings = 0, unlisted = 0;
};

class CheckReport {
public:
    CheckReport(std::ostream& out, bool json, bool quiet, const CheckOptions& options);
    void add(const FileResult& file);
    // Something the run could not look at that is not a file, such as an
    // unreadable directory: it fails the run like a file that cannot be read.
    void addUnreadable();
    void finish();
    ExitStatus status() const;
    const CheckTotals& totals() const { return totals_; }

private:
    std::ostream& out_;
    bool json_, quiet_;
    CheckOptions options_;
    CheckTotals totals_;
    bool unreadable_ = false;
    nlohmann::ordered_json files_ = nlohmann::ordered_json::array();
};

nlohmann::ordered_json recordJson(const Record& record);
// One file's entry of the JSON report; `kvel view` and the web page carry it too.
nlohmann::ordered_json fileJson(const FileResult& file);
std::string summaryLine(const CheckTotals& totals);

}  // namespace kvel_tool
