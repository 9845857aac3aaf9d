// Writes JSON for people as well as programs: indented, but with every
// element of an array that holds no nested containers on one line, so that
// a file's thousands of events stay one line each.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

namespace kvel_tool {

void writeJson(std::ostream& out, const nlohmann::ordered_json& value);

}  // namespace kvel_tool
