#include "check_report.h"

#include "KVELRead.h"
#include "json_layout.h"
#include "messages.h"

namespace kvel_tool {
namespace {

std::string count(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

nlohmann::ordered_json recordJson(const Record& record) {
    nlohmann::ordered_json params = nlohmann::ordered_json::array();
    for (int i = 0; i < record.paramCount; ++i) {
        if (paramIsSigned(-record.code, i))
            params.push_back(static_cast<int32_t>(record.params[i]));
        else
            params.push_back(record.params[i]);
    }
    nlohmann::ordered_json j;
    j["code"] = record.code;
    j["severity"] = severityOf(record.code);
    j["offset"] = record.offset == -1 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(record.offset);
    j["params"] = std::move(params);
    j["message"] = record.message;
    return j;
}

std::string summaryLine(const CheckTotals& t) {
    std::string line = "Checked " + count(t.files, "file", "files") + ": " + std::to_string(t.valid) + " valid, " +
                       std::to_string(t.invalid) + " invalid, " + std::to_string(t.notChecked) + " not checked. " +
                       count(t.errors, "error", "errors") + ", " + count(t.warnings, "warning", "warnings");
    if (t.unlisted > 0) line += ", " + count(t.unlisted, "more problem", "more problems") + " not listed";
    return line + ".";
}

CheckReport::CheckReport(std::ostream& out, bool json, bool quiet, const CheckOptions& options)
    : out_(out), json_(json), quiet_(quiet), options_(options) {}

void CheckReport::add(const FileResult& file) {
    ++totals_.files;
    switch (file.state) {
        case FileState::Valid: ++totals_.valid; break;
        case FileState::Invalid: ++totals_.invalid; break;
        case FileState::NotChecked: ++totals_.notChecked; break;
    }
    totals_.errors += file.errors;
    totals_.warnings += file.warnings;
    totals_.unlisted += file.unlisted;

    if (json_) {
        nlohmann::ordered_json j;
        j["path"] = file.path;
        j["state"] = stateName(file.state);
        j["result"] = file.result ? nlohmann::ordered_json(*file.result) : nlohmann::ordered_json(nullptr);
        j["counts"] = {{"errors", file.errors}, {"warnings", file.warnings}, {"unlisted", file.unlisted}};
        if (!file.reason.empty()) j["reason"] = file.reason;
        j["records"] = nlohmann::ordered_json::array();
        for (const Record& r : file.records) j["records"].push_back(recordJson(r));
        files_.push_back(std::move(j));
        return;
    }
    if (quiet_) return;
    for (const Record& r : file.records) out_ << file.path << ": " << r.message << '\n';
    if (!file.reason.empty()) out_ << file.path << ": not checked: " << file.reason << '\n';
    if (file.unlisted > 0)
        out_ << file.path << ": " << -int64_t{*file.result} << " problems in all; "
             << file.unlisted << " of them are not listed\n";
}

void CheckReport::addUnreadable() { unreadable_ = true; }

void CheckReport::finish() {
    if (!json_) {
        out_ << summaryLine(totals_) << '\n';
        out_.flush();
        return;
    }
    nlohmann::ordered_json doc;
    doc["schemaVersion"] = kCheckSchemaVersion;
    doc["tool"] = {{"name", "kvel"}, {"version", KVEL_TOOL_VERSION}};
    doc["library"] = {{"version", KVEL_VERSION_STRING}};
    doc["options"] = {{"warnings", !options_.noWarnings},
                      {"allowUserCategories", options_.allowUserCategories},
                      {"warningsAsErrors", options_.warningsAsErrors}};
    doc["files"] = quiet_ ? nlohmann::ordered_json::array() : std::move(files_);
    doc["summary"] = {{"files", totals_.files},       {"valid", totals_.valid},
                      {"invalid", totals_.invalid},   {"notChecked", totals_.notChecked},
                      {"errors", totals_.errors},     {"warnings", totals_.warnings},
                      {"unlisted", totals_.unlisted}, {"exitStatus", static_cast<int>(status())}};
    writeJson(out_, doc);
    out_.flush();
}

ExitStatus CheckReport::status() const {
    if (totals_.notChecked > 0 || unreadable_) return ExitStatus::NotLoaded;
    if (totals_.invalid > 0) return ExitStatus::Failed;
    return ExitStatus::Ok;
}

}  // namespace kvel_tool
