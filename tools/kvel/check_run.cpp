#include "check_run.h"

#include <algorithm>

#include "KVELRead.h"
#include "messages.h"

namespace kvel_tool {
namespace {

constexpr int kListCapacity = 1000;
constexpr int32_t kOverflowCode = -2;
constexpr int32_t kCannotOpenCode = -3;

}  // namespace

// The library state this checker works on.
struct FileChecker::State {
    // The path of the last file that opened, used to empty the error list:
    // only a successful open does that.
    std::string lastOpened;

    void emptyErrorList() {
        if (KVELGetErrorCount() == 0 || lastOpened.empty()) return;
        if (KVELOpenFile2(lastOpened.c_str()) == 1) KVELCloseFile();
    }
};

namespace {

Record readRecord(int index) {
    KVEL_ERROR_RECORD r{};
    KVELGetErrorRecord(index, &r);
    Record out;
    out.code = r.code;
    out.offset = r.offset;
    out.paramCount = std::clamp(r.paramCount, 0, 4);
    out.params[0] = r.param1;
    out.params[1] = r.param2;
    out.params[2] = r.param3;
    out.params[3] = r.param4;
    char line[4096];
    KVELGetErrorString(index, line, sizeof line);
    out.message = line;
    return out;
}

void collect(FileResult& file, int from, int to, const CheckOptions& options) {
    for (int i = from; i < to; ++i) {
        KVEL_ERROR_RECORD r{};
        KVELGetErrorRecord(i, &r);
        if (std::binary_search(options.ignore.begin(), options.ignore.end(), r.code)) {
            ++file.ignored;
            continue;
        }
        file.records.push_back(readRecord(i));
        if (r.code == kOverflowCode && i == kListCapacity - 1) continue;  // it stands for the unlisted ones
        (isWarning(r.code) ? file.warnings : file.errors)++;
    }
}

// Runs the check on the loaded image; its records are those from `first` on.
void runCheck(FileResult& file, int first, const CheckOptions& options) {
    const int result = KVELCheckFormat(options.noWarnings ? 1 : 0, options.allowUserCategories ? 1 : 0);
    const int count = KVELGetErrorCount();
    collect(file, first, count, options);
    file.result = result;
    int64_t listed = count - first;
    KVEL_ERROR_RECORD last{};
    if (count == kListCapacity && KVELGetErrorRecord(count - 1, &last) == 0 && last.code == kOverflowCode) --listed;
    file.unlisted = std::max<int64_t>(0, -int64_t{result} - listed);
    const bool failing = file.errors > 0 || file.unlisted > 0 || (options.warningsAsErrors && file.warnings > 0);
    file.state = failing ? FileState::Invalid : FileState::Valid;
}

}  // namespace

FileChecker::FileChecker(const CheckOptions& options) : options_(options), state_(std::make_unique<State>()) {}

FileChecker::~FileChecker() = default;

FileResult FileChecker::check(const Input& input, std::istream& in) {
    FileResult file;
    file.path = input.kind == Input::Kind::Stdin ? "<stdin>" : input.path;
    if (input.kind == Input::Kind::Unreadable) {
        file.reason = input.reason;
        return file;
    }
    if (input.kind == Input::Kind::File) {
        // Only a regular file is opened: a FIFO or a device would block the
        // open or never end.
        file.reason = notRegularReason(input.path);
        if (!file.reason.empty()) return file;
        if (KVELGetErrorCount() >= kListCapacity) state_->emptyErrorList();
        const int before = KVELGetErrorCount();
        KVEL_MAIN_HEADER header;
        if (KVELOpenFile(input.path.c_str(), &header) == 0) {
            state_->lastOpened = input.path;
            runCheck(file, 0, options_);
        } else {
            // A failure before the file opened appends behind the old records;
            // one after it empties the list first and leaves only its own.
            const int count = KVELGetErrorCount();
            const int from = count > before ? before : 0;
            KVEL_ERROR_RECORD r{};
            if (KVELGetErrorRecord(from, &r) == 0 && r.code == kCannotOpenCode) file.reason = openError(input.path);
            collect(file, from, count, options_);
        }
        KVELCloseFile();
        return file;
    }
    std::string error;
    std::optional<std::vector<uint8_t>> image = readStream(in, error, options_.maxSize);
    if (!image) {
        file.reason = "cannot read standard input: " + error;
        return file;
    }
    state_->emptyErrorList();
    const int before = KVELGetErrorCount();
    KVEL_MAIN_HEADER header;
    if (KVELSetBufferWithSize(image->data(), image->size(), &header) == 0) {
        runCheck(file, before, options_);
    } else {
        collect(file, before, KVELGetErrorCount(), options_);
        if (file.records.empty()) file.reason = "does not begin with the signature \"KVMF\"";
    }
    KVELCloseFile();
    return file;
}

const char* stateName(FileState state) {
    switch (state) {
        case FileState::Valid: return "valid";
        case FileState::Invalid: return "invalid";
        case FileState::NotChecked: break;
    }
    return "not-checked";
}

}  // namespace kvel_tool
