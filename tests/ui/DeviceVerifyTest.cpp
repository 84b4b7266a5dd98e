// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's key write read back and compared against a virtual keyboard that runs out
// of memory, the setting that turns it off, and the recent profiles of the notification-area
// menu.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "CTravoDialogProgress.h"
#include "CTravoDlg.h"
#include "DeviceTestSupport.h"
#include "DialogWatch.h"
#include "ProgramSettings.h"
#include "RecentProfiles.h"
#include "RegionIds.h"

namespace {

constexpr int kA = 43;
constexpr int kB = 60;

// The program's settings and the recent list in a folder of the test's own.
class SettingsFolder {
public:
    SettingsFolder() : previous(qgetenv("XDG_CONFIG_HOME")) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    }
    ~SettingsFolder() { qputenv("XDG_CONFIG_HOME", previous); }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

private:
    QTemporaryDir dir;
    QByteArray previous;
};

// The main window on a virtual keyboard of `options`, with settings and a recent list of the
// test's own.
struct Window {
    explicit Window(oskel::VirtualKeyboardOptions options = {}) : env(options), main(env.config) {}
    // False when the keyboard or the window could not be set up.
    bool open() {
        if (!env.ready() || !main.initialise()) {
            return false;
        }
        main.show();
        return true;
    }

    SettingsFolder settings;
    DeviceDialogTest env;
    CTravoDlg main;
};

oskel::VirtualKeyboardOptions withMemory(long long bytes) {
    oskel::VirtualKeyboardOptions options;
    options.memory = bytes;
    return options;
}

// A macro of 15 steps with their own pauses: two reports, 128 bytes of the keyboard's memory.
void setTwoReportMacro(KeyAssignment& slot) {
    slot.mode = Macro;
    slot.steps = StepList(9);
    for (int i = 0; i < 15; ++i) {
        if (i > 0) {
            slot.steps.append(u"<20 ms>");
        }
        slot.steps.append(u"A");
    }
}

void setSingle(KeyAssignment& slot, int code) {
    slot.mode = Single;
    slot.hwCode = code;
}

bool requestedKeyRead(const oskel::VirtualKeyboard& keyboard) {
    for (const oskel::Payload& p : keyboard.receivedReports()) {
        if (p[0] == 0x00 && p[1] == 0xF2) {
            return true;
        }
    }
    return false;
}

struct WatchedWrite {
    bool sawVerifying = false;
    QString title;
    int progressAfterVerifying = 0;
};

// Clicks WriteKeys and watches the progress dialog while it runs.
WatchedWrite clickWriteKeys(CTravoDlg& main) {
    WatchedWrite seen;
    DialogWatch<CTravoDialogProgress> watch;
    watch.onProgress = [&](CTravoDialogProgress& dialog) {
        if (dialog.verifying()) {
            seen.sawVerifying = true;
            ++seen.progressAfterVerifying;
            seen.title = dialog.regionById(ProgressRegion::Title).label.at(dialog.language());
        }
    };
    clickRegion(main, MainRegion::WriteKeys);
    return seen;
}

TEST(MainWindowVerify, AKeyboardOutOfMemoryNamesTheKeysInsteadOfOk) {
    Window w(withMemory(64));  // room for one record of one report
    ASSERT_TRUE(w.open()) << w.env.problem;
    setSingle(w.env.config.slot(1, 0), kA);
    setTwoReportMacro(w.env.config.slot(3, 0));
    setSingle(w.env.config.slot(3, 1), kB);

    const WatchedWrite seen = clickWriteKeys(w.main);
    EXPECT_TRUE(seen.sawVerifying);
    EXPECT_EQ(seen.title, QStringLiteral("Verifying…"));
    EXPECT_GT(seen.progressAfterVerifying, 200) << "the read-back moves the bar again";
    ASSERT_EQ(w.env.seam.messages.size(), 1);
    const QString shown = w.env.seam.messages[0];
    EXPECT_FALSE(shown.contains(QStringLiteral("OK!"))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(
        QStringLiteral("The keyboard did not keep everything that was written; 2 differ:")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral(
        "F2, level 1: a macro of 15 steps was written, the keyboard holds an empty slot")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral(
        "F2, level 2: the key B (code 60) was written, the keyboard holds an empty slot")))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("Esc"))) << "the key that fitted is not named";
}

