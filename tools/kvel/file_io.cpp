#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace kvel_tool {

std::optional<std::vector<uint8_t>> readStream(std::istream& in, std::string& error, uint64_t limit) {
    std::vector<uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        const auto n = static_cast<uint64_t>(in.gcount());
        if (bytes.size() + n > limit) {
            error = "more than " + std::to_string(limit) + " bytes (--max-size)";
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    if (in.bad()) {
        error = "read error";
        return std::nullopt;
    }
    return bytes;
}

std::string notRegularReason(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return "";
    return S_ISREG(st.st_mode) ? "" : "not a regular file";
}

std::string openError(const std::string& path) {
    // Non-blocking, so that a FIFO that appeared meanwhile cannot hang us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "";
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_BINARY);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st;
    std::optional<std::vector<uint8_t>> bytes;
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
    } else {
        bytes.emplace(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes->size()) {
            const auto n = ::read(fd, bytes->data() + done, bytes->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        bytes->resize(done);  // a file that shrank meanwhile is read as it is now
    }
    ::close(fd);
    return bytes;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const bool toStdout = path == "-";
    std::FILE* f = toStdout ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (toStdout ? std::fflush(f) : std::fclose(f)) == 0 && ok;
    if (!ok) error = std::strerror(errno);
    return ok;
}

bool reportWritten(std::ostream& out, std::ostream& err) {
    errno = 0;
    if (out.flush()) return true;
    reportWriteError(err, errno);
    return false;
}

void reportWriteError(std::ostream& err, int error) {
    err << "kvel: cannot write to standard output" << (error ? std::string(": ") + std::strerror(error) : "") << '\n';
}

}  // namespace kvel_tool
