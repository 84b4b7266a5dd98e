// SPDX-License-Identifier: GPL-2.0-or-later
// The keystroke capture on a private Xvfb: keys typed through XTest come to the hook and to no
// other client, and the keyboard comes back after UninstallHook, after the capturing process is
// killed, and when the receiver stops taking keys.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <thread>

#include "KeyHook.h"
#include "LinuxKeyMap.h"
#include "OskelHWI.h"
#include "PostedMessages.h"
#include "TestSupport.h"
#include "XTestClient.h"
#include "XvfbTest.h"

using namespace oskel::hook;
using namespace oskeltest;
using namespace std::chrono_literals;

namespace {

using Keys = std::vector<XTestClient::KeyEvent>;
constexpr auto kQuiet = 300ms;

class KeyCapture : public XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        other = std::make_unique<XTestClient>(server->display());
        ASSERT_TRUE(other->connected());
        ASSERT_TRUE(other->focusOwnWindow());
    }
    void TearDown() override {
        UninstallHook();
        setHookWatchdogTimeout(std::chrono::milliseconds(kHookWatchdogMs));
    }

    // Types A and checks which of the two clients got it.
    void expectKeysGoTo(bool hook, PostedMessages& window) {
        window.clear();
        other->tap(KEY_A);
        const Keys seen = other->keysReceived(kQuiet);
        if (hook) {
            EXPECT_EQ(window.waitFor(2).size(), 2u);
            EXPECT_TRUE(seen.empty());
        } else {
            EXPECT_EQ(seen, (Keys{{KEY_A, true}, {KEY_A, false}}));
            EXPECT_TRUE(window.taken().empty());
        }
    }

    std::unique_ptr<XTestClient> other;
};

TEST_F(KeyCapture, EveryKeyOfTheTableComesToTheHookAndNoneToTheFocusWindow) {
    PostedMessages window;
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    std::vector<PostedMessage> expected;
    for (const LinuxKey& key : linuxKeyTable()) {
        // Alt and F10 make system keys; their words are checked without a display.
        if (key.virtualKey == 0xA4 || key.virtualKey == 0xA5 || key.virtualKey == 0x79) {
            continue;
        }
        other->tap(key.linuxCode);
        const std::intptr_t l = key.extended ? 0x01000000 : 0;
        expected.push_back({WM_HOOK_KEY, key.virtualKey, l});
        expected.push_back({WM_HOOK_KEY, 0x80000000u | key.virtualKey, l});
    }
    EXPECT_EQ(window.waitFor(expected.size()), expected);
    EXPECT_TRUE(other->keysReceived(kQuiet).empty());
}

TEST_F(KeyCapture, AltTabUnderTheGrabGivesSystemKeys) {
    PostedMessages window;
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    other->key(KEY_LEFTALT, true);
    other->tap(KEY_TAB);
    other->key(KEY_LEFTALT, false);
    const std::vector<PostedMessage> expected = {{WM_HOOK_KEY, 0x400000A4, 0},
                                                 {WM_HOOK_KEY, 0x40000009, 0},
                                                 {WM_HOOK_KEY, 0xC0000009, 0},
                                                 {WM_HOOK_KEY, 0xC00000A4, 0}};
    EXPECT_EQ(window.waitFor(4), expected);
}

TEST_F(KeyCapture, AHeldKeyRepeatsItsPressWithOneRelease) {
    PostedMessages window;
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    // Held past the server's auto-repeat delay (660 ms by default).
    other->key(KEY_B, true);
    std::this_thread::sleep_for(1200ms);
    other->key(KEY_B, false);
    std::this_thread::sleep_for(kQuiet);
    const std::vector<PostedMessage> got = window.taken();
    ASSERT_GE(got.size(), 3u);
    for (std::size_t i = 0; i + 1 < got.size(); ++i) {
        EXPECT_EQ(got[i], (PostedMessage{WM_HOOK_KEY, 0x42, 0})) << i;
    }
    EXPECT_EQ(got.back(), (PostedMessage{WM_HOOK_KEY, 0x80000042, 0}));
}

TEST_F(KeyCapture, TheFocusWindowGetsKeysAgainAfterUninstall) {
    PostedMessages window;
    expectKeysGoTo(false, window);
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    expectKeysGoTo(true, window);
    UninstallHook();
    expectKeysGoTo(false, window);
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);  // and it can capture again
    expectKeysGoTo(true, window);
}

TEST_F(KeyCapture, AGrabHeldForAMomentIsWaitedFor) {
    XTestClient menu(server->display());
    ASSERT_TRUE(menu.grabKeyboard());
    auto release = std::async(std::launch::async, [&menu] {
        std::this_thread::sleep_for(500ms);
        menu.ungrabKeyboard();
    });
    PostedMessages window;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(InstallHook(&window), HookResult::Capturing);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    release.get();
    expectKeysGoTo(true, window);
}