TEST(MainWindowVerify, ChineseWhileVerifyingAndInTheMessage) {
    Window w(withMemory(0));
    ASSERT_TRUE(w.open()) << w.env.problem;
    w.env.config.language = "zh-CN";
    setSingle(w.env.config.slot(1, 0), kA);

    const WatchedWrite seen = clickWriteKeys(w.main);
    EXPECT_EQ(seen.title, QStringLiteral("校验中…"));
    ASSERT_EQ(w.env.seam.messages.size(), 1);
    EXPECT_TRUE(w.env.seam.messages[0].contains(
        QStringLiteral("Esc，上档键：写入的是按键 A（代码 43），键盘上是空键位")))
        << w.env.seam.messages[0].toStdString();
}

TEST(MainWindowVerify, OnByDefaultAndOkWhenTheKeyboardKeptEverything) {
    Window w;
    EXPECT_TRUE(programSettings::verifyAfterWrite());
    ASSERT_TRUE(w.open()) << w.env.problem;
    setTwoReportMacro(w.env.config.slot(3, 0));

    EXPECT_TRUE(clickWriteKeys(w.main).sawVerifying);
    EXPECT_EQ(w.env.seam.messages, QStringList{"OK!"});
    EXPECT_TRUE(requestedKeyRead(*w.env.keyboard));
}

TEST(MainWindowVerify, TurnedOffInTheMenuTheWriteEndsWithOkAndReadsNothing) {
    Window w(withMemory(0));
    ASSERT_TRUE(w.open()) << w.env.problem;
    QMenu* menu = w.main.trayContextMenu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QAction* toggle = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Verify after writing")) {
            toggle = action;
        }
    }
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(programSettings::verifyAfterWrite());
    EXPECT_FALSE(QSettings(programSettings::file(), QSettings::NativeFormat)
                     .value(QStringLiteral("verifyAfterWrite"))
                     .toBool());
    setSingle(w.env.config.slot(1, 0), kA);

    EXPECT_FALSE(clickWriteKeys(w.main).sawVerifying);
    EXPECT_EQ(w.env.seam.messages, QStringList{"OK!"});
    EXPECT_FALSE(requestedKeyRead(*w.env.keyboard));
}

TEST(MainWindowVerify, AKeyboardThatTakesTheWriteButDoesNotAnswerIsSaidSo) {
    oskel::VirtualKeyboardOptions options;
    options.silent = true;  // takes every report, answers none
    Window w(options);
    ASSERT_TRUE(w.open()) << w.env.problem;
    setSingle(w.env.config.slot(1, 0), kA);

    clickRegion(w.main, MainRegion::WriteKeys);
    EXPECT_EQ(w.env.seam.messages,
              QStringList{"The keys were written, but reading them back to check failed!"});
}

// Opens and saves go to the list; the menu shows it newest first and applies an entry.
class RecentSeam : public RecordingSeam {
public:
    UiAnswer answer = UiAnswer::Cancel;
    int questions = 0;
    // The save dialog answers from RecordingSeam::saveAnswers.
    UiAnswer question(QWidget*, const QString&, bool, const QString&) override {
        ++questions;
        return answer;
    }
};

QList<QAction*> profileActions(CTravoDlg& main) {
    QMenu* menu = main.trayContextMenu();
    emit menu->aboutToShow();
    QList<QAction*> out;
    for (QAction* action : menu->actions()) {
        if (action->data().isValid()) {
            out << action;
        }
    }
    return out;
}

