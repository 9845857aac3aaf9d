// The kvel binary run as a user runs it: whole outputs and exit statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "kvel_fixture.h"
#include "kvmf_builder.h"

namespace fs = std::filesystem;

namespace {

using kvel_test::KvelTest;
using kvel_test::Result;
using kvel_test::badMeter;
using kvel_test::warningOnly;

std::vector<uint8_t> overflowing() {
    kvmf::Doc d = kvmf::wellFormed();
    d.events.resize(800, kvmf::beatEvent(0, 0, 0));
    return d.bytes();
}

const char* const kBadMeterLine =
    "ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value.";

TEST_F(KvelTest, ExitStatusSaysWhatFailed) {
    write("good.kvmf", kvmf::wellFormed().bytes());
    write("bad.kvmf", badMeter());
    write("warn.kvmf", warningOnly());
    write("short.kvmf", std::vector<uint8_t>(10, 'K'));
    writeText("broken.json", "{\"mainHeader\": ");
    const struct {
        const char* args;
        int status;
    } cases[] = {
        {"check good.kvmf", 0},
        {"check bad.kvmf", 1},
        {"check warn.kvmf", 0},
        {"check --warnings-as-errors warn.kvmf", 1},
        {"check --no-warnings --warnings-as-errors warn.kvmf", 0},
        {"check missing.kvmf", 2},
        {"check bad.kvmf missing.kvmf", 2},
        {"check short.kvmf good.kvmf", 2},
        {"check", 3},
        {"check --format yaml good.kvmf", 3},
        {"frobnicate", 3},
        {"", 3},
        {"dump good.kvmf", 0},
        {"dump short.kvmf", 1},
        {"dump missing.kvmf", 2},
        {"pack missing.json -o out.kvmf", 2},
        {"pack broken.json -o out.kvmf", 2},
        {"pack broken.json", 3},
        {"codes", 0},
        {"--version", 0},
        {"help pack", 0},
        {"help frobnicate", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(kvel(c.args).status, c.status) << "kvel " << c.args;
}

TEST_F(KvelTest, CheckSearchesDirectoriesInOrderAndSkipsOtherFiles) {
    write("songs/b.kvmf", kvmf::wellFormed().bytes());
    write("songs/a/bad.KVMF", badMeter());
    writeText("songs/notes.txt", "not a KVMF file");
    write("songs/a/warn.kvmf", warningOnly());
    const Result r = kvel("check songs");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string("songs/a/bad.KVMF: ") + kBadMeterLine +
                         "\n"
                         "songs/a/warn.kvmf: WARNING(-11004) : offset 0x0000000c : [Main Header] Version number "
                         "1203 could be wrong.\n"
                         "Checked 3 files: 2 valid, 1 invalid, 0 not checked. 1 error, 1 warning.\n");
    EXPECT_EQ(kvel("check --quiet songs").out,
              "Checked 3 files: 2 valid, 1 invalid, 0 not checked. 1 error, 1 warning.\n");
}

// Standard input goes through the file loader: the same records as the path.
TEST_F(KvelTest, StandardInputIsCheckedLikeAFile) {
    kvmf::Doc total = kvmf::wellFormed(), zoneSize = kvmf::wellFormed(), zoneSizeLong = kvmf::wellFormed();
    total.totalFrameSize = 1000;       // invalid only by its size: -1004
    zoneSize.zoneFrameSize = 20;        // the event sub-frame placed inside the zone records
    zoneSizeLong.zoneFrameSize = 4000;  // placed beyond the file's end
    std::vector<uint8_t> cut = kvmf::wellFormed().bytes();
    cut.resize(cut.size() - 15);
    write("total.kvmf", total.bytes());
    write("zone-size.kvmf", zoneSize.bytes());
    write("zone-size-long.kvmf", zoneSizeLong.bytes());
    write("cut.kvmf", cut);
    write("bad.kvmf", badMeter());
    writeText("text.kvmf", "This is plain text, long enough for a header.");
    writeText("short.kvmf", "KVMF");
    for (const char* name : {"total.kvmf", "zone-size.kvmf", "zone-size-long.kvmf", "cut.kvmf", "bad.kvmf",
                             "text.kvmf", "short.kvmf"}) {
        const Result byPath = kvel(std::string("check --format json ") + name);
        const Result byStdin = kvel("check --format json -", name);
        auto viaPath = nlohmann::json::parse(byPath.out)["files"][0];
        auto viaStdin = nlohmann::json::parse(byStdin.out)["files"][0];
        EXPECT_EQ(viaStdin["path"], "<stdin>");
        viaPath.erase("path");
        viaStdin.erase("path");
        EXPECT_EQ(viaStdin, viaPath) << name;
        EXPECT_EQ(byStdin.status, byPath.status) << name;
    }
    EXPECT_EQ(kvel("check -", "bad.kvmf").out,
              std::string("<stdin>: ") + kBadMeterLine +
                  "\nChecked 1 file: 0 valid, 1 invalid, 0 not checked. 1 error, 0 warnings.\n");
}

// A full error list must not swallow the next file's records.
TEST_F(KvelTest, RecordsAfterAFullListBelongToTheirOwnFile) {
    write("many.kvmf", overflowing());
    write("bad.kvmf", badMeter());
    const Result r = kvel("check --format json many.kvmf missing.kvmf -", "bad.kvmf");
    ASSERT_EQ(r.status, 2);
    const auto doc = nlohmann::json::parse(r.out);
    const auto& many = doc["files"][0];
    const int problems = -many["result"].get<int>();
    EXPECT_GT(problems, 1000);
    EXPECT_EQ(many["state"], "invalid");
    EXPECT_EQ(many["records"].size(), 1000u);
    EXPECT_EQ(many["records"][999]["code"], -2);
    EXPECT_EQ(many["counts"], nlohmann::json({{"errors", 999}, {"warnings", 0}, {"unlisted", problems - 999}}));
    EXPECT_EQ(doc["files"][1]["records"][0]["message"], "ERROR(-3) : Can't open the file.");
    EXPECT_EQ(doc["files"][2]["records"], nlohmann::json::parse(R"([{"code": -2021, "severity": "error",
        "offset": 56, "params": [1], "message": ")" + std::string(kBadMeterLine) + "\"}]"));
    EXPECT_EQ(doc["summary"]["unlisted"], problems - 999);
}

TEST_F(KvelTest, JsonReportFollowsItsSchema) {
    kvmf::Doc d = kvmf::wellFormed();
    d.zones[0].bpm = -1.5f;  // a warning whose parameter reads as signed
    d.zones[0].meterDenominator = 1;
    write("bad.kvmf", d.bytes());
    write("good.kvmf", kvmf::wellFormed().bytes());
    const Result r = kvel("check --format json --allow-user-categories good.kvmf bad.kvmf gone.kvmf");
    EXPECT_EQ(r.status, 2);
    const auto expected = nlohmann::json::parse(R"({
      "schemaVersion": 1,
      "tool": {"name": "kvel", "version": "1.1.0"},
      "library": {"version": "1.1.0"},
      "options": {"warnings": true, "allowUserCategories": true, "warningsAsErrors": false},
      "files": [
        {"path": "good.kvmf", "state": "valid", "result": 0,
         "counts": {"errors": 0, "warnings": 0, "unlisted": 0}, "records": []},
        {"path": "bad.kvmf", "state": "invalid", "result": -2,
         "counts": {"errors": 1, "warnings": 1, "unlisted": 0}, "records": [
          {"code": -12001, "severity": "warning", "offset": 52, "params": [-1],
           "message": "WARNING(-12001) : offset 0x00000034 : [Zone Sub Frame] Specified BPM -1 seems to be too fast or slow."},
          {"code": -2021, "severity": "error", "offset": 56, "params": [1],
           "message": "ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value."}]},
        {"path": "gone.kvmf", "state": "not-checked", "result": null,
         "counts": {"errors": 1, "warnings": 0, "unlisted": 0}, "reason": "No such file or directory", "records": [
          {"code": -3, "severity": "error", "offset": null, "params": [], "message": "ERROR(-3) : Can't open the file."}]}
      ],
      "summary": {"files": 3, "valid": 1, "invalid": 1, "notChecked": 1, "errors": 2, "warnings": 1,
                  "unlisted": 0, "exitStatus": 2}
    })");
    EXPECT_EQ(nlohmann::json::parse(r.out), expected);
}

TEST_F(KvelTest, EveryExampleRoundTripsThroughDumpAndPack) {
    int seen = 0;
    for (const auto& entry : fs::recursive_directory_iterator(KVEL_EXAMPLES_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".kvmf" && ext != ".bin") continue;
        ++seen;
        const std::string file = entry.path().string();
        const Result rebuilt = shell("'" KVEL_BINARY "' dump --format json '" + file + "' 2>/dev/null | '" KVEL_BINARY
                                  "' pack - -o - | cmp - '" + file + "'");
        EXPECT_EQ(rebuilt.status, 0) << file << ": " << rebuilt.out;
        const bool truncated = entry.path().filename() == "truncated.bin";
        EXPECT_EQ(kvel("dump '" + file + "'").status, truncated ? 1 : 0) << file;
    }
    EXPECT_GE(seen, 10);
}

TEST_F(KvelTest, HandWrittenJsonPacksIntoAValidFile) {
    const Result r = shell("cd '" + dir_.string() + "' && '" KVEL_BINARY "' pack '" KVEL_EXAMPLES_DIR
                        "/hand-written.json' -o hand.kvmf && '" KVEL_BINARY "' check hand.kvmf");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Checked 1 file: 1 valid, 0 invalid, 0 not checked. 0 errors, 0 warnings.\n");
}

TEST_F(KvelTest, DumpShowsWhereATruncatedFileStops) {
    std::vector<uint8_t> bytes = kvmf::wellFormed().bytes();
    bytes.resize(bytes.size() - 15);  // ends in the middle of record 16
    write("cut.kvmf", bytes);
    const Result r = kvel("dump cut.kvmf");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("     15       150  2.4           154350    0:03.500  beat              -\n"
                         "\nStopped at offset 304: the event body size promises 18 records; "
                         "the file ends inside record 16.\n5 bytes from there on are not shown.\n"),
              std::string::npos)
        << r.out;
}

TEST_F(KvelTest, CodesListsTheLibraryMessageTable) {
    const auto doc = nlohmann::json::parse(kvel("codes --format json").out);
    ASSERT_EQ(doc["messages"].size(), 110u);
    EXPECT_EQ(doc["messages"][0], nlohmann::json::parse(
        R"({"id": 2, "code": -2, "severity": "error", "text": "Too many errors are detected."})"));
    EXPECT_EQ(doc["messages"][109]["severity"], "warning");
    const std::string text = kvel("codes").out;
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "   code  severity  text\n     -2  error     Too many errors are detected.\n");
}

}  // namespace
