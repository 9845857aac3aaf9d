// The validator page's way into the library. The page writes each file it
// is given to the in-memory file system and asks for two things: the check,
// run by the very code that `kvel check` runs on a file on disk (so the page
// and the tool give the same verdict and the same records), and the
// timeline's model, built as `kvel view` builds it.
#include <emscripten/emscripten.h>

#include <exception>
#include <string>

#include "check_report.h"
#include "check_run.h"
#include "file_io.h"
#include "kvmf_image.h"
#include "view_model.h"

namespace {

kvel_tool::FileResult g_checked;  // the last check, for the model that follows it
std::string g_text;               // the last answer, alive until the next call

const char* answer(const nlohmann::ordered_json& j) {
    g_text = j.dump();
    return g_text.c_str();
}

// Nothing a file holds should throw, but the page must get an answer.
const char* failure(const char* what) { return answer({{"error", what}}); }

}  // namespace

extern "C" {

// `path` in the in-memory file system, shown as `shown` in the records.
// Returns the file's entry of `kvel check --format json` as text.
EMSCRIPTEN_KEEPALIVE const char* kvel_web_check(const char* path, const char* shown, int noWarnings,
                                                int allowUserCategories) {
    try {
        const kvel_tool::CheckOptions options{noWarnings != 0, allowUserCategories != 0, false};
        g_checked = kvel_tool::checkFile({path, false}, options, [](std::string& error) {
            error = "no standard input in the page";
            return std::nullopt;
        });
        g_checked.path = shown;
        return answer(kvel_tool::fileJson(g_checked));
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}

// The timeline's model of the file at `path`, with the last check's records.
EMSCRIPTEN_KEEPALIVE const char* kvel_web_model(const char* path) {
    try {
        std::string error;
        const auto bytes = kvel_tool::readFile(path, error);
        if (!bytes) return failure(error.c_str());
        return answer(kvel_tool::viewModel(kvel_tool::parseImage(*bytes), g_checked, bytes->size()));
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}

}  // extern "C"
