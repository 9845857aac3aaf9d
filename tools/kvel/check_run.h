// `kvel check`: finding the files, loading and checking each one through the
// library, and collecting what the library reported.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvel_tool {

struct CheckOptions {
    bool noWarnings = false;
    bool allowUserCategories = false;
    bool warningsAsErrors = false;
};

// One record of the library's error list, with the line it formats to.
struct Record {
    int32_t code = 0;
    int32_t offset = -1;
    int32_t paramCount = 0;
    uint32_t params[4] = {0, 0, 0, 0};
    std::string message;
};

enum class FileState { Valid, Invalid, NotChecked };
const char* stateName(FileState state);

struct FileResult {
    std::string path;  // as shown; "<stdin>" for standard input
    FileState state = FileState::NotChecked;
    std::optional<int> result;  // KVELCheckFormat's result, when the check ran
    std::vector<Record> records;
    int errors = 0;       // listed error records
    int warnings = 0;     // listed warning records
    int64_t unlisted = 0; // problems counted beyond the list's 1000 records
    std::string reason;   // why a file was not checked, when no record says it
};

// A path named on the command line, expanded: a file stays as it is, a
// directory becomes every *.kvmf below it (sorted), "-" is standard input.
struct Input {
    std::string path;
    bool isStdin = false;
};

struct Expansion {
    std::vector<Input> inputs;
    std::vector<std::string> problems;  // unreadable directories and the like
};
Expansion expandPaths(const std::vector<std::string>& paths);

// Checks one input. `stdinBytes` supplies standard input's content.
FileResult checkFile(const Input& input, const CheckOptions& options,
                     const std::function<std::optional<std::vector<uint8_t>>(std::string&)>& readStdin);

// Checks the bytes of a whole file, shown as `path`, with KVELLoadFileImage:
// the same verdict and records as checking a file that holds them.
FileResult checkFileImage(const std::string& path, std::span<const uint8_t> bytes, const CheckOptions& options);

}  // namespace kvel_tool
