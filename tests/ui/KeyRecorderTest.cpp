// SPDX-License-Identifier: GPL-2.0-or-later
// The recorder inside the key settings dialog, driven as a user would: clicks on its Record
// buttons, options and rows, right clicks with the record list's menu, typing into its fields,
// and captured keys posted to the dialog exactly as the device library posts them. The capture
// itself is a stand-in with a clock of the test's own, so every delay is known.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>

#include "KeyRecorder.h"
#include "KeySettingsFixture.h"
#include "RegionIds.h"

namespace {

constexpr int kKey = 12;
constexpr int kComboMode = KeySettingsRegion::Combo;
constexpr int kOk = KeySettingsRegion::Ok;
constexpr int kRecordSingle = KeySettingsRegion::KeyRecord;
constexpr int kRecordCombo = KeySettingsRegion::ComboRecord;
constexpr int kRecordMacro = KeySettingsRegion::MacroRecord;
constexpr int kRecordEmulation = KeySettingsRegion::EmulationRecord;
constexpr int kAutoDelay = KeySettingsRegion::AutoDelay;
constexpr int kRecordDelay = KeySettingsRegion::RecordDelay;
constexpr int kFirstRecordRow = KeySettingsRegion::FirstMacroStepRow;

constexpr quint32 kUp = 0x80000000u;
constexpr quint32 kExtended = 0x01000000;

// The capture as the dialog sees it: what it was asked, and a clock the test moves.
class StandInCapture : public KeyCaptureSeam {
public:
    StandInCapture() { KeyCaptureSeam::install(this); }
    ~StandInCapture() override { KeyCaptureSeam::install(nullptr); }

    HookResult installHook(WindowHandle w) override {
        ++installs;
        if (answer == HookResult::Capturing || answer == HookResult::CapturingOwnWindows) {
            window = w;
        }
        return answer;
    }
    void uninstallHook() override {
        ++uninstalls;
        window = nullptr;
    }
    void acknowledge() override { ++acknowledged; }
    short keyState(int vk) override { return states.count(vk) != 0 ? states[vk] : 0; }
    std::int64_t now() override { return clockNs; }

    HookResult answer = HookResult::Capturing;
    WindowHandle window = nullptr;
    int installs = 0;
    int uninstalls = 0;
    int acknowledged = 0;
    std::map<int, short> states;
    std::int64_t clockNs = 5'000'000'000;
};

// One captured event: virtual key, release, milliseconds since the previous event, extended.
struct Hit {
    int vk;
    bool up;
    int afterMs = 10;
    bool extended = false;
};
Hit down(int vk, int afterMs = 10) {
    return {vk, false, afterMs, false};
}
Hit up(int vk, int afterMs = 10) {
    return {vk, true, afterMs, false};
}

StepList oneEntry(const StepList& child, int view) {
    StepList list(view);
    list.items.push_back(u"entry");
    list.children.push_back(child);
    return list;
}

struct MacroCase {
    const char* name;
    bool autoDelay;
    std::vector<Hit> hits;
    QStringList rows;
};

const std::vector<MacroCase>& macroCases() {
    static const std::vector<MacroCase> cases = {
        {"A, held, with recorded delays",
         false,
         {down('A'), down('A', 500), down('A', 33), up('A', 50)},
         {"A Down", "<50 ms>", "A UP"}},
        {"A with auto delay", true, {down('A'), down('A', 500), up('A', 50)}, {"A Down", "A UP"}},
        {"keypad Enter",
         false,
         {{13, false, 10, true}, {13, true, 20, true}},
         {"(Enter) Down", "<20 ms>", "(Enter) UP"}},
        {"main Enter", false, {down(13), up(13, 20)}, {"ENTER Down", "<20 ms>", "ENTER UP"}},
        {"left Shift",
         false,
         {down(0xA0), up(0xA0, 15)},
         {"Left SHIFT Down", "<15 ms>", "Left SHIFT UP"}},
        {"a release never seen going down is dropped",
         true,
         {down('A'), up('B'), up('A')},
         {"A Down", "A UP"}},
        {"a pause longer than 65535 ms is cut",
         false,
         {down('A'), up('A', 70000)},
         {"A Down", "<65535 ms>", "A UP"}},
        {"system keys count as presses and releases",
         false,
         {{0x400000A4, false, 10},
          {0x40000009, false, 7},
          {0x40000009, true, 8},
          {0x400000A4, true, 9}},
         {"Left Alt Down", "<7 ms>", "TAB Down", "<8 ms>", "TAB UP", "<9 ms>", "Left Alt UP"}},
        {"the pause before a held key's release counts from its last repeat",
         false,
         {down(0xA2), down('C', 100), down('C', 500), down('C', 30), up('C', 25), up(0xA2, 60)},
         {"Left CONTROL Down", "<100 ms>", "C Down", "<25 ms>", "C UP", "<60 ms>",
          "Left CONTROL UP"}},
    };
    return cases;
}

}  // namespace

