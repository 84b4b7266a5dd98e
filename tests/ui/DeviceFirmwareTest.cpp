// SPDX-License-Identifier: GPL-2.0-or-later
// The firmware update dialog against an in-process virtual keyboard.

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "CTravoDialogFirmwareUpdate.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"
#include "OskelTestSupport.h"
#include "RegionIds.h"

using Watch = DialogWatch<CTravoDialogFirmwareUpdate>;

namespace {

const QString kGoodFirmware = QStringLiteral(OSKEL_TEST_FIRMWARE);

const QString kDownloaded = QStringLiteral(
    "The Firmware is downloaded successfully.\n"
    "Please keep the USB plug in until three indicator lights flash simultaneously.\n"
    "Then firmware updated completely,pleased unplug the USB and plug in.");
const QString kFailed = QStringLiteral("Firmware download failed.");
const QString kCannotOpen = QStringLiteral("Can't open firmware file");
const QString kRunning =
    QStringLiteral("A firmware download is in progress. Please wait until it ends.");

// The dialog shown without a nested loop, as the tests drive it.
struct OpenDialog {
    explicit OpenDialog(KeyboardConfig& config) : dialog(config, nullptr) {
        QObject::connect(&dialog, &QDialog::finished, [this](int) { finished = true; });
        dialog.open();
    }
    void click(int regionId) { clickRegion(dialog, regionId); }
    // Waits for the download's outcome.
    bool settle() {
        return waitUntil([this] { return !dialog.downloading(); });
    }
    CTravoDialogFirmwareUpdate dialog;
    bool finished = false;
};

std::vector<std::uint8_t> hexBytes(const QByteArray& line) {
    const QByteArray bytes = QByteArray::fromHex(line.mid(1));
    return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(FirmwareDialog, GoodFileReachesTheKeyboardLineByLine) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.seam.openAnswers << kGoodFirmware;
    OpenDialog open(env.config);
    Watch watch;

    open.click(FirmwareRegion::OpenFile);
    EXPECT_EQ(open.dialog.chosenPath, kGoodFirmware);
    EXPECT_EQ(open.dialog.fileBox->text(), kGoodFirmware);

    open.click(FirmwareRegion::Update);
    EXPECT_TRUE(open.dialog.downloading());
    EXPECT_EQ(open.dialog.percent, 1);
    // While it runs: a second update and a version read do nothing, closing is refused.
    open.click(FirmwareRegion::Update);
    open.click(FirmwareRegion::GetVersion);
    open.click(FirmwareRegion::Close);
    QTest::keyClick(&open.dialog, Qt::Key_Escape);
    EXPECT_EQ(env.seam.messages, (QStringList{kRunning, kRunning}));
    EXPECT_TRUE(open.dialog.versionBox->text().isEmpty());

    ASSERT_TRUE(open.settle());
    EXPECT_FALSE(open.finished);
    EXPECT_EQ(env.seam.messages.last(), kDownloaded);
    EXPECT_EQ(open.dialog.percent, 100);
    EXPECT_EQ(open.dialog.barWidth(), 290);
    EXPECT_GT(watch.progressMessages, 1);
    for (const Watch::Sample& s : watch.samples) {
        EXPECT_LE(s.barWidth, 290);
    }

    QFile file(kGoodFirmware);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::vector<std::uint8_t>> expected;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) {
            expected.push_back(hexBytes(line.trimmed()));
        }
    }
    // Firmware records are not answered: the keyboard may still be taking the last ones in.
    EXPECT_TRUE(waitUntil([&] { return env.keyboard->firmwareLines().size() >= expected.size(); }));
    EXPECT_EQ(env.keyboard->firmwareLines(), expected);

    // Idle again: the dialog closes now, with the bar as it ended.
    open.click(FirmwareRegion::Cancel);
    EXPECT_TRUE(open.finished);
    EXPECT_EQ(env.config.notifyWindow, nullptr);
}

struct BadFileCase {
    const char* name;
    QByteArray contents;
};

const BadFileCase kBadFiles[] = {
    {"not hex records", "this is not firmware\r\n"},
    {"bad checksum", ":0400000001020304F1\r\n:00000001FF\r\n"},
    {"good line then garbage", ":00000001FF\nxyz\n"},
    {"empty file", ""},
};

class FirmwareBadFile : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(FirmwareBadFile, FailsAndSendsNothing) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    const QString path = env.runtime.filePath("firmware.hex");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().contents);
    file.close();
    env.seam.openAnswers << path;
    OpenDialog open(env.config);

    open.click(FirmwareRegion::OpenFile);
    open.click(FirmwareRegion::Update);
    ASSERT_TRUE(open.settle());
    EXPECT_EQ(env.seam.messages, QStringList{kFailed});
    EXPECT_TRUE(env.keyboard->firmwareLines().empty());
    EXPECT_EQ(env.keyboard->receivedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, FirmwareBadFile, ::testing::ValuesIn(kBadFiles),
                         oskeltest::CaseName());

