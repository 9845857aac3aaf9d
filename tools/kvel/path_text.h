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

// Appends `text` as XML or HTML character data or attribute value: & < > "
// as entities, and the control characters that markup cannot hold (all but
// tab and newline) as '?'.
void appendMarkup(std::string& out, std::string_view text);

}  // namespace kvel_tool