TEST(MainWindowRecent, TheMenuAppliesAProfileKeysAndBacklight) {
    Window w;
    RecentSeam seam;
    UiSeam::install(&seam);
    ASSERT_TRUE(w.open()) << w.env.problem;

    // Two profiles made by the program, the second opened through its Open button.
    const QString gaming = w.settings.path(QStringLiteral("gaming.pro"));
    const QString evening = w.settings.path(QStringLiteral("evening.pro"));
    setSingle(w.env.config.slot(5, 0), kA);
    w.env.config.backlight[5] = {1, 2, 3};
    ASSERT_TRUE(w.env.config.saveProfile(gaming.toStdString()));
    w.env.config.clear();
    setSingle(w.env.config.slot(9, 1), kB);
    w.env.config.backlight[9] = {200, 100, 50};
    ASSERT_TRUE(w.env.config.saveProfile(evening.toStdString()));
    w.env.config.clear();
    RecentProfiles().add(gaming.toStdString());
    seam.openAnswers = {evening};
    clickRegion(w.main, MainRegion::Open);
    ASSERT_EQ(w.env.config.slot(9, 1).mode, Single);

    QList<QAction*> listed = profileActions(w.main);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0]->text(), QStringLiteral("evening.pro"));
    EXPECT_EQ(listed[1]->text(), QStringLiteral("gaming.pro"));
    EXPECT_EQ(listed[1]->data().toString(), gaming);

    // Unsaved changes: Cancel keeps them, and nothing is loaded or written.
    setSingle(w.env.config.slot(100, 0), kA);
    const std::size_t before = w.env.keyboard->receivedCount();
    listed[1]->trigger();
    EXPECT_EQ(seam.questions, 1);
    EXPECT_EQ(w.env.config.slot(100, 0).mode, Single);
    EXPECT_EQ(w.env.config.slot(5, 0).mode, NotSet);
    EXPECT_EQ(w.env.keyboard->receivedCount(), before);

    // No: the changes go, the profile is loaded and written, keys and colours.
    seam.answer = UiAnswer::No;
    listed = profileActions(w.main);
    listed[1]->trigger();
    EXPECT_EQ(seam.questions, 2);
    EXPECT_EQ(w.env.config.slot(100, 0).mode, NotSet);
    EXPECT_EQ(w.env.config.slot(5, 0).mode, Single);
    EXPECT_FALSE(w.main.hasUnsavedChanges());
    EXPECT_EQ(seam.messages, QStringList{"OK!"});
    ASSERT_TRUE(w.env.keyboard->waitForReports(before + 218, 5000));
    EXPECT_EQ(w.env.keyboard->slotRecord(1, 5)[0][6], kA);
    EXPECT_EQ(w.env.keyboard->slotRecord(2, 9)[0][5], 0) << "the other profile's key is gone";
    EXPECT_TRUE(waitUntil([&] { return w.env.keyboard->lights()[4 * 3] == 1; }));
    EXPECT_EQ(w.env.keyboard->lights()[4 * 3 + 2], 3);
    // Applied, it is the newest.
    listed = profileActions(w.main);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0]->data().toString(), gaming);

    // Without changes it asks nothing; a profile that went away drops out of the menu.
    QFile::remove(evening);
    listed = profileActions(w.main);
    ASSERT_EQ(listed.size(), 1);
    listed[0]->trigger();
    EXPECT_EQ(seam.questions, 2);
    UiSeam::install(&w.env.seam);
}

// A window that is never hidden to the tray reaches the same profiles and setting through a right
// click; Exit stays with the tray, the window has its own button.
TEST(MainWindowRecent, ARightClickOnTheWindowOffersTheProfilesAndTheSetting) {
    Window w;
    ASSERT_TRUE(w.open()) << w.env.problem;
    const QString gaming = w.settings.path(QStringLiteral("gaming.pro"));
    ASSERT_TRUE(w.env.config.saveProfile(gaming.toStdString()));
    ASSERT_TRUE(RecentProfiles().add(gaming.toStdString()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.main));

    QStringList shown;
    QList<QVariant> data;
    QTimer::singleShot(0, &w.main, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            shown << action->text();
            data << action->data();
        }
        menu->close();
    });
    // What the desktop sends for a right click on the title strip.
    const QPoint at(600, 60);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, w.main.mapToGlobal(at));
    QApplication::sendEvent(&w.main, &click);
    EXPECT_EQ(shown, (QStringList{"Undo", "Redo", "", "gaming.pro", "", "Verify after writing"}));
    ASSERT_GE(data.size(), 4);
    EXPECT_EQ(data[3].toString(), gaming);

    // The switch in it is the setting itself.
    std::unique_ptr<QMenu> menu = w.main.windowMenu();
    QAction* verify = menu->actions().constLast();
    ASSERT_TRUE(verify->isCheckable());
    verify->trigger();
    EXPECT_FALSE(programSettings::verifyAfterWrite());
}

