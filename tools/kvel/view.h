// `kvel view`: one file drawn on a time axis, as a self-contained HTML page
// that fetches nothing: the timeline script and style of web/ are compiled
// in, the model (view_model.h) and the file's bytes are embedded.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

#include <nlohmann/json.hpp>

namespace kvel_tool {

struct ViewCommand {
    std::string path;           // "-" for standard input
    std::string output = "-";   // "-" for standard output
};

void writeViewPage(std::ostream& out, const nlohmann::ordered_json& model, std::span<const uint8_t> bytes);

std::string base64(std::span<const uint8_t> bytes);

int runView(const ViewCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kvel_tool
