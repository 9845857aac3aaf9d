// kvel check over many files: special files, unreadable entries, endless
// input, failing output, odd names, and the report formats for machines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "kvel_fixture.h"
#include "kvmf_builder.h"
#include "path_text.h"

namespace fs = std::filesystem;

namespace {

using kvel_test::KvelTest;
using kvel_test::Result;
using kvel_test::badMeter;
using kvel_test::manyEvents;
using kvel_test::warningOnly;

const std::string kBadMeterLine =
    "ERROR(-2021) : offset 0x00000038 : [Zone Sub Frame] The meter denominator 1 is the invalid value.";
const std::string kWarningLine = "WARNING(-11004) : offset 0x0000000c : [Main Header] Version number 1203 could be wrong.";

std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

// A FIFO or a device would block the open or never end: refused by type.
TEST_F(KvelTest, FilesThatAreNotRegularAreRefusedByType) {
    ASSERT_EQ(::mkfifo((dir_ / "fifo.kvmf").c_str(), 0644), 0);
    write("songs/good.kvmf", kvmf::wellFormed().bytes());
    ASSERT_EQ(::mkfifo((dir_ / "songs/pipe.kvmf").c_str(), 0644), 0);
    const struct {
        const char* args;
        int status;
        std::string out;
    } cases[] = {
        {"check fifo.kvmf", 2,
         "fifo.kvmf: not checked: not a regular file\n"
         "Checked 1 file: 0 valid, 0 invalid, 1 not checked. 0 errors, 0 warnings.\n"},
        {"check /dev/zero", 2,
         "/dev/zero: not checked: not a regular file\n"
         "Checked 1 file: 0 valid, 0 invalid, 1 not checked. 0 errors, 0 warnings.\n"},
        {"check songs", 0, "Checked 1 file: 1 valid, 0 invalid, 0 not checked. 0 errors, 0 warnings.\n"},
        {"dump fifo.kvmf", 2, ""},
        {"dump /dev/zero", 2, ""},
    };
    for (const auto& c : cases) {
        const Result r = script("timeout 20 $K " + std::string(c.args) + " 2>/dev/null");
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, c.out) << c.args;
    }
}

TEST_F(KvelTest, StandardInputBeyondTheLimitIsNotChecked) {
    Result r = script("timeout 20 $K check --max-size 100000 - </dev/zero 2>/dev/null");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "<stdin>: not checked: cannot read standard input: more than 100000 bytes (--max-size)\n"
              "Checked 1 file: 0 valid, 0 invalid, 1 not checked. 0 errors, 0 warnings.\n");
    r = script("timeout 20 $K check --format json --max-size 100000 - </dev/zero 2>/dev/null");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(nlohmann::json::parse(r.out)["files"][0]["state"], "not-checked");
    // Exactly the limit is still read.
    write("good.kvmf", kvmf::wellFormed().bytes());
    const auto size = std::to_string(fs::file_size(dir_ / "good.kvmf"));
    EXPECT_EQ(script("$K check --max-size " + size + " - <good.kvmf").status, 0);
}

// Each entry that cannot be read is reported where it lies, with the
// system's reason, and the walk goes on past it.
TEST_F(KvelTest, UnreadableEntriesAreReportedAndTheWalkGoesOn) {
    write("tree/a.kvmf", kvmf::wellFormed().bytes());
    fs::create_symlink("nowhere.kvmf", dir_ / "tree/b-dangling.kvmf");
    write("tree/c-locked/x.kvmf", kvmf::wellFormed().bytes());
    fs::create_symlink("d-loop.kvmf", dir_ / "tree/d-loop.kvmf");
    write("tree/e-unopenable.kvmf", kvmf::wellFormed().bytes());
    write("tree/f/z.kvmf", badMeter());
    fs::create_symlink("nowhere", dir_ / "tree/g-dangling.txt");  // not a *.kvmf: skipped
    if (script(unprivileged() + "$K --version >/dev/null 2>&1").status != 0)
        GTEST_SKIP() << "kvel cannot run as an unprivileged user from where it was built";
    fs::permissions(dir_ / "tree/c-locked", fs::perms::none);
    fs::permissions(dir_ / "tree/e-unopenable.kvmf", fs::perms::none);
    const Result r = script(unprivileged() + "$K check tree 2>/dev/null");
    fs::permissions(dir_ / "tree/c-locked", fs::perms::owner_all);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "tree/b-dangling.kvmf: not checked: No such file or directory\n"
              "tree/c-locked: not checked: Permission denied\n"
              "tree/d-loop.kvmf: not checked: Too many levels of symbolic links\n"
              "tree/e-unopenable.kvmf: ERROR(-3) : Can't open the file.\n"
              "tree/e-unopenable.kvmf: not checked: Permission denied\n"
              "tree/f/z.kvmf: " + kBadMeterLine + "\n"
              "Checked 6 files: 1 valid, 1 invalid, 4 not checked. 2 errors, 0 warnings.\n");
}

