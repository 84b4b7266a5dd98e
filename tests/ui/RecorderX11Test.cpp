// SPDX-License-Identifier: GPL-2.0-or-later
// The recorder with the real keystroke capture: keys typed through XTest on a private Xvfb reach
// the key settings dialog (which itself runs offscreen) through the device library's grab, and
// a recorded macro written with WriteKeys arrives at the virtual keyboard as its rows describe.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <functional>

#include "CTravoDialogKeyMapSettings.h"
#include "CTravoDlg.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"
#include "KeyRecorder.h"
#include "KeyTables.h"
#include "RegionIds.h"
#include "SkinResources.h"
#include "StepListTestSupport.h"
#include "XvfbTest.h"
// Xlib last: its macros (None, KeyPress...) would clash with the names above.
#include "XTestClient.h"

using namespace oskeltest;

namespace {

constexpr int kKey = 20;
constexpr int kWriteKeys = MainRegion::WriteKeys;
constexpr int kOk = KeySettingsRegion::Ok;
constexpr int kCombo = KeySettingsRegion::Combo;
constexpr int kRecordCombo = KeySettingsRegion::ComboRecord;
constexpr int kRecordMacro = KeySettingsRegion::MacroRecord;
constexpr int kMacroTab = KeySettingsRegion::FirstTab + 1;

// Every window's pictures, for the key settings dialog.
bool allPictures() {
    static SkinResources resources;
    static const bool loaded = [] {
        useWindowPictures();  // registers the resource file when the build made it
        return resources.loadPictures();
    }();
    SkinResources::setCurrent(&resources);
    return loaded;
}

// Waits (taking events) for `ms` milliseconds.
void pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// Qt stays offscreen; only the capture uses the X server.
class RecorderOnX : public XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!allPictures()) {
            GTEST_SKIP() << "OskelRES.rcc has not been built";
        }
        keys = std::make_unique<XTestClient>(server->display());
        ASSERT_TRUE(keys->connected());
    }

    std::unique_ptr<XTestClient> keys;
};

struct TypedCase {
    const char* name;
    std::vector<std::pair<int, bool>> keys;  // Linux key codes, press or release
    QStringList keyRows;                     // the macro's rows without the pauses
};

class RecorderOnXTable : public RecorderOnX, public testing::WithParamInterface<TypedCase> {};

const TypedCase kTypedCases[] = {
    {"A", {{KEY_A, true}, {KEY_A, false}}, {"A Down", "A UP"}},
    {"KeypadEnterAndEnter",
     {{KEY_KPENTER, true}, {KEY_KPENTER, false}, {KEY_ENTER, true}, {KEY_ENTER, false}},
     {"(Enter) Down", "(Enter) UP", "ENTER Down", "ENTER UP"}},
    {"LeftShiftAndRightCtrl",
     {{KEY_LEFTSHIFT, true}, {KEY_RIGHTCTRL, true}, {KEY_RIGHTCTRL, false}, {KEY_LEFTSHIFT, false}},
     {"Left SHIFT Down", "Right CONTROL Down", "Right CONTROL UP", "Left SHIFT UP"}},
    {"AltTabStaysInTheRecording",
     {{KEY_LEFTALT, true}, {KEY_TAB, true}, {KEY_TAB, false}, {KEY_LEFTALT, false}},
     {"Left Alt Down", "TAB Down", "TAB UP", "Left Alt UP"}},
};

TEST_P(RecorderOnXTable, TypedKeysBecomeMacroRows) {
    KeyboardConfig config;
    buildKeyTables(config);
    config.clear();
    config.language = "en-US";
    config.currentKey = kKey;
    StepList entry(9);
    entry.items.push_back(u"m");
    entry.children.emplace_back(9);
    config.predefinedMacros = entry;
    CTravoDialogKeyMapSettings dialog(config);
    dialog.show();
    clickRegion(dialog, kMacroTab);
    clickRegion(dialog, kRecordMacro);
    ASSERT_TRUE(dialog.regionById(kRecordMacro).lit) << "the capture did not start";
    for (auto [code, press] : GetParam().keys) {
        keys->key(code, press);
    }
    const int rows = 2 * static_cast<int>(GetParam().keys.size()) - 1;
    EXPECT_TRUE(waitUntil([&] { return dialog.workingMacro().count() >= rows; }, 5000));
    QStringList keyRows;
    for (const QString& row : texts(dialog.workingMacro())) {
        if (!row.startsWith('<')) {
            keyRows << row;
        }
    }
    EXPECT_EQ(keyRows, GetParam().keyRows);
    clickRegion(dialog, kOk);  // stops the recording, and gives the keyboard back
    EXPECT_FALSE(dialog.regionById(kRecordMacro).lit);
    XTestClient focus(server->display());
    ASSERT_TRUE(focus.focusOwnWindow());
    focus.tap(KEY_A);
    EXPECT_EQ(focus.keysReceived(std::chrono::milliseconds(300)).size(), 2u);
    EXPECT_EQ(dialog.workingMacro().count(), rows);
}

