#include "platform/read_at.h"

#include <cerrno>
#include <climits>

#include <unistd.h>

namespace kvel {

size_t readAt(std::FILE* file, void* dest, size_t size, uint64_t offset) {
    const int fd = fileno(file);
    size_t got = 0;
    while (got < size) {
        // One call reads at most about 2 GiB on Linux; ask for no more than
        // ssize_t can report.
        const size_t want = size - got < SSIZE_MAX ? size - got : SSIZE_MAX;
        const ssize_t n = pread(fd, static_cast<char*>(dest) + got, want, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

}  // namespace kvel
