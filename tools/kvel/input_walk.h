// The files `kvel check` looks at, one at a time and in a fixed order: the
// paths named on the command line, then those read from a list. Memory does
// not grow with the number of files, however many a directory or a list
// holds.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace kvel_tool {

struct Input {
    enum class Kind { File, Stdin, Unreadable };
    std::string path;  // raw bytes, as given or found
    Kind kind = Kind::File;
    std::string reason;  // for Unreadable: the system's reason
};

class InputWalk {
public:
    // `list` (may be null) holds further paths, one a line, or separated by
    // NUL bytes with `nulSeparated`; empty entries are skipped.
    InputWalk(std::vector<std::string> paths, std::istream* list, bool nulSeparated);
    ~InputWalk();

    // The next input; false when there is none left. A directory becomes
    // every *.kvmf (any letter case) below it, in the order of the full
    // paths' bytes. Symbolic links to directories are not followed inside
    // a directory. Below a directory, an entry that cannot be read (a
    // directory that cannot be listed, a *.kvmf link that leads nowhere)
    // comes as Unreadable; other files that are not regular are skipped.
    bool next(Input& input);

    // Called with each directory named by the caller that held no *.kvmf.
    std::function<void(const std::string&)> onEmptyDirectory;

private:
    struct Level;
    bool nextNamed(std::string& path, bool& fromList);
    bool descend(Input& input);

    std::vector<std::string> paths_;
    size_t nextPath_ = 0;
    std::istream* list_;
    char separator_;
    std::vector<std::unique_ptr<Level>> levels_;  // the directories being walked, outermost first
    std::string top_;                             // the named directory being walked
    size_t foundBelowTop_ = 0;
};

}  // namespace kvel_tool