TEST_F(KvelTest, AFailedWriteEndsTheRunWithStatus2) {
    write("good.kvmf", kvmf::wellFormed().bytes());
    write("many.kvmf", manyEvents(20000));
    ASSERT_EQ(script("$K dump --format json good.kvmf >good.json").status, 0);
    const std::string full = "kvel: cannot write to standard output: No space left on device\n";
    const std::string pipe = "kvel: cannot write to standard output: Broken pipe\n";
    const struct {
        std::string run;
        std::string err;
    } cases[] = {
        {"$K check good.kvmf 2>&1 >/dev/full", full},
        {"$K check --format json good.kvmf 2>&1 >/dev/full", full},
        {"$K dump good.kvmf 2>&1 >/dev/full", full},
        {"$K codes 2>&1 >/dev/full", full},
        {"$K pack good.json -o - 2>&1 >/dev/full", full},
        // With SIGPIPE ignored, a closed pipe is a failed write like any other.
        {"(trap '' PIPE; $K dump many.kvmf 2>err; echo $? >status) | head -c 1 >/dev/null; cat err; exit $(cat status)",
         pipe},
        {"(trap '' PIPE; $K check many.kvmf many.kvmf many.kvmf 2>err; echo $? >status) | head -c 1 >/dev/null; "
         "cat err; exit $(cat status)",
         pipe},
    };
    for (const auto& c : cases) {
        const Result r = script(c.run);
        EXPECT_EQ(r.status, 2) << c.run;
        EXPECT_EQ(r.out, c.err) << c.run;
    }
}

TEST_F(KvelTest, NamesThatAreNotUtf8StayDistinctAndReversible) {
    write("n/latin1-\xe9.kvmf", badMeter());
    write("n/latin1-\xe8.kvmf", badMeter());
    write("n/line\nbreak.kvmf", badMeter());
    const Result text = kvel("check n");
    EXPECT_EQ(text.out, "n/latin1-\\xe8.kvmf: " + kBadMeterLine + "\nn/latin1-\\xe9.kvmf: " + kBadMeterLine +
                            "\nn/line\\x0abreak.kvmf: " + kBadMeterLine +
                            "\nChecked 3 files: 0 valid, 3 invalid, 0 not checked. 3 errors, 0 warnings.\n");
    const auto doc = nlohmann::json::parse(kvel("check --format json n").out);
    EXPECT_EQ(doc["files"][1]["path"], "n/latin1-\\xe9.kvmf");
    // The escape, case by case: what is shown, and that it reads back.
    const struct {
        std::string raw, shown;
    } cases[] = {
        {"plain/é.kvmf", "plain/é.kvmf"},
        {"a\xff\xc3", "a\\xff\\xc3"},
        {"tab\tdel\x7f", "tab\\x09del\\x7f"},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},      // a surrogate is not UTF-8
        {"\xc0\xaf", "\\xc0\\xaf"},               // nor an overlong form
        {"dir\\x41\\n\\x4", "dir\\x5cx41\\n\\x4"}, // a backslash that would read as an escape
        {"\\\xe9", "\\\\xe9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kvel_tool::escapePath(c.raw), c.shown) << c.shown;
        EXPECT_EQ(kvel_tool::unescapePath(c.shown), c.raw) << c.shown;
    }
}

