// The validator page's way into the library. For each file the page hands
// over the bytes and asks for two things: the check, run by the code that
// `kvel check` runs (loaded with KVELLoadFileImage, so the verdict and the
// records are those of a file on disk with these bytes), and the timeline's
// model, built as `kvel view` builds it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <span>
#include <string>

#include "check_report.h"
#include "check_run.h"
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

// The `size` bytes at `bytes`, shown as `shown` in the records. Returns the
// file's entry of `kvel check --format json` as text.
EMSCRIPTEN_KEEPALIVE const char* kvel_web_check(const uint8_t* bytes, size_t size, const char* shown,
                                                int noWarnings, int allowUserCategories) {
    try {
        kvel_tool::CheckOptions options{};
        options.noWarnings = noWarnings != 0;
        options.allowUserCategories = allowUserCategories != 0;
        g_checked = kvel_tool::checkFileImage(shown, std::span(bytes, size), options);
        return answer(kvel_tool::fileJson(g_checked));
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}

// The timeline's model of the same bytes, with the last check's records.
EMSCRIPTEN_KEEPALIVE const char* kvel_web_model(const uint8_t* bytes, size_t size) {
    try {
        return answer(kvel_tool::viewModel(kvel_tool::parseImage(std::span(bytes, size)), g_checked, size));
    } catch (const std::exception& e) {
        return failure(e.what());
    }
}

}  // extern "C"
