// SPDX-License-Identifier: GPL-2.0-or-later
// Undo and redo through the real main window: Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y after the key
// settings dialog's OK, after Clear and after Open, the menu items naming the step in both
// languages, and the keyboard left alone by all of it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "CTravoDialogKeyMapSettings.h"
#include "KeyTables.h"
#include "KeyboardLayout.h"
#include "MainWindowFixture.h"
#include "ProfileCommands.h"
#include "RegionIds.h"

namespace {

QString keyLabel(int key) {
    return QString::fromStdU16String(std::u16string(keyLayout(key)->name));
}

QString shotPath(const char* name) {
    QDir().mkpath(QStringLiteral(OSKEL_SCREENSHOT_DIR));
    return QDir(QStringLiteral(OSKEL_SCREENSHOT_DIR)).filePath(QString::fromLatin1(name));
}

}  // namespace

class UndoTest : public QObject, MainWindowFixture {
    Q_OBJECT

private:
    QTemporaryDir settingsFolder;
    QTemporaryDir files;

    const SkinRegion& region(int regionId) { return dlg->regionById(regionId); }
    QPoint centre(int regionId) { return toQRect(region(regionId).rect).center(); }
    void clickRegion(int regionId) {
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, centre(regionId));
    }
    void paint() { dlg->repaint(); }
    void keys(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(dlg.get(), key, modifiers);
    }
    void ctrlZ() { keys(Qt::Key_Z, Qt::ControlModifier); }

    // The key settings dialog on `key`: the Power tab, Sleep, OK.
    void assignSleep(int key) {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* settings =
                qobject_cast<CTravoDialogKeyMapSettings*>(QApplication::activeModalWidget());
            QVERIFY(settings != nullptr);
            seen = true;
            const auto press = [&](int id) {
                QTest::mouseClick(settings, Qt::LeftButton, {},
                                  toQRect(settings->regionById(id).rect).center());
            };
            press(KeySettingsRegion::FirstTab + 6);
            press(KeySettingsRegion::Sleep);
            press(KeySettingsRegion::Ok);
        });
        clickRegion(kKeyRegionIdBase + key);
        QVERIFY(seen);
        // The offscreen platform has no window manager to hand the focus back.
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }

    // The first two items of the right-click menu: undo and redo.
    struct Items {
        QString undo;
        bool undoEnabled;
        QString redo;
        bool redoEnabled;
    };
    Items menuItems() {
        const std::unique_ptr<QMenu> menu = dlg->windowMenu();
        const QList<QAction*> actions = menu->actions();
        return {actions.value(0)->text(), actions.value(0)->isEnabled(), actions.value(1)->text(),
                actions.value(1)->isEnabled()};
    }
    // The tray menu holds the same two items.
    void trayMatchesWindowMenu() {
        QMenu* tray = dlg->trayContextMenu();
        emit tray->aboutToShow();
        const Items shown = menuItems();
        QCOMPARE(tray->actions().value(0)->text(), shown.undo);
        QCOMPARE(tray->actions().value(0)->isEnabled(), shown.undoEnabled);
        QCOMPARE(tray->actions().value(1)->text(), shown.redo);
    }
    QString profileWithKey(const char* name, int key) {
        KeyboardConfig other;
        other.clear();
        other.slot(key, 0).mode = Single;
        other.slot(key, 0).hwCode = 4;
        other.backlight[key] = {10, 20, 30};
        const QString path = files.filePath(QString::fromLatin1(name));
        [&] { QVERIFY(other.saveProfile(QFile::encodeName(path).toStdString())); }();
        return path;
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        qputenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit());
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
        buildKeyTables(config);
    }

    void init() {
        openMainWindow();
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    void cleanup() { closeMainWindow(); }

    // OK in the key settings dialog, undone and redone by every key of both: the key goes dark
    // and lights again, the information box follows, and the keyboard hears nothing of it.
    void keyDialogOkIsUndoneAndRedoneByTheKeys() {
        assignSleep(54);
        QCOMPARE(config.slot(54, 0).mode, int(Power));
        QVERIFY(dlg->hasUnsavedChanges());
        const Items done = menuItems();
        QCOMPARE(done.undo,
                 QStringLiteral("撤销 %1 上档键：电源键 %2")
                     .arg(keyLabel(54), QString::fromStdU16String(hwCodeName(config, 76))));
        QVERIFY(done.undoEnabled);
        QCOMPARE(done.redo, QStringLiteral("重做"));
        QVERIFY(!done.redoEnabled);
        trayMatchesWindowMenu();
        const std::size_t reports = keyboard.reportCount();

        QTest::mouseMove(dlg.get(), centre(kKeyRegionIdBase + 54));
        paint();
        QVERIFY(region(kKeyRegionIdBase + 54).lit);
        QVERIFY(dlg->infoText().contains(QStringLiteral("上档键：电源键")));

        ctrlZ();
        QTRY_COMPARE(config.slot(54, 0).mode, int(NotSet));
        paint();
        QVERIFY(!region(kKeyRegionIdBase + 54).lit);
        QVERIFY(dlg->infoText().contains(QStringLiteral("上档键：未设置")));
        QVERIFY(!dlg->hasUnsavedChanges());  // back where the window started
        QVERIFY(!menuItems().undoEnabled);
        QCOMPARE(menuItems().redo, QStringLiteral("重做 ") + done.undo.mid(3));

        keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(config.slot(54, 0).mode, int(Power));
        paint();
        QVERIFY(region(kKeyRegionIdBase + 54).lit);
        QVERIFY(dlg->infoText().contains(QStringLiteral("上档键：电源键")));
        QVERIFY(dlg->hasUnsavedChanges());

        ctrlZ();
        QTRY_COMPARE(config.slot(54, 0).mode, int(NotSet));
        keys(Qt::Key_Y, Qt::ControlModifier);
        QTRY_COMPARE(config.slot(54, 0).mode, int(Power));
        QCOMPARE(config.slot(54, 0).hwCode, 76);

        // Nothing of it went to the keyboard; give a stray write the time to arrive.
        QTest::qWait(200);
        QCOMPARE(keyboard.reportCount(), reports);
        QVERIFY(answers->questions.isEmpty());
    }

    // Open and Clear are steps too, named in the program's language; undoing them brings the
    // keys back, and the state the window started with is no longer what was opened: Exit asks.
    void openAndClearAreUndone() {
        const QString path = profileWithKey("gaming.pro", 7);
        answers->openPaths << path;
        clickRegion(MainRegion::Open);
        QCOMPARE(config.slot(7, 0).mode, int(Single));
        QVERIFY(!dlg->hasUnsavedChanges());
        QCOMPARE(menuItems().undo, QStringLiteral("撤销 打开 gaming.pro"));

        clickRegion(MainRegion::Clear);  // nothing unsaved: no question
        QVERIFY(answers->questions.isEmpty());
        QCOMPARE(config.slot(7, 0).mode, int(NotSet));
        QCOMPARE(menuItems().undo, QStringLiteral("撤销 清空配置"));
        trayMatchesWindowMenu();

        ctrlZ();
        QTRY_COMPARE(config.slot(7, 0).mode, int(Single));
        QCOMPARE(config.backlight[7], (Colour{10, 20, 30}));
        paint();
        QVERIFY(region(kKeyRegionIdBase + 7).lit);
        QVERIFY(dlg->hasUnsavedChanges());  // what Clear left was the saved state
        QCOMPARE(menuItems().undo, QStringLiteral("撤销 打开 gaming.pro"));
        QCOMPARE(menuItems().redo, QStringLiteral("重做 清空配置"));

        ctrlZ();
        QTRY_COMPARE(config.slot(7, 0).mode, int(NotSet));
        paint();
        QVERIFY(!region(kKeyRegionIdBase + 7).lit);
        QVERIFY(!menuItems().undoEnabled);
        QCOMPARE(menuItems().undo, QStringLiteral("撤销"));
        QCOMPARE(menuItems().redo, QStringLiteral("重做 打开 gaming.pro"));

        // Undone past what was opened: ending asks (Cancel stays).
        clickRegion(MainRegion::Exit);
        QCOMPARE(answers->questions.size(), 1);
        QCOMPARE(dlg->endReason(), CTravoDlg::EndReason::None);
    }

    // Save keeps the history: an undo after it is unsaved work again, and Exit asks.
    void undoAfterSaveThenExitAsks() {
        assignSleep(20);
        answers->savePaths << files.filePath(QStringLiteral("mine.pro"));
        clickRegion(MainRegion::Save);
        QVERIFY(!dlg->hasUnsavedChanges());
        QVERIFY(menuItems().undoEnabled);
        ctrlZ();
        QTRY_COMPARE(config.slot(20, 0).mode, int(NotSet));
        clickRegion(MainRegion::Exit);
        QCOMPARE(answers->questions, QStringList{QStringLiteral("当前配置尚未保存，是否保存？")});
        QCOMPARE(dlg->endReason(), CTravoDlg::EndReason::None);
    }

    // The items follow the language switch; a screenshot of the menu in each language.
    void menuTextsInBothLanguages() {
        const QString path = profileWithKey("gaming.pro", 9);
        answers->openPaths << path;
        clickRegion(MainRegion::Open);
        clickRegion(MainRegion::Clear);
        ctrlZ();
        QTRY_COMPARE(config.slot(9, 0).mode, int(Single));

        const auto shoot = [&](const char* name) {
            const std::unique_ptr<QMenu> menu = dlg->windowMenu();
            menu->popup(dlg->mapToGlobal(QPoint(600, 60)));
            QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
            QVERIFY(menu->grab().save(shotPath(name)));
            menu->close();
        };
        QCOMPARE(menuItems().undo, QStringLiteral("撤销 打开 gaming.pro"));
        QCOMPARE(menuItems().redo, QStringLiteral("重做 清空配置"));
        shoot("undo-menu-zh.png");

        clickRegion(MainRegion::Language);
        QCOMPARE(config.language, std::string("en-US"));
        QCOMPARE(menuItems().undo, QStringLiteral("Undo Open gaming.pro"));
        QCOMPARE(menuItems().redo, QStringLiteral("Redo Clear"));
        trayMatchesWindowMenu();
        shoot("undo-menu-en.png");

        // The language is no part of the document: switching it is no step.
        QCOMPARE(menuItems().undo, QStringLiteral("Undo Open gaming.pro"));
        // An item of the menu does what the key does.
        dlg->windowMenu()->actions().value(1)->trigger();
        QCOMPARE(config.slot(9, 0).mode, int(NotSet));
        QCOMPARE(menuItems().undo, QStringLiteral("Undo Clear"));
        QCOMPARE(menuItems().redo, QStringLiteral("Redo"));
        QVERIFY(!menuItems().redoEnabled);
        clickRegion(MainRegion::Language);
    }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