INSTANTIATE_TEST_SUITE_P(Keys, RecorderOnXTable, testing::ValuesIn(kTypedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecorderOnX, ACombinationTypedTakesSixKeys) {
    KeyboardConfig config;
    buildKeyTables(config);
    config.clear();
    config.language = "en-US";
    config.currentKey = kKey;
    StepList entry(6);
    entry.items.push_back(u"c");
    entry.children.emplace_back(6);
    config.predefinedCombos = entry;
    CTravoDialogKeyMapSettings dialog(config);
    dialog.show();
    clickRegion(dialog, kCombo);
    clickRegion(dialog, kRecordCombo);
    for (int code : {KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_A, KEY_B, KEY_C, KEY_D, KEY_E}) {
        keys->key(code, true);
    }
    for (int code : {KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_A, KEY_B, KEY_C, KEY_D, KEY_E}) {
        keys->key(code, false);
    }
    EXPECT_TRUE(waitUntil([&] { return dialog.workingCombo().count() == 6; }, 5000));
    pause(200);
    EXPECT_EQ(texts(dialog.workingCombo()),
              QStringList({"Left CONTROL", "Left SHIFT", "A", "B", "C", "D"}));
    clickRegion(dialog, kOk);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(config.slot(kKey, 0).mode, Combo);
}

// The pause a delay row holds.
int pauseOf(const QString& row) {
    return row.mid(1, row.size() - 5).toInt();
}

TEST_F(RecorderOnX, ARecordedMacroIsWrittenToTheKeyboardAsItsRowsSay) {
    DeviceDialogTest env;
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    allPictures();
    StepList entry(9);
    entry.items.push_back(u"m");
    entry.children.emplace_back(9);
    CTravoDlg main(env.config);
    ASSERT_TRUE(main.initialise());  // starts with an empty document
    env.config.predefinedMacros = entry;
    main.show();

    QStringList recorded;
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CTravoDialogKeyMapSettings*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        ran = true;
        clickRegion(*dialog, kMacroTab);
        clickRegion(*dialog, kRecordMacro);
        EXPECT_TRUE(dialog->regionById(kRecordMacro).lit);
        keys->key(KEY_A, true);
        pause(80);
        keys->key(KEY_A, false);
        pause(30);
        keys->tap(KEY_B);
        EXPECT_TRUE(waitUntil([&] { return dialog->workingMacro().count() == 7; }, 5000));
        recorded = texts(dialog->workingMacro());
        clickRegion(*dialog, kOk);  // stops
        clickRegion(*dialog, kOk);  // stores
    });
    clickRegion(main, kKeyRegionIdBase + kKey);
    ASSERT_TRUE(ran);
    ASSERT_EQ(recorded.size(), 7);
    EXPECT_EQ(recorded[0], "A Down");
    EXPECT_EQ(recorded[2], "A UP");
    EXPECT_EQ(recorded[4], "B Down");
    EXPECT_EQ(recorded[6], "B UP");
    // The rows between the keys are the pauses the recorder timed; how long they are depends on
    // how busy the machine was (the recorder's clock is tested with a fixed clock elsewhere).
    for (int row : {1, 3, 5}) {
        EXPECT_TRUE(recorded[row].startsWith('<') && recorded[row].endsWith(" ms>")) << row;
        EXPECT_GE(pauseOf(recorded[row]), 0) << row;
    }
    EXPECT_EQ(env.config.slot(kKey, 0).mode, Macro);

    clickRegion(main, kWriteKeys);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    ASSERT_TRUE(env.keyboard->waitForReports(218, 5000));
    const auto record = env.keyboard->slotRecord(1, kKey);
    ASSERT_EQ(record.size(), 1u);
    // Header: key record of level 1, type 2 (played a number of times), once, with a pause
    // after each step, no fixed delay, 4 steps of 4 bytes but the last.
    const int a = env.config.keyCodeToHwCode['A'];
    const int b = env.config.keyCodeToHwCode['B'];
    oskel::Payload expected{};
    const int header[] = {0x00, 0xF0, 1, kKey, 2, 1, 1, 0, 0, 0, 13};
    std::copy(std::begin(header), std::end(header), expected.begin());
    const int stepCodes[] = {a, a, b, b};
    for (int step = 0; step < 4; ++step) {
        const std::size_t at = 11 + 4 * static_cast<std::size_t>(step);
        expected[at] = static_cast<std::uint8_t>(stepCodes[step]);
        if (step < 3) {
            const int ms = pauseOf(recorded[2 * step + 1]);
            expected[at + 1] = 0xC8;
            expected[at + 2] = static_cast<std::uint8_t>(ms >> 8);
            expected[at + 3] = static_cast<std::uint8_t>(ms & 0xFF);
        }
    }
    EXPECT_EQ(record.front(), expected);
}

}  // namespace
