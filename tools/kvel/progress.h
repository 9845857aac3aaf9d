// A one-line "checked N of M files" counter on standard error, for runs over
// many files at a terminal. It never touches standard output.
#pragma once

#include <chrono>
#include <cstdio>

namespace kvel_tool {

class Progress {
public:
    // Shows nothing unless `enabled` (stderr is a terminal and the run is
    // large enough to be worth it).
    Progress(bool enabled, size_t total);
    ~Progress();
    void update(size_t done);
    // Erases the line so that other output starts in column 0.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    size_t total_;
    std::chrono::steady_clock::time_point last_{};
};

// Whether standard error is a terminal.
bool stderrIsTerminal();

}  // namespace kvel_tool
