// The JSON form of a KVMF file, as `kvel dump --format json` writes it and
// `kvel pack` reads it. Lossless: every field, reserved and size fields
// included, and every byte beyond the last record. When reading, size,
// count and position fields that are left out are derived from the rest.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "kvmf_image.h"

namespace kvel_tool {

using Json = nlohmann::ordered_json;

inline constexpr int kImageSchemaVersion = 1;

Json imageToJson(const Image& image, const std::string& sourcePath, uint64_t fileSize);

// A document that cannot describe a file; what() names the JSON path.
struct JsonInputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Image imageFromJson(const Json& doc);

std::string toHex(std::span<const uint8_t> bytes);

}  // namespace kvel_tool
