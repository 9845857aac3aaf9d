#include "input_walk.h"

#include <algorithm>
#include <queue>
#include <system_error>

namespace fs = std::filesystem;

namespace kvel_tool {
namespace {

// A directory is listed this many entries at a time: each pass over it keeps
// the next entries in order, so a directory of any size takes bounded memory.
constexpr size_t kBatch = 2048;

bool hasKvmfExtension(const std::string& name) {
    if (name.size() < 5) return false;
    std::string ext = name.substr(name.size() - 5);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".kvmf";
}

struct Entry {
    // The name, with a "/" after a directory's: sorting these sorts the full
    // paths, since no name holds a "/".
    std::string key;
    Input::Kind kind = Input::Kind::File;
    bool isDirectory = false;
    std::string reason;

    bool operator<(const Entry& other) const { return key < other.key; }
};

// What an entry of a directory being walked is to the walk; false to skip it.
bool classify(const fs::directory_entry& e, Entry& out) {
    std::error_code ec;
    const fs::file_status own = e.symlink_status(ec);
    const std::string name = e.path().filename().string();
    if (!ec && fs::is_directory(own)) {
        out = {name + "/", Input::Kind::File, true, {}};
        return true;
    }
    if (!hasKvmfExtension(name)) return false;
    out = {name, Input::Kind::File, false, {}};
    if (!ec && fs::is_regular_file(own)) return true;
    if (!ec && !fs::is_symlink(own)) return false;
    const fs::file_status target = e.status(ec);
    if (ec) {
        out.kind = Input::Kind::Unreadable;
        out.reason = ec.message();
        return true;
    }
    return fs::is_regular_file(target);
}

}  // namespace

struct InputWalk::Level {
    fs::path dir;
    std::string after;  // the last key handed out; the next pass starts behind it
    bool started = false, complete = false;
    std::vector<Entry> batch;
    size_t pos = 0;
    std::string error;  // why the directory could not be listed (to the end)

    // Lists the next batch of entries in order.
    void fill() {
        std::priority_queue<Entry> kept;  // the largest on top
        std::error_code ec;
        size_t beyond = 0;  // entries after `after` that the batch had no room for
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            Entry entry;
            if (!classify(*it, entry) || (started && !(after < entry.key))) continue;
            if (kept.size() < kBatch) {
                kept.push(std::move(entry));
            } else {
                ++beyond;
                if (entry < kept.top()) {
                    kept.pop();
                    kept.push(std::move(entry));
                }
            }
        }
        if (ec) error = ec.message();
        batch.clear();
        pos = 0;
        while (!kept.empty()) {
            batch.push_back(kept.top());
            kept.pop();
        }
        std::reverse(batch.begin(), batch.end());
        complete = beyond == 0 || !error.empty();
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
        Entry& entry = level.batch[level.pos++];
        std::string name = entry.key;
        if (entry.isDirectory) name.pop_back();
        fs::path path = level.dir / name;
        if (entry.isDirectory) {
            auto sub = std::make_unique<Level>();
            sub->dir = std::move(path);
            levels_.push_back(std::move(sub));
            continue;
        }
        ++foundBelowTop_;
        input = {path.string(), entry.kind, std::move(entry.reason)};
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
