// The subcommands, free of argument parsing: main() fills these options.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "check_run.h"

namespace kvel_tool {

enum class Format { Text, Json, Jsonl, Junit };

enum class ExitStatus { Ok = 0, Failed = 1, NotLoaded = 2, Usage = 3 };

struct CheckCommand {
    std::vector<std::string> paths;
    std::string filesFrom;      // a list of further paths; "-" for standard input
    bool nulSeparated = false;  // the list is separated by NUL bytes, not lines
    CheckOptions options;
    Format format = Format::Text;
    bool quiet = false;
    bool progress = true;  // still only at a terminal, for many files
    bool color = false;
    unsigned jobs = 1;
};

// Events from `from` up to but not including `to`.
struct EventRange {
    size_t from = 0, to = SIZE_MAX;
};

struct DumpCommand {
    std::string path;  // "-" for standard input
    Format format = Format::Text;
    EventRange events;  // text only
};

struct PackCommand {
    std::string input;   // JSON, "-" for standard input
    std::string output;  // "-" for standard output
};

// Message codes as --ignore takes them ("-2021" or "2021"), sorted; false
// when one is not a number.
bool parseCodes(const std::vector<std::string>& texts, std::vector<int32_t>& codes);
// "FROM:TO", "FROM:" or ":TO"; false when it is none of them.
bool parseEventRange(const std::string& text, EventRange& range);

// Each returns the process's exit status; reports go to `out`, the tool's
// own diagnostics to `err`.
int runCheck(const CheckCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);
int runCodes(Format format, std::ostream& out);
int runDump(const DumpCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);
int runPack(const PackCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kvel_tool
