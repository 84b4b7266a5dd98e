// SPDX-License-Identifier: GPL-2.0-or-later
// The keystroke hook without a display: the key table, the words posted for key sequences
// (through InstallHook with a backend the test drives), the key state and the watchdog.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>
#include <thread>

#include "KeyHook.h"
#include "LinuxKeyMap.h"
#include "OskelHWI.h"
#include "PostedMessages.h"
#include "TestSupport.h"

using namespace oskel::hook;
using namespace oskeltest;
using namespace std::chrono_literals;

namespace {

struct BoardKey {
    int linuxCode;
    int virtualKey;
    bool extended;
};

// Every key of a full-size PC keyboard (ISO key included), written from the kernel's names.
const BoardKey kFullSizeBoard[] = {
    {KEY_ESC, 0x1B, false},        {KEY_F1, 0x70, false},         {KEY_F2, 0x71, false},
    {KEY_F3, 0x72, false},         {KEY_F4, 0x73, false},         {KEY_F5, 0x74, false},
    {KEY_F6, 0x75, false},         {KEY_F7, 0x76, false},         {KEY_F8, 0x77, false},
    {KEY_F9, 0x78, false},         {KEY_F10, 0x79, false},        {KEY_F11, 0x7A, false},
    {KEY_F12, 0x7B, false},        {KEY_SYSRQ, 0x2C, true},       {KEY_SCROLLLOCK, 0x91, false},
    {KEY_PAUSE, 0x13, false},      {KEY_GRAVE, 0xC0, false},      {KEY_1, '1', false},
    {KEY_2, '2', false},           {KEY_3, '3', false},           {KEY_4, '4', false},
    {KEY_5, '5', false},           {KEY_6, '6', false},           {KEY_7, '7', false},
    {KEY_8, '8', false},           {KEY_9, '9', false},           {KEY_0, '0', false},
    {KEY_MINUS, 0xBD, false},      {KEY_EQUAL, 0xBB, false},      {KEY_BACKSPACE, 0x08, false},
    {KEY_INSERT, 0x2D, true},      {KEY_HOME, 0x24, true},        {KEY_PAGEUP, 0x21, true},
    {KEY_NUMLOCK, 0x90, true},     {KEY_KPSLASH, 0x6F, true},     {KEY_KPASTERISK, 0x6A, false},
    {KEY_KPMINUS, 0x6D, false},    {KEY_TAB, 0x09, false},        {KEY_Q, 'Q', false},
    {KEY_W, 'W', false},           {KEY_E, 'E', false},           {KEY_R, 'R', false},
    {KEY_T, 'T', false},           {KEY_Y, 'Y', false},           {KEY_U, 'U', false},
    {KEY_I, 'I', false},           {KEY_O, 'O', false},           {KEY_P, 'P', false},
    {KEY_LEFTBRACE, 0xDB, false},  {KEY_RIGHTBRACE, 0xDD, false}, {KEY_BACKSLASH, 0xDC, false},
    {KEY_DELETE, 0x2E, true},      {KEY_END, 0x23, true},         {KEY_PAGEDOWN, 0x22, true},
    {KEY_KP7, 0x67, false},        {KEY_KP8, 0x68, false},        {KEY_KP9, 0x69, false},
    {KEY_KPPLUS, 0x6B, false},     {KEY_CAPSLOCK, 0x14, false},   {KEY_A, 'A', false},
    {KEY_S, 'S', false},           {KEY_D, 'D', false},           {KEY_F, 'F', false},
    {KEY_G, 'G', false},           {KEY_H, 'H', false},           {KEY_J, 'J', false},
    {KEY_K, 'K', false},           {KEY_L, 'L', false},           {KEY_SEMICOLON, 0xBA, false},
    {KEY_APOSTROPHE, 0xDE, false}, {KEY_ENTER, 0x0D, false},      {KEY_KP4, 0x64, false},
    {KEY_KP5, 0x65, false},        {KEY_KP6, 0x66, false},        {KEY_LEFTSHIFT, 0xA0, false},
    {KEY_102ND, 0xE2, false},      {KEY_Z, 'Z', false},           {KEY_X, 'X', false},
    {KEY_C, 'C', false},           {KEY_V, 'V', false},           {KEY_B, 'B', false},
    {KEY_N, 'N', false},           {KEY_M, 'M', false},           {KEY_COMMA, 0xBC, false},
    {KEY_DOT, 0xBE, false},        {KEY_SLASH, 0xBF, false},      {KEY_RIGHTSHIFT, 0xA1, false},
    {KEY_UP, 0x26, true},          {KEY_KP1, 0x61, false},        {KEY_KP2, 0x62, false},
    {KEY_KP3, 0x63, false},        {KEY_KPENTER, 0x0D, true},     {KEY_LEFTCTRL, 0xA2, false},
    {KEY_LEFTMETA, 0x5B, true},    {KEY_LEFTALT, 0xA4, false},    {KEY_SPACE, 0x20, false},
    {KEY_RIGHTALT, 0xA5, true},    {KEY_RIGHTMETA, 0x5C, true},   {KEY_COMPOSE, 0x5D, true},
    {KEY_RIGHTCTRL, 0xA3, true},   {KEY_LEFT, 0x25, true},        {KEY_DOWN, 0x28, true},
    {KEY_RIGHT, 0x27, true},       {KEY_KP0, 0x60, false},        {KEY_KPDOT, 0x6E, false},
};

TEST(KeyTable, EveryKeyOfAFullSizeBoardHasItsVirtualKeyAndExtendedFlag) {
    std::set<int> seen;
    for (const BoardKey& key : kFullSizeBoard) {
        SCOPED_TRACE(key.linuxCode);
        seen.insert(key.linuxCode);
        const LinuxKey found = linuxKey(key.linuxCode);
        EXPECT_EQ(found.linuxCode, key.linuxCode);
        EXPECT_EQ(found.virtualKey, key.virtualKey);
        EXPECT_EQ(found.extended, key.extended);
    }
    EXPECT_EQ(seen.size(), 105u);
}

TEST(KeyTable, RowsAreUniqueAndHaveAVirtualKey) {
    std::set<int> codes;
    for (const LinuxKey& row : linuxKeyTable()) {
        EXPECT_TRUE(codes.insert(row.linuxCode).second) << row.linuxCode;
        EXPECT_NE(row.virtualKey, 0) << row.linuxCode;
        EXPECT_EQ(linuxKey(row.linuxCode).virtualKey, row.virtualKey);
    }
}

TEST(KeyTable, KeysOutsideItHaveVirtualKeyZero) {
    for (int code : {KEY_RESERVED, KEY_ZENKAKUHANKAKU, KEY_KPEQUAL, KEY_FN, 0x2FF, -1, 70000}) {
        SCOPED_TRACE(code);
        const LinuxKey found = linuxKey(code);
        EXPECT_EQ(found.virtualKey, 0);
        EXPECT_FALSE(found.extended);
    }
}

// A backend the test types into: start() keeps the client, key() plays the keyboard.
class TypedCapture : public KeyCapture {
public:
    explicit TypedCapture(HookResult answer) : answer(answer) {}
    HookResult start(KeyCaptureClient& c) override {
        client = &c;
        ++starts;
        return answer;
    }
    void stop() override {
        client = nullptr;
        ++stops;
    }

