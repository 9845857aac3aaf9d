// The subcommands, free of argument parsing: main() fills these options.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "check_run.h"

namespace kvel_tool {

enum class Format { Text, Json };

enum class ExitStatus { Ok = 0, Failed = 1, NotLoaded = 2, Usage = 3 };

struct CheckCommand {
    std::vector<std::string> paths;
    CheckOptions options;
    Format format = Format::Text;
    bool quiet = false;
    bool progress = true;  // still only at a terminal, for many files
};

struct DumpCommand {
    std::string path;  // "-" for standard input
    Format format = Format::Text;
};

struct PackCommand {
    std::string input;   // JSON, "-" for standard input
    std::string output;  // "-" for standard output
};

// Each returns the process's exit status; reports go to `out`, the tool's
// own diagnostics to `err`.
int runCheck(const CheckCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);
int runCodes(Format format, std::ostream& out);
int runDump(const DumpCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);
int runPack(const PackCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kvel_tool
