#include "check_run.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "KVELRead.h"
#include "messages.h"

namespace fs = std::filesystem;

namespace kvel_tool {
namespace {

constexpr int kListCapacity = 1000;
constexpr int32_t kOverflowCode = -2;

// The path of the last file that opened, used to empty the error list: only
// a successful open does that.
std::string g_lastOpened;

void emptyErrorList() {
    if (KVELGetErrorCount() == 0 || g_lastOpened.empty()) return;
    if (KVELOpenFile2(g_lastOpened.c_str()) == 1) KVELCloseFile();
}

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

void collect(FileResult& file, int from, int to) {
    for (int i = from; i < to; ++i) {
        file.records.push_back(readRecord(i));
        (isWarning(file.records.back().code) ? file.warnings : file.errors)++;
    }
}

// Runs the check on the loaded image; its records are those from `first` on.
void runCheck(FileResult& file, int first, const CheckOptions& options) {
    const int result = KVELCheckFormat(options.noWarnings ? 1 : 0, options.allowUserCategories ? 1 : 0);
    const int count = KVELGetErrorCount();
    collect(file, first, count);
    file.result = result;
    int64_t listed = count - first;
    if (count == kListCapacity && !file.records.empty() && file.records.back().code == kOverflowCode) {
        // The overflow record stands for every problem it displaced.
        --listed;
        --file.errors;
    }
    file.unlisted = std::max<int64_t>(0, -int64_t{result} - listed);
    const bool failing = file.errors > 0 || file.unlisted > 0 || (options.warningsAsErrors && file.warnings > 0);
    file.state = failing ? FileState::Invalid : FileState::Valid;
}

// Loads with `load`, a loader with the file loader's rules (KVELOpenFile or
// KVELLoadFileImage), and checks what it loaded.
template <class Load>
void loadAndCheck(FileResult& file, const CheckOptions& options, Load load) {
    if (KVELGetErrorCount() >= kListCapacity) emptyErrorList();
    const int before = KVELGetErrorCount();
    KVEL_MAIN_HEADER header;
    if (load(header) == 0) {
        runCheck(file, 0, options);
    } else {
        // A failure before the file opened appends behind the old records;
        // one after it empties the list first and leaves only its own.
        const int count = KVELGetErrorCount();
        collect(file, count > before ? before : 0, count);
    }
    KVELCloseFile();
}

void checkPath(FileResult& file, const CheckOptions& options) {
    loadAndCheck(file, options, [&file](KVEL_MAIN_HEADER& header) {
        const int status = KVELOpenFile(file.path.c_str(), &header);
        if (status == 0) g_lastOpened = file.path;
        return status;
    });
}

void checkImage(FileResult& file, std::vector<uint8_t>& image, const CheckOptions& options) {
    emptyErrorList();
    const int before = KVELGetErrorCount();
    KVEL_MAIN_HEADER header;
    if (KVELSetBufferWithSize(image.data(), image.size(), &header) == 0) {
        runCheck(file, before, options);
    } else {
        collect(file, before, KVELGetErrorCount());
        if (file.records.empty()) file.reason = "does not begin with the signature \"KVMF\"";
    }
    KVELCloseFile();
}

bool hasKvmfExtension(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".kvmf";
}

}  // namespace

const char* stateName(FileState state) {
    switch (state) {
        case FileState::Valid: return "valid";
        case FileState::Invalid: return "invalid";
        case FileState::NotChecked: break;
    }
    return "not-checked";
}

Expansion expandPaths(const std::vector<std::string>& paths) {
    Expansion out;
    for (const std::string& path : paths) {
        if (path == "-") {
            out.inputs.push_back({"<stdin>", true});
            continue;
        }
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            out.inputs.push_back({path, false});  // the library reports what is wrong with it
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator it(path, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code fileEc;
            if (it->is_regular_file(fileEc) && hasKvmfExtension(it->path())) found.push_back(it->path().string());
        }
        if (ec) out.problems.push_back("cannot read directory " + path + ": " + ec.message());
        std::sort(found.begin(), found.end());
        for (std::string& f : found) out.inputs.push_back({std::move(f), false});
    }
    return out;
}

FileResult checkFileImage(const std::string& path, std::span<const uint8_t> bytes, const CheckOptions& options) {
    FileResult file;
    file.path = path;
    loadAndCheck(file, options, [bytes](KVEL_MAIN_HEADER& header) {
        return KVELLoadFileImage(bytes.data(), bytes.size(), &header);
    });
    return file;
}

FileResult checkFile(const Input& input, const CheckOptions& options,
                     const std::function<std::optional<std::vector<uint8_t>>(std::string&)>& readStdin) {
    FileResult file;
    file.path = input.path;
    if (!input.isStdin) {
        checkPath(file, options);
        return file;
    }
    std::string error;
    std::optional<std::vector<uint8_t>> image = readStdin(error);
    if (!image) {
        file.reason = "cannot read standard input: " + error;
        return file;
    }
    checkImage(file, *image, options);
    return file;
}

}  // namespace kvel_tool
