// SPDX-License-Identifier: GPL-2.0-or-later
// oskelctl's commands on profiles as text: show --json, import and diff, and switching between
// the recent profiles with write --recent, next and previous, against oskel-virtual-keyboard
// and a private session bus.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "JsonParse.h"
#include "Process.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class OskelctlProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskelctl-profiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        runtime = dir / "run";
        fs::create_directory(runtime);
        chmod(runtime.c_str(), 0700);
        config = dir / "config";
        fs::create_directories(config / "oskel");
    }

    void TearDown() override {
        keyboard.stop();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::map<std::string, std::string> env(std::map<std::string, std::string> more = {}) const {
        more["XDG_RUNTIME_DIR"] = runtime.string();
        more["XDG_CONFIG_HOME"] = config.string();
        more.try_emplace("DBUS_SESSION_BUS_ADDRESS", "");
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            more.try_emplace(name, "");
        }
        return environmentWith(more);
    }

    void startKeyboard(std::vector<std::string> args = {}) {
        ASSERT_TRUE(keyboard.start(VIRTUAL_KEYBOARD_PATH, args, env()));
        std::string line;
        ASSERT_TRUE(keyboard.readLine(line, std::chrono::seconds(10))) << "no ready line";
        ASSERT_EQ(line.rfind("ready ", 0), 0u) << line;
    }

    ProcessResult ctl(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& more = {}) {
        ProcessResult r = runProcess(OSKELCTL_PATH, args, env(more), std::chrono::seconds(300));
        EXPECT_FALSE(r.timedOut) << "oskelctl hung: " << ::testing::PrintToString(args);
        return r;
    }

    fs::path dir;
    fs::path runtime;
    fs::path config;
    BackgroundProcess keyboard;
    const std::string sample = SAMPLE_PROFILE;
};

// The layout of show --json is kept as it was first written: the file beside the sample profile
// holds that output.
TEST_F(OskelctlProfiles, ShowJsonKeepsItsLayout) {
    const ProcessResult r = ctl({"show", "--json", sample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, readFile(SAMPLE_JSON));
}

}  // namespace