    static inline KeyCaptureClient* client = nullptr;
    static inline int starts = 0;
    static inline int stops = 0;

private:
    HookResult answer;
};

class HookWords : public testing::Test {
protected:
    void SetUp() override { useBackend(HookResult::Capturing); }
    void TearDown() override {
        UninstallHook();
        setKeyCaptureFactory(nullptr);
        setHookWatchdogTimeout(std::chrono::milliseconds(kHookWatchdogMs));
    }
    static void useBackend(HookResult answer) {
        setKeyCaptureFactory([answer] { return std::make_unique<TypedCapture>(answer); });
    }
    static void type(const std::vector<std::pair<int, bool>>& keys) {
        for (auto [code, press] : keys) {
            ASSERT_NE(TypedCapture::client, nullptr);
            TypedCapture::client->key(code, press, 0);
        }
    }
    PostedMessages window;
};

struct WordsCase {
    const char* name;
    std::vector<std::pair<int, bool>> keys;
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> words;
};

class HookWordsTable : public HookWords, public testing::WithParamInterface<WordsCase> {};

constexpr bool down = true;
constexpr bool up = false;

const WordsCase kWordsCases[] = {
    {"A", {{KEY_A, down}, {KEY_A, up}}, {{0x41, 0}, {0x80000041, 0}}},
    {"RightCtrlIsExtended", {{KEY_RIGHTCTRL, down}}, {{0xA3, 0x01000000}}},
    {"AltTabAreSystemKeys",
     {{KEY_LEFTALT, down}, {KEY_TAB, down}, {KEY_TAB, up}, {KEY_LEFTALT, up}},
     {{0x400000A4, 0}, {0x40000009, 0}, {0xC0000009, 0}, {0xC00000A4, 0}}},
    {"RightAltMakesSystemKeysToo",
     {{KEY_RIGHTALT, down}, {KEY_F4, down}, {KEY_F4, up}, {KEY_RIGHTALT, up}, {KEY_F4, down}},
     {{0x400000A5, 0x01000000},
      {0x40000073, 0},
      {0xC0000073, 0},
      {0xC00000A5, 0x01000000},
      {0x73, 0}}},
    {"CtrlAltIsNoSystemKey",
     {{KEY_LEFTCTRL, down}, {KEY_LEFTALT, down}, {KEY_DELETE, down}, {KEY_DELETE, up}},
     {{0xA2, 0}, {0xA4, 0}, {0x2E, 0x01000000}, {0x8000002E, 0x01000000}}},
    {"F10IsASystemKeyAlone", {{KEY_F10, down}, {KEY_F10, up}}, {{0x40000079, 0}, {0xC0000079, 0}}},
    {"HeldKeyRepeatsItsPressAndIsReleasedOnce",
     {{KEY_B, down}, {KEY_B, down}, {KEY_B, down}, {KEY_B, up}},
     {{0x42, 0}, {0x42, 0}, {0x42, 0}, {0x80000042, 0}}},
    {"KeypadEnterIsExtendedMainEnterIsNot",
     {{KEY_KPENTER, down}, {KEY_KPENTER, up}, {KEY_ENTER, down}, {KEY_ENTER, up}},
     {{0x0D, 0x01000000}, {0x8000000D, 0x01000000}, {0x0D, 0}, {0x8000000D, 0}}},
    {"ShiftsAreLeftAndRight",
     {{KEY_LEFTSHIFT, down}, {KEY_RIGHTSHIFT, down}, {KEY_RIGHTSHIFT, up}, {KEY_LEFTSHIFT, up}},
     {{0xA0, 0}, {0xA1, 0}, {0x800000A1, 0}, {0x800000A0, 0}}},
    {"UnknownKeyComesAsVirtualKeyZero",
     {{KEY_ZENKAKUHANKAKU, down}, {KEY_ZENKAKUHANKAKU, up}, {600, down}},
     {{0x00, 0}, {0x80000000, 0}, {0x00, 0}}},
};

TEST_P(HookWordsTable, PostsOneMessagePerEvent) {
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    type(GetParam().keys);
    std::vector<PostedMessage> expected;
    for (auto [w, l] : GetParam().words) {
        expected.push_back({WM_HOOK_KEY, w, l});
    }
    EXPECT_EQ(window.taken(), expected);
}

INSTANTIATE_TEST_SUITE_P(Sequences, HookWordsTable, testing::ValuesIn(kWordsCases), CaseName{});

TEST_F(HookWords, KeyStateFollowsPressesAndTogglesOncePerPress) {
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    EXPECT_EQ(HookKeyState(0xA0), 0);
    type({{KEY_LEFTSHIFT, down}});
    EXPECT_EQ(HookKeyState(0xA0) & 0xFFFF, 0x8001);
    type({{KEY_LEFTSHIFT, down}});  // a repeat does not toggle
    EXPECT_EQ(HookKeyState(0xA0) & 0xFFFF, 0x8001);
    type({{KEY_LEFTSHIFT, up}});
    EXPECT_EQ(HookKeyState(0xA0), 1);
    type({{KEY_LEFTSHIFT, down}, {KEY_LEFTSHIFT, up}});
    EXPECT_EQ(HookKeyState(0xA0), 0);
    EXPECT_EQ(HookKeyState(0xA1), 0);
    EXPECT_EQ(HookKeyState(-1), 0);
    EXPECT_EQ(HookKeyState(256), 0);
}

TEST_F(HookWords, NothingIsPostedAfterUninstallOrWithoutTarget) {
    EXPECT_EQ(InstallHook(nullptr), HookResult::NoTarget);
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    KeyCaptureClient* client = TypedCapture::client;
    UninstallHook();
    EXPECT_EQ(TypedCapture::client, nullptr);
    client->key(KEY_A, true, 0);  // a late event from a backend that was slow to stop
    const HookKeyEvent event{0x41, 0};
    EXPECT_EQ(KeyBoardProc(0, WM_KEYDOWN, &event), 1);
    EXPECT_TRUE(window.taken().empty());
    UninstallHook();  // twice is harmless
}

TEST_F(HookWords, ASecondInstallKeepsTheGrabAndMovesTheKeysToTheNewTarget) {
    PostedMessages other;
    useBackend(HookResult::CapturingOwnWindows);
    ASSERT_EQ(InstallHook(&window), HookResult::CapturingOwnWindows);
    const int starts = TypedCapture::starts, stops = TypedCapture::stops;
    ASSERT_EQ(InstallHook(&other), HookResult::CapturingOwnWindows);
    EXPECT_EQ(TypedCapture::starts, starts);
    EXPECT_EQ(TypedCapture::stops, stops);
    type({{KEY_A, down}});
    EXPECT_TRUE(window.taken().empty());
    EXPECT_EQ(other.taken().size(), 1u);
}

TEST_F(HookWords, EachKeyCarriesItsOwnEventTime) {
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    KeyCaptureClient* client = TypedCapture::client;
    // Times as the X server gives them, the last one just before its clock wraps.
    client->key(KEY_RIGHTCTRL, true, 1000);
    client->key(KEY_RIGHTCTRL, false, 2234);
    client->key(KEY_A, true, 0xFFFFFFF0u);
    const std::vector<PostedMessage> got = window.taken();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (PostedMessage{WM_HOOK_KEY, 0xA3, 0x01000000}));
    EXPECT_EQ(got[0].time, 1000u);
    EXPECT_EQ(got[1].time, 2234u);
    EXPECT_EQ(got[2].time, 0xFFFFFFF0u);
    // The words a receiver that reads only the low half of lParam sees stay as they were.
    const HookKeyEvent event{0x2E, 0x01, 77};
    window.clear();
    PostedMessages raw;
    ASSERT_EQ(InstallHook(&raw), HookResult::Capturing);
    KeyBoardProc(0, WM_KEYDOWN, &event);
    ASSERT_EQ(raw.taken().size(), 1u);
    EXPECT_EQ(raw.taken()[0].lParam, 0x01000000);
    EXPECT_EQ(raw.taken()[0].time, 77u);
}

