// A one-line "checked N files" counter on standard error, for runs over many
// files at a terminal. It never touches standard output.
#pragma once

#include <chrono>
#include <cstdio>

namespace kvel_tool {

class Progress {
public:
    // Shows nothing unless `enabled` (stderr is a terminal), nor before
    // `threshold` files are done: a short run is over before it matters.
    Progress(bool enabled, size_t threshold);
    ~Progress();
    void update(size_t done);
    // Erases the line so that other output starts in column 0.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    size_t threshold_;
    std::chrono::steady_clock::time_point last_{};
};

// Whether standard error, standard output is a terminal.
bool stderrIsTerminal();
bool stdoutIsTerminal();

}  // namespace kvel_tool
