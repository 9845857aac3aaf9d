// Whole-file reads and writes with errors the tool can report.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace kvel_tool {

// The file's bytes, or nullopt with `error` set to a short reason.
std::optional<std::vector<uint8_t>> readFile(const std::string& path, std::string& error);
std::optional<std::vector<uint8_t>> readStream(std::istream& in, std::string& error);

// Writes the bytes to `path` ("-" for standard output); false with `error` set.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace kvel_tool
