// `kvel view`: what the page embeds must be what the timeline needs to
// draw the file as kvel sees it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "commands.h"
#include "file_io.h"
#include "view.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

struct Page {
    int status = 0;
    std::string html;
};

Page view(const std::string& path) {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = kvel_tool::runView({path, "-"}, in, out, err);
    return {status, out.str()};
}

// The text of the <script id="ID"> element, up to the first "</".
std::string scriptText(const std::string& html, const std::string& id) {
    const std::string open = "<script id=\"" + id + "\" type=\"";
    size_t at = html.find(open);
    if (at == std::string::npos) return {};
    at = html.find('>', at) + 1;
    return html.substr(at, html.find("</", at) - at);
}

ordered_json checkEntry(const std::string& path) {
    std::istringstream in;
    std::ostringstream out, err;
    kvel_tool::CheckCommand cmd;
    cmd.paths = {path};
    cmd.format = kvel_tool::Format::Json;
    cmd.progress = false;
    kvel_tool::runCheck(cmd, in, out, err);
    return ordered_json::parse(out.str())["files"][0];
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::string error;
    return kvel_tool::readFile(path, error).value_or(std::vector<uint8_t>{});
}

}  // namespace

TEST(KvelView, Base64) {
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"\xff\xfe\xfd\xfc", "//79/A=="}, {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes(c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(kvel_tool::base64(bytes), c.text) << c.bytes;
    }
}

// For every example: the check that kvel check gives, every byte of the
// file, and where the events lie (as the dump says) and how many there are.
TEST(KvelView, EmbedsTheCheckTheBytesAndTheEventLayout) {
    const struct {
        const char* file;
        int status;
        uint64_t firstEventOffset, eventCount;
    } cases[] = {
        {"minimal.kvmf", 0, 144, 18},
        {"song.kvmf", 0, 376, 1977},
        {"broken/zone.kvmf", 0, 202, 91},
        {"broken/main-header.kvmf", 0, 202, 91},
        {"unloadable/truncated.bin", 1, 202, 65},
        {"unloadable/zero-body-size.bin", 0, 202, 0},
    };
    for (const auto& c : cases) {
        const std::string path = std::string(KVEL_EXAMPLES_DIR) + "/" + c.file;
        const Page page = view(path);
        EXPECT_EQ(page.status, c.status) << c.file;
        const ordered_json model = ordered_json::parse(scriptText(page.html, "kvel-model"));
        EXPECT_EQ(model["check"], checkEntry(path)) << c.file;
        EXPECT_EQ(scriptText(page.html, "kvel-bytes"), kvel_tool::base64(fileBytes(path))) << c.file;
        EXPECT_EQ(model["layout"]["firstEventOffset"], c.firstEventOffset) << c.file;
        EXPECT_EQ(model["layout"]["eventCount"], c.eventCount) << c.file;
        EXPECT_FALSE(model["image"]["eventSubFrame"].contains("events")) << c.file;
    }
}

// A file too short for any frame is still drawn: a model without frames.
TEST(KvelView, AFileWithoutFramesHasAModelWithoutThem) {
    const fs::path file = fs::temp_directory_path() / "kvel-view-short.kvmf";
    std::ofstream(file, std::ios::binary) << "KVMF";
    const Page page = view(file.string());
    fs::remove(file);
    EXPECT_EQ(page.status, 1);
    const ordered_json model = ordered_json::parse(scriptText(page.html, "kvel-model"));
    EXPECT_EQ(model["check"]["state"], "not-checked");
    EXPECT_FALSE(model["image"].contains("zoneSubFrame"));
    EXPECT_FALSE(model["image"].contains("eventSubFrame"));
    EXPECT_EQ(model["layout"]["eventCount"], 0);
    EXPECT_FALSE(model["layout"].contains("firstEventOffset"));
}

// A path may hold "</script>"; it must not end the model's element early.
TEST(KvelView, APathCannotEndTheModelsScript) {
    const fs::path dir = fs::temp_directory_path() / "kvel-view-a<";
    fs::create_directories(dir);
    fs::copy_file(std::string(KVEL_EXAMPLES_DIR) + "/minimal.kvmf", dir / "script>b.kvmf",
                  fs::copy_options::overwrite_existing);
    const std::string path = (dir / "script>b.kvmf").string();
    const Page page = view(path);
    fs::remove_all(dir);
    const ordered_json model = ordered_json::parse(scriptText(page.html, "kvel-model"));
    EXPECT_EQ(model["check"]["path"], path);
    EXPECT_NE(page.html.find("<title>" + dir.string().substr(0, dir.string().size() - 1) + "&lt;/script&gt;b.kvmf"),
              std::string::npos);
}

// Standard input is drawn with the file's verdict: -1004 compares the total
// frame size with the size of the bytes read.
TEST(KvelView, StandardInputGetsTheFilesVerdict) {
    const std::string path = std::string(KVEL_EXAMPLES_DIR) + "/broken/main-header.kvmf";
    const std::vector<uint8_t> bytes = fileBytes(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::ostringstream out, err;
    EXPECT_EQ(kvel_tool::runView({"-", "-"}, in, out, err), 0);
    ordered_json expected = checkEntry(path);
    expected["path"] = "<stdin>";
    EXPECT_EQ(ordered_json::parse(scriptText(out.str(), "kvel-model"))["check"], expected);
}
