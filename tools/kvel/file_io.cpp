#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
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
    // Read straight into the buffer, which grows by doubling up to the
    // limit; one byte more is only probed for.
    std::vector<uint8_t> bytes;
    size_t held = 0;
    try {
        for (;;) {
            if (held == bytes.size()) {
                if (held == limit) {
                    char probe;
                    if (in.read(&probe, 1) || in.gcount() > 0) {
                        error = "more than " + std::to_string(limit) + " bytes (--max-size)";
                        return std::nullopt;
                    }
                    break;
                }
                bytes.resize(static_cast<size_t>(std::min(limit, std::max<uint64_t>(2 * held, 1 << 16))));
            }
            in.read(reinterpret_cast<char*>(bytes.data() + held), static_cast<std::streamsize>(bytes.size() - held));
            held += static_cast<size_t>(in.gcount());
            if (!in) break;
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory after " + std::to_string(held) + " bytes";
        return std::nullopt;
    }
    if (in.bad()) {
        error = "read error";
        return std::nullopt;
    }
    bytes.resize(held);
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

OutputBuffer::OutputBuffer(std::ostream& stream, int fd)
    : stream_(stream), previous_(stream.rdbuf()), fd_(fd), buffer_(1 << 16) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    stream_.rdbuf(this);
}

OutputBuffer::~OutputBuffer() {
    drain();
    stream_.rdbuf(previous_);
}

bool OutputBuffer::drain() {
    const char* p = pbase();
    while (error_ == 0 && p < pptr()) {
        const auto n = ::write(fd_, p, static_cast<size_t>(pptr() - p));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error_ = n < 0 ? errno : EIO;
        else p += n;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_ == 0;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize OutputBuffer::xsputn(const char* s, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
        if (pptr() == epptr() && !drain()) break;
        const auto room = std::min<std::streamsize>(n - done, epptr() - pptr());
        std::memcpy(pptr(), s + done, static_cast<size_t>(room));
        pbump(static_cast<int>(room));
        done += room;
    }
    return done;
}

int OutputBuffer::sync() { return drain() ? 0 : -1; }

bool reportWritten(std::ostream& out, const OutputBuffer& buffer, std::ostream& err) {
    if (out.flush()) return true;
    err << "kvel: cannot write to standard output"
        << (buffer.error() ? std::string(": ") + std::strerror(buffer.error()) : "") << '\n';
    return false;
}

}  // namespace kvel_tool
