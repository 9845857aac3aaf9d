// `kvel check` for one file: loading and checking it through the library,
// and collecting what the library reported.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "file_io.h"
#include "input_walk.h"

namespace kvel_tool {

struct CheckOptions {
    bool noWarnings = false;
    bool allowUserCategories = false;
    bool warningsAsErrors = false;
    std::vector<int32_t> ignore;          // codes left out of the report and of the state
    uint64_t maxSize = kLargestFileSize;  // standard input beyond this is not checked
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
    std::string path;  // raw bytes as given or found; "<stdin>" for standard input
    FileState state = FileState::NotChecked;
    std::optional<int> result;  // KVELCheckFormat's result, when the check ran
    std::vector<Record> records;
    int errors = 0;       // listed error records
    int warnings = 0;     // listed warning records
    int64_t unlisted = 0; // problems counted beyond the list's 1000 records
    int ignored = 0;      // records left out by --ignore
    std::string reason;   // why a file was not checked, in the system's words where it has them
};

// Checks one file after another with a reader of its own, so that checkers
// on different threads never meet.
class FileChecker {
public:
    explicit FileChecker(const CheckOptions& options);
    ~FileChecker();
    FileChecker(const FileChecker&) = delete;
    FileChecker& operator=(const FileChecker&) = delete;

    // `in` supplies standard input's bytes.
    FileResult check(const Input& input, std::istream& in);
    // The bytes of a whole file, shown as `path`, loaded with the file
    // loader's rules: the same verdict and records as the file's.
    FileResult checkBytes(const std::string& path, std::span<const uint8_t> bytes);

    // The threads the checker's loads and checks may use (1 to start with):
    // a big file is read, converted and walked in parts when other cores
    // are free.
    void setThreads(unsigned threads);

private:
    struct State;
    const CheckOptions& options_;
    std::unique_ptr<State> state_;
};

// FileChecker::checkBytes on a checker of its own, for one file.
FileResult checkFileImage(const std::string& path, std::span<const uint8_t> bytes, const CheckOptions& options);

}  // namespace kvel_tool
