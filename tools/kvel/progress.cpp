#include "progress.h"

#include <unistd.h>

namespace kvel_tool {

bool stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

Progress::Progress(bool enabled, size_t threshold) : enabled_(enabled), threshold_(threshold) {}

Progress::~Progress() { clear(); }

void Progress::update(size_t done) {
    if (!enabled_ || done < threshold_) return;
    const auto now = std::chrono::steady_clock::now();
    if (last_ != std::chrono::steady_clock::time_point{} && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::fprintf(stderr, "\rkvel: checked %zu files", done);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace kvel_tool
