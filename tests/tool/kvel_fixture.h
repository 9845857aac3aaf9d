// Runs the kvel binary as a user runs it, in a scratch directory of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvmf_builder.h"

namespace kvel_test {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
};

class KvelTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvel-tool-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs kvel in the scratch directory; standard error is thrown away.
    Result kvel(const std::string& args, const std::string& input = "/dev/null") const {
        const std::string cmd =
            "cd '" + dir_.string() + "' && '" KVEL_BINARY "' " + args + " <" + input + " 2>/dev/null";
        return shell(cmd);
    }
    // Runs a shell script in the scratch directory with $K naming kvel.
    Result script(const std::string& text) const {
        return shell("cd '" + dir_.string() + "' && K='" KVEL_BINARY "' && " + text);
    }
    // What runs kvel as a user whom permissions bind: as root, another user.
    static std::string unprivileged() {
        return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    }
    static Result shell(const std::string& cmd) {
        std::FILE* p = ::popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        const int rc = ::pclose(p);
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        fs::create_directories((dir_ / name).parent_path());
        ASSERT_TRUE(kvmf::writeFile((dir_ / name).string(), bytes));
    }
    void writeText(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name) << text; }

    fs::path dir_;
};

inline std::vector<uint8_t> badMeter() {
    kvmf::Doc d = kvmf::wellFormed();
    d.zones[0].meterDenominator = 1;
    return d.bytes();
}

inline std::vector<uint8_t> warningOnly() {
    kvmf::Doc d = kvmf::wellFormed();
    d.version = 0x1203;
    return d.bytes();
}

// A file with `count` beats at bar 0: two problems each, more than the
// library's list of 1000 holds from 500 on.
inline std::vector<uint8_t> manyEvents(size_t count) {
    kvmf::Doc d = kvmf::wellFormed();
    d.events.resize(count, kvmf::beatEvent(0, 0, 0));
    return d.bytes();
}

}  // namespace kvel_test