TEST_F(KeyCapture, AGrabHeldThroughoutIsReportedAndNothingIsCaptured) {
    XTestClient menu(server->display());
    ASSERT_TRUE(menu.grabKeyboard());
    PostedMessages window;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(InstallHook(&window), HookResult::KeyboardBusy);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 10s);
    menu.ungrabKeyboard();
    expectKeysGoTo(false, window);
}

TEST_F(KeyCapture, AStuckReceiverGivesTheKeyboardBack) {
    setHookWatchdogTimeout(300ms);
    PostedMessages stuck(false);
    ASSERT_EQ(InstallHook(&stuck), HookResult::Capturing);
    other->tap(KEY_A);
    EXPECT_EQ(stuck.waitFor(2).size(), 2u);
    EXPECT_TRUE(other->keysReceived(kQuiet).empty());
    std::this_thread::sleep_for(800ms);
    const std::vector<PostedMessage> told = stuck.waitFor(3);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[2], (PostedMessage{WM_HOOK_ENDED, 1, 0}));
    expectKeysGoTo(false, stuck);
}

TEST_F(KeyCapture, KeysCarryTheTimeTheyWereTypedAt) {
    PostedMessages window;
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    other->key(KEY_A, true);
    std::this_thread::sleep_for(400ms);
    other->key(KEY_A, false);
    const std::vector<PostedMessage> got = window.waitFor(2);
    ASSERT_EQ(got.size(), 2u);
    const std::uint32_t held = got[1].time - got[0].time;
    EXPECT_GE(held, 390u);
    EXPECT_LT(held, 10000u);
}

TEST_F(KeyCapture, ASecondInstallNeverFreesTheKeyboard) {
    PostedMessages first, second;
    ASSERT_EQ(InstallHook(&first), HookResult::Capturing);
    // Another client trying all along to take the keyboard gets it only if the grab is let go.
    std::atomic<bool> done{false};
    auto thief = std::async(std::launch::async, [&done, display = server->display()] {
        XTestClient client(display);
        int tries = 0;
        for (; !done && tries < 20000; ++tries) {
            if (client.grabKeyboard()) {
                client.ungrabKeyboard();
                return true;
            }
        }
        return false;
    });
    std::this_thread::sleep_for(100ms);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(InstallHook(i % 2 == 0 ? &second : &first), HookResult::Capturing);
    }
    std::this_thread::sleep_for(100ms);
    done = true;
    EXPECT_FALSE(thief.get());
    expectKeysGoTo(true, second);
    EXPECT_TRUE(first.taken().empty());
}

TEST(KeyCaptureDisplay, ALostXServerEndsTheCaptureAndSaysSo) {
    if (!XvfbServer::installed()) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    auto own = std::make_unique<XvfbServer>();
    const std::string name = own->start();
    ASSERT_FALSE(name.empty());
    ::setenv("DISPLAY", name.c_str(), 1);
    PostedMessages window;
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    own.reset();  // the server goes away under the grab
    const std::vector<PostedMessage> told = window.waitFor(1, 10s);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], (PostedMessage{WM_HOOK_ENDED, 2, 0}));
    UninstallHook();
}

TEST_F(KeyCapture, WithoutADisplayNothingIsCaptured) {
    PostedMessages window;
    ::unsetenv("DISPLAY");
    EXPECT_EQ(InstallHook(&window), HookResult::NoDisplay);
    ::setenv("DISPLAY", ":4093", 1);  // no server there
    EXPECT_EQ(InstallHook(&window), HookResult::NoDisplay);
    ::setenv("DISPLAY", server->display().c_str(), 1);
    expectKeysGoTo(false, window);
}

// The capturing program with its output on a pipe.
class ProbeProcess {
public:
    ProbeProcess() {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* argv[] = {const_cast<char*>(OSKEL_HOOK_PROBE_PROGRAM), nullptr};
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output = ::fdopen(out[0], "r");
    }
    ~ProbeProcess() {
        kill();
        if (output != nullptr) {
            std::fclose(output);
        }
    }
    std::string readLine() {
        char line[256];
        if (output == nullptr || std::fgets(line, sizeof line, output) == nullptr) {
            return {};
        }
        std::string text = line;
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }
    void kill() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    pid_t pid = -1;

private:
    std::FILE* output = nullptr;
};

TEST_F(KeyCapture, KillingTheCapturingProgramGivesTheKeyboardBack) {
    ProbeProcess probe;
    ASSERT_GT(probe.pid, 0);
    ASSERT_EQ(probe.readLine(), "install 0");
    other->tap(KEY_A);
    EXPECT_EQ(probe.readLine(), "key 41 0");
    EXPECT_EQ(probe.readLine(), "key 80000041 0");
    EXPECT_TRUE(other->keysReceived(kQuiet).empty());
    probe.kill();
    PostedMessages window;
    expectKeysGoTo(false, window);
}

}  // namespace