TEST(MainWindowRecent, OpenedAndSavedProfilesComeFirstAndEightAreKept) {
    Window w;
    RecentSeam seam;
    UiSeam::install(&seam);
    ASSERT_TRUE(w.open()) << w.env.problem;
    for (int i = 0; i < 9; ++i) {
        const QString path = w.settings.path(QStringLiteral("p%1.pro").arg(i));
        ASSERT_TRUE(w.env.config.saveProfile(path.toStdString()));
        seam.openAnswers = {path};
        clickRegion(w.main, MainRegion::Open);
    }
    QList<QAction*> listed = profileActions(w.main);
    ASSERT_EQ(listed.size(), 8);
    EXPECT_EQ(listed.front()->text(), QStringLiteral("p8.pro"));
    EXPECT_EQ(listed.back()->text(), QStringLiteral("p1.pro"));

    // Opened again, an older one moves up instead of appearing twice.
    seam.openAnswers = {w.settings.path(QStringLiteral("p3.pro"))};
    clickRegion(w.main, MainRegion::Open);
    // Saved under a new name, that name comes first.
    seam.saveAnswers = {w.settings.path(QStringLiteral("saved.pro"))};
    clickRegion(w.main, MainRegion::Save);
    listed = profileActions(w.main);
    ASSERT_EQ(listed.size(), 8);
    QStringList names;
    for (QAction* action : listed) {
        names << action->text();
    }
    EXPECT_EQ(names, (QStringList{"saved.pro", "p3.pro", "p8.pro", "p7.pro", "p6.pro", "p5.pro",
                                  "p4.pro", "p2.pro"}));
    UiSeam::install(&w.env.seam);
}

// What may stand at the names of the settings and the recent list instead of them: the window
// still opens (nothing blocks on a FIFO or reads /dev/zero), the defaults apply, each is
// warned about, and none is replaced when a setting changes.
TEST(ProgramSettingsFile, WhatIsNoSettingsFileIsNeitherReadNorReplaced) {
    const struct {
        const char* name;
        void (*make)(const QString& at);
    } cases[] = {
        {"a FIFO", [](const QString& at) { ASSERT_EQ(mkfifo(at.toLocal8Bit(), 0600), 0); }},
        {"a link to /dev/zero",
         [](const QString& at) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), at)); }},
        {"one line of 300 MB",
         [](const QString& at) {
             QFile file(at);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("verifyAfterWrite=false");
             ASSERT_TRUE(file.resize(300 << 20));  // sparse: no disk space needed
         }},
    };
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        Window w;
        EXPECT_EQ(programSettings::file(),
                  QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("oskel"),
                            QStringLiteral("Oskel"))
                      .fileName())
            << "the same file as the desktop's usual place";
        ASSERT_TRUE(QDir().mkpath(w.settings.path(QStringLiteral("oskel"))));
        const QString settingsFile = programSettings::file();
        const QString recentList = QString::fromStdString(RecentProfiles::defaultFile());
        hostile.make(settingsFile);
        hostile.make(recentList);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(w.open()) << w.env.problem;
        EXPECT_TRUE(programSettings::verifyAfterWrite());
        EXPECT_EQ(programSettings::profileFolder(), QDir::homePath());
        programSettings::setVerifyAfterWrite(false);
        programSettings::rememberProfileFolder(w.settings.path(QStringLiteral("x.pro")));
        EXPECT_TRUE(RecentProfiles().list().empty());
        const std::string warnings = testing::internal::GetCapturedStderr();
        EXPECT_NE(warnings.find("warning: the settings file " + settingsFile.toStdString() +
                                " was ignored"),
                  std::string::npos)
            << warnings;
        EXPECT_NE(warnings.find("warning: the recent-profiles list " + recentList.toStdString() +
                                " was ignored"),
                  std::string::npos)
            << warnings;
        const QFileInfo after(settingsFile);
        EXPECT_TRUE(after.isSymLink() || !after.isFile() || after.size() == (300 << 20))
            << "left as it was";
    }
}

}  // namespace