class KeyRecorderTest : public QObject, KeySettingsFixture {
    Q_OBJECT

private:
    std::unique_ptr<StandInCapture> capture;

    // A macro catalogue of one entry holding `macro`, the dialog on the Macro tab.
    void openOnMacro(const StepList& macro = StepList(9)) {
        config->predefinedMacros = oneEntry(macro, 9);
        open();
        click(header(2));
    }

    // Posts each event as the keystroke capture does and lets the dialog take it.
    void type(const std::vector<Hit>& hits) {
        for (const Hit& h : hits) {
            QVERIFY(capture->window != nullptr);
            capture->clockNs += std::int64_t{h.afterMs} * 1'000'000;
            capture->window->post(WM_HOOK_KEY, static_cast<quint32>(h.vk) | (h.up ? kUp : 0),
                                  h.extended ? kExtended : 0);
            QCoreApplication::sendPostedEvents();
        }
    }
    void tap(int vk, int times) {
        for (int i = 0; i < times; ++i) {
            type({down(vk), up(vk)});
        }
    }

    // Right-clicks a record row and picks `path` (submenu, then entry; or one entry) from the
    // menu; answers whether a menu opened.
    bool chooseFromMenu(int rowRegion, const QStringList& path) {
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            opened = true;
            QMenu* level = menu;
            for (int i = 0; i < path.size(); ++i) {
                QAction* found = nullptr;
                for (QAction* action : level->actions()) {
                    if (action->text() == path[i]) {
                        found = action;
                    }
                }
                if (found == nullptr) {
                    break;
                }
                if (i + 1 < path.size()) {
                    level = found->menu();
                } else {
                    found->trigger();
                }
            }
            menu->close();
        });
        QTest::mouseClick(dlg.get(), Qt::RightButton, {}, centre(rowRegion));
        QCoreApplication::processEvents();
        return opened;
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
    }

    void init() {
        newDocument(kKey);
        config->language = "en-US";
        capture = std::make_unique<StandInCapture>();
    }

    void cleanup() {
        dlg.reset();
        capture.reset();
        answers.reset();
    }

    // ---- macro recording ------------------------------------------------------------------

    void macroRowsFollowTheKeys_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < macroCases().size(); ++i) {
            QTest::newRow(macroCases()[i].name) << static_cast<int>(i);
        }
    }
    void macroRowsFollowTheKeys() {
        QFETCH(int, index);
        const MacroCase& c = macroCases()[static_cast<std::size_t>(index)];
        StepList macro(9);
        macro.IsAutoInterval = c.autoDelay;
        macro.items = {u"old row"};
        macro.children = {StepList(9)};
        openOnMacro(macro);
        click(kRecordMacro);
        QVERIFY(dlg->workingMacro().items.empty());
        type(c.hits);
        QCOMPARE(texts(dlg->workingMacro()), c.rows);
        // Every key taken is acknowledged, ignored repeats included.
        QCOMPARE(capture->acknowledged, static_cast<int>(c.hits.size()));
        clickEmptySpot();
        QCOMPARE(texts(dlg->macros().children[0]), c.rows);
        QCOMPARE(dlg->macros().children[0].IsAutoInterval, c.autoDelay);
    }

    void shiftReportedAsShiftIsToldApart() {
        openOnMacro();
        click(kRecordMacro);
        capture->states[160] = static_cast<short>(0x8001);
        type({down(16)});
        capture->states[160] = 1;  // up again, toggled once
        type({up(16)});
        capture->states[161] = static_cast<short>(0x8001);
        type({down(16)});
        capture->states[161] = 1;
        type({up(16)});
        // Neither state says which: it stays plain Shift.
        type({down(16), up(16)});
        QCOMPARE(texts(dlg->workingMacro()),
                 QStringList({"Left SHIFT Down", "<10 ms>", "Left SHIFT UP", "<10 ms>",
                              "Right SHIFT Down", "<10 ms>", "Right SHIFT UP", "<10 ms>",
                              "SHIFT Down", "<10 ms>", "SHIFT UP"}));
    }

    void macroLimits_data() {
        QTest::addColumn<bool>("autoDelay");
        QTest::addColumn<int>("limit");
        QTest::newRow("recorded delays") << false << 799;
        QTest::newRow("auto delay") << true << 1600;
    }
    void macroLimits() {
        QFETCH(bool, autoDelay);
        QFETCH(int, limit);
        StepList macro(9);
        macro.IsAutoInterval = autoDelay;
        openOnMacro(macro);
        click(kRecordMacro);
        tap('K', 900);
        const StepList& rows = dlg->workingMacro();
        QCOMPARE(rows.count(), limit);
        // The view and the scroll bar follow the last row.
        QCOMPARE(rows.ViewStartAt + rows.CursorPos, limit - 1);
        QCOMPARE(rows.ViewStartAt, limit - 9);
        // A menu insertion past the limit is cut off again at the end.
        QVERIFY(chooseFromMenu(kFirstRecordRow + 8, {"Left Click", "Click"}));
        QCOMPARE(dlg->workingMacro().count(), limit);
        QCOMPARE(QString::fromStdU16String(dlg->workingMacro().items[limit - 1]),
                 QStringLiteral("Mouse Key Left"));
    }

    // ---- combinations, emulations, single keys --------------------------------------------

    void combinationTakesSixDistinctPresses() {
        config->predefinedCombos = oneEntry(steps({u"Q"}, 6), 6);
        open();
        click(kComboMode);
        click(kRecordCombo);
        QVERIFY(dlg->workingCombo().items.empty());
        type({down(0xA2), down(0xA0), down('A'), down('A'), down('A'), up('A'), down('B'),
              down('C'), down('D'), down('E')});
        QCOMPARE(texts(dlg->workingCombo()),
                 QStringList({"Left CONTROL", "Left SHIFT", "A", "B", "C", "D"}));
        click(kOk);  // stops and stores at once
        QVERIFY(!dlg->isVisible());
        QCOMPARE(capture->uninstalls, 1);
        QCOMPARE(config->slot(kKey, 0).mode, static_cast<int>(Combo));
        QCOMPARE(texts(config->slot(kKey, 0).steps), texts(dlg->workingCombo()));
        QCOMPARE(texts(config->predefinedCombos.children[0]), texts(dlg->workingCombo()));
    }

    void emulationTakesPressesOnly() {
        StepList emulation = steps({u"Z"});
        emulation.Delay = 45;
        config->predefinedEmulations = oneEntry(emulation, 9);
        open();
        click(header(3));
        click(kRecordEmulation);
        type({down('A'), up('A'), down('A'), up('A'), down('B'), down('B'), down('B'), up('B'),
              up('X')});
        QCOMPARE(texts(dlg->workingEmulation()), QStringList({"A", "A", "B"}));
        QCOMPARE(dlg->workingEmulation().Delay, 45);
        tap('C', 5);
        QCOMPARE(dlg->workingEmulation().count(), 6);
        clickEmptySpot();
        QCOMPARE(texts(dlg->emulations().children[0]), QStringList({"A", "A", "B", "C", "C", "C"}));
    }

    void singleKeyShowsTheLastKeyPressed() {
        open();
        click(kRecordSingle);
        type({down('A'), up('A'), down('F')});
        QTRY_COMPARE(caption(158), QStringLiteral("F"));
        QVERIFY(answers->messages.isEmpty());
        // A key without a hardware code is named "-- --" and reported once per press.
        type({down(0xFF), down(0xFF)});
        QTRY_COMPARE(caption(158), QStringLiteral("-- --"));
        QCOMPARE(answers->messages, QStringList{"a=255, b=0, c=1023"});
        type({up(0xFF), down('G')});
        clickEmptySpot();
        QVERIFY(dlg->isVisible());
        click(kOk);
        QCOMPARE(config->slot(kKey, 0).mode, static_cast<int>(Single));
        QCOMPARE(config->slot(kKey, 0).hwCode, config->keyCodeToHwCode['G']);
    }

    // ---- starting and stopping ------------------------------------------------------------

    void recordingStartsOnlyIntoAnEntry_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("comboMode");
        QTest::addColumn<int>("button");
        QTest::newRow("combination in Uniques mode") << 1 << false << kRecordCombo;
        QTest::newRow("combination without entries") << 1 << true << kRecordCombo;
        QTest::newRow("macro without entries") << 2 << false << kRecordMacro;
        QTest::newRow("emulation without entries") << 3 << false << kRecordEmulation;
    }
    void recordingStartsOnlyIntoAnEntry() {
        QFETCH(int, tab);
        QFETCH(bool, comboMode);
        QFETCH(int, button);
        if (tab == 1 && !comboMode) {
            config->predefinedCombos = oneEntry(steps({u"Q"}, 6), 6);
        }
        open();
        click(header(tab));
        if (comboMode) {
            click(kComboMode);
        }
        click(button);
        QCOMPARE(capture->installs, 0);
        QVERIFY(!region(button).lit);
    }

    void aRefusedCaptureChangesNothing_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("no display")
            << static_cast<int>(HookResult::NoDisplay)
            << "Keys cannot be recorded: there is no display to record them from";
        QTest::newRow("keyboard held")
            << static_cast<int>(HookResult::KeyboardBusy)
            << "Keys cannot be recorded: another program holds the keyboard";
    }
    void aRefusedCaptureChangesNothing() {
        QFETCH(int, answer);
        QFETCH(QString, message);
        capture->answer = static_cast<HookResult>(answer);
        openOnMacro(steps({u"A Down", u"<5 ms>", u"A UP"}));
        click(kRecordMacro);
        QCOMPARE(answers->messages, QStringList{message});
        QCOMPARE(texts(dlg->workingMacro()), QStringList({"A Down", "<5 ms>", "A UP"}));
        QVERIFY(!region(kRecordMacro).lit);
        QVERIFY(region(267).captionVisible);
        QVERIFY(!region(268).captionVisible);
        // The next click is an ordinary click again.
        click(kOk);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(texts(config->slot(kKey, 0).steps), QStringList({"A Down", "<5 ms>", "A UP"}));
    }

    void aCaptureEndedByTheLibraryStopsTheRecordingAndSaysWhy_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("message");
        QTest::newRow("stuck, English") << static_cast<int>(HookEnd::Unresponsive) << "en-US"
                                        << "Recording stopped: the program stopped responding";
        QTest::newRow("stuck, Chinese") << static_cast<int>(HookEnd::Unresponsive) << "zh-CN"
                                        << QString::fromUtf16(u"录制已停止：程序无响应");
        QTest::newRow("display lost")
            << static_cast<int>(HookEnd::DisplayLost) << "en-US"
            << "Recording stopped: the connection to the display was lost";
    }
    void aCaptureEndedByTheLibraryStopsTheRecordingAndSaysWhy() {
        QFETCH(int, reason);
        QFETCH(QString, language);
        QFETCH(QString, message);
        config->language = language.toStdString();
        openOnMacro();
        click(kRecordMacro);
        QVERIFY(region(kRecordMacro).lit);
        type({down('A'), up('A', 30)});
        WindowHandle window = capture->window;
        QVERIFY(window != nullptr);
        window->post(WM_HOOK_ENDED, static_cast<std::uintptr_t>(reason), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(answers->messages, QStringList{message});
        QVERIFY(!region(kRecordMacro).lit);
        QCOMPARE(capture->uninstalls, 1);
        QCOMPARE(texts(dlg->workingMacro()), QStringList({"A Down", "<30 ms>", "A UP"}));
        // A late key or a second end changes nothing; the next click records again.
        window->post(WM_HOOK_KEY, 'B', 0);
        window->post(WM_HOOK_ENDED, static_cast<std::uintptr_t>(reason), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(answers->messages.size(), 1);
        QCOMPARE(texts(dlg->workingMacro()), QStringList({"A Down", "<30 ms>", "A UP"}));
        click(kRecordMacro);
        QVERIFY(region(kRecordMacro).lit);
        QCOMPARE(capture->installs, 2);
    }

    void theButtonShowsTheRecording_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("recordCaption");
        QTest::addColumn<int>("stopCaption");
        QTest::newRow("single key") << 1 << kRecordSingle << 154 << 155;
        QTest::newRow("combination") << 1 << kRecordCombo << 159 << 160;
        QTest::newRow("macro") << 2 << kRecordMacro << 267 << 268;
        QTest::newRow("emulation") << 3 << kRecordEmulation << 352 << 353;
    }
    void theButtonShowsTheRecording() {
        QFETCH(int, tab);
        QFETCH(int, button);
        QFETCH(int, recordCaption);
        QFETCH(int, stopCaption);
        config->predefinedCombos = oneEntry(steps({u"Q"}, 6), 6);
        config->predefinedMacros = oneEntry(steps({u"Q Down"}), 9);
        config->predefinedEmulations = oneEntry(steps({u"Q"}), 9);
        open();
        click(header(tab));
        if (button == kRecordCombo) {
            click(kComboMode);
        }
        click(button);
        QCOMPARE(capture->installs, 1);
        QVERIFY(capture->window != nullptr);
        QVERIFY(region(button).lit);
        QVERIFY(!region(recordCaption).captionVisible);
        QVERIFY(region(stopCaption).captionVisible);
        // Any left click on the painted surface stops it, and does nothing else.
        clickEmptySpot();
        QCOMPARE(capture->uninstalls, 1);
        QVERIFY(!region(button).lit);
        QVERIFY(region(recordCaption).captionVisible);
        QVERIFY(!region(stopCaption).captionVisible);
        QVERIFY(dlg->isVisible());
        // and it can start again.
        click(button);
        QCOMPARE(capture->installs, 2);
    }

    void okWhileRecordingAMacroOnlyStopsIt() {
        openOnMacro(steps({u"Q Down"}));
        click(kRecordMacro);
        type({down('A'), up('A', 40)});
        click(kOk);
        QVERIFY(dlg->isVisible());
        QCOMPARE(capture->uninstalls, 1);
        const QStringList recorded = {"A Down", "<40 ms>", "A UP"};
        QCOMPARE(texts(dlg->macros().children[0]), recorded);
        QCOMPARE(config->slot(kKey, 0).mode, static_cast<int>(NotSet));
        click(kOk);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(config->slot(kKey, 0).mode, static_cast<int>(Macro));
        QCOMPARE(texts(config->slot(kKey, 0).steps), recorded);
    }

    // An Enter that reaches the dialog while keys are recorded is not OK: the keys belong to
    // the recording. Once it has stopped, Enter stores like OK.
    void enterWhileRecordingIsNotOk() {
        openOnMacro(steps({u"Q Down"}));
        click(kRecordMacro);
        QTest::keyClick(dlg.get(), Qt::Key_Return);
        QVERIFY(dlg->isVisible());
        QCOMPARE(capture->uninstalls, 0);
        type({down('A'), up('A', 40)});
        clickEmptySpot();
        QTest::keyClick(dlg.get(), Qt::Key_Return);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(config->slot(kKey, 0).mode, static_cast<int>(Macro));
        QCOMPARE(texts(config->slot(kKey, 0).steps), QStringList({"A Down", "<40 ms>", "A UP"}));
    }

    void closingTheDialogReleasesTheKeyboard() {
        openOnMacro(steps({u"Q Down"}));
        click(kRecordMacro);
        dlg->reject();  // as a lost keyboard closes it
        QCOMPARE(capture->uninstalls, 1);
        openOnMacro(steps({u"Q Down"}));
        click(kRecordMacro);
        dlg.reset();
        QCOMPARE(capture->uninstalls, 2);
    }

    void aCaptureOfOwnWindowsOnlySaysSo() {
        capture->answer = HookResult::CapturingOwnWindows;
        openOnMacro(steps({u"Q Down"}));
        click(kRecordMacro);
        const QLabel* note = nullptr;
        for (QLabel* label : dlg->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("Keys are recorded while this window is active")) {
                note = label;
            }
        }
        QVERIFY(note != nullptr);
        QVERIFY(note->isVisible());
        clickEmptySpot();
        QVERIFY(!note->isVisible());
        capture->answer = HookResult::Capturing;
        click(kRecordMacro);
        QVERIFY(!note->isVisible());
    }

    // ---- delay and play modes -------------------------------------------------------------

    void delayModeSwitches_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("autoDelay");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("clicked");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("autoAfter");
        const QStringList recorded = {"A Down", "<100 ms>", "A UP"};
        QTest::newRow("to auto delay")
            << recorded << false << 30 << kAutoDelay << QStringList({"A Down", "A UP"}) << true;
        QTest::newRow("back to recorded delays")
            << QStringList({"A Down", "A UP"}) << true << 30 << kRecordDelay
            << QStringList({"A Down", "<30 ms>", "A UP"}) << false;
        QTest::newRow("auto delay again changes nothing")
            << QStringList({"A Down", "A UP"}) << true << 30 << kAutoDelay
            << QStringList({"A Down", "A UP"}) << true;
        QTest::newRow("recorded delays again changes nothing")
            << recorded << false << 30 << kRecordDelay << recorded << false;
        QTest::newRow("pauses out of step keep every key")
            << QStringList({"A Down", "A UP", "<5 ms>", "B Down", "Mouse Key Left"}) << false << 30
            << kAutoDelay << QStringList({"A Down", "A UP", "B Down", "Mouse Key Left"}) << true;
    }
    void delayModeSwitches() {
        QFETCH(QStringList, rows);
        QFETCH(bool, autoDelay);
        QFETCH(int, delay);
        QFETCH(int, clicked);
        QFETCH(QStringList, expected);
        QFETCH(bool, autoAfter);
        StepList macro(9);
        for (const QString& row : rows) {
            macro.items.push_back(row.toStdU16String());
            macro.children.emplace_back(9);
        }
        macro.IsAutoInterval = autoDelay;
        macro.Delay = delay;
        macro.Cycles = 7;
        openOnMacro(macro);
        click(clicked);
        const StepList& now = dlg->workingMacro();
        QCOMPARE(texts(now), expected);
        QCOMPARE(now.IsAutoInterval, autoAfter);
        QCOMPARE(now.Cycles, 7);
        QCOMPARE(now.Delay, delay);
        QCOMPARE(texts(dlg->macros().children[0]), expected);
        QCOMPARE(region(kAutoDelay).lit, autoAfter);
        QCOMPARE(region(kRecordDelay).lit, !autoAfter);
        QCOMPARE(dlg->delayField()->isEnabled(), autoAfter);
    }

    void playModes() {
        openOnMacro(steps({u"Q Down"}));
        struct Step {
            int region;
            int mode;
            bool loopCountEnabled;
        };
        for (const Step& s : {Step{208, 1, false}, Step{209, 2, false}, Step{201, 0, true}}) {
            click(s.region);
            QCOMPARE(dlg->workingMacro().PlayMode, s.mode);
            QCOMPARE(dlg->macros().children[0].PlayMode, s.mode);
            QCOMPARE(dlg->valueField()->isEnabled(), s.loopCountEnabled);
            QVERIFY(region(s.region).lit);
            for (int other : {201, 208, 209}) {
                QCOMPARE(region(other).lit, other == s.region);
            }
        }
        QVERIFY(dlg->valueField()->hasFocus());
    }

    // ---- the record list's menu -----------------------------------------------------------

    void recordListMenu_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("autoDelay");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QStringList>("expected");
        const QString left = "Mouse Key Left";
        QTest::newRow("click before a key row")
            << "en-US" << false << 2 << QStringList({"Left Click", "Click"})
            << QStringList({"A Down", "<50 ms>", left, "<0 ms>", left, "<0 ms>", "A UP"});
        QTest::newRow("press on a pause")
            << "en-US" << false << 1 << QStringList({"Right Click", "Press"})
            << QStringList({"A Down", "<0 ms>", "Mouse Key Right", "<50 ms>", "A UP"});
        QTest::newRow("release of the middle button in Chinese")
            << "zh-CN" << false << 0 << QStringList({"鼠标中键", "释放"})
            << QStringList({"Mouse Key Middle", "<0 ms>", "A Down", "<50 ms>", "A UP"});
        QTest::newRow("wheel up with auto delay")
            << "en-US" << true << 1 << QStringList({"Wheel", "Up"})
            << QStringList({"A Down", "Mouse Wheel Up", "<50 ms>", "A UP"});
        QTest::newRow("wheel down on the last row")
            << "en-US" << false << 2 << QStringList({"Wheel", "Down"})
            << QStringList({"A Down", "<50 ms>", "Mouse Wheel Dn", "<0 ms>", "A UP"});
        QTest::newRow("delete a key row and its pause")
            << "en-US" << false << 0 << QStringList({"Deleta"}) << QStringList({"A UP"});
        QTest::newRow("delete a pause and the key after it")
            << "en-US" << false << 1 << QStringList({"Deleta"}) << QStringList({"A Down"});
        QTest::newRow("delete the last row and the pause before it")
            << "en-US" << false << 2 << QStringList({"Deleta"}) << QStringList({"A Down"});
        QTest::newRow("delete with auto delay removes one row")
            << "en-US" << true << 0 << QStringList({"Deleta"}) << QStringList({"<50 ms>", "A UP"});
    }
    void recordListMenu() {
        QFETCH(QString, language);
        QFETCH(bool, autoDelay);
        QFETCH(int, row);
        QFETCH(QStringList, path);
        QFETCH(QStringList, expected);
        config->language = language.toStdString();
        StepList macro = steps({u"A Down", u"<50 ms>", u"A UP"});
        macro.IsAutoInterval = autoDelay;
        openOnMacro(macro);
        QVERIFY(chooseFromMenu(kFirstRecordRow + row, path));
        QCOMPARE(texts(dlg->workingMacro()), expected);
        QCOMPARE(texts(dlg->macros().children[0]), expected);
    }

    void noMenuBelowTheLastRowOrOnOtherTabs() {
        openOnMacro(steps({u"A Down", u"<50 ms>", u"A UP"}));
        QVERIFY(!chooseFromMenu(kFirstRecordRow + 3, {"Deleta"}));
        click(header(3));
        QVERIFY(!chooseFromMenu(341, {"Deleta"}));
        QCOMPARE(dlg->macros().children[0].count(), 3);
    }

    void deleteTakesTheRowClickedAndItsPartnerNotTheCursorRow() {
        openOnMacro(
            steps({u"A Down", u"<50 ms>", u"A UP", u"<60 ms>", u"B Down", u"<70 ms>", u"B UP"}));
        click(kFirstRecordRow);  // the cursor on the first row
        QVERIFY(chooseFromMenu(kFirstRecordRow + 4, {"Deleta"}));
        QCOMPARE(texts(dlg->workingMacro()),
                 QStringList({"A Down", "<50 ms>", "A UP", "<60 ms>", "B UP"}));
    }

    // ---- numeric fields and delay rows ----------------------------------------------------

    void numericFieldsAreClamped_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("delayField");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("stored");
        QTest::newRow("loop count 300") << 2 << false << "300"
                                        << "255" << 255;
        QTest::newRow("loop count 0") << 2 << false << "0"
                                      << "1" << 1;
        QTest::newRow("loop count 17") << 2 << false << "17"
                                       << "17" << 17;
        QTest::newRow("fixed delay 70000") << 2 << true << "70000"
                                           << "60000" << 60000;
        QTest::newRow("fixed delay 0") << 2 << true << "0"
                                       << "0" << 0;
        QTest::newRow("emulation delay 9000") << 3 << false << "9000"
                                              << "6000" << 6000;
        QTest::newRow("emulation delay 0") << 3 << false << "0"
                                           << "0" << 0;
        QTest::newRow("emulation delay far too long") << 3 << false << "99999999999999"
                                                      << "6000" << 6000;
    }
    void numericFieldsAreClamped() {
        QFETCH(int, tab);
        QFETCH(bool, delayField);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, stored);
        StepList macro = steps({u"A Down", u"A UP"});
        macro.IsAutoInterval = true;  // the fixed delay can be typed
        config->predefinedMacros = oneEntry(macro, 9);
        config->predefinedEmulations = oneEntry(steps({u"A"}), 9);
        open();
        click(header(tab));
        QLineEdit* field = delayField ? dlg->delayField() : dlg->valueField();
        QVERIFY(field->isEnabled());
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), shown);
        const int value = tab == 3     ? dlg->emulations().children[0].Delay
                          : delayField ? dlg->macros().children[0].Delay
                                       : dlg->macros().children[0].Cycles;
        QCOMPARE(value, stored);
    }

    void aDelayRowIsEditedInPlace() {
        openOnMacro(steps({u"A Down", u"<120 ms>", u"A UP"}));
        click(242);
        click(242);
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->inPlaceField()->text(), QStringLiteral("120"));
        dlg->inPlaceField()->selectAll();
        QTest::keyClicks(dlg->inPlaceField(), "99999");
        QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
        QVERIFY(!dlg->inPlaceFieldOpen());
        const QStringList expected = {"A Down", "<65535 ms>", "A UP"};
        QCOMPARE(texts(dlg->workingMacro()), expected);
        QCOMPARE(texts(dlg->macros().children[0]), expected);
        click(242);
        dlg->inPlaceField()->setText(QString());
        clickEmptySpot();
        QCOMPARE(texts(dlg->workingMacro()), QStringList({"A Down", "<0 ms>", "A UP"}));
    }
};

QTEST_MAIN(KeyRecorderTest)
#include "KeyRecorderTest.moc"
