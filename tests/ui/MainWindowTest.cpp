// SPDX-License-Identifier: GPL-2.0-or-later
// The main window driven as a user would: clicks and mouse moves at the coordinates of its
// regions, the standard dialogs answered by FixedAnswers, the keyboard a virtual one.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegion>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "CTravoDialogKeyMapSettings.h"
#include "Descriptions.h"
#include "KeyTables.h"
#include "MainWindowFixture.h"
#include "ProgramSettings.h"
#include "QtTranslations.h"
#include "RegionIds.h"

namespace {

// Collects what the window repaints.

// The texts of a message box's Yes, No and Cancel buttons as Qt gives them now.
QStringList standardButtonTexts() {
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return {box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
            box.button(QMessageBox::Cancel)->text()};
}

const QStringList kChineseButtons{QStringLiteral("是(&Y)"), QStringLiteral("否(&N)"),
                                  QStringLiteral("取消")};
const QStringList kEnglishButtons{QStringLiteral("&Yes"), QStringLiteral("&No"),
                                  QStringLiteral("Cancel")};

// Runs `answer` on the first dialog of type T that opens modally from now on; it has to close
// the dialog. `seen` stays false when none opened within a few seconds.
template <typename T>
void answerNextModal(bool* seen, std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, seen, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            *seen = true;
            answer(dialog);
        } else if (++*tries > 250) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// A profile on disk with key `key` assigned a single key on level 1.
void writeProfile(const QString& path, int key) {
    KeyboardConfig other;
    other.slot(key, 0).mode = Single;
    other.slot(key, 0).hwCode = 4;
    QVERIFY(other.saveProfile(QFile::encodeName(path).toStdString()));
}

QSettings settingsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("oskel"),
                     QStringLiteral("Oskel"));
}

}  // namespace

class MainWindowTest : public QObject, MainWindowFixture {
    Q_OBJECT

private:
    // The program's remembered settings for this test run only.
    QTemporaryDir settingsFolder;

