// SPDX-License-Identifier: GPL-2.0-or-later
// The progress dialog and its worker against an in-process virtual keyboard.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <array>
#include <chrono>

#include "CTravoDialogProgress.h"
#include "DeviceDialogs.h"
#include "DeviceOperations.h"
#include "OskelTestSupport.h"
#include "RegionIds.h"
#include "device_test_support.h"
#include "device_watch.h"

using namespace std::chrono_literals;
using Watch = DialogWatch<CTravoDialogProgress>;

namespace {

// A few one-code assignments on both levels, and what the keyboard must store for them.
struct OneCodeKey {
    int key;
    int level;
    int mode;
    int hwCode;
};
constexpr OneCodeKey kAssigned[] = {
    {1, 0, Single, 0x04}, {50, 1, Function, 140}, {108, 0, Multimedia, 110},
    {64, 1, Power, 76},   {10, 0, Mouse, 127},
};

void assign(KeyboardConfig& config) {
    for (const OneCodeKey& k : kAssigned) {
        config.slot(k.key, k.level).mode = k.mode;
        config.slot(k.key, k.level).hwCode = k.hwCode;
    }
    // The left double click goes out as two codes.
    config.slot(20, 1).mode = Mouse;
    config.slot(20, 1).hwCode = 199;
}

// The codes slot (key, level index) must carry in its record.
std::vector<int> expectedCodes(int key, int level) {
    if (key == 20 && level == 1) {
        return {130, 130};
    }
    for (const OneCodeKey& k : kAssigned) {
        if (k.key == key && k.level == level) {
            return {k.hwCode};
        }
    }
    return {};
}

// Everything a load may change, to tell whether it changed anything.
struct DocumentImage {
    std::vector<int> modes, codes;
    std::vector<std::vector<std::u16string>> steps;
    decltype(KeyboardConfig::backlight) backlight;

    explicit DocumentImage(const KeyboardConfig& c) : backlight(c.backlight) {
        for (int key = 1; key <= 108; ++key) {
            for (int level = 0; level < 2; ++level) {
                modes.push_back(c.slot(key, level).mode);
                codes.push_back(c.slot(key, level).hwCode);
                steps.push_back(c.slot(key, level).steps.items);
            }
        }
    }
    bool operator==(const DocumentImage&) const = default;
};

void fillDocument(KeyboardConfig& config) {
    assign(config);
    config.slot(30, 0).mode = Combo;
    config.slot(30, 0).steps.items = {u"A", u"B"};
    config.slot(30, 0).steps.children.resize(2);
    for (int key = 1; key <= 108; ++key) {
        config.backlight[key] = {key, 255 - key, 7};
    }
}

oskel::Payload oneCodeRecord(int level, int key, std::vector<int> codes) {
    oskel::Payload p{};
    p[1] = 0xF0;
    p[2] = static_cast<std::uint8_t>(level);
    p[3] = static_cast<std::uint8_t>(key);
    p[4] = 0;
    p[5] = static_cast<std::uint8_t>(codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        p[6 + i] = static_cast<std::uint8_t>(codes[i]);
    }
    return p;
}

}  // namespace

int openAndWait(QDialog& dialog, int timeoutMs) {
    bool finished = false;
    int result = -1;
    QObject::connect(&dialog, &QDialog::finished, [&](int r) {
        finished = true;
        result = r;
    });
    dialog.open();
    return waitUntil([&] { return finished; }, timeoutMs) ? result : -1;
}

