#include "view.h"

#include <fstream>
#include <ostream>
#include <sstream>

#include "check_run.h"
#include "commands.h"
#include "file_io.h"
#include "kvmf_image.h"
#include "path_text.h"
#include "timeline_assets.h"  // generated from web/timeline.{js,css}
#include "view_model.h"

namespace kvel_tool {
namespace {

// Inside <script> only "</" can end the element early; JSON allows "<\/".
std::string scriptSafe(std::string json) {
    for (size_t at = 0; (at = json.find("</", at)) != std::string::npos; at += 3) json.replace(at, 2, "<\\/");
    return json;
}

}  // namespace

std::string base64(std::span<const uint8_t> bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        for (int shift : {18, 12, 6, 0}) out += digits[(v >> shift) & 63];
    }
    if (const size_t rest = bytes.size() - i) {
        const uint32_t v = uint32_t{bytes[i]} << 16 | (rest == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += rest == 2 ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void writeViewPage(std::ostream& out, const nlohmann::ordered_json& model, std::span<const uint8_t> bytes) {
    std::string title;  // the path as the report shows it, escapes and all
    appendMarkup(title, model["check"]["path"].get<std::string>());
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<link rel=\"icon\" href=\"data:,\">\n"
        << "<title>" << title << " - kvel view</title>\n"
        << "<style>\n" << kTimelineCss << "</style>\n</head>\n<body>\n"
        << "<main id=\"kvel-view\" class=\"kvel-page\"></main>\n"
        << "<script id=\"kvel-model\" type=\"application/json\">" << scriptSafe(model.dump()) << "</script>\n"
        << "<script id=\"kvel-bytes\" type=\"text/plain\">" << base64(bytes) << "</script>\n"
        << "<script>\n" << kTimelineJs << "</script>\n"
        << "<script>KvelTimeline.showEmbedded(document.getElementById(\"kvel-view\"));</script>\n"
        << "</body>\n</html>\n";
}

int runView(const ViewCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    const bool isStdin = cmd.path == "-";
    std::string error;
    const auto bytes = isStdin ? readStream(in, error) : readFile(cmd.path, error);
    if (!bytes) {
        err << "kvel: cannot read " << (isStdin ? "standard input" : cmd.path) << ": " << error << '\n';
        return static_cast<int>(ExitStatus::NotLoaded);
    }
    const FileResult check = checkFileImage(isStdin ? "<stdin>" : cmd.path, *bytes, CheckOptions{});
    Image image = parseImage(*bytes);
    const bool stopped = image.stop.has_value();
    const nlohmann::ordered_json model = viewModel(std::move(image), check, bytes->size());

    std::ostringstream page;
    writeViewPage(page, model, *bytes);
    const std::string text = std::move(page).str();
    if (cmd.output == "-") {
        out << text;
        out.flush();
    } else if (!writeFile(cmd.output, std::vector<uint8_t>(text.begin(), text.end()), error)) {
        err << "kvel: cannot write " << cmd.output << ": " << error << '\n';
        return static_cast<int>(ExitStatus::NotLoaded);
    }
    // Like dump: a file that ends before its own fields say is drawn as far
    // as it goes, and the status says it stopped short.
    return static_cast<int>(stopped ? ExitStatus::Failed : ExitStatus::Ok);
}

}  // namespace kvel_tool
