#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace kvel_tool {

std::optional<std::vector<uint8_t>> readStream(std::istream& in, std::string& error) {
    std::vector<uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (in.bad()) {
        error = "read error";
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "it is a directory";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    return readStream(in, error);
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

}  // namespace kvel_tool
