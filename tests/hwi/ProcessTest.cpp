// SPDX-License-Identifier: GPL-2.0-or-later
// oskel-virtual-keyboard as a separate process, driven over its socket through CTravoHWI.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "OskelHWI.h"
#include "TestSupport.h"

extern char** environ;

using namespace oskeltest;

namespace {

// The program with its standard input and output on pipes.
class KeyboardProcess {
public:
    explicit KeyboardProcess(std::vector<std::string> arguments) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        arguments.insert(arguments.begin(), OSKEL_VIRTUAL_KEYBOARD_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input = in[1];
        output = ::fdopen(out[0], "r");
    }
    ~KeyboardProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            wait();
        }
        closeInput();
        if (output != nullptr)
            std::fclose(output);
    }

    std::string readLine() {
        char line[512];
        if (output == nullptr || std::fgets(line, sizeof line, output) == nullptr) {
            return {};
        }
        std::string text = line;
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }
    void closeInput() {
        if (input >= 0)
            ::close(input);
        input = -1;
    }
    // The exit status, -1 when it did not exit normally.
    int wait() {
        int status = 0;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid = -1;

private:
    int input = -1;
    std::FILE* output = nullptr;
};

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

class VirtualKeyboardProgram : public testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
    }
    TempFolder runtime;
};

TEST_F(VirtualKeyboardProgram, ServesCTravoHWIAndRemovesItsSocketAtEndOfInput) {
    const std::string log = runtime.path + "/reports.log";
    KeyboardProcess process({"--log", log, "--version", "OSKEL-108 V9.99"});
    ASSERT_GT(process.pid, 0);
    const std::string socket = runtime.path + "/oskel/hid/vid_0483&pid_5022&mi_01";
    ASSERT_EQ(process.readLine(), "ready " + socket);
    struct stat folder {};
    ASSERT_EQ(::stat((runtime.path + "/oskel/hid").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    {
        CTravoHWI device;
        ASSERT_TRUE(device.__createDev());
        EXPECT_EQ(device.detectedDevicePath(), socket);
        EXPECT_EQ(std::u16string(device.getHardwareVersion()), u"OSKEL-108 V9.99");
        const int config[] = {2, 0, 1, 0, 7, 60};
        std::vector<int> macro(config, config + 6);
        for (int i = 0; i < 60; ++i) macro.push_back(i + 1);
        device.setKeyConfiguration(1, 20, macro.data(), static_cast<int>(macro.size()));
        ASSERT_TRUE(device.writeKeyConfigurationToDev(nullptr));
        device.prepare();
        ASSERT_TRUE(device.readKeyDefinationFromDev(nullptr));
        std::vector<int> back(100, -1);
        device.getKeyConfiguration(1, 20, back.data(), 100);
        EXPECT_TRUE(std::equal(macro.begin(), macro.end(), back.begin()));
    }

    process.closeInput();
    EXPECT_EQ(process.wait(), 0);
    EXPECT_FALSE(exists(socket));

    // Version request, begin, 216 slots (one of them two reports), end, read request.
    std::ifstream reports(log);
    std::string line;
    int lines = 0;
    std::string first, second;
    while (std::getline(reports, line)) {
        EXPECT_EQ(line.size(), 128u);
        EXPECT_EQ(line.find_first_not_of("0123456789abcdef"), std::string::npos);
        if (lines == 0)
            first = line;
        if (lines == 1)
            second = line;
        ++lines;
    }
    EXPECT_EQ(lines, 1 + 1 + 217 + 1 + 1);
    EXPECT_EQ(first, "00f9" + std::string(124, '0'));
    EXPECT_EQ(second, "00f1" + std::string(124, '0'));
}

struct EndingCase {
    const char* name;
    int signal;
};

class VirtualKeyboardEnding : public VirtualKeyboardProgram,
                              public testing::WithParamInterface<EndingCase> {};

TEST_P(VirtualKeyboardEnding, RemovesItsSocket) {
    const std::string dir = runtime.path + "/elsewhere";
    KeyboardProcess process({"--dir", dir, "--name", "kb-test&mi_01"});
    ASSERT_GT(process.pid, 0);
    const std::string socket = dir + "/kb-test&mi_01";
    ASSERT_EQ(process.readLine(), "ready " + socket);
    EXPECT_TRUE(exists(socket));
    ::kill(process.pid, GetParam().signal);
    EXPECT_EQ(process.wait(), 0);
    EXPECT_FALSE(exists(socket));
}

INSTANTIATE_TEST_SUITE_P(Signals, VirtualKeyboardEnding,
                         testing::Values(EndingCase{"SIGINT", SIGINT},
                                         EndingCase{"SIGTERM", SIGTERM}),
                         oskeltest::CaseName());

TEST_F(VirtualKeyboardProgram, SilentProgramMakesReadsFail) {
    KeyboardProcess process({"--silent"});
    ASSERT_GT(process.pid, 0);
    ASSERT_EQ(process.readLine().rfind("ready ", 0), 0u);
    CTravoHWI device;
    ASSERT_TRUE(device.__createDev());
    char16_t version[64];
    EXPECT_FALSE(device.ReadKeyboardVersion(version));
    device.__closeDev();
    process.closeInput();
    EXPECT_EQ(process.wait(), 0);
}

TEST_F(VirtualKeyboardProgram, RefusesBadOptions) {
    for (std::vector<std::string> arguments : {std::vector<std::string>{"--drop-after", "0"},
                                               {"--drop-after", "x"},
                                               {"--bogus"},
                                               {"--name"},
                                               {"--name", "a/b"}}) {
        KeyboardProcess process(arguments);
        ASSERT_GT(process.pid, 0);
        EXPECT_EQ(process.readLine(), "");
        EXPECT_EQ(process.wait(), 2) << arguments[0];
    }
}

}  // namespace

namespace {

TEST_F(VirtualKeyboardProgram, ExampleProgramWritesAndReadsBack) {
    KeyboardProcess keyboard({});
    ASSERT_GT(keyboard.pid, 0);
    ASSERT_EQ(keyboard.readLine().rfind("ready ", 0), 0u);
    std::FILE* example = ::popen(OSKEL_EXAMPLE_PROGRAM " 2>&1", "r");
    ASSERT_NE(example, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, example) != nullptr) output += buffer;
    int status = ::pclose(example);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("firmware OSKEL-108 V1.00"), std::string::npos) << output;
    EXPECT_NE(output.find("wrote 4 key definitions"), std::string::npos) << output;
    EXPECT_EQ(output.find("DIFFERS"), std::string::npos) << output;
}

}  // namespace