TEST(FirmwareDialog, WithoutAFileTheFileCannotBeOpened) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    OpenDialog open(env.config);

    open.click(FirmwareRegion::OpenFile);  // the user cancels the file chooser
    EXPECT_EQ(env.seam.openCalls, 1);
    EXPECT_TRUE(open.dialog.fileBox->text().isEmpty());
    open.click(FirmwareRegion::Update);
    ASSERT_TRUE(open.settle());
    EXPECT_EQ(env.seam.messages, QStringList{kCannotOpen});
    EXPECT_EQ(env.keyboard->receivedCount(), 0u);

    // A file that went away, and a folder, cannot be opened either.
    for (const QString& path : {env.runtime.filePath("gone.hex"), env.runtime.path()}) {
        env.seam.openAnswers << path;
        open.click(FirmwareRegion::OpenFile);
        open.click(FirmwareRegion::Update);
        ASSERT_TRUE(open.settle());
        EXPECT_EQ(env.seam.messages.last(), kCannotOpen) << path.toStdString();
    }
}

TEST(FirmwareDialog, CancelledFileChooserKeepsThePreviousChoice) {
    DeviceDialogTest env;
    OpenDialog open(env.config);
    env.seam.openAnswers << "/some/where/first.hex";
    open.click(FirmwareRegion::OpenFile);
    open.dialog.fileBox->setText("scribbled");
    open.click(FirmwareRegion::OpenFile);  // cancelled
    EXPECT_EQ(open.dialog.chosenPath, "/some/where/first.hex");
    EXPECT_EQ(open.dialog.fileBox->text(), "/some/where/first.hex");
}

struct VersionCase {
    const char* name;
    bool silent;
    const char* language;
    QString box;      // the version box afterwards
    QString message;  // empty: none shown
};

const VersionCase kVersions[] = {
    {"answered", false, "en-US", "TEST-FW 2.05", {}},
    {"silent keyboard", true, "en-US", "before", "Failed on reading keyboard version infomation"},
    {"silent, Chinese", true, "zh-CN", "before", QString::fromUtf16(u"读取键盘版本失败")},
    {"silent, other language", true, "fr-FR", "before", {}},
};

class FirmwareVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FirmwareVersion, ReadsIntoTheVersionBox) {
    const VersionCase& c = GetParam();
    oskel::VirtualKeyboardOptions options;
    options.version = "TEST-FW 2.05";
    options.silent = c.silent;
    DeviceDialogTest env(options);
    NEED_KEYBOARD(env);
    env.config.language = c.language;
    OpenDialog open(env.config);
    open.dialog.versionBox->setText("before");

    open.click(FirmwareRegion::GetVersion);
    EXPECT_EQ(open.dialog.versionBox->text(), c.box);
    EXPECT_EQ(env.seam.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
}

INSTANTIATE_TEST_SUITE_P(Version, FirmwareVersion, ::testing::ValuesIn(kVersions),
                         oskeltest::CaseName());

TEST(FirmwareDialog, OutcomeMessagesFollowTheLanguage) {
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.language = "zh-CN";
    OpenDialog open(env.config);
    open.click(FirmwareRegion::Update);
    ASSERT_TRUE(open.settle());
    env.config.language = "de-DE";
    open.click(FirmwareRegion::Update);
    ASSERT_TRUE(open.settle());
    // Chinese, then nothing for a language the dialog has no texts for.
    EXPECT_EQ(env.seam.messages, QStringList{QString::fromUtf16(u"打开固件文件失败")});
}

TEST(FirmwareDialog, TextBoxesSitWhereThePictureLeavesRoom) {
    DeviceDialogTest env;
    CTravoDialogFirmwareUpdate dialog(env.config, nullptr);
    EXPECT_EQ(dialog.versionBox->geometry(), QRect(44, 78, 162, 18));
    EXPECT_EQ(dialog.fileBox->geometry(), QRect(112, 116, 143, 19));
    EXPECT_TRUE(dialog.versionBox->isReadOnly());
    EXPECT_TRUE(dialog.fileBox->isReadOnly());
    EXPECT_EQ(dialog.versionBox->palette().color(QPalette::Text), QColor(255, 111, 0));
    EXPECT_EQ(dialog.versionBox->palette().color(QPalette::Base), QColor(20, 20, 20));
    EXPECT_EQ(dialog.versionBox->font().pixelSize(), 13);
    // Captions over the buttons never take their clicks.
    for (int caption : {FirmwareRegion::GetVersionCaption, FirmwareRegion::OpenFileCaption,
                        FirmwareRegion::UpdateCaption, FirmwareRegion::CancelCaption}) {
        EXPECT_EQ(dialog.clickScan(regionCentre(dialog, caption)), caption - 100);
    }
}
