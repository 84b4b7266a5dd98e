// SPDX-License-Identifier: GPL-2.0-or-later
// Both device dialogs caught in the middle of a transfer, saved as pictures to look at, and
// checked where the bar must come from the lit picture and where from the background.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDialogProgress.h"
#include "DeviceDialogs.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"
#include "OskelTestSupport.h"
#include "RegionIds.h"
#include "SkinResources.h"

namespace {

constexpr int kBarLeft = 40;
constexpr int kBarMiddleY = 161;

QString shotPath(const char* name) {
    QDir().mkpath(QStringLiteral(OSKEL_SCREENSHOT_DIR));
    return QDir(QStringLiteral(OSKEL_SCREENSHOT_DIR)).filePath(QString::fromLatin1(name));
}

// The filled part of the bar shows the lit picture, the rest the background.
void expectBar(const QImage& shot, int barWidth, int litId, int backgroundId) {
    const QImage lit = SkinResources::current().picture(litId)->toImage();
    const QImage background = SkinResources::current().picture(backgroundId)->toImage();
    const int inside = kBarLeft + barWidth / 2;
    const int outside = kBarLeft + barWidth + (290 - barWidth) / 2;
    EXPECT_EQ(shot.pixel(inside, kBarMiddleY), lit.pixel(inside, kBarMiddleY));
    EXPECT_EQ(shot.pixel(outside, kBarMiddleY), background.pixel(outside, kBarMiddleY));
    EXPECT_NE(lit.pixel(inside, kBarMiddleY), background.pixel(inside, kBarMiddleY))
        << "lit and background pictures do not differ in the bar";
}

}  // namespace

TEST(DeviceScreenshots, ProgressDialogMidWrite) {
    if (!useWindowPictures()) {
        GTEST_SKIP() << "the window pictures (OskelRES.rcc) were not built";
    }
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.config.language = "zh-CN";
    QImage shot;
    int width = 0;
    DialogWatch<CTravoDialogProgress> watch;
    watch.onProgress = [&](CTravoDialogProgress& d) {
        if (watch.progressMessages == 110) {
            width = d.barWidth();
            shot = d.grab().toImage();
        }
    };
    EXPECT_EQ(runDeviceProgress(nullptr, WriteKeySettings, env.config), ProgressResult::Done);
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(width, 0);
    EXPECT_LT(width, 290);
    EXPECT_TRUE(shot.save(shotPath("progress-mid-write.png")));
    expectBar(shot.convertToFormat(QImage::Format_RGB32), width, 141, 139);
}

TEST(DeviceScreenshots, FirmwareDialogMidDownload) {
    const QString firmware = QStringLiteral(OSKEL_TEST_FIRMWARE);
    if (!useWindowPictures()) {
        GTEST_SKIP() << "the window pictures (OskelRES.rcc) were not built";
    }
    DeviceDialogTest env;
    NEED_KEYBOARD(env);
    env.seam.openAnswers << firmware;
    CTravoDialogFirmwareUpdate dialog(env.config, nullptr);
    dialog.open();
    clickRegion(dialog, FirmwareRegion::GetVersion);
    clickRegion(dialog, FirmwareRegion::OpenFile);
    QImage shot;
    int width = 0;
    DialogWatch<CTravoDialogFirmwareUpdate> watch;
    watch.onProgress = [&](CTravoDialogFirmwareUpdate& d) {
        if (watch.progressMessages == 8) {
            width = d.barWidth();
            shot = d.grab().toImage();
        }
    };
    clickRegion(dialog, FirmwareRegion::Update);
    ASSERT_TRUE(waitUntil([&] { return !dialog.downloading(); }));
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(width, 0);
    EXPECT_LT(width, 290);
    EXPECT_TRUE(shot.save(shotPath("firmware-mid-download.png")));
    expectBar(shot.convertToFormat(QImage::Format_RGB32), width, 130, 128);
    EXPECT_TRUE(dialog.grab().save(shotPath("firmware-done.png")));
}
