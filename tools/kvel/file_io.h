// Whole-file reads and writes with errors the tool can report.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
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

// Flushes the report; when that or an earlier write failed, says so on `err`
// and returns false.
bool reportWritten(std::ostream& out, std::ostream& err);
// Says on `err` that standard output could not be written, and why (an
// errno value; 0 when unknown).
void reportWriteError(std::ostream& err, int error);

}  // namespace kvel_tool