TEST(ProgressDialog, KeyWriteMovesTheBarSendsTheDocumentAndSaysOk) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    assign(env.config);
    Watch watch;

    EXPECT_EQ(runDeviceProgress(nullptr, WriteKeySettings, env.config), ProgressResult::Done);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});

    // One progress message per slot; the bar rises step by step and stops at its length.
    EXPECT_EQ(watch.progressMessages, 216);
    ASSERT_FALSE(watch.samples.empty());
    // The first sample is the opening 1 %; slot 0 then counts as 0 %.
    EXPECT_EQ(watch.samples.front().percent, 1);
    int previous = 0;
    bool between = false;
    for (std::size_t i = 1; i < watch.samples.size(); ++i) {
        const Watch::Sample& s = watch.samples[i];
        EXPECT_GE(s.percent, previous);
        EXPECT_LE(s.percent, 100);
        EXPECT_LE(s.barWidth, 290);
        between = between || (s.percent > 1 && s.percent < 100);
        previous = s.percent;
    }
    EXPECT_TRUE(between) << "the bar never showed a value between start and end";
    EXPECT_EQ(watch.samples.back().percent, 100);
    EXPECT_EQ(watch.samples.back().barWidth, 290);

    // Begin, one record per slot in slot order, end; each record carries the slot's codes.
    // Reports are not answered: the keyboard may still be taking the last ones in.
    EXPECT_TRUE(env.keyboard->waitForReports(218, 5000));
    const std::vector<oskel::Payload> reports = env.keyboard->receivedReports();
    ASSERT_EQ(reports.size(), 218u);
    EXPECT_EQ(reports.front()[1], 0xF1);
    for (int level = 0; level < 2; ++level) {
        for (int key = 1; key <= 108; ++key) {
            const oskel::Payload& record = reports[1 + level * 108 + key - 1];
            EXPECT_EQ(record, oneCodeRecord(level + 1, key, expectedCodes(key, level)))
                << "key " << key << " level " << level;
        }
    }
    // The document's notify window was the dialog's only while it ran.
    EXPECT_EQ(env.config.notifyWindow, nullptr);
}

TEST(ProgressDialog, LoadRebuildsKeysAndBacklightFromTheKeyboard) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.keyboard->setSlotRecord(4, {oneCodeRecord(1, 5, {0x04})});
    env.keyboard->setSlotRecord(108 + 6, {oneCodeRecord(2, 7, {130, 130})});
    env.keyboard->setSlotRecord(108 + 99, {oneCodeRecord(2, 100, {140})});
    std::array<std::uint8_t, 324> lights{};
    for (std::size_t i = 0; i < lights.size(); ++i) {
        lights[i] = static_cast<std::uint8_t>(i * 7);
    }
    env.keyboard->setLights(lights);
    // What the keyboard does not hold goes: the read replaces every slot.
    env.config.slot(3, 0).mode = Single;
    Watch watch;

    EXPECT_EQ(runDeviceProgress(nullptr, LoadFromKeyboard, env.config), ProgressResult::Done);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    EXPECT_GT(watch.progressMessages, 0);

    EXPECT_EQ(env.config.slot(5, 0).mode, Single);
    EXPECT_EQ(env.config.slot(5, 0).hwCode, 0x04);
    EXPECT_EQ(env.config.slot(7, 1).mode, Mouse);
    EXPECT_EQ(env.config.slot(7, 1).hwCode, 199);
    EXPECT_EQ(env.config.slot(100, 1).mode, Function);
    EXPECT_EQ(env.config.slot(100, 1).hwCode, 140);
    EXPECT_EQ(env.config.slot(3, 0).mode, NotSet);
    for (int key = 1; key <= 108; ++key) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(env.config.backlight[key][c], lights[(key - 1) * 3 + c]) << "key " << key;
        }
    }
}

TEST(ProgressDialog, BacklightWriteEndsWithTheFullBar) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    for (int key = 1; key <= 108; ++key) {
        env.config.backlight[key] = {key, 2 * key, 255 - key};
    }
    Watch watch;

    EXPECT_EQ(runDeviceProgress(nullptr, WriteBacklight, env.config), ProgressResult::Done);
    EXPECT_EQ(env.seam.messages, QStringList{"OK!"});
    EXPECT_EQ(watch.progressMessages, 1);
    ASSERT_FALSE(watch.samples.empty());
    EXPECT_EQ(watch.samples.back().percent, 100);
    EXPECT_EQ(watch.samples.back().barWidth, 290);
    // The light write is not answered: wait until the keyboard has taken the last chunk in.
    EXPECT_TRUE(
        waitUntil([&] { return env.keyboard->lights()[323] == env.config.backlight[108][2]; }));
    const auto lights = env.keyboard->lights();
    for (int key = 1; key <= 108; ++key) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(lights[(key - 1) * 3 + c], env.config.backlight[key][c]) << "key " << key;
        }
    }
}

