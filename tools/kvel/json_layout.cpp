#include "json_layout.h"

#include <sstream>
#include <string>

namespace kvel_tool {
namespace {

using Json = nlohmann::ordered_json;

// Paths need not be UTF-8; invalid bytes are shown as U+FFFD rather than
// failing the whole report.
std::string text(const Json& v) { return v.dump(-1, ' ', false, Json::error_handler_t::replace); }

bool isScalarArray(const Json& v) {
    if (!v.is_array()) return false;
    for (const Json& e : v)
        if (e.is_structured()) return false;
    return true;
}

// Fits on one line: a scalar, an array of scalars, or an object whose values
// are scalars or arrays of scalars.
bool isFlat(const Json& v) {
    if (!v.is_structured() || isScalarArray(v)) return true;
    if (!v.is_object()) return false;
    for (const Json& e : v)
        if (e.is_structured() && !isScalarArray(e)) return false;
    return true;
}

// Compact form with a space after each separator: {"bar": 1, "beat": 2}.
void writeLine(std::ostream& out, const Json& v) {
    if (v.is_object()) {
        out << '{';
        bool first = true;
        for (auto it = v.begin(); it != v.end(); ++it) {
            out << (first ? "" : ", ") << text(Json(it.key())) << ": " << text(it.value());
            first = false;
        }
        out << '}';
    } else if (v.is_array()) {
        out << '[';
        for (size_t i = 0; i < v.size(); ++i) out << (i ? ", " : "") << text(v[i]);
        out << ']';
    } else {
        out << text(v);
    }
}

// Long flat objects (a zone record) read better spread over lines.
constexpr size_t kLineWidth = 160;

bool fitsOnLine(const Json& v) {
    if (!isFlat(v)) return false;
    std::ostringstream line;
    writeLine(line, v);
    return line.str().size() <= kLineWidth;
}

void write(std::ostream& out, const Json& v, int depth) {
    const std::string pad(2 * (depth + 1), ' ');
    const std::string closePad(2 * depth, ' ');
    if (v.is_object() && !v.empty()) {
        out << "{\n";
        size_t i = 0;
        for (auto it = v.begin(); it != v.end(); ++it, ++i) {
            out << pad << text(Json(it.key())) << ": ";
            write(out, it.value(), depth + 1);
            out << (i + 1 < v.size() ? ",\n" : "\n");
        }
        out << closePad << '}';
    } else if (v.is_array() && !v.empty() && !isScalarArray(v)) {
        out << "[\n";
        for (size_t i = 0; i < v.size(); ++i) {
            out << pad;
            if (fitsOnLine(v[i]))
                writeLine(out, v[i]);
            else
                write(out, v[i], depth + 1);
            out << (i + 1 < v.size() ? ",\n" : "\n");
        }
        out << closePad << ']';
    } else {
        writeLine(out, v);
    }
}

}  // namespace

void writeJson(std::ostream& out, const nlohmann::ordered_json& value) {
    write(out, value, 0);
    out << '\n';
}

}  // namespace kvel_tool