TEST_F(HookWords, ACaptureEndedOnItsOwnIsToldOnceAndTheNextInstallStartsAgain) {
    for (HookEnd reason : {HookEnd::Unresponsive, HookEnd::DisplayLost}) {
        SCOPED_TRACE(static_cast<int>(reason));
        window.clear();
        ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
        type({{KEY_A, down}});
        TypedCapture::client->ended(reason);
        const std::vector<PostedMessage> expected = {
            {WM_HOOK_KEY, 0x41, 0}, {WM_HOOK_ENDED, static_cast<std::uintptr_t>(reason), 0}};
        EXPECT_EQ(window.taken(), expected);
        const int starts = TypedCapture::starts;
        ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
        EXPECT_EQ(TypedCapture::starts, starts + 1);
        UninstallHook();
        EXPECT_EQ(window.taken().size(), 2u);  // Uninstall itself tells nothing
    }
}

TEST_F(HookWords, FailedInstallLeavesNothingCaptured) {
    for (HookResult refusal : {HookResult::NoDisplay, HookResult::KeyboardBusy}) {
        useBackend(refusal);
        EXPECT_EQ(InstallHook(&window), refusal);
        const HookKeyEvent event{0x41, 0};
        KeyBoardProc(0, WM_KEYDOWN, &event);
        EXPECT_TRUE(window.taken().empty());
    }
}

