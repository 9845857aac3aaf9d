// Whole-file reads and writes with errors the tool can report.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

namespace kvel_tool {

// The largest file the format can describe: the main header and a
// totalFrameSize of 2^32 - 1.
inline constexpr uint64_t kLargestFileSize = 20 + uint64_t{0xFFFFFFFF};

// The file's bytes, or nullopt with `error` set to a short reason. Anything
// but a regular file is refused before it is read, so that a FIFO or a
// device can neither block nor feed the tool without end.
std::optional<std::vector<uint8_t>> readFile(const std::string& path, std::string& error);
// Reads in chunks; more than `limit` bytes is refused without keeping them.
std::optional<std::vector<uint8_t>> readStream(std::istream& in, std::string& error,
                                               uint64_t limit = kLargestFileSize);

// Why `path` is not a file to read: "not a regular file" for a FIFO, socket,
// device or directory; empty for a regular file and for a path that cannot
// be looked at (opening it tells why, see openError).
std::string notRegularReason(const std::string& path);
// The system's reason why `path` cannot be opened for reading, or empty
// when it can.
std::string openError(const std::string& path);

// Writes the bytes to `path` ("-" for standard output); false with `error` set.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Standard output's buffer, written with write(2) so that the reason of a
// failed write is kept: a stream forgets it. After a failure nothing more is
// written and the stream fails, so that every writer stops at once.
class OutputBuffer : public std::streambuf {
public:
    // Becomes `stream`'s buffer, writing to `fd`, until it is destroyed.
    OutputBuffer(std::ostream& stream, int fd);
    ~OutputBuffer() override;
    // The errno of the first write that failed, or 0.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool drain();
    std::ostream& stream_;
    std::streambuf* previous_;
    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

// Flushes the report; when that or an earlier write failed, says so on `err`
// with the reason `buffer` kept, and returns false.
bool reportWritten(std::ostream& out, const OutputBuffer& buffer, std::ostream& err);

}  // namespace kvel_tool