TEST_F(KvelTest, MessagesNameWhatWentWrong) {
    fs::create_directories(dir_ / "empty/sub");
    const struct {
        const char* run;
        int status;
        std::string out;
    } cases[] = {
        {"$K help help >/dev/null 2>&1", 0, ""},
        {"$K frobnicate 2>&1", 3, "kvel: no command 'frobnicate'\nRun 'kvel --help' for usage.\n"},
        {"$K check missing.kvmf 2>&1", 2,
         "missing.kvmf: ERROR(-3) : Can't open the file.\nmissing.kvmf: not checked: No such file or directory\n"
         "Checked 1 file: 0 valid, 0 invalid, 1 not checked. 1 error, 0 warnings.\n"},
        {"$K check empty 2>&1 >/dev/null", 0, "kvel: empty: no .kvmf file found\n"},
        {"$K help check | grep -c 'Exit status'", 0, "1\n"},
        {"$K help check | grep -c 'for dump'", 1, "0\n"},
    };
    for (const auto& c : cases) {
        const Result r = script(c.run);
        EXPECT_EQ(r.status, c.status) << c.run;
        EXPECT_EQ(r.out, c.out) << c.run;
    }
}

TEST_F(KvelTest, ListsOfPathsAreReadFromAFileOrStandardInput) {
    write("a b.kvmf", badMeter());
    write("c.kvmf", kvmf::wellFormed().bytes());
    write("d\ne.kvmf", warningOnly());
    const std::string expected = "a b.kvmf: " + kBadMeterLine + "\nd\\x0ae.kvmf: " + kWarningLine +
                                 "\nChecked 3 files: 2 valid, 1 invalid, 0 not checked. 1 error, 1 warning.\n";
    EXPECT_EQ(script("printf 'a b.kvmf\\0c.kvmf\\0d\\ne.kvmf\\0' | $K check -0 --files-from -").out, expected);
    EXPECT_EQ(script("find . -name '*.kvmf' -print0 | sort -z | sed -z 's|^./||' | $K check -0 --files-from -").out,
              expected);
    writeText("list", "a b.kvmf\n\nc.kvmf\n");
    EXPECT_EQ(kvel("check --files-from list").out,
              "a b.kvmf: " + kBadMeterLine + "\nChecked 2 files: 1 valid, 1 invalid, 0 not checked. 1 error, 0 warnings.\n");
    EXPECT_EQ(kvel("check --files-from - -", "list").status, 3);
}

TEST_F(KvelTest, JsonLinesAndJunitCarryTheSameResults) {
    write("bad.kvmf", badMeter());
    write("good.kvmf", kvmf::wellFormed().bytes());
    write("warn.kvmf", warningOnly());
    const std::string files = " bad.kvmf good.kvmf warn.kvmf gone.kvmf";
    const auto lines = jsonLines(kvel("check --format jsonl" + files).out);
    const auto doc = nlohmann::json::parse(kvel("check --format json" + files).out);
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < 4; ++i) {
        auto line = lines[i];
        EXPECT_EQ(line["tool"], doc["tool"]);
        line.erase("tool");
        line.erase("schemaVersion");
        EXPECT_EQ(line, doc["files"][i]);
    }
    EXPECT_EQ(lines[4]["summary"], doc["summary"]);
    const Result junit = kvel("check --format junit" + files);
    EXPECT_EQ(junit.status, 2);
    EXPECT_EQ(junit.out, R"(<?xml version="1.0" encoding="UTF-8"?>
<testsuites name="kvel check">
  <testsuite name="kvel check">
    <testcase classname="kvel.check" name="bad.kvmf" file="bad.kvmf">
      <failure type="invalid" message="1 error, 0 warnings">)" + kBadMeterLine + R"(
</failure>
    </testcase>
    <testcase classname="kvel.check" name="good.kvmf" file="good.kvmf"/>
    <testcase classname="kvel.check" name="warn.kvmf" file="warn.kvmf">
      <system-out>)" + kWarningLine + R"(
</system-out>
    </testcase>
    <testcase classname="kvel.check" name="gone.kvmf" file="gone.kvmf">
      <failure type="not-checked" message="not checked: No such file or directory">ERROR(-3) : Can't open the file.
not checked: No such file or directory
</failure>
    </testcase>
    <system-out>Checked 4 files: 2 valid, 1 invalid, 1 not checked. 2 errors, 1 warning.</system-out>
  </testsuite>
</testsuites>
)");
}