TEST_F(HookWords, KeyBoardProcBuildsTheWordsFromMessageAndFlags) {
    ASSERT_EQ(InstallHook(&window), HookResult::Capturing);
    const HookKeyEvent plain{0x41, 0x20};  // Alt held: carried by the message, not the flags
    const HookKeyEvent extended{0x2E, 0x81};
    KeyBoardProc(0, WM_KEYDOWN, &plain);
    KeyBoardProc(0, WM_KEYUP, &extended);
    KeyBoardProc(0, WM_SYSKEYDOWN, &plain);
    KeyBoardProc(0, WM_SYSKEYUP, &extended);
    KeyBoardProc(0, WM_KEYDOWN, nullptr);
    const std::vector<PostedMessage> expected = {{WM_HOOK_KEY, 0x41, 0},
                                                 {WM_HOOK_KEY, 0x8000002E, 0x01000000},
                                                 {WM_HOOK_KEY, 0x40000041, 0},
                                                 {WM_HOOK_KEY, 0xC000002E, 0x01000000}};
    EXPECT_EQ(window.taken(), expected);
}

TEST_F(HookWords, UnacknowledgedKeysEndTheCapture) {
    PostedMessages stuck(false);
    ASSERT_EQ(InstallHook(&stuck), HookResult::Capturing);
    KeyCaptureClient* client = TypedCapture::client;
    EXPECT_TRUE(client->keepCapturing());
    setHookWatchdogTimeout(50ms);
    client->key(KEY_A, true, 0);
    EXPECT_TRUE(client->keepCapturing());
    std::this_thread::sleep_for(120ms);
    EXPECT_FALSE(client->keepCapturing());
    AcknowledgeHookKey();  // the window woke up: it may have the keyboard again
    EXPECT_TRUE(client->keepCapturing());
}

