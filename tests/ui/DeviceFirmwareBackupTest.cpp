// SPDX-License-Identifier: GPL-2.0-or-later
// The firmware dialog keeps a copy of the keyboard's keys: read before the download, offered
// back after it, and a question when the keyboard cannot be read.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

#include "CTravoDialogFirmwareUpdate.h"
#include "KeyTables.h"
#include "OskelTestSupport.h"
#include "RegionIds.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"

namespace {

const QString kGoodFirmware = QStringLiteral(OSKEL_TEST_FIRMWARE);
const QString kRestore =
    QStringLiteral("Write the keys saved before the update back to the keyboard?");
constexpr std::size_t kFirmwareRecords = 12;

// The recording seam, running `onQuestion` as each question is asked (before its answer).
class QuestionSeam : public RecordingSeam {
public:
    UiAnswer question(QWidget* parent, const QString& text, bool withCancel,
                      const QString& title) override {
        if (onQuestion) {
            onQuestion(text);
        }
        return RecordingSeam::question(parent, text, withCancel, title);
    }
    std::function<void(const QString&)> onQuestion;
};

QStringList backupsNow() {
    QDir folder(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/oskel/backups"));
    return folder.entryList({QStringLiteral("*.pro")}, QDir::Files, QDir::Name);
}

oskel::Payload payload(std::initializer_list<std::uint8_t> head) {
    oskel::Payload p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

}  // namespace

// The keyboard holds F1 on its first key and a red second key; the download (here) leaves it
// blank; Yes writes exactly what it held back, and the user's document stays as it was.
TEST(FirmwareBackup, TakenBeforeTheDownloadAndWrittenBackOnYes) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    buildKeyTables(env.config);
    env.config.language = "en-US";
    QuestionSeam seam;
    UiSeam::install(&seam);
    const std::vector<oskel::Payload> f1 = {payload({0x00, 0xF0, 1, 1, 0, 1, 2})};
    env.keyboard->setSlotRecord(0, f1);
    std::array<std::uint8_t, 324> lights{};
    lights[3] = 255;
    env.keyboard->setLights(lights);
    env.config.slot(7, 0).mode = Single;
    env.config.slot(7, 0).hwCode = 43;
    const QStringList before = backupsNow();

    // A firmware that forgets everything: blank the keyboard before answering.
    seam.onQuestion = [&](const QString&) {
        env.keyboard->setSlotRecord(0, {payload({0x00, 0xF0, 1, 1})});
        env.keyboard->setLights({});
    };
    seam.questionAnswers << UiAnswer::Yes;
    seam.openAnswers << kGoodFirmware;
    CTravoDialogFirmwareUpdate dialog(env.config, nullptr);
    dialog.open();
    clickRegion(dialog, FirmwareRegion::OpenFile);
    clickRegion(dialog, FirmwareRegion::Update);
    ASSERT_TRUE(waitUntil([&] { return seam.messages.contains(QStringLiteral("OK!")); }))
        << seam.messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(seam.questions, QStringList{kRestore});
    EXPECT_EQ(env.keyboard->firmwareLines().size(), kFirmwareRecords);
    EXPECT_EQ(backupsNow().size(), before.size() + 1);

    ASSERT_TRUE(waitUntil([&] { return !dialog.downloading(); }));
    EXPECT_EQ(env.keyboard->slotRecord(0), f1);
    EXPECT_EQ(env.keyboard->slotRecord(1, 2),
              std::vector<oskel::Payload>{payload({0x00, 0xF0, 1, 2})});
    EXPECT_EQ(env.keyboard->lights(), lights);
    EXPECT_EQ(env.config.slot(7, 0).mode, Single);
    EXPECT_EQ(env.config.slot(1, 0).mode, NotSet);
    UiSeam::install(&env.seam);
}

// No writes unless asked: No leaves the keyboard as the download left it.
TEST(FirmwareBackup, NoLeavesTheKeyboardAlone) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.language = "en-US";
    env.seam.questionAnswers << UiAnswer::No;
    env.seam.openAnswers << kGoodFirmware;
    CTravoDialogFirmwareUpdate dialog(env.config, nullptr);
    dialog.open();
    clickRegion(dialog, FirmwareRegion::OpenFile);
    clickRegion(dialog, FirmwareRegion::Update);
    ASSERT_TRUE(waitUntil([&] { return !env.seam.questions.isEmpty(); }));
    EXPECT_EQ(env.seam.questions, QStringList{kRestore});
    // The backup's two requests and the firmware records, nothing written after them.
    EXPECT_TRUE(waitUntil([&] { return env.keyboard->receivedCount() >= 2 + kFirmwareRecords; }));
    EXPECT_EQ(env.keyboard->receivedCount(), 2 + kFirmwareRecords);
    EXPECT_FALSE(dialog.downloading());
}

// A keyboard that cannot be read: asked first; No sends nothing, Yes downloads without a copy
// and offers nothing back afterwards.
TEST(FirmwareBackup, AKeyboardThatCannotBeReadAsksFirst) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.language = "en-US";
    env.keyboard->setSilent(true);
    env.seam.openAnswers << kGoodFirmware;
    env.seam.questionAnswers << UiAnswer::No << UiAnswer::Yes;
    CTravoDialogFirmwareUpdate dialog(env.config, nullptr);
    dialog.open();
    clickRegion(dialog, FirmwareRegion::OpenFile);
    clickRegion(dialog, FirmwareRegion::Update);
    ASSERT_TRUE(waitUntil([&] { return env.seam.questions.size() == 1 && !dialog.downloading(); }));
    EXPECT_TRUE(env.seam.questions[0].startsWith(
        QStringLiteral("The keyboard's keys and backlight could not be read")))
        << env.seam.questions[0].toStdString();
    EXPECT_TRUE(env.keyboard->firmwareLines().empty());
    EXPECT_TRUE(env.seam.messages.isEmpty());

    clickRegion(dialog, FirmwareRegion::Update);
    ASSERT_TRUE(
        waitUntil([&] { return env.seam.questions.size() == 2 && !dialog.downloading(); }, 20000));
    ASSERT_TRUE(waitUntil([&] { return !env.seam.messages.isEmpty() && !dialog.downloading(); }));
    EXPECT_TRUE(env.seam.messages.last().startsWith(QStringLiteral("The Firmware is downloaded")));
    EXPECT_TRUE(
        waitUntil([&] { return env.keyboard->firmwareLines().size() == kFirmwareRecords; }));
    EXPECT_EQ(env.seam.questions.size(), 2);
}
