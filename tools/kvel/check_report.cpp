#include "check_report.h"

#include <charconv>
#include <sstream>

#include "KVELRead.h"
#include "messages.h"
#include "path_text.h"

namespace kvel_tool {
namespace {

// The report is built in a string and handed over file by file; these
// append to it without a stream's formatting machinery.
void number(std::string& s, int64_t v) {
    char digits[24];
    s.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
}

void jsonString(std::string& s, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    s += '"';
    size_t run = 0;  // the start of the characters that need no escape
    for (size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u >= 0x20 && u != '"' && u != '\\') continue;
        s.append(text, run, i - run);
        run = i + 1;
        if (u >= 0x20) {
            s += '\\';
            s += static_cast<char>(u);
        } else {
            s += "\\u00";
            s += hex[u >> 4];
            s += hex[u & 0xF];
        }
    }
    s.append(text, run, text.size() - run);
    s += '"';
}

std::string count(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void recordObject(std::string& s, const Record& record) {
    s += "{\"code\": ";
    number(s, record.code);
    s += ", \"severity\": \"";
    s += severityOf(record.code);
    s += "\", \"offset\": ";
    if (record.offset == -1)
        s += "null";
    else
        number(s, record.offset);
    s += ", \"params\": [";
    for (int i = 0; i < record.paramCount; ++i) {
        if (i) s += ", ";
        if (paramIsSigned(-record.code, i))
            number(s, static_cast<int32_t>(record.params[i]));
        else
            number(s, record.params[i]);
    }
    s += "], \"message\": ";
    jsonString(s, record.message);
    s += '}';
}

void toolObject(std::string& s) {
    s += "\"tool\": {\"name\": \"kvel\", \"version\": \"" KVEL_TOOL_VERSION "\"}";
}

// Every JSON Lines object says what wrote it.
void jsonlLineStart(std::string& s) {
    s += "{\"schemaVersion\": ";
    number(s, kCheckSchemaVersion);
    s += ", ";
    toolObject(s);
    s += ", ";
}

// The lines that list a file's records, as the text report has them, but
// without the path in front.
std::string recordLines(const FileResult& file) {
    std::string s;
    for (const Record& r : file.records) s += r.message + '\n';
    if (!file.reason.empty()) s += "not checked: " + file.reason + '\n';
    if (file.unlisted > 0)
        s += std::to_string(-int64_t{*file.result}) + " problems in all; " + std::to_string(file.unlisted) +
             " of them are not listed\n";
    return s;
}

}  // namespace

nlohmann::ordered_json fileJson(const FileResult& file) {
    // Written by the report itself, so that the entry cannot drift from it.
    std::ostringstream out;
    const CheckOptions options{};
    CheckReport report(out, Format::Json, false, false, options);
    report.add(file);
    return nlohmann::ordered_json::parse(out.str());
}

std::string summaryLine(const CheckTotals& t) {
    std::string line = "Checked " + count(t.files, "file", "files") + ": " + std::to_string(t.valid) + " valid, " +
                       std::to_string(t.invalid) + " invalid, " + std::to_string(t.notChecked) + " not checked. " +
                       count(t.errors, "error", "errors") + ", " + count(t.warnings, "warning", "warnings");
    if (t.unlisted > 0) line += ", " + count(t.unlisted, "more problem", "more problems") + " not listed";
    if (t.ignored > 0) line += ", " + count(t.ignored, "record", "records") + " ignored";
    return line + ".";
}

CheckReport::CheckReport(std::ostream& out, Format format, bool quiet, bool color, const CheckOptions& options)
    : out_(out), format_(format), quiet_(quiet), color_(color && format == Format::Text), options_(options) {}

void CheckReport::begin() {
    if (format_ == Format::Json) {
        buf_ += "{\n  \"schemaVersion\": ";
        number(buf_, kCheckSchemaVersion);
        buf_ += ",\n  ";
        toolObject(buf_);
        buf_ += ",\n  \"library\": {\"version\": \"" KVEL_VERSION_STRING "\"},\n  \"options\": {\"warnings\": ";
        buf_ += options_.noWarnings ? "false" : "true";
        buf_ += ", \"allowUserCategories\": ";
        buf_ += options_.allowUserCategories ? "true" : "false";
        buf_ += ", \"warningsAsErrors\": ";
        buf_ += options_.warningsAsErrors ? "true" : "false";
        if (!options_.ignore.empty()) {
            buf_ += ", \"ignore\": [";
            for (size_t i = 0; i < options_.ignore.size(); ++i) {
                if (i) buf_ += ", ";
                number(buf_, options_.ignore[i]);
            }
            buf_ += ']';
        }
        buf_ += "},\n  \"files\": [";
    } else if (format_ == Format::Junit) {
        buf_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"kvel check\">\n"
                "  <testsuite name=\"kvel check\">\n";
    }
}

bool CheckReport::add(const FileResult& file) {
    ++totals_.files;
    switch (file.state) {
        case FileState::Valid: ++totals_.valid; break;
        case FileState::Invalid: ++totals_.invalid; break;
        case FileState::NotChecked: ++totals_.notChecked; break;
    }
    totals_.errors += file.errors;
    totals_.warnings += file.warnings;
    totals_.unlisted += file.unlisted;
    totals_.ignored += file.ignored;
    if (quiet_) return true;
    switch (format_) {
        case Format::Text: text(file); break;
        case Format::Json:
            buf_ += filesWritten_ ? ",\n    {" : "\n    {";
            fileMembers(file, "\n      ");
            buf_ += '}';
            break;
        case Format::Jsonl:
            jsonlLineStart(buf_);
            fileMembers(file, "");
            buf_ += "}\n";
            break;
        case Format::Junit: junitCase(file); break;
    }
    ++filesWritten_;
    return send();
}

void CheckReport::text(const FileResult& file) {
    const std::string path = escapePath(file.path);
    for (const Record& r : file.records) {
        buf_ += path;
        buf_ += ": ";
        const size_t mark = color_ ? r.message.find(')') : std::string::npos;
        if (mark == std::string::npos) {
            buf_ += r.message;
        } else {
            buf_ += isWarning(r.code) ? "\033[33m" : "\033[31m";
            buf_.append(r.message, 0, mark + 1);
            buf_ += "\033[0m";
            buf_.append(r.message, mark + 1);
        }
        buf_ += '\n';
    }
    if (!file.reason.empty()) buf_ += path + ": not checked: " + file.reason + '\n';
    if (file.unlisted > 0)
        buf_ += path + ": " + std::to_string(-int64_t{*file.result}) + " problems in all; " +
                std::to_string(file.unlisted) + " of them are not listed\n";
}

// The members of a file's object, records one to a line after `indent`
// (empty: all on one line).
void CheckReport::fileMembers(const FileResult& file, const char* indent) {
    buf_ += "\"path\": ";
    jsonString(buf_, escapePath(file.path));
    buf_ += ", \"state\": \"";
    buf_ += stateName(file.state);
    buf_ += "\", \"result\": ";
    if (file.result)
        number(buf_, *file.result);
    else
        buf_ += "null";
    buf_ += ", \"counts\": {\"errors\": ";
    number(buf_, file.errors);
    buf_ += ", \"warnings\": ";
    number(buf_, file.warnings);
    buf_ += ", \"unlisted\": ";
    number(buf_, file.unlisted);
    if (!options_.ignore.empty()) {
        buf_ += ", \"ignored\": ";
        number(buf_, file.ignored);
    }
    buf_ += '}';
    if (!file.reason.empty()) {
        buf_ += ", \"reason\": ";
        jsonString(buf_, file.reason);
    }
    buf_ += ", \"records\": [";
    const std::string_view lineStart(indent);
    for (size_t i = 0; i < file.records.size(); ++i) {
        if (i) buf_ += lineStart.empty() ? ", " : ",";
        buf_ += lineStart;
        recordObject(buf_, file.records[i]);
    }
    // The closing bracket lines up with the file's object.
    if (!file.records.empty() && lineStart.size() > 2) buf_ += lineStart.substr(0, lineStart.size() - 2);
    buf_ += ']';
}

void CheckReport::junitCase(const FileResult& file) {
    const std::string path = escapePath(file.path);
    buf_ += "    <testcase classname=\"kvel.check\" name=\"";
    appendMarkup(buf_, path);
    buf_ += "\" file=\"";
    appendMarkup(buf_, path);
    if (file.state == FileState::Valid && file.records.empty()) {
        buf_ += "\"/>\n";
        return;
    }
    buf_ += "\">\n";
    const std::string lines = recordLines(file);
    if (file.state == FileState::Valid) {
        buf_ += "      <system-out>";
        appendMarkup(buf_, lines);
        buf_ += "</system-out>\n";
    } else {
        buf_ += "      <failure type=\"";
        buf_ += stateName(file.state);
        buf_ += "\" message=\"";
        appendMarkup(buf_, file.state == FileState::NotChecked
                          ? "not checked" + (file.reason.empty() ? "" : ": " + file.reason)
                          : count(file.errors, "error", "errors") + ", " + count(file.warnings, "warning", "warnings"));
        buf_ += "\">";
        appendMarkup(buf_, lines);
        buf_ += "</failure>\n";
    }
    buf_ += "    </testcase>\n";
}

void CheckReport::summaryObject() {
    buf_ += "\"summary\": {\"files\": ";
    const std::pair<const char*, int64_t> fields[] = {
        {"valid", totals_.valid},       {"invalid", totals_.invalid},   {"notChecked", totals_.notChecked},
        {"errors", totals_.errors},     {"warnings", totals_.warnings}, {"unlisted", totals_.unlisted},
    };
    number(buf_, totals_.files);
    for (const auto& [name, value] : fields) {
        buf_ += ", \"";
        buf_ += name;
        buf_ += "\": ";
        number(buf_, value);
    }
    if (!options_.ignore.empty()) {
        buf_ += ", \"ignored\": ";
        number(buf_, totals_.ignored);
    }
    buf_ += ", \"exitStatus\": ";
    number(buf_, static_cast<int>(status()));
    buf_ += '}';
}

bool CheckReport::finish() {
    switch (format_) {
        case Format::Text: buf_ += summaryLine(totals_) + '\n'; break;
        case Format::Json:
            buf_ += filesWritten_ ? "\n  ],\n  " : "],\n  ";
            summaryObject();
            buf_ += "\n}\n";
            break;
        case Format::Jsonl:
            jsonlLineStart(buf_);
            summaryObject();
            buf_ += "}\n";
            break;
        case Format::Junit:
            buf_ += "    <system-out>";
            appendMarkup(buf_, summaryLine(totals_));
            buf_ += "</system-out>\n  </testsuite>\n</testsuites>\n";
            break;
    }
    return send();
}

bool CheckReport::send() {
    if (!buf_.empty()) out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    buf_.clear();
    return static_cast<bool>(out_.flush());
}

ExitStatus CheckReport::status() const {
    if (totals_.notChecked > 0) return ExitStatus::NotLoaded;
    if (totals_.invalid > 0) return ExitStatus::Failed;
    return ExitStatus::Ok;
}

}  // namespace kvel_tool