struct WatchdogStep {
    enum Kind { Post, Ack } kind;
    int atMs;
};
struct WatchdogCase {
    const char* name;
    std::vector<WatchdogStep> steps;
    int askAtMs;
    bool expired;
};

class WatchdogTable : public testing::TestWithParam<WatchdogCase> {};

const WatchdogCase kWatchdogCases[] = {
    {"NothingPostedNeverExpires", {}, 100000, false},
    {"PostedKeyWithinTimeout", {{WatchdogStep::Post, 0}}, 1000, false},
    {"PostedKeyPastTimeout", {{WatchdogStep::Post, 0}}, 1001, true},
    {"AcknowledgedKeyDoesNotCount",
     {{WatchdogStep::Post, 0}, {WatchdogStep::Ack, 10}},
     50000,
     false},
    {"QueuedKeysTimedFromTheLastAcknowledgement",
     {{WatchdogStep::Post, 0}, {WatchdogStep::Post, 1}, {WatchdogStep::Ack, 900}},
     1800,
     false},
    {"OneOfTwoAcknowledgedThenStuck",
     {{WatchdogStep::Post, 0}, {WatchdogStep::Post, 1}, {WatchdogStep::Ack, 900}},
     1901,
     true},
    {"LaterPostDoesNotRestartTheClock",
     {{WatchdogStep::Post, 0}, {WatchdogStep::Post, 999}},
     1001,
     true},
    {"ExtraAcknowledgementIsHarmless",
     {{WatchdogStep::Ack, 0}, {WatchdogStep::Post, 10}},
     1011,
     true},
};

TEST_P(WatchdogTable, Expires) {
    HookWatchdog watchdog;
    watchdog.setTimeout(1000ms);
    const auto start = HookWatchdog::Clock::time_point{} + 1h;
    for (const WatchdogStep& step : GetParam().steps) {
        const auto at = start + std::chrono::milliseconds(step.atMs);
        if (step.kind == WatchdogStep::Post) {
            watchdog.posted(at);
        } else {
            watchdog.acknowledged(at);
        }
    }
    EXPECT_EQ(watchdog.expired(start + std::chrono::milliseconds(GetParam().askAtMs)),
              GetParam().expired);
    watchdog.reset();
    EXPECT_FALSE(watchdog.expired(start + 10h));
}

INSTANTIATE_TEST_SUITE_P(Cases, WatchdogTable, testing::ValuesIn(kWatchdogCases), CaseName{});

}  // namespace