struct FailureCase {
    const char* name;
    int operation;
    int dropAfter;  // reports the keyboard takes before it goes away; 0: gone before the start
    const char* language;
    const char16_t* message;
};

// Writes are not answered, so the socket takes a short write whole before the keyboard reads
// it; the key writes carry long macros, far more reports than the socket holds.
const FailureCase kFailures[] = {
    {"key write, drops mid-way", WriteKeySettings, 40, "en-US", u"Writing to the keyboard failed!"},
    {"key write, Chinese", WriteKeySettings, 300, "zh-CN", u"写入键盘失败！"},
    {"backlight write, keyboard gone", WriteBacklight, 0, "en-US",
     u"Writing to the keyboard failed!"},
    {"load", LoadFromKeyboard, 1, "en-US", u"Reading from the keyboard failed!"},
    {"load, Chinese", LoadFromKeyboard, 1, "zh-CN", u"读取键盘失败！"},
    {"load, keyboard gone", LoadFromKeyboard, 0, "en-US", u"Reading from the keyboard failed!"},
};

// Every key of level 1 plays a macro of 1000 automatic-interval steps (about 20 reports).
void assignLongMacros(KeyboardConfig& config) {
    for (int key = 1; key <= 108; ++key) {
        KeyAssignment& slot = config.slot(key, 0);
        slot.mode = Macro;
        slot.steps.items.assign(1000, u"A");
        slot.steps.children.assign(1000, StepList());
        slot.steps.IsAutoInterval = true;
    }
}

class ProgressFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ProgressFailure, EndsWithTheFailureMessageAndKeepsTheDocument) {
    const FailureCase& c = GetParam();
    oskel::VirtualKeyboardOptions options;
    options.dropAfter = c.dropAfter;
    DeviceDialogTest env(options);
    NEED_KEYBOARD(env);
    env.config.language = c.language;
    fillDocument(env.config);
    if (c.operation == WriteKeySettings) {
        assignLongMacros(env.config);
    }
    if (c.dropAfter == 0) {
        env.keyboard->stop();
    }
    const DocumentImage before(env.config);

    EXPECT_EQ(runDeviceProgress(nullptr, c.operation, env.config), ProgressResult::Failed);
    EXPECT_EQ(env.seam.messages, QStringList{QString::fromUtf16(c.message)});
    EXPECT_TRUE(DocumentImage(env.config) == before);
}

INSTANTIATE_TEST_SUITE_P(DroppedKeyboard, ProgressFailure, ::testing::ValuesIn(kFailures),
                         oskeltest::CaseName());

struct CancelCase {
    const char* name;
    int operation;
    bool silentKeyboard;  // the read then waits on the keyboard when cancel comes
    int clickAtProgress;  // 0: cancel as soon as the dialog shows
    int how;              // ProgressRegion::Close, ProgressRegion::Cancel, or 0 for the Escape key
};

const CancelCase kCancels[] = {
    {"write, cancel button", WriteKeySettings, false, 1, ProgressRegion::Cancel},
    {"write, close button", WriteKeySettings, false, 100, ProgressRegion::Close},
    {"write, escape", WriteKeySettings, false, 1, 0},
    {"load, keyboard silent", LoadFromKeyboard, true, 0, ProgressRegion::Cancel},
    {"load, after the keys arrived", LoadFromKeyboard, false, 216, ProgressRegion::Close},
    {"backlight write", WriteBacklight, false, 1, ProgressRegion::Cancel},
};