    const SkinRegion& region(int regionId) { return dlg->regionById(regionId); }
    QPoint centre(int regionId) { return toQRect(region(regionId).rect).center(); }
    void click(QPoint p) { QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, p); }
    void clickRegion(int regionId) { click(centre(regionId)); }
    void moveTo(QPoint p) { QTest::mouseMove(dlg.get(), p); }
    // Runs the painting (and with it the lit flags and the information box) now.
    void paint() { dlg->repaint(); }
    bool ended() const { return dlg->endReason() != CTravoDlg::EndReason::None; }

    void assign(int key, int level, int mode, int hwCode, std::vector<std::u16string> steps = {}) {
        KeyAssignment& slot = config.slot(key, level);
        slot.mode = mode;
        slot.hwCode = hwCode;
        slot.steps.items = steps;
        slot.steps.children.assign(steps.size(), StepList());
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        // What the program remembers between runs (settings, recent profiles) stays in this run.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        qputenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit());
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
        QVERIFY(keyboard.start());
        buildKeyTables(config);
    }

    void init() {
        settingsFile().clear();
        openMainWindow();
    }

    void cleanup() { closeMainWindow(); }

    void windowIsShapedAndSizedByItsBackground() {
        const QPixmap* background = resources.picture(101);
        QVERIFY(background != nullptr);
        QCOMPARE(dlg->size(), background->size());
        QVERIFY(!dlg->mask().isEmpty());
        // The rounded outline: the very corner is a hole, the middle is window.
        QVERIFY(!dlg->mask().contains(QPoint(0, 0)));
        QVERIFY(dlg->mask().contains(QPoint(630, 340)));
        QCOMPARE(int(dlg->regions.size()), CTravoDlg::kRegionCount);
    }

    void keysFollowTheLayoutAndNeverOverlap() {
        for (int k = 1; k <= kKeyCount; ++k) {
            const SkinRegion& key = dlg->regions[11 + k];
            QCOMPARE(key.regionId, kKeyRegionIdBase + k);
            QCOMPARE(key.keyIndex, k);
            QVERIFY(!key.textOnly);
            for (int other = k + 1; other <= kKeyCount; ++other) {
                QVERIFY2(!key.rect.intersects(dlg->regions[11 + other].rect),
                         qPrintable(QStringLiteral("keys %1 and %2").arg(k).arg(other)));
            }
        }
        for (int i = 120; i < 130; ++i) {
            QVERIFY(dlg->regions[i].textOnly);
        }
    }

    void clickScan_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("command");
        QTest::newRow("save button under its caption") << QPoint(60, 120) << MainRegion::Save;
        QTest::newRow("save button above its caption") << QPoint(60, 97) << MainRegion::Save;
        QTest::newRow("language button and caption") << QPoint(800, 110) << MainRegion::Language;
        QTest::newRow("level-1 indicator is only a caption") << QPoint(1010, 100) << -1;
        QTest::newRow("Esc") << QPoint(50, 166) << MainRegion::FirstKey;
        QTest::newRow("right edge of Esc is outside") << QPoint(95, 190) << -1;
        QTest::newRow("bottom edge of Esc is outside") << QPoint(60, 213) << -1;
        QTest::newRow("gap between ~ and 1") << QPoint(97, 240) << -1;
        QTest::newRow("KP+ level with KP4") << QPoint(1200, 340) << kKeyRegionIdBase + 99;
        QTest::newRow("KPEnter") << QPoint(1200, 450) << kKeyRegionIdBase + 108;
        QTest::newRow("Space") << QPoint(400, 440) << kKeyRegionIdBase + 70;
        QTest::newRow("empty spot") << QPoint(600, 60) << -1;
        QTest::newRow("exit") << QPoint(1200, 30) << MainRegion::Exit;
    }
    void clickScan() {
        QFETCH(QPoint, point);
        QFETCH(int, command);
        QCOMPARE(dlg->clickScan(point), command);
    }

    void hitTestCodes_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("hit");
        QTest::newRow("key") << QPoint(60, 180) << int(SkinHit::Client);
        QTest::newRow("top left") << QPoint(0, 0) << int(SkinHit::Caption);
        QTest::newRow("empty") << QPoint(600, 60) << int(SkinHit::Caption);
        QTest::newRow("right strip") << QPoint(1255, 300) << int(SkinHit::Right);
        QTest::newRow("just left of the strip") << QPoint(1254, 300) << int(SkinHit::Caption);
        QTest::newRow("bottom strip") << QPoint(600, 675) << int(SkinHit::Bottom);
        QTest::newRow("corner") << QPoint(1259, 679) << int(SkinHit::BottomRight);
    }
    void hitTestCodes() {
        QFETCH(QPoint, point);
        QFETCH(int, hit);
        QCOMPARE(int(dlg->hitTest(point)), hit);
    }

    void captionNeverTakesAClick() {
        click(QPoint(1010, 100));  // level-1 indicator, nothing clickable under it
        QCOMPARE(config.currentLevel, 0);
        click(QPoint(60, 120));  // "保存配置" over the save button: the button takes it
        QCOMPARE(answers->saveFilters.size(), 1);
    }

    void pressOnEmptySpotDragsAndGivesNoCommand() {
        const QPoint before = dlg->pos();
        QTest::mousePress(dlg.get(), Qt::LeftButton, {}, QPoint(600, 60));
        QTest::mouseMove(dlg.get(), QPoint(630, 80));
        QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, QPoint(630, 80));
        QCOMPARE(dlg->pos(), before + QPoint(30, 20));
        QVERIFY(answers->saveFilters.isEmpty() && answers->openFilters.isEmpty());
        QVERIFY(!ended());
    }

    void hoverShowsBothLevelsThenTheTitle() {
        assign(29, 0, Single, 20);
        assign(29, 1, Macro, 0, {u"A Down", u"<120 ms>", u"A UP"});
        moveTo(centre(kKeyRegionIdBase + 29));
        paint();
        QCOMPARE(dlg->infoText(), QString::fromStdU16String(keyInfoText(config, 29)));
        QVERIFY(dlg->infoText().contains(QStringLiteral("上档键：")));
        QVERIFY(dlg->infoText().contains(QStringLiteral("下档键：宏键 A,120,A")));
        QVERIFY(dlg->InfoBox->toPlainText().contains(QStringLiteral("下档键")));
        moveTo(QPoint(97, 240));  // a gap: no key
        paint();
        QCOMPARE(dlg->infoText(), QString::fromStdU16String(titleText(config)));
    }

    void hoverRepaintsOnlyTheKeysThatChanged() {
        moveTo(centre(kKeyRegionIdBase + 30));
        paint();
        PaintRecorder recorder;
        dlg->installEventFilter(&recorder);
        moveTo(centre(kKeyRegionIdBase + 31));  // W to E: both unassigned, so the text stays
        QTRY_VERIFY(!recorder.painted.isEmpty());
        QCoreApplication::processEvents();
        const QRegion expected = QRegion(toQRect(region(kKeyRegionIdBase + 30).rect)) +
                                 QRegion(toQRect(region(kKeyRegionIdBase + 31).rect));
        QCOMPARE(recorder.painted, expected);
        dlg->removeEventFilter(&recorder);
    }

    // The window shows without waiting for its hover picture; the first key the mouse is on is
    // drawn from it all the same, and the picture is decoded ahead once the window has painted.
    void theFirstHoveredKeyIsDrawnFromTheHoverPicture() {
        QCOMPARE(dlg->look().hover, nullptr);
        QCOMPARE(dlg->look().laterHoverId, 102);
        const QRect key = toQRect(region(kKeyRegionIdBase + 70).rect);
        const QImage before = dlg->grab(key).toImage().convertToFormat(QImage::Format_RGB32);
        moveTo(key.center());
        paint();
        const QPixmap* hover = resources.picture(102);
        QVERIFY(hover != nullptr);
        QCOMPARE(dlg->look().hover, hover);
        const QImage shown = dlg->grab(key).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, hover->toImage().convertToFormat(QImage::Format_RGB32).copy(key));
        QVERIFY(shown != before);
    }

    void assignedKeysLightOnTheirLevelOnly() {
        assign(30, 1, Single, 4);
        paint();
        QVERIFY(!region(kKeyRegionIdBase + 30).lit);
        QVERIFY(region(MainRegion::LevelUpIndicator).lit);
        QVERIFY(!region(MainRegion::LevelDownIndicator).lit);
        clickRegion(MainRegion::Level);
        paint();
        QCOMPARE(config.currentLevel, 1);
        QVERIFY(region(MainRegion::Level).lit);
        QVERIFY(region(kKeyRegionIdBase + 30).lit);
        QVERIFY(!region(MainRegion::LevelUpIndicator).lit);
        QVERIFY(region(MainRegion::LevelDownIndicator).lit);
        moveTo(centre(kKeyRegionIdBase + 30));
        paint();
        QVERIFY(dlg->infoText().contains(QStringLiteral("上档键：未设置 \r\n")));
        clickRegion(MainRegion::Level);
        paint();
        QCOMPARE(config.currentLevel, 0);
        QVERIFY(!region(kKeyRegionIdBase + 30).lit);
    }

    void languageSwitchesBackAndForth() {
        clickRegion(MainRegion::Language);
        paint();
        QCOMPARE(config.language, std::string("en-US"));
        QVERIFY(region(MainRegion::Language).lit);
        QCOMPARE(dlg->infoText(), QStringLiteral("Oskel Programming Software [Ver 1.0.8]"));
        QCOMPARE(dlg->regions[120].labelFor(dlg->language()), QStringLiteral("简体中文"));
        const int saveCommand = dlg->clickScan(centre(MainRegion::Save));
        clickRegion(MainRegion::Language);
        paint();
        QCOMPARE(config.language, std::string("zh-CN"));
        QVERIFY(!region(MainRegion::Language).lit);
        QCOMPARE(dlg->infoText(), QStringLiteral("Oskel 编程软件 [版本 1.0.8]"));
        QCOMPARE(dlg->clickScan(centre(MainRegion::Save)),
                 saveCommand);  // the clickable areas stay
    }

    void clearGivesAnUnlitKeyboardAtOnce() {
        assign(1, 0, Single, 1);
        assign(70, 1, Combo, 0, {u"Left CTRL", u"C"});
        paint();
        QVERIFY(region(MainRegion::FirstKey).lit);
        answers->answers << UiAnswer::No;
        clickRegion(MainRegion::Clear);
        paint();
        QVERIFY(!region(MainRegion::FirstKey).lit);
        QCOMPARE(config.slot(70, 1).mode, int(NotSet));
        QCOMPARE(answers->questions.size(), 1);
        QVERIFY(!dlg->hasUnsavedChanges());
    }

    // The key settings dialog opens modally on the clicked key; what its OK stores is an
    // unsaved change and the key shows as assigned once the dialog has closed.
    void aKeyClickOpensTheKeySettingsOnThatKey() {
        int keyWhileOpen = 0;
        int tabWhileOpen = 0;
        QTimer::singleShot(0, this, [&] {
            auto* settings =
                qobject_cast<CTravoDialogKeyMapSettings*>(QApplication::activeModalWidget());
            QVERIFY(settings != nullptr);
            keyWhileOpen = config.currentKey;
            tabWhileOpen = settings->tab();
            const auto press = [&](int id) {
                QTest::mouseClick(settings, Qt::LeftButton, {},
                                  toQRect(settings->regionById(id).rect).center());
            };
            press(KeySettingsRegion::FirstTab + 6);  // the Power tab
            press(KeySettingsRegion::Sleep);
            press(KeySettingsRegion::Ok);
        });
        clickRegion(kKeyRegionIdBase + 54);
        QCOMPARE(keyWhileOpen, 54);
        QCOMPARE(tabWhileOpen, 1);
        QCOMPARE(config.currentKey, 54);
        QCOMPARE(config.slot(54, config.currentLevel).mode, int(Power));
        QCOMPARE(config.slot(54, config.currentLevel).hwCode, 76);
        QVERIFY(dlg->hasUnsavedChanges());
        paint();
        QVERIFY(region(kKeyRegionIdBase + 54).lit);
    }

    void cancelledKeySettingsChangeNothing() {
        QTimer::singleShot(0, this, [&] {
            auto* settings =
                qobject_cast<CTravoDialogKeyMapSettings*>(QApplication::activeModalWidget());
            QVERIFY(settings != nullptr);
            QTest::mouseClick(
                settings, Qt::LeftButton, {},
                toQRect(settings->regionById(KeySettingsRegion::FirstTab + 3).rect).center());
            QTest::mouseClick(
                settings, Qt::LeftButton, {},
                toQRect(settings->regionById(KeySettingsRegion::PlayPause).rect).center());
            QTest::mouseClick(
                settings, Qt::LeftButton, {},
                toQRect(settings->regionById(KeySettingsRegion::Cancel).rect).center());
        });
        clickRegion(kKeyRegionIdBase + 20);
        QCOMPARE(config.slot(20, config.currentLevel).mode, int(NotSet));
        QVERIFY(!dlg->hasUnsavedChanges());
    }

    void saveThenOpenThroughTheSeam() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mine.pro"));
        assign(5, 0, Power, 77);
        QVERIFY(dlg->hasUnsavedChanges());
        answers->savePaths << path;
        clickRegion(MainRegion::Save);
        QVERIFY(QFile::exists(path));
        QCOMPARE(answers->saveFilters.value(0), QStringLiteral("pro (*.pro);;All Files (*)"));
        QCOMPARE(answers->saveSuffixes.value(0), QStringLiteral("pro"));
        QVERIFY(answers->messages.isEmpty());
        QVERIFY(!dlg->hasUnsavedChanges());

        assign(5, 0, Single, 3);
        answers->answers << UiAnswer::No;
        answers->openPaths << path;
        clickRegion(MainRegion::Open);
        QCOMPARE(answers->openFilters.value(0), QStringLiteral("pro (*.pro);;All Files (*)"));
        QCOMPARE(answers->openSuffixes.value(0), QStringLiteral("pro"));
        QCOMPARE(config.slot(5, 0).mode, int(Power));
        QCOMPARE(config.slot(5, 0).hwCode, 77);
        QVERIFY(!dlg->hasUnsavedChanges());
    }

    // Unsaved means the configuration differs from what was last saved, at any depth of the
    // step lists and in every bit of a value; where a list was scrolled to is no change.
    void whatCountsAsUnsaved() {
        struct Case {
            const char* name;
            bool unsaved;
            void (*change)(KeyboardConfig&);
        };
        const Case cases[] = {
            {"scrolling a catalogue", false,
             [](KeyboardConfig& c) {
                 c.predefinedMacros.ViewStartAt = 1;
                 c.predefinedMacros.CursorPos = 1;
             }},
            {"the loop count of a saved macro", true,
             [](KeyboardConfig& c) { c.predefinedMacros.children[0].Cycles = 5; }},
            {"a step inside a saved macro", true,
             [](KeyboardConfig& c) { c.predefinedMacros.children[0].items.push_back(u"B"); }},
            {"a key code that differs past 16 bits", true,
             [](KeyboardConfig& c) { c.slot(5, 0).hwCode += 0x10000; }},
            {"a step of a key's combination", true,
             [](KeyboardConfig& c) { c.slot(6, 1).steps.items[1] = std::u16string(u"V"); }},
            {"one backlight colour", true, [](KeyboardConfig& c) { c.backlight[3][1] = 9; }},
        };
        QTemporaryDir dir;
        for (const Case& c : cases) {
            config.clear();
            config.predefinedMacros.items = {u"m"};
            StepList steps;
            steps.items = {u"A"};
            config.predefinedMacros.children = {steps};
            assign(5, 0, Single, 4);
            assign(6, 1, Combo, 0, {u"Left CTRL", u"C"});
            answers->savePaths << dir.filePath(QStringLiteral("base.pro"));
            clickRegion(MainRegion::Save);
            QVERIFY2(answers->messages.isEmpty(), c.name);
            QVERIFY2(!dlg->hasUnsavedChanges(), c.name);
            c.change(config);
            QVERIFY2(dlg->hasUnsavedChanges() == c.unsaved, c.name);
        }
    }

    void failuresOfSaveAndOpenAreReported() {
        QTemporaryDir dir;
        assign(6, 0, Single, 7);
        answers->savePaths << dir.filePath(QStringLiteral("no/such/folder/x.pro"));
        clickRegion(MainRegion::Save);
        QCOMPARE(answers->messages.size(), 1);
        QVERIFY(answers->messages[0].startsWith(QStringLiteral("保存配置失败：")));
        QVERIFY(answers->messages[0].size() > QStringLiteral("保存配置失败：").size());
        QVERIFY(dlg->hasUnsavedChanges());

        const QString junk = dir.filePath(QStringLiteral("junk.pro"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a profile at all");
        file.close();
        answers->answers << UiAnswer::No;  // the unsaved key 6 may go
        answers->openPaths << junk;
        clickRegion(MainRegion::Open);
        QCOMPARE(answers->messages.size(), 2);
        QVERIFY(answers->messages[1].startsWith(QStringLiteral("打开配置失败：")));
        QCOMPARE(config.slot(6, 0).mode, int(Single));  // the refused file changed nothing
        QCOMPARE(config.slot(6, 0).hwCode, 7);
    }

    void aProfileCutShortOpensWithAWarning() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("whole.pro"));
        assign(3, 0, Power, 77);
        assign(100, 1, Single, 9);
        answers->savePaths << path;
        clickRegion(90);
        QFile whole(path);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QByteArray text = whole.readAll();
        whole.close();
        // The file ends in the middle of the keys, before key 100 is reached.
        text.truncate(text.indexOf("<KEY ID=\"100\""));
        const QString cut = dir.filePath(QStringLiteral("cut.pro"));
        QFile file(cut);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();

        answers->openPaths << cut;
        clickRegion(91);
        QVERIFY(answers->questions.isEmpty());  // the work was saved: nothing to ask
        QCOMPARE(answers->messages.size(), 1);
        QVERIFY(answers->messages[0].startsWith(QStringLiteral("配置文件不完整")));
        QCOMPARE(config.slot(3, 0).mode, int(Power));  // what the file held is loaded
        QCOMPARE(config.slot(100, 1).mode, int(NotSet));

        answers->openPaths << path;
        clickRegion(91);
        QCOMPARE(answers->messages.size(), 1);  // a whole profile opens without a word
        QCOMPARE(config.slot(100, 1).mode, int(Single));
    }

    void cancelledFileDialogsChangeNothing() {
        assign(7, 0, Single, 8);
        clickRegion(MainRegion::Save);
        clickRegion(MainRegion::Open);
        QVERIFY(answers->messages.isEmpty());
        QCOMPARE(config.slot(7, 0).mode, int(Single));
        QVERIFY(dlg->hasUnsavedChanges());
    }

    void endingWithUnsavedChangesAsks_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("giveSavePath");
        QTest::addColumn<bool>("ends");
        for (const bool escape : {false, true}) {
            const char* how = escape ? "Escape" : "exit button";
            QTest::addRow("%s, Cancel stays", how)
                << escape << int(UiAnswer::Cancel) << false << false;
            QTest::addRow("%s, No ends", how) << escape << int(UiAnswer::No) << false << true;
            QTest::addRow("%s, Yes saves and ends", how)
                << escape << int(UiAnswer::Yes) << true << true;
            QTest::addRow("%s, Yes but save cancelled stays", how)
                << escape << int(UiAnswer::Yes) << false << false;
        }
    }
    void endingWithUnsavedChangesAsks() {
        QFETCH(bool, byEscape);
        QFETCH(int, answer);
        QFETCH(bool, giveSavePath);
        QFETCH(bool, ends);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("end.pro"));
        assign(8, 1, Mouse, 130);
        answers->answers << UiAnswer(answer);
        if (giveSavePath) {
            answers->savePaths << path;
        }
        if (byEscape) {
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        } else {
            clickRegion(MainRegion::Exit);
        }
        QCOMPARE(answers->questions, QStringList{QStringLiteral("当前配置尚未保存，是否保存？")});
        QVERIFY(answers->questionHadCancel.value(0));
        QCOMPARE(ended(), ends);
        QCOMPARE(dlg->isVisible(), !ends);
        QCOMPARE(QFile::exists(path), giveSavePath);
    }

    void endingWithNothingUnsavedAsksNothing_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("exit button") << 0;
    }
    void endingWithNothingUnsavedAsksNothing() {
        QFETCH(int, key);
        if (key != 0) {
            QTest::keyClick(dlg.get(), Qt::Key(key));
        } else {
            clickRegion(MainRegion::Exit);
        }
        QVERIFY(answers->questions.isEmpty());
        QVERIFY(ended());
        QCOMPARE(dlg->result(),
                 key == Qt::Key_Return ? int(QDialog::Accepted) : int(QDialog::Rejected));
    }

    // Open and Clear over unsaved work (key 40 assigned) ask the question of ending first.
    // saveAs: where the save dialog after Yes is answered to save ("" cancels it, "bad" is a
    // folder that does not exist, so the save fails).
    void replacingUnsavedWorkAsksFirst_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs");
        QTest::addColumn<bool>("giveOpenPath");
        QTest::addColumn<bool>("replaced");
        for (const int command : {MainRegion::Open, MainRegion::Clear}) {
            const char* name = command == MainRegion::Open ? "Open" : "Clear";
            const bool open = command == MainRegion::Open;
            QTest::addRow("%s, Cancel keeps the work", name)
                << command << int(UiAnswer::Cancel) << QString() << open << false;
            QTest::addRow("%s, No drops it", name)
                << command << int(UiAnswer::No) << QString() << open << true;
            QTest::addRow("%s, Yes saves, then goes on", name)
                << command << int(UiAnswer::Yes) << QStringLiteral("good") << open << true;
            QTest::addRow("%s, Yes with the save cancelled keeps the work", name)
                << command << int(UiAnswer::Yes) << QString() << open << false;
            QTest::addRow("%s, Yes with a failed save keeps the work", name)
                << command << int(UiAnswer::Yes) << QStringLiteral("bad") << open << false;
        }
        QTest::addRow("Open, No, then the open dialog cancelled keeps the work")
            << int(MainRegion::Open) << int(UiAnswer::No) << QString() << false << false;
    }
    void replacingUnsavedWorkAsksFirst() {
        QFETCH(int, command);
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(bool, giveOpenPath);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("work.pro"));
        const QString other = dir.filePath(QStringLiteral("other.pro"));
        writeProfile(other, 20);
        assign(40, 0, Combo, 0, {u"Left CTRL", u"V"});
        answers->answers << UiAnswer(answer);
        const bool saves = saveAs == QStringLiteral("good");
        if (saves) {
            answers->savePaths << saved;
        } else if (!saveAs.isEmpty()) {
            answers->savePaths << dir.filePath(QStringLiteral("no/such/folder/work.pro"));
        }
        if (giveOpenPath) {
            answers->openPaths << other;
        }

        clickRegion(command);
        QCOMPARE(answers->questions, QStringList{QStringLiteral("当前配置尚未保存，是否保存？")});
        QVERIFY(answers->questionHadCancel.value(0));
        QCOMPARE(config.slot(40, 0).mode, replaced ? int(NotSet) : int(Combo));
        QCOMPARE(config.slot(40, 0).steps.items.size(), replaced ? size_t(0) : size_t(2));
        if (command == MainRegion::Open) {
            QCOMPARE(config.slot(20, 0).mode, replaced ? int(Single) : int(NotSet));
            // The open dialog comes only after the question was answered to go on.
            const bool wentOn = answer == int(UiAnswer::No) || saves;
            QCOMPARE(answers->openFilters.size(), wentOn ? 1 : 0);
        }
        QCOMPARE(dlg->hasUnsavedChanges(), !replaced);
        QCOMPARE(QFile::exists(saved), saves);
        if (saves) {
            KeyboardConfig back;
            QVERIFY(back.loadProfile(QFile::encodeName(saved).toStdString()));
            QCOMPARE(back.slot(40, 0).mode, int(Combo));
        }
        // Only a failed save has something to say.
        QCOMPARE(answers->messages.size(), saveAs == QStringLiteral("bad") ? 1 : 0);
        QVERIFY(!ended());
    }

    void withNothingUnsavedOpenAndClearAskNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.pro"));
        writeProfile(path, 21);
        answers->openPaths << path;
        clickRegion(MainRegion::Open);
        QCOMPARE(config.slot(21, 0).mode, int(Single));
        // What was just opened is saved work: Clear drops it without a word.
        clickRegion(MainRegion::Clear);
        QCOMPARE(config.slot(21, 0).mode, int(NotSet));
        QVERIFY(answers->questions.isEmpty());
    }

    // The real question box: Escape is Cancel, and its buttons speak the program's language.
    void theRealQuestionLeavesEverythingOnEscape() {
        for (const bool english : {false, true}) {
            if (english) {
                clickRegion(MainRegion::Language);
            }
            assign(41, 1, Single, 5);
            UiSeam::install(nullptr);
            bool seen = false;
            QStringList buttons;
            QString question;
            answerNextModal<QMessageBox>(&seen, [&](QMessageBox* box) {
                question = box->text();
                for (QAbstractButton* b : box->buttons()) {
                    buttons << b->text();
                }
                QTest::keyClick(box, Qt::Key_Escape);
            });
            clickRegion(MainRegion::Clear);
            UiSeam::install(answers.get());
            QVERIFY(seen);
            buttons.sort();
            QStringList expected = english ? kEnglishButtons : kChineseButtons;
            expected.sort();
            QCOMPARE(buttons, expected);
            QCOMPARE(question,
                     english ? QStringLiteral("The configuration has unsaved changes. Save it?")
                             : QStringLiteral("当前配置尚未保存，是否保存？"));
            QCOMPARE(config.slot(41, 1).mode, int(Single));
            QVERIFY(dlg->hasUnsavedChanges());
        }
    }

    // Qt's translation follows the language: installed at start, replaced on every switch.
    void standardDialogsSpeakTheProgramsLanguage() {
        QCOMPARE(standardButtonTexts(), kChineseButtons);
        clickRegion(MainRegion::Language);
        QCOMPARE(standardButtonTexts(), kEnglishButtons);
        clickRegion(MainRegion::Language);
        QCOMPARE(standardButtonTexts(), kChineseButtons);
        // A window made while English is chosen starts in English.
        clickRegion(MainRegion::Language);
        dlg.reset();
        config.keyboard.__closeDev();
        config.language = "en-US";
        CTravoDlg another(config);
        QVERIFY(another.initialise());
        QCOMPARE(standardButtonTexts(), kEnglishButtons);
    }

    // Without a usable translation file the dialogs speak English, never nothing.
    void missingTranslationsFallBackToEnglish() {
        QTemporaryDir empty, broken;
        QFile junk(broken.filePath(QStringLiteral("qtbase_zh_CN.qm")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("this is no translation file");
        junk.close();
        for (const QString& folder : {empty.path(), broken.path(), QStringLiteral("/no/such")}) {
            QVERIFY(qtTranslations::use("zh-CN"));  // Chinese first: the fallback must undo it
            QCOMPARE(standardButtonTexts(), kChineseButtons);
            QVERIFY2(!qtTranslations::use("zh-CN", folder), qPrintable(folder));
            QCOMPARE(standardButtonTexts(), kEnglishButtons);
        }
        QVERIFY(qtTranslations::use("en-US", empty.path()));
        QCOMPARE(standardButtonTexts(), kEnglishButtons);
    }

    // The file dialogs start in the folder of the last profile opened or saved, else at home.
    void fileDialogsStartWhereTheUserWas() {
        QTemporaryDir first, second;
        clickRegion(MainRegion::Open);
        QCOMPARE(answers->openFolders.value(0), QDir::homePath());

        assign(42, 0, Single, 6);
        answers->savePaths << first.filePath(QStringLiteral("a.pro"));
        clickRegion(MainRegion::Save);
        QCOMPARE(answers->saveFolders.value(0), QDir::homePath());
        clickRegion(MainRegion::Open);  // cancelled
        QCOMPARE(answers->openFolders.value(1), first.path());

        const QString opened = second.filePath(QStringLiteral("b.pro"));
        writeProfile(opened, 43);
        answers->openPaths << opened;
        clickRegion(MainRegion::Open);
        QCOMPARE(config.slot(43, 0).mode, int(Single));
        clickRegion(MainRegion::Save);  // cancelled: the folder stays
        QCOMPARE(answers->saveFolders.value(1), second.path());

        // A save that failed and a file that would not open move nothing.
        answers->savePaths << first.filePath(QStringLiteral("missing/c.pro"));
        clickRegion(MainRegion::Save);
        QFile junk(first.filePath(QStringLiteral("junk.pro")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("no profile");
        junk.close();
        answers->openPaths << junk.fileName();
        clickRegion(MainRegion::Open);
        QCOMPARE(answers->messages.size(), 2);
        QCOMPARE(programSettings::profileFolder(), second.path());

        // The next run starts there too; once the folder is gone, at home again.
        dlg.reset();
        config.keyboard.__closeDev();
        CTravoDlg nextRun(config);
        QVERIFY(nextRun.initialise());
        QCOMPARE(programSettings::profileFolder(), second.path());
        QVERIFY(second.remove());
        QCOMPARE(programSettings::profileFolder(), QDir::homePath());
    }

    // The real dialog opens in the folder it is given, with Qt's Chinese texts in Chinese.
    void theRealFileDialogStartsInTheFolderGiven() {
        QTemporaryDir folder;
        UiSeam::install(nullptr);
        bool seen = false;
        QString shownFolder;
        QStringList labels;
        answerNextModal<QFileDialog>(&seen, [&](QFileDialog* d) {
            shownFolder = d->directory().absolutePath();
            for (QLabel* l : d->findChildren<QLabel*>()) {
                labels << l->text();
            }
            d->reject();
        });
        const QString chosen = ui().openFileName(dlg.get(), QString(), folder.path(),
                                                 QStringLiteral("pro (*.pro);;All Files (*)"));
        UiSeam::install(answers.get());
        QVERIFY(seen);
        QVERIFY(chosen.isEmpty());
        QCOMPARE(shownFolder, QDir(folder.path()).absolutePath());
        QVERIFY2(labels.contains(QStringLiteral("文件名称(&N)：")), qPrintable(labels.join('|')));
    }

    void englishQuestionInEnglish() {
        clickRegion(MainRegion::Language);
        assign(9, 0, Single, 9);
        answers->answers << UiAnswer::Cancel;
        clickRegion(MainRegion::Exit);
        QCOMPARE(answers->questions.value(0),
                 QStringLiteral("The configuration has unsaved changes. Save it?"));
    }

    void helpOpensTheFileBesideTheProgram() {
        clickRegion(MainRegion::Help);
        QCOMPARE(answers->opened.size(), 1);
        QCOMPARE(answers->opened[0], QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                                         QStringLiteral("/Oskel.html")));
        QVERIFY(answers->messages.isEmpty());
    }

    void minimiseWithoutANotificationAreaMinimises() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("this display has a notification area");
        }
        clickRegion(MainRegion::Minimize);
        QTRY_VERIFY(dlg->windowState() & Qt::WindowMinimized);
        QVERIFY(!dlg->isInTray());
        QVERIFY(!ended());
    }

    void aLostKeyboardEndsTheProgram() {
        assign(10, 0, Single, 11);
        answers->answers << UiAnswer::No;
        keyboard.stop();
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 5000);
        QCOMPARE(dlg->endReason(), CTravoDlg::EndReason::KeyboardLost);
        QCOMPARE(answers->messages, QStringList{QStringLiteral("Keyboard is not connected")});
        // After the message, Yes or No only: the program ends either way.
        QCOMPARE(answers->questions.size(), 1);
        QVERIFY(!answers->questionHadCancel.value(0));
        QVERIFY(!dlg->isVisible());
        QVERIFY(keyboard.start());
    }

    void otherDeviceChangesLeaveTheWindowAlone() {
        dlg->checkDevice();
        QVERIFY(!ended());
        QVERIFY(answers->messages.isEmpty());
    }

    void noKeyboardAtStart() {
        dlg.reset();
        config.keyboard.__closeDev();
        keyboard.stop();
        CTravoDlg lonely(config);
        QVERIFY(!lonely.initialise());
        QCOMPARE(lonely.endReason(), CTravoDlg::EndReason::NoKeyboard);
        QCOMPARE(answers->messages, QStringList{QStringLiteral("Keyboard is not connected!")});
        QVERIFY(keyboard.start());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
