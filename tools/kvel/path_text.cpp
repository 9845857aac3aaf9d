#include "path_text.h"

#include <cstdint>

namespace kvel_tool {
namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

bool startsEscape(std::string_view s, size_t i) {
    return i + 3 < s.size() && s[i] == '\\' && s[i + 1] == 'x' && isHex(s[i + 2]) && isHex(s[i + 3]);
}

// Length of the valid UTF-8 sequence at s[i], or 0 (overlong forms,
// surrogates and code points above U+10FFFF are not valid).
size_t utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
    const uint8_t c = b(0);
    size_t n;
    uint32_t min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) n = 2, min = 0x80;
    else if ((c & 0xF0) == 0xE0) n = 3, min = 0x800;
    else if ((c & 0xF8) == 0xF0) n = 4, min = 0x10000;
    else return 0;
    if (i + n > s.size()) return 0;
    uint32_t cp = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void appendHex(std::string& out, uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

}  // namespace

std::string escapePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        const auto c = static_cast<uint8_t>(path[i]);
        const size_t n = utf8Length(path, i);
        if (n == 0 || c < 0x20 || c == 0x7F || startsEscape(path, i)) {
            appendHex(out, c);
            ++i;
        } else {
            out.append(path, i, n);
            i += n;
        }
    }
    return out;
}

std::string unescapePath(std::string_view shown) {
    std::string out;
    out.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (startsEscape(shown, i)) {
            out += static_cast<char>(hexValue(shown[i + 2]) << 4 | hexValue(shown[i + 3]));
            i += 3;
        } else {
            out += shown[i];
        }
    }
    return out;
}

void appendMarkup(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // XML 1.0 allows no other control character; paths are escaped
                // already, so only a message could bring one.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') c = '?';
                out += c;
        }
    }
}

}  // namespace kvel_tool