class ProgressCancel : public ::testing::TestWithParam<CancelCase> {};

// The waits after the transfers are far longer than the test waits: the dialog can only close
// in time when cancel cuts them short.
TEST_P(ProgressCancel, StopsTheWorkerReportsNothingAndKeepsTheDocument) {
    const CancelCase& c = GetParam();
    oskel::VirtualKeyboardOptions options;
    options.silent = c.silentKeyboard;
    DeviceDialogTest env(options);
    NEED_KEYBOARD(env);
    env.config.settleTimes = {60s, 60s, 60s};
    fillDocument(env.config);
    env.keyboard->setSlotRecord(4, {oneCodeRecord(1, 5, {0x04})});
    const DocumentImage before(env.config);

    CTravoDialogProgress dialog(env.config, nullptr);
    dialog.operation = c.operation;
    Watch watch;
    auto cancel = [&c](CTravoDialogProgress& d) {
        if (c.how == 0) {
            QTest::keyClick(&d, Qt::Key_Escape);
        } else {
            clickRegion(d, c.how);
        }
    };
    if (c.clickAtProgress == 0) {
        QTimer::singleShot(0, &dialog, [&] { cancel(dialog); });
    } else {
        watch.onProgress = [&](CTravoDialogProgress& d) {
            if (watch.progressMessages == c.clickAtProgress) {
                cancel(d);
                EXPECT_TRUE(d.cancelling());
                EXPECT_EQ(d.percent, 0);
            }
        };
    }

    EXPECT_EQ(openAndWait(dialog, 15000), QDialog::Rejected);
    EXPECT_TRUE(env.seam.messages.isEmpty());
    EXPECT_FALSE(dialog.cancelling());
    if (c.operation == LoadFromKeyboard) {
        EXPECT_TRUE(DocumentImage(env.config) == before);
    }
    EXPECT_EQ(env.config.notifyWindow, nullptr);

    // The worker has ended and the keyboard is free and not left cancelled: the next
    // transfer runs to its end.
    env.keyboard->setSilent(false);
    env.config.settleTimes = {0ms, 0ms, 0ms};
    EXPECT_EQ(runDeviceProgress(nullptr, WriteBacklight, env.config), ProgressResult::Done);
}

INSTANTIATE_TEST_SUITE_P(Cancel, ProgressCancel, ::testing::ValuesIn(kCancels),
                         oskeltest::CaseName());

TEST(ProgressDialog, EnterDoesNotEndATransfer) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.settleTimes.afterKeyWrite = 60s;
    CTravoDialogProgress dialog(env.config, nullptr);
    dialog.operation = WriteKeySettings;
    Watch watch;
    watch.onProgress = [&](CTravoDialogProgress& d) {
        if (watch.progressMessages == 1) {
            QTest::keyClick(&d, Qt::Key_Return);
            EXPECT_TRUE(d.isVisible());
            clickRegion(d, ProgressRegion::Cancel);
        }
    };
    EXPECT_EQ(openAndWait(dialog), QDialog::Rejected);
}

TEST(ProgressDialog, CaptionsFollowTheLanguage) {
    DeviceDialogTest env;
    CTravoDialogProgress dialog(env.config, nullptr);
    EXPECT_EQ(dialog.regionById(ProgressRegion::Warning).labelFor("zh-CN"),
              QString::fromUtf16(u"正在读写键盘，请勿插拔！"));
    EXPECT_EQ(dialog.regionById(ProgressRegion::Warning).labelFor("en-US"),
              "Keep the keyboard connected!");
    EXPECT_TRUE(dialog.regionById(ProgressRegion::Warning).textOnly);
    // The cancel caption never takes the click from the button under it.
    EXPECT_EQ(dialog.clickScan(regionCentre(dialog, ProgressRegion::CancelCaption)),
              ProgressRegion::Cancel);
    EXPECT_EQ(dialog.size(), QSize(366, 250));
}
