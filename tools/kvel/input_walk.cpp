#include "input_walk.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace kvel_tool {
namespace {

// A directory is listed this many entries at a time: each pass over it keeps
// the next entries in order, so a directory of any size takes bounded memory.
constexpr size_t kBatch = 4096;

bool hasKvmfExtension(std::string_view name) {
    if (name.size() < 5) return false;
    const std::string_view ext = name.substr(name.size() - 5);
    return std::equal(ext.begin(), ext.end(), ".kvmf",
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

enum class EntryType : uint8_t { File, Directory, Link };

struct Entry {
    // The name, with a "/" after a directory's: sorting these sorts the full
    // paths, since no name holds a "/".
    std::string key;
    EntryType type = EntryType::File;

    bool operator<(const Entry& other) const { return key < other.key; }
};

// What an entry of a directory being walked is to the walk; false to skip
// it. The types come from the listing itself: no file is looked at here.
bool classify(const fs::directory_entry& e, Entry& out) {
    std::error_code ec;
    const bool link = e.is_symlink(ec);
    std::string name = e.path().filename().string();
    if (!link && e.is_directory(ec)) {
        out = {std::move(name) + "/", EntryType::Directory};
        return true;
    }
    // A link is followed when it is handed out; other files that are not
    // regular are skipped.
    if (!hasKvmfExtension(name) || (!link && !e.is_regular_file(ec))) return false;
    out = {std::move(name), link ? EntryType::Link : EntryType::File};
    return true;
}

}  // namespace

struct InputWalk::Level {
    fs::path dir;
    std::string after;  // the last key handed out; the next pass starts behind it
    bool started = false, complete = false;
    std::vector<Entry> batch;  // a max-heap while filling, then sorted
    size_t pos = 0;
    std::string error;  // why the directory could not be listed (to the end)

    // Lists the next batch of entries in order.
    void fill() {
        batch.clear();
        pos = 0;
        std::error_code ec;
        bool beyond = false;  // entries after `after` that the batch had no room for
        Entry entry;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (!classify(*it, entry) || (started && !(after < entry.key))) continue;
            if (batch.size() < kBatch) {
                batch.push_back(std::move(entry));
                std::push_heap(batch.begin(), batch.end());
            } else {
                beyond = true;
                if (entry < batch.front()) {
                    std::pop_heap(batch.begin(), batch.end());
                    batch.back() = std::move(entry);
                    std::push_heap(batch.begin(), batch.end());
                }
            }
        }
        if (ec) error = ec.message();
        std::sort_heap(batch.begin(), batch.end());
        complete = !beyond || !error.empty();
        started = true;
        if (!batch.empty()) after = batch.back().key;
    }
};

InputWalk::InputWalk(std::vector<std::string> paths, std::istream* list, bool nulSeparated)
    : paths_(std::move(paths)), list_(list), separator_(nulSeparated ? '\0' : '\n') {}

InputWalk::~InputWalk() = default;

bool InputWalk::nextNamed(std::string& path, bool& fromList) {
    fromList = nextPath_ == paths_.size();
    if (!fromList) {
        path = paths_[nextPath_++];
        return true;
    }
    while (list_ && std::getline(*list_, path, separator_)) {
        if (separator_ == '\n' && !path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) return true;
    }
    return false;
}

// The next input below the directories being walked, if any.
bool InputWalk::descend(Input& input) {
    while (!levels_.empty()) {
        Level& level = *levels_.back();
        if (level.pos == level.batch.size()) {
            if (!level.started || !level.complete) level.fill();
            if (level.pos == level.batch.size()) {
                std::string error = std::move(level.error);
                const fs::path dir = level.dir;
                const bool top = levels_.size() == 1;
                levels_.pop_back();
                if (!error.empty()) {
                    // Reported where it lies; the walk goes on with the rest.
                    ++foundBelowTop_;
                    input = {dir.string(), Input::Kind::Unreadable, std::move(error)};
                    return true;
                }
                if (top && foundBelowTop_ == 0 && onEmptyDirectory) onEmptyDirectory(top_);
                continue;
            }
        }
        const Entry& entry = level.batch[level.pos++];
        const bool isDirectory = entry.type == EntryType::Directory;
        fs::path path = level.dir / (isDirectory ? entry.key.substr(0, entry.key.size() - 1) : entry.key);
        if (isDirectory) {
            auto sub = std::make_unique<Level>();
            sub->dir = std::move(path);
            levels_.push_back(std::move(sub));
            continue;
        }
        input = {path.string(), Input::Kind::File, {}};
        if (entry.type == EntryType::Link) {
            std::error_code ec;
            const fs::file_status target = fs::status(path, ec);
            if (ec) {
                input.kind = Input::Kind::Unreadable;
                input.reason = ec.message();
            } else if (!fs::is_regular_file(target)) {
                continue;
            }
        }
        ++foundBelowTop_;
        return true;
    }
    return false;
}

bool InputWalk::next(Input& input) {
    if (descend(input)) return true;
    std::string path;
    bool fromList = false;
    while (nextNamed(path, fromList)) {
        std::error_code ec;
        if (path == "-" && !fromList) {
            input = {"-", Input::Kind::Stdin, {}};
            return true;
        }
        if (!fs::is_directory(path, ec)) {
            input = {path, Input::Kind::File, {}};  // the check says what is wrong with it
            return true;
        }
        top_ = path;
        foundBelowTop_ = 0;
        auto level = std::make_unique<Level>();
        level->dir = path;
        levels_.push_back(std::move(level));
        if (descend(input)) return true;
    }
    return false;
}

}  // namespace kvel_tool
