#include "check_run.h"

#include <algorithm>

#include "KVELRead.h"
#include "messages.h"

namespace kvel_tool {

// The reader this checker works on; a reader whose list is full is swapped
// for a fresh one, since only a successful load empties the list and a
// failed open appends behind what is there.
struct FileChecker::State {
    KVEL_READER* reader = KVELCreateReader();
    int threads = 1;
    ~State() { KVELDestroyReader(reader); }

    bool makeRoom() {
        if (reader && KVELReaderGetErrorCount(reader) < KVEL_ERROR_LIST_CAPACITY) return true;
        KVELDestroyReader(reader);
        reader = KVELCreateReader();
        if (reader) KVELReaderSetThreads(reader, threads);
        return reader != nullptr;
    }
};

namespace {

Record readRecord(KVEL_READER* reader, int index, const KVEL_ERROR_RECORD& r) {
    Record out;
    out.code = r.code;
    out.offset = r.offset;
    out.paramCount = std::clamp(r.paramCount, 0, 4);
    out.params[0] = r.param1;
    out.params[1] = r.param2;
    out.params[2] = r.param3;
    out.params[3] = r.param4;
    char line[4096];
    KVELReaderGetErrorString(reader, index, line, sizeof line);
    out.message = line;
    return out;
}

void collect(KVEL_READER* reader, FileResult& file, int from, int to, const CheckOptions& options) {
    for (int i = from; i < to; ++i) {
        KVEL_ERROR_RECORD r{};
        KVELReaderGetErrorRecord(reader, i, &r);
        if (std::binary_search(options.ignore.begin(), options.ignore.end(), r.code)) {
            ++file.ignored;
            continue;
        }
        file.records.push_back(readRecord(reader, i, r));
        // The overflow record stands for the unlisted problems.
        if (r.code == KVEL_ERROR_TOO_MANY_ERRORS && i == KVEL_ERROR_LIST_CAPACITY - 1) continue;
        (isWarning(r.code) ? file.warnings : file.errors)++;
    }
}

// Runs the check on the loaded image; the load left the list empty.
void runCheck(KVEL_READER* reader, FileResult& file, const CheckOptions& options) {
    const int result =
        KVELReaderCheckFormat(reader, options.noWarnings ? 1 : 0, options.allowUserCategories ? 1 : 0);
    const int count = KVELReaderGetErrorCount(reader);
    collect(reader, file, 0, count, options);
    file.result = result;
    int64_t listed = count;
    KVEL_ERROR_RECORD last{};
    if (count == KVEL_ERROR_LIST_CAPACITY && KVELReaderGetErrorRecord(reader, count - 1, &last) == 0 &&
        last.code == KVEL_ERROR_TOO_MANY_ERRORS)
        --listed;
    file.unlisted = std::max<int64_t>(0, -int64_t{result} - listed);
    const bool failing = file.errors > 0 || file.unlisted > 0 || (options.warningsAsErrors && file.warnings > 0);
    file.state = failing ? FileState::Invalid : FileState::Valid;
}

// Checks what a load left: the image when it succeeded, else its records
// (those from `from` on).
void afterLoad(KVEL_READER* reader, FileResult& file, bool loaded, int from, const CheckOptions& options) {
    if (loaded)
        runCheck(reader, file, options);
    else
        collect(reader, file, from, KVELReaderGetErrorCount(reader), options);
    KVELReaderCloseFile(reader);
}

}  // namespace

FileChecker::FileChecker(const CheckOptions& options) : options_(options), state_(std::make_unique<State>()) {}

FileChecker::~FileChecker() = default;

void FileChecker::setThreads(unsigned threads) {
    const int n = static_cast<int>(std::clamp<unsigned>(threads, 1, KVEL_READER_THREADS_MAX));
    if (n == state_->threads) return;
    state_->threads = n;
    if (state_->reader) KVELReaderSetThreads(state_->reader, n);
}

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
    }
    std::optional<std::vector<uint8_t>> image;
    if (input.kind == Input::Kind::Stdin) {
        std::string error;
        image = readStream(in, error, options_.maxSize);
        if (!image) {
            file.reason = "cannot read standard input: " + error;
            return file;
        }
    }
    if (image) return checkBytes(file.path, *image);
    if (!state_->makeRoom()) {
        file.reason = "out of memory";
        return file;
    }
    KVEL_READER* reader = state_->reader;
    KVEL_MAIN_HEADER header;
    const int before = KVELReaderGetErrorCount(reader);
    const bool loaded = KVELReaderOpenFile(reader, input.path.c_str(), &header) == 0;
    // A file that cannot be opened appends behind the old records; a failure
    // after the open empties the list first and leaves only its own.
    const int count = KVELReaderGetErrorCount(reader);
    const int from = count > before ? before : 0;
    KVEL_ERROR_RECORD r{};
    if (!loaded && KVELReaderGetErrorRecord(reader, from, &r) == 0 && r.code == KVEL_ERROR_CANNOT_OPEN)
        file.reason = openError(input.path);
    afterLoad(reader, file, loaded, from, options_);
    return file;
}

FileResult FileChecker::checkBytes(const std::string& path, std::span<const uint8_t> bytes) {
    FileResult file;
    file.path = path;
    if (!state_->makeRoom()) {
        file.reason = "out of memory";
        return file;
    }
    KVEL_READER* reader = state_->reader;
    KVEL_MAIN_HEADER header;
    // The file loader's rules on the bytes: the same records as the path.
    const bool loaded = KVELReaderLoadFileImage(reader, bytes.data(), bytes.size(), &header) == 0;
    afterLoad(reader, file, loaded, 0, options_);
    return file;
}

FileResult checkFileImage(const std::string& path, std::span<const uint8_t> bytes, const CheckOptions& options) {
    FileChecker checker(options);
    return checker.checkBytes(path, bytes);
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
