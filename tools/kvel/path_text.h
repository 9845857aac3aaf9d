// How a path is shown in every report: distinct names stay distinct, and the
// name can be recovered byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace kvel_tool {

// Bytes that are not part of valid UTF-8 and control characters (0x00 to
// 0x1f, 0x7f) become \xNN (two lower-case hex digits); a backslash that is
// followed by "x" and two hex digits becomes \x5c, so that every \xNN in
// the result is an escape. Everything else, other backslashes included,
// stays as it is. The result is valid UTF-8 and holds no control character.
std::string escapePath(std::string_view path);

// The inverse: every \xNN becomes the byte NN.
std::string unescapePath(std::string_view shown);

}  // namespace kvel_tool