// Workers check files in any order; the report keeps the input's order.
TEST_F(KvelTest, WorkersWriteTheSameReportAsOne) {
    const std::vector<uint8_t> kinds[] = {kvmf::wellFormed().bytes(), badMeter(), warningOnly(), manyEvents(600),
                                          std::vector<uint8_t>(10, 'K')};
    for (int i = 0; i < 100; ++i)
        write("tree/" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".kvmf", kinds[i * 7 % 5]);
    fs::create_symlink("nowhere", dir_ / "tree/3/dangling.kvmf");
    write("bad.kvmf", badMeter());
    for (const char* format : {"text", "json", "jsonl", "junit"}) {
        const std::string args = std::string("check --format ") + format + " tree missing.kvmf - tree/1 ";
        const Result one = kvel(args + "-j 1", "bad.kvmf");
        EXPECT_EQ(one.status, 2);
        for (const char* jobs : {"-j 2", "-j 5", "--jobs 16"}) {
            const Result many = kvel(args + jobs, "bad.kvmf");
            EXPECT_EQ(many.status, one.status) << format << jobs;
            EXPECT_TRUE(many.out == one.out) << format << " " << jobs;
        }
    }
    EXPECT_EQ(kvel("check -j 0 bad.kvmf").status, 3);
}

TEST_F(KvelTest, IgnoredCodesLeaveTheReportAndTheVerdict) {
    write("bad.kvmf", badMeter());
    write("warn.kvmf", warningOnly());
    const Result r = kvel("check --warnings-as-errors --ignore 2021,-11004 bad.kvmf warn.kvmf");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Checked 2 files: 2 valid, 0 invalid, 0 not checked. 0 errors, 0 warnings, 2 records ignored.\n");
    const auto doc = nlohmann::json::parse(kvel("check --format json --ignore=-11004 bad.kvmf warn.kvmf").out);
    EXPECT_EQ(doc["options"]["ignore"], nlohmann::json({-11004}));
    EXPECT_EQ(doc["files"][1]["counts"], nlohmann::json({{"errors", 0}, {"warnings", 0}, {"unlisted", 0}, {"ignored", 1}}));
    EXPECT_EQ(doc["summary"]["ignored"], 1);
    EXPECT_EQ(kvel("check --ignore 20x1 bad.kvmf").status, 3);
}

TEST_F(KvelTest, ColourMarksSeveritiesOnlyWhenAsked) {
    write("bad.kvmf", badMeter());
    write("warn.kvmf", warningOnly());
    const std::string plain = kvel("check bad.kvmf warn.kvmf").out;
    const std::string coloured = "bad.kvmf: \033[31mERROR(-2021)\033[0m" + kBadMeterLine.substr(12) +
                                 "\nwarn.kvmf: \033[33mWARNING(-11004)\033[0m" + kWarningLine.substr(15) + "\n";
    EXPECT_EQ(kvel("check --color always bad.kvmf warn.kvmf").out.substr(0, coloured.size()), coloured);
    EXPECT_EQ(script("NO_COLOR=1 $K check --color always bad.kvmf warn.kvmf").out.substr(0, coloured.size()), coloured);
    EXPECT_EQ(kvel("check --color auto bad.kvmf warn.kvmf").out, plain);  // not a terminal
    EXPECT_EQ(script("script -qec \"$K check --color auto bad.kvmf\" /dev/null | tr -d '\\r'").out.substr(0, 21),
              "bad.kvmf: \033[31mERROR(");
    EXPECT_EQ(script("NO_COLOR=1 script -qec \"$K check --color auto bad.kvmf\" /dev/null | tr -d '\\r'").out,
              "bad.kvmf: " + kBadMeterLine + "\nChecked 1 file: 0 valid, 1 invalid, 0 not checked. 1 error, 0 warnings.\n");
}

TEST_F(KvelTest, DumpShowsARangeOfEvents) {
    write("good.kvmf", kvmf::wellFormed().bytes());
    const std::string all = kvel("dump good.kvmf").out;
    const std::string part = kvel("dump --events 2:4 good.kvmf").out;
    EXPECT_NE(part.find("  (events 2 up to 4 of 18 shown)\n  index"), std::string::npos) << part;
    EXPECT_NE(part.find("\n      2        20  "), std::string::npos) << part;
    EXPECT_NE(part.find("\n      3        30  "), std::string::npos) << part;
    EXPECT_EQ(part.find("\n      1        10  "), std::string::npos) << part;
    EXPECT_EQ(part.find("\n      4        40  "), std::string::npos) << part;
    EXPECT_EQ(kvel("dump --events 0: good.kvmf").out, all);
    EXPECT_EQ(kvel("dump --events 2-4 good.kvmf").status, 3);
}

}  // namespace
