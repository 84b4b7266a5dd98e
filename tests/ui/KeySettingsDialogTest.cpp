// SPDX-License-Identifier: GPL-2.0-or-later
// The key settings dialog driven as a user would: clicks at the centres of its regions, typing
// into its fields, Enter and Escape, against a configuration document of the test's own.
#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QRegion>
#include <QTest>
#include <functional>
#include <memory>

#include "CSkinScrollBar.h"
#include "KeySettingsFixture.h"
#include "RegionIds.h"
#include "TipControl.h"

namespace {

constexpr int kKey = 10;
namespace R = KeySettingsRegion;

constexpr int kClearButton = R::Clear;
constexpr int kOk = R::Ok;
constexpr int kCancel = R::Cancel;
constexpr int kClose = R::Close;
constexpr int kUniques = R::Uniques;
constexpr int kCombo = R::Combo;
// In a list of clicks: a click on no region, which commits an open name field.
constexpr int kEmptySpot = -1;

// A catalogue of entries named `names`, entry i holding the single step "S<i>".
StepList catalogue(const std::vector<std::u16string>& names, int view) {
    StepList list(view);
    for (std::size_t i = 0; i < names.size(); ++i) {
        list.items.push_back(names[i]);
        StepList child(view);
        child.items.push_back(u"S" + std::u16string(QString::number(i).toStdU16String()));
        list.children.push_back(child);
    }
    return list;
}

std::vector<std::u16string> numberedNames(int count) {
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(QStringLiteral("E%1").arg(i).toStdU16String());
    }
    return names;
}

struct OkCase {
    const char* name;
    std::function<void(KeyboardConfig&)> prepare;
    std::vector<int> clicks;  // before OK
    int mode;
    int hwCode;
    int otherLevelMode;
    int combos;  // entries of the document's catalogues after OK
    int macros;
    int emulations;
};
const std::vector<OkCase>& okCases() {
    static const std::vector<OkCase> cases = {
        {"function keyboard lock",
         {},
         {header(6), R::KeyboardLock},
         Function,
         150,
         NotSet,
         0,
         0,
         0},
        {"function FN on both levels",
         {},
         {header(6), R::LevelDownCombination},
         Function,
         156,
         Function,
         0,
         0,
         0},
        {"mouse double click", {}, {header(5), R::LeftDoubleClick}, Mouse, 199, NotSet, 0, 0, 0},
        {"power", {}, {header(7), R::Power}, Power, 77, NotSet, 0, 0, 0},
        {"multimedia", {}, {header(4), R::Calculator}, Multimedia, 117, NotSet, 0, 0, 0},
        {"second option replaces the first",
         {},
         {header(4), R::MediaSelect, R::Mute},
         Multimedia,
         112,
         NotSet,
         0,
         0,
         0},
        {"chosen option clicked again",
         {},
         {header(4), R::PlayPause, R::PlayPause},
         NotSet,
         10,
         NotSet,
         0,
         0,
         0},
        {"multimedia chosen, OK on the Mouse tab",
         {},
         {header(4), R::PlayPause, header(5)},
         NotSet,
         10,
         NotSet,
         0,
         0,
         0},
        {"uniques without a key still writes the combo list",
         [](KeyboardConfig& c) { c.predefinedMacros = catalogue({u"m"}, 9); },
         {kCombo, R::ComboNew, kEmptySpot, kUniques},
         NotSet,
         10,
         NotSet,
         1,
         1,
         0},
        {"single key kept",
         [](KeyboardConfig& c) {
             c.slot(kKey, 0).mode = Single;
             c.slot(kKey, 0).hwCode = c.keyCodeToHwCode['B'];
         },
         {},
         Single,
         -2,
         NotSet,
         0,
         0,
         0},
        {"single key without a hardware code",
         [](KeyboardConfig& c) {
             c.slot(kKey, 0).mode = Single;
             c.slot(kKey, 0).hwCode = 1000;
         },
         {},
         NotSet,
         1000,
         NotSet,
         0,
         0,
         0},
        {"new macro, OK on the combo tab loses the macro list",
         {},
         {header(2), R::MacroNew, kEmptySpot, header(1)},
         NotSet,
         10,
         NotSet,
         0,
         0,
         0},
        {"new emulation, OK on its tab writes the list",
         {},
         {header(3), R::EmulationNew, kEmptySpot, R::EmulationNew},
         NotSet,
         10,
         NotSet,
         0,
         0,
         2},
        {"combination kept on the combo tab",
         [](KeyboardConfig& c) {
             c.slot(kKey, 0).mode = Combo;
             c.slot(kKey, 0).steps = steps({u"Left CONTROL", u"A"}, 6);
         },
         {},
         Combo,
         10,
         NotSet,
         1,
         0,
         0},
        {"macro kept on its tab",
         [](KeyboardConfig& c) {
             c.predefinedMacros = catalogue({u"mine"}, 9);
             c.slot(kKey, 0).mode = Macro;
             c.slot(kKey, 0).steps = c.predefinedMacros.children[0];
         },
         {},
         Macro,
         10,
         NotSet,
         0,
         1,
         0},
        {"macro cleared",
         [](KeyboardConfig& c) {
             c.predefinedMacros = catalogue({u"mine"}, 9);
             c.slot(kKey, 0).mode = Macro;
             c.slot(kKey, 0).steps = c.predefinedMacros.children[0];
         },
         {kClearButton},
         NotSet,
         10,
         NotSet,
         0,
         0,
         0},
    };
    return cases;
}

}  // namespace

class KeySettingsDialogTest;

namespace {

// A list on a tab, what is done to it after opening, and where its view and highlight then
// stand (absolute entry index).
struct BarCase {
    const char* name;
    int tab;
    bool right;  // the record list's bar rather than the catalogue's
    std::function<void(KeyboardConfig&)> prepare;
    std::function<void(KeySettingsDialogTest&)> act;
    int start;
    int entry;
};
const std::vector<BarCase>& barCases();

}  // namespace

class KeySettingsDialogTest : public QObject, KeySettingsFixture {
    Q_OBJECT

private:
    KeyAssignment& slot(int level = 0) { return config->slot(kKey, level); }

    void clickAll(const std::vector<int>& ids) {
        for (int id : ids) {
            if (id == kEmptySpot) {
                clickEmptySpot();
            } else {
                click(id);
            }
        }
    }
    bool closedWith(int result) { return !dlg->isVisible() && dlg->result() == result; }
    const StepList& shownList(int tab, bool right) {
        if (tab == 1) {
            return dlg->combos();
        }
        if (tab == 2) {
            return right ? dlg->workingMacro() : dlg->macros();
        }
        return right ? dlg->workingEmulation() : dlg->emulations();
    }
    static int barPosition(CSkinScrollBar* bar) {
        ScrollInfo info;
        info.fMask = SIF_POS;
        bar->getScrollInfo(info);
        return info.nPos;
    }

public:
    // What the bar test does after opening (clicks, keys), from outside the class.
    void pressReturnInField() { QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return); }
    void clickRegion(int id) { click(id); }
    void scroll(bool right, int code, int position) {
        CSkinScrollBar* bar = right ? dlg->rightBar() : dlg->leftBar();
        emit bar->scrollRequest(bar, code, position);
    }

private:
    // A key press where the keyboard sends it: to the focused widget, else the dialog.
    void pressKey(Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : dlg.get(), key);
    }
    void typeIntoField(const QString& text) {
        QLineEdit* field = dlg->inPlaceField();
        field->selectAll();
        QTest::keyClicks(field, text);
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
    }

    void init() { newDocument(kKey); }

    void cleanup() {
        dlg.reset();
        answers.reset();
    }

    // ---- opening -------------------------------------------------------------------------

    void opensOnTheTabOfTheAssignment_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("hwCode");
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("uniques");
        QTest::addColumn<int>("litOption");
        QTest::newRow("not set") << 0 << 10 << 1 << true << 0;
        QTest::newRow("single key") << 1 << 4 << 1 << true << 0;
        QTest::newRow("combination") << 2 << 0 << 1 << false << 0;
        QTest::newRow("macro") << 3 << 0 << 2 << true << 0;
        QTest::newRow("emulation") << 4 << 0 << 3 << true << 0;
        QTest::newRow("multimedia play") << 5 << 111 << 4 << true << R::PlayPause;
        QTest::newRow("mouse double click") << 6 << 199 << 5 << true << R::LeftDoubleClick;
        QTest::newRow("function FN") << 7 << 156 << 6 << true << R::LevelDownCombination;
        QTest::newRow("power sleep") << 8 << 76 << 7 << true << R::Sleep;
        QTest::newRow("unknown mode") << 42 << 3 << 1 << true << 0;
    }
    void opensOnTheTabOfTheAssignment() {
        QFETCH(int, mode);
        QFETCH(int, hwCode);
        QFETCH(int, tab);
        QFETCH(bool, uniques);
        QFETCH(int, litOption);
        slot().mode = mode;
        slot().hwCode = hwCode;
        slot().steps = steps({u"A"});
        open();
        QCOMPARE(dlg->tab(), tab);
        QCOMPARE(dlg->isUniquesMode(), uniques);
        // The mode options and their captions show the mode, whatever tab the key opens on.
        QCOMPARE(region(kUniques).lit, uniques);
        QCOMPARE(region(R::UniquesCaption).lit, uniques);
        QCOMPARE(region(kCombo).lit, !uniques);
        QCOMPARE(region(R::ComboCaption).lit, !uniques);
        for (int t = 4; t <= 7; ++t) {
            QCOMPARE(dlg->chosenCode(t), t == tab ? hwCode : -1);
        }
        if (litOption != 0) {
            QVERIFY(region(litOption).lit);
        }
    }

    void aSingleKeyShowsItsName() {
        slot().mode = Single;
        slot().hwCode = config->keyCodeToHwCode['A'];
        open();
        QCOMPARE(caption(R::KeyName), QStringLiteral("A"));
        click(kClearButton);
        QCOMPARE(caption(R::KeyName), QStringLiteral("-- --"));
    }

    void aCombinationSelectsItsEntryOrAddsADefaultOne_data() {
        QTest::addColumn<bool>("matches");
        QTest::newRow("matching entry") << true;
        QTest::newRow("no matching entry") << false;
    }
    void aCombinationSelectsItsEntryOrAddsADefaultOne() {
        QFETCH(bool, matches);
        config->predefinedCombos = catalogue({u"first", u"second"}, 6);
        slot().mode = Combo;
        slot().steps = matches ? config->predefinedCombos.children[1] : steps({u"Q", u"W"}, 6);
        open();
        const StepList& combos = dlg->combos();
        QCOMPARE(combos.count(), matches ? 2 : 3);
        QCOMPARE(combos.ViewStartAt + combos.CursorPos, matches ? 1 : 2);
        QCOMPARE(dlg->workingCombo().items, slot().steps.items);
        QCOMPARE(combos.itemAtRow(combos.CursorPos),
                 std::u16string(matches ? u"second" : u"default"));
        QCOMPARE(dlg->comboKeysField()->toPlainText(),
                 matches ? QStringLiteral("S1") : QStringLiteral("Q + W"));
        // The added entry reaches the document only through OK on this tab.
        QCOMPARE(config->predefinedCombos.count(), 2);
        click(kOk);
        QCOMPARE(config->predefinedCombos.count(), matches ? 2 : 3);
        QCOMPARE(slot().mode, int(Combo));
    }

    // ---- OK, Cancel, Clear ---------------------------------------------------------------

    void okStoresWhatTheTabShows_data() {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < okCases().size(); ++i) {
            QTest::newRow(okCases()[i].name) << int(i);
        }
    }
    void okStoresWhatTheTabShows() {
        QFETCH(int, row);
        const OkCase& c = okCases()[static_cast<std::size_t>(row)];
        slot(0).hwCode = 10;
        slot(1).hwCode = 11;
        if (c.prepare) {
            c.prepare(*config);
        }
        const int hwBefore = slot(0).hwCode;
        answers->answers << UiAnswer::Yes;  // for the row that clears a catalogue
        open();
        clickAll(c.clicks);
        // Clicks that opened the name field: the first of them commits it.
        if (dlg->inPlaceFieldOpen()) {
            clickEmptySpot();
        }
        click(kOk);
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(slot(0).mode, c.mode);
        QCOMPARE(slot(0).hwCode, c.hwCode == -2 ? hwBefore : c.hwCode);
        QCOMPARE(slot(1).mode, c.otherLevelMode);
        QCOMPARE(slot(1).hwCode, c.otherLevelMode == NotSet ? 11 : c.hwCode);
        QCOMPARE(config->predefinedCombos.count(), c.combos);
        QCOMPARE(config->predefinedMacros.count(), c.macros);
        QCOMPARE(config->predefinedEmulations.count(), c.emulations);
    }

    // Enter is the painted OK, on every tab, with a choice made and with none.
    void enterStoresWhatOkStores_data() { okStoresWhatTheTabShows_data(); }
    void enterStoresWhatOkStores() {
        QFETCH(int, row);
        const OkCase& c = okCases()[static_cast<std::size_t>(row)];
        slot(0).hwCode = 10;
        slot(1).hwCode = 11;
        if (c.prepare) {
            c.prepare(*config);
        }
        const int hwBefore = slot(0).hwCode;
        answers->answers << UiAnswer::Yes;
        open();
        clickAll(c.clicks);
        if (dlg->inPlaceFieldOpen()) {
            clickEmptySpot();
        }
        pressKey(Qt::Key_Return);
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(slot(0).mode, c.mode);
        QCOMPARE(slot(0).hwCode, c.hwCode == -2 ? hwBefore : c.hwCode);
        QCOMPARE(slot(1).mode, c.otherLevelMode);
        QCOMPARE(config->predefinedCombos.count(), c.combos);
        QCOMPARE(config->predefinedMacros.count(), c.macros);
        QCOMPARE(config->predefinedEmulations.count(), c.emulations);
    }

    // Wherever the focus sits outside the fields that take Enter themselves, Enter stores: the
    // keypad's Enter too, and with the focus in the read-only keys box.
    void enterStoresWhereverTheFocusIs_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inKeysBox");
        QTest::newRow("Return") << int(Qt::Key_Return) << false;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << false;
        QTest::newRow("Return in the keys box") << int(Qt::Key_Return) << true;
    }
    void enterStoresWhereverTheFocusIs() {
        QFETCH(int, key);
        QFETCH(bool, inKeysBox);
        config->predefinedCombos = catalogue({u"c1"}, 6);
        open();
        click(kCombo);
        if (inKeysBox) {
            dlg->comboKeysField()->setFocus();
        }
        pressKey(Qt::Key(key));
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(slot().mode, int(Combo));
        QCOMPARE(slot().steps.items, std::vector<std::u16string>{u"S0"});
    }

    void okOnLevelTwoStoresLevelTwo() {
        config->currentLevel = 1;
        open();
        clickAll({header(6), R::KeyboardLock, kOk});
        QCOMPARE(slot(1).mode, int(Function));
        QCOMPARE(slot(1).hwCode, 150);
        QCOMPARE(slot(0).mode, int(NotSet));
        // FN from level 2 reaches level 1 too.
        open();
        clickAll({header(6), R::KeyboardLock, R::LevelDownCombination, kOk});
        QCOMPARE(slot(0).mode, int(Function));
        QCOMPARE(slot(0).hwCode, 156);
        QCOMPARE(slot(1).hwCode, 156);
    }

    // FN is one assignment of the key on both levels: chosen on either level it lands on both,
    // and given up on either level (deselected, replaced, cleared) it leaves both.
    void fnIsOneAssignmentOnBothLevels_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("fnBefore");            // both levels hold FN when the dialog opens
        QTest::addColumn<std::vector<int>>("clicks");  // the last one closes the dialog
        QTest::addColumn<int>("mode");                 // of this level afterwards
        QTest::addColumn<int>("hwCode");
        QTest::addColumn<int>("otherMode");
        const int fn = R::LevelDownCombination;
        for (int level : {0, 1}) {
            const QString on =
                level == 0 ? QStringLiteral(" on level 1") : QStringLiteral(" on level 2");
            QTest::newRow(qPrintable(QStringLiteral("chosen") + on))
                << level << false << std::vector<int>{header(6), fn, kOk} << int(Function) << 156
                << int(Function);
            QTest::newRow(qPrintable(QStringLiteral("deselected") + on))
                << level << true << std::vector<int>{fn, kOk} << int(NotSet) << 156 << int(NotSet);
            QTest::newRow(qPrintable(QStringLiteral("replaced by another function") + on))
                << level << true << std::vector<int>{R::KeyboardLock, kOk} << int(Function) << 150
                << int(NotSet);
            QTest::newRow(qPrintable(QStringLiteral("replaced by a multimedia key") + on))
                << level << true << std::vector<int>{header(4), R::Mute, kOk} << int(Multimedia)
                << 112 << int(NotSet);
            QTest::newRow(qPrintable(QStringLiteral("cleared") + on))
                << level << true << std::vector<int>{kClearButton, kOk} << int(NotSet) << 156
                << int(NotSet);
            QTest::newRow(qPrintable(QStringLiteral("kept") + on))
                << level << true << std::vector<int>{kOk} << int(Function) << 156 << int(Function);
            QTest::newRow(qPrintable(QStringLiteral("deselected, then Cancel") + on))
                << level << true << std::vector<int>{fn, kCancel} << int(Function) << 156
                << int(Function);
        }
    }
    void fnIsOneAssignmentOnBothLevels() {
        QFETCH(int, level);
        QFETCH(bool, fnBefore);
        QFETCH(std::vector<int>, clicks);
        QFETCH(int, mode);
        QFETCH(int, hwCode);
        QFETCH(int, otherMode);
        config->currentLevel = level;
        if (fnBefore) {
            for (int l : {0, 1}) {
                slot(l).mode = Function;
                slot(l).hwCode = kFnHwCode;
            }
        }
        open();
        clickAll(clicks);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(slot(level).mode, mode);
        QCOMPARE(slot(level).hwCode, hwCode);
        QCOMPARE(slot(1 - level).mode, otherMode);
        // The document now shows the key as a whole, never half an FN.
        QCOMPARE(slot(0).mode == Function && slot(0).hwCode == kFnHwCode,
                 slot(1).mode == Function && slot(1).hwCode == kFnHwCode);
    }

    // Only the other level's FN goes with this level's: anything else it holds stays.
    void givingUpFnLeavesAnotherAssignmentAlone() {
        slot(0).mode = Function;
        slot(0).hwCode = kFnHwCode;
        slot(1).mode = Power;
        slot(1).hwCode = 76;
        open();
        clickAll({R::LevelDownCombination, kOk});
        QCOMPARE(slot(0).mode, int(NotSet));
        QCOMPARE(slot(1).mode, int(Power));
        QCOMPARE(slot(1).hwCode, 76);
    }

    void cancelAndEscapeStoreNothing_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("painted Cancel") << 0 << int(QDialog::Rejected);
        QTest::newRow("close button") << 1 << int(QDialog::Rejected);
        QTest::newRow("Escape") << 2 << int(QDialog::Rejected);
    }
    void cancelAndEscapeStoreNothing() {
        QFETCH(int, how);
        QFETCH(int, result);
        slot().mode = Power;
        slot().hwCode = 75;
        open();
        clickAll({header(6), R::BacklightSwitch, header(3), R::EmulationNew});
        clickEmptySpot();
        switch (how) {
            case 0:
                click(kCancel);
                break;
            case 1:
                click(kClose);
                break;
            default:
                dlg->setFocus();
                QTest::keyClick(dlg.get(), Qt::Key_Escape);
                break;
        }
        QVERIFY(closedWith(result));
        QCOMPARE(slot().mode, int(Power));
        QCOMPARE(slot().hwCode, 75);
        QCOMPARE(config->predefinedEmulations.count(), 0);
    }

    void enterInTheNumberFieldsDoesNothing() {
        open();
        click(header(2));
        for (QLineEdit* field : {dlg->valueField(), dlg->delayField()}) {
            field->setEnabled(true);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(dlg->isVisible());
        }
    }

    void clearEmptiesTheCurrentTabOnly_data() {
        QTest::addColumn<int>("tab");
        for (int t = 1; t <= 7; ++t) {
            QTest::newRow(qPrintable(QStringLiteral("tab %1").arg(t))) << t;
        }
    }
    void clearEmptiesTheCurrentTabOnly() {
        QFETCH(int, tab);
        config->predefinedCombos = catalogue({u"c1", u"c2"}, 6);
        config->predefinedMacros = catalogue({u"m1", u"m2"}, 9);
        config->predefinedEmulations = catalogue({u"e1", u"e2"}, 9);
        answers->answers << UiAnswer::Yes;  // the question before a catalogue goes
        open();
        const int options[] = {0, 0, 0, 0, R::PlayPause, R::LeftClick, R::KeyboardLock, R::WakeUp};
        for (int t = 4; t <= 7; ++t) {
            clickAll({header(t), options[t]});
        }
        click(header(tab));
        click(kClearButton);
        QCOMPARE(dlg->combos().count(), tab == 1 ? 0 : 2);
        QCOMPARE(dlg->macros().count(), tab == 2 ? 0 : 2);
        QCOMPARE(dlg->emulations().count(), tab == 3 ? 0 : 2);
        QCOMPARE(dlg->workingCombo().count(), tab == 1 ? 0 : 1);
        QCOMPARE(dlg->workingMacro().count(), tab == 2 ? 0 : 1);
        QCOMPARE(dlg->workingEmulation().count(), tab == 3 ? 0 : 1);
        for (int t = 4; t <= 7; ++t) {
            QCOMPARE(dlg->chosenCode(t) == -1, t == tab);
        }
        if (tab <= 3) {
            ScrollInfo info;
            info.fMask = SIF_ALL;
            dlg->leftBar()->getScrollInfo(info);
            QCOMPARE(info.nMax, int(info.nPage) - 1);
            QCOMPARE(info.nPos, 0);
        }
        // The document changes only with OK on the same tab.
        QCOMPARE(config->predefinedCombos.count(), 2);
        QCOMPARE(config->predefinedMacros.count(), 2);
        QCOMPARE(config->predefinedEmulations.count(), 2);
        click(kOk);
        QCOMPARE(slot().mode, int(NotSet));
        QCOMPARE(config->predefinedCombos.count(), tab == 1 ? 0 : 2);
        QCOMPARE(config->predefinedMacros.count(), tab == 2 ? 0 : 2);
        QCOMPARE(config->predefinedEmulations.count(), tab == 3 ? 0 : 2);
    }

    // Clear asks before a catalogue with entries goes, in the program's language and with the
    // count; only Yes empties it, and No, Escape or closing the question leave everything.
    void clearAsksFirst_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("answer");        // UiAnswer; the FixedAnswers default is No
        QTest::addColumn<QString>("question");  // empty: none asked
        const QString en = QStringLiteral("en-US"), zh = QStringLiteral("zh-CN");
        const int yes = int(UiAnswer::Yes), no = int(UiAnswer::No);
        QTest::newRow("macros zh, yes")
            << zh << 2 << 3 << yes << QStringLiteral("清空全部 3 个宏？");
        QTest::newRow("macros en, no")
            << en << 2 << 3 << no << QStringLiteral("Remove all 3 macros?");
        QTest::newRow("one macro en, yes")
            << en << 2 << 1 << yes << QStringLiteral("Remove the 1 macro?");
        QTest::newRow("combos zh, no")
            << zh << 1 << 2 << no << QStringLiteral("清空全部 2 个组合键？");
        QTest::newRow("combos en, yes")
            << en << 1 << 2 << yes << QStringLiteral("Remove all 2 combinations?");
        QTest::newRow("emulations zh, yes")
            << zh << 3 << 4 << yes << QStringLiteral("清空全部 4 个模拟击键？");
        QTest::newRow("emulations en, closed")
            << en << 3 << 4 << int(UiAnswer::Cancel) << QStringLiteral("Remove all 4 emulations?");
        QTest::newRow("empty macros: no question") << en << 2 << 0 << no << QString();
        QTest::newRow("empty combos: no question") << zh << 1 << 0 << no << QString();
    }
    void clearAsksFirst() {
        QFETCH(QString, language);
        QFETCH(int, tab);
        QFETCH(int, entries);
        QFETCH(int, answer);
        QFETCH(QString, question);
        config->language = language.toStdString();
        StepList& target = tab == 1   ? config->predefinedCombos
                           : tab == 2 ? config->predefinedMacros
                                      : config->predefinedEmulations;
        target = catalogue(numberedNames(entries), tab == 1 ? 6 : 9);
        if (tab == 1) {
            slot().mode = Single;
            slot().hwCode = config->keyCodeToHwCode['B'];
        }
        answers->answers << UiAnswer(answer);
        open();
        click(header(tab));
        click(kClearButton);
        QCOMPARE(answers->questions, question.isEmpty() ? QStringList{} : QStringList{question});
        const bool cleared = question.isEmpty() || answer == int(UiAnswer::Yes);
        const StepList& list = tab == 1   ? dlg->combos()
                               : tab == 2 ? dlg->macros()
                                          : dlg->emulations();
        QCOMPARE(list.count(), cleared ? 0 : entries);
        if (tab == 1) {
            // A kept catalogue keeps the key too: the answer covers the whole Clear.
            QCOMPARE(caption(R::KeyName), cleared ? QStringLiteral("-- --") : QStringLiteral("B"));
        }
        ScrollInfo info;
        info.fMask = SIF_ALL;
        dlg->leftBar()->getScrollInfo(info);
        QCOMPARE(info.nMax, list.count() + int(info.nPage) - 1);
        click(kOk);
        QCOMPARE(target.count(), cleared ? 0 : entries);
    }

    // ---- tabs, mode choice, painting -------------------------------------------------------

    void modeOptionsActAsOneToggle_data() {
        QTest::addColumn<std::vector<int>>("clicks");
        QTest::addColumn<bool>("uniques");
        QTest::newRow("Combo while Uniques is lit") << std::vector<int>{kCombo} << false;
        QTest::newRow("Uniques while it is lit") << std::vector<int>{kUniques} << false;
        QTest::newRow("Combo twice") << std::vector<int>{kCombo, kCombo} << true;
        QTest::newRow("Combo then Uniques") << std::vector<int>{kCombo, kUniques} << true;
        QTest::newRow("Uniques three times")
            << std::vector<int>{kUniques, kUniques, kUniques} << false;
    }
    void modeOptionsActAsOneToggle() {
        QFETCH(std::vector<int>, clicks);
        QFETCH(bool, uniques);
        open();
        clickAll(clicks);
        QCOMPARE(dlg->isUniquesMode(), uniques);
        QCOMPARE(region(kUniques).lit, uniques);
        QCOMPARE(region(R::UniquesCaption).lit, uniques);
        QCOMPARE(region(kCombo).lit, !uniques);
        QCOMPARE(region(R::ComboCaption).lit, !uniques);
    }

    void comboNewAndDeleteActOnlyInComboMode() {
        config->predefinedCombos = catalogue({u"c1"}, 6);
        open();
        clickAll({R::ComboNew, R::ComboDelete});
        QCOMPARE(dlg->combos().count(), 1);
        QVERIFY(!dlg->inPlaceFieldOpen());
        clickAll({kCombo, R::ComboNew});
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->combos().count(), 2);
        clickEmptySpot();
        clickAll({R::ComboDelete, R::ComboDelete});
        QCOMPARE(dlg->combos().count(), 0);
    }

    void tabsShowTheirControlsAndRegions_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("value");
        QTest::addColumn<bool>("delay");
        QTest::addColumn<bool>("keysBox");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("right");
        QTest::newRow("Uni/Combo") << 1 << false << false << true << true << false;
        QTest::newRow("Macro") << 2 << true << true << false << true << true;
        QTest::newRow("Emulate") << 3 << true << false << false << true << true;
        for (int t = 4; t <= 7; ++t) {
            QTest::newRow(qPrintable(QStringLiteral("option tab %1").arg(t)))
                << t << false << false << false << false << false;
        }
    }
    void tabsShowTheirControlsAndRegions() {
        QFETCH(int, tab);
        QFETCH(bool, value);
        QFETCH(bool, delay);
        QFETCH(bool, keysBox);
        QFETCH(bool, left);
        QFETCH(bool, right);
        open();
        click(header(tab));
        QCOMPARE(dlg->tab(), tab);
        QCOMPARE(dlg->valueField()->isVisible(), value);
        QCOMPARE(dlg->delayField()->isVisible(), delay);
        QCOMPARE(dlg->comboKeysField()->isVisible(), keysBox);
        QCOMPARE(dlg->leftBar()->isVisible(), left);
        QCOMPARE(dlg->rightBar()->isVisible(), right);
        QVERIFY(!dlg->inPlaceField()->isVisible());
        // The page rule: global regions and this tab's regions take part, no others.
        for (int i = 0; i < CTravoDialogKeyMapSettings::kRegionCount; ++i) {
            const int id = dlg->regions[static_cast<std::size_t>(i)].regionId;
            const bool expected = id > 0 && (id < 100 || id / 100 == tab);
            QCOMPARE(dlg->regionShown(i), expected);
        }
        QCOMPARE(dlg->look().background, resources.picture(104 + 3 * tab));
        QCOMPARE(dlg->look().hover, resources.picture(105 + 3 * tab));
        QCOMPARE(dlg->look().lit, resources.picture(106 + 3 * tab));
    }

    void clicksOnAnotherTabsRegionsDoNothing() {
        open();
        // Play/Pause's rectangle on the Uni/Combo tab is bare background; on tab 4 it is
        // Play/Pause.
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, centre(R::PlayPause));
        click(kOk);
        QCOMPARE(slot().mode, int(NotSet));
        QCOMPARE(dlg->chosenCode(4), -1);
    }

    void editFieldsSitWhereTheLanguageWantsThem_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("valueX");
        QTest::addColumn<int>("delayX");
        QTest::newRow("zh-CN") << QStringLiteral("zh-CN") << 470 << 470;
        QTest::newRow("en-US") << QStringLiteral("en-US") << 485 << 480;
    }
    void editFieldsSitWhereTheLanguageWantsThem() {
        QFETCH(QString, language);
        QFETCH(int, valueX);
        QFETCH(int, delayX);
        config->language = language.toStdString();
        open();
        for (int t : {2, 3}) {
            click(header(t));
            QCOMPARE(dlg->valueField()->geometry(), QRect(valueX, 112, 36, 18));
        }
        QCOMPARE(dlg->delayField()->geometry(), QRect(delayX, 176, 36, 18));
        QCOMPARE(dlg->comboKeysField()->geometry(), QRect(380, 138, 141, 93));
    }

    void captionsFollowTheLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("macroTab");
        QTest::addColumn<QString>("unit");
        QTest::newRow("zh-CN") << QStringLiteral("zh-CN") << QStringLiteral("按键设置面板")
                               << QStringLiteral("宏定义") << QStringLiteral("毫秒");
        QTest::newRow("en-US") << QStringLiteral("en-US") << QStringLiteral("Key Settings")
                               << QStringLiteral("Macro") << QStringLiteral("ms");
    }
    void captionsFollowTheLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, title);
        QFETCH(QString, macroTab);
        QFETCH(QString, unit);
        config->language = language.toStdString();
        open();
        QCOMPARE(caption(R::Title), title);
        QCOMPARE(caption(R::FirstTabCaption + 1), macroTab);
        // The second record with id 262 is the unit after the fixed delay.
        int units = 0;
        for (const SkinRegion& r : dlg->regions) {
            units += r.regionId == 262 && r.labelFor(config->language) == unit ? 1 : 0;
        }
        QCOMPARE(units, 1);
    }

    // The cursor row comes from the lit picture, the row under the mouse from the hover
    // picture, the others from the background; captions are drawn in the rows' colours.
    void rowsArePaintedFromTheTabsPictures() {
        config->predefinedMacros = catalogue({u"first", u"second", u"third"}, 9);
        config->language = "en-US";
        open();
        click(header(2));
        QTest::mouseMove(dlg.get(), centre(R::FirstMacroRow + 2));
        const QImage shown = dlg->grab().toImage();
        const auto spot = [&](int id) {
            const SkinRect r = region(id).rect;
            return QPoint(r.right - 3, r.bottom - 3);  // right of any caption
        };
        const struct {
            int row;
            int picture;
        } rows[] = {
            {R::FirstMacroRow, 112}, {R::FirstMacroRow + 2, 111}, {R::FirstMacroRow + 1, 110}};
        const QImage background = resources.picture(110)->toImage();
        for (const auto& r : rows) {
            const QImage picture = resources.picture(r.picture)->toImage();
            QCOMPARE(shown.pixelColor(spot(r.row)), picture.pixelColor(spot(r.row)));
            if (r.picture != 110) {
                QVERIFY(picture.pixelColor(spot(r.row)) != background.pixelColor(spot(r.row)));
            }
        }
        // Some pixel of the first row carries the caption colour.
        bool captionDrawn = false;
        const QRect first = toQRect(region(R::FirstMacroRow).rect);
        for (int y = first.top(); y <= first.bottom() && !captionDrawn; ++y) {
            for (int x = first.left(); x <= first.left() + 30 && !captionDrawn; ++x) {
                captionDrawn = shown.pixelColor(x, y) == QColor(200, 200, 200);
            }
        }
        QVERIFY(captionDrawn);
    }

    // ---- hover and tooltip -----------------------------------------------------------------

    void hoverRepaintsOnlyTheRegionsThatChanged() {
        open();
        click(header(6));
        QTest::mouseMove(dlg.get(), centre(R::KeyboardLock));
        QApplication::processEvents();
        PaintRecorder paints;
        dlg->installEventFilter(&paints);
        QTest::mouseMove(dlg.get(), centre(R::CtrlCapsSwap));
        QTRY_VERIFY(!paints.painted.isEmpty());
        const QRegion expected = QRegion(toQRect(region(R::KeyboardLock).rect)) +
                                 QRegion(toQRect(region(R::CtrlCapsSwap).rect));
        QCOMPARE(paints.painted, expected);
        dlg->removeEventFilter(&paints);
    }

    void tooltipNamesUnchosenOptions_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("tip");
        QTest::newRow("multimedia zh")
            << QStringLiteral("zh-CN") << 4 << R::PlayPause << QStringLiteral("播放/暂停");
        QTest::newRow("function en") << QStringLiteral("en-US") << 6 << R::LevelDownCombination
                                     << QStringLiteral(
                                            "level down combination key,Keys level up "
                                            "and down must be set to FN");
        QTest::newRow("power en") << QStringLiteral("en-US") << 7 << R::WakeUp
                                  << QStringLiteral("WakeUp");
        QTest::newRow("mouse rows have none")
            << QStringLiteral("en-US") << 5 << R::LeftClick << QString();
    }
    void tooltipNamesUnchosenOptions() {
        QFETCH(QString, language);
        QFETCH(int, tab);
        QFETCH(int, option);
        QFETCH(QString, tip);
        config->language = language.toStdString();
        open();
        click(header(tab));
        QVERIFY(!dlg->tip().isActive());
        QTest::mouseMove(dlg.get(), centre(option));
        QCOMPARE(dlg->tip().isActive(), !tip.isEmpty());
        if (tip.isEmpty()) {
            return;
        }
        QCOMPARE(dlg->tip().tipText(), tip);
        QCOMPARE(dlg->tip().delayTime(), 100);
        QCOMPARE(dlg->tip().palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(dlg->tip().palette().color(QPalette::Window), QColor(255, 255, 0));
        QTRY_VERIFY(dlg->tip().isVisible());
        // A chosen option names itself no more; moving off every option hides the tip.
        click(option);
        QVERIFY(!dlg->tip().isActive());
        QVERIFY(!dlg->tip().isVisible());
        click(option);
        QTest::mouseMove(dlg.get(), QPoint(8, 40));
        QVERIFY(!dlg->tip().isActive());
    }

    // A button that cannot act says why, on the click at once and on hover after the tip's
    // delay, in the dialog's language; the click changes nothing else.
    void aSilentButtonSaysWhy_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<std::vector<int>>("before");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("reason");
        struct Case {
            const char* name;
            std::vector<int> before;
            int button;
            const char16_t* zh;
            const char16_t* en;
        };
        const Case cases[] = {
            {"New in Uniques mode", {}, R::ComboNew, u"先选择组合键", u"Choose Combo first"},
            {"Delete in Uniques mode", {}, R::ComboDelete, u"先选择组合键", u"Choose Combo first"},
            {"combination Record in Uniques mode",
             {},
             R::ComboRecord,
             u"先选择组合键",
             u"Choose Combo first"},
            {"combination Record on an empty list",
             {kCombo},
             R::ComboRecord,
             u"先新建一个组合键",
             u"Create a combination first"},
            {"Delete on an empty combo list",
             {kCombo},
             R::ComboDelete,
             u"列表中没有可删除的项",
             u"The list is empty"},
            {"single-key Record in Combo mode",
             {kCombo},
             R::KeyRecord,
             u"先选择单键",
             u"Choose Uniques first"},
            {"the prompt", {}, R::KeyPrompt, u"先点击开始录制", u"Click Record first"},
            {"the prompt in Combo mode",
             {kCombo},
             R::KeyPrompt,
             u"先选择单键",
             u"Choose Uniques first"},
            {"macro Record on an empty list",
             {header(2)},
             R::MacroRecord,
             u"先新建一个宏",
             u"Create a macro first"},
            {"Remove on an empty macro list",
             {header(2)},
             R::MacroRemove,
             u"列表中没有可删除的项",
             u"The list is empty"},
            {"emulation Record on an empty list",
             {header(3)},
             R::EmulationRecord,
             u"先新建一个模拟击键",
             u"Create an emulation first"},
            {"Remove on an empty emulation list",
             {header(3)},
             R::EmulationRemove,
             u"列表中没有可删除的项",
             u"The list is empty"},
        };
        for (const Case& c : cases) {
            for (const char* language : {"zh-CN", "en-US"}) {
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(c.name, language)))
                    << QString::fromLatin1(language) << c.before << c.button
                    << QString::fromUtf16(language[0] == 'z' ? c.zh : c.en);
            }
        }
    }
    void aSilentButtonSaysWhy() {
        QFETCH(QString, language);
        QFETCH(std::vector<int>, before);
        QFETCH(int, button);
        QFETCH(QString, reason);
        config->language = language.toStdString();
        open();
        clickAll(before);
        const bool uniques = dlg->isUniquesMode();
        QTest::mouseMove(dlg.get(), centre(button));
        QCOMPARE(dlg->tip().isActive(), true);
        QCOMPARE(dlg->tip().tipText(), reason);
        QTRY_VERIFY(dlg->tip().isVisible());
        // Away and back: the click shows it at once, with no wait.
        QTest::mouseMove(dlg.get(), QPoint(8, 40));
        QVERIFY(!dlg->tip().isVisible());
        click(button);
        QVERIFY(dlg->tip().isVisible());
        QCOMPARE(dlg->tip().tipText(), reason);
        QVERIFY(!dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->isUniquesMode(), uniques);
        QCOMPARE(dlg->combos().count() + dlg->macros().count() + dlg->emulations().count(), 0);
        QCOMPARE(region(button).lit, false);
        // Moving off the button takes the reason away (a spot of its own: a move to where the
        // mouse last moved is dropped).
        QTest::mouseMove(dlg.get(), QPoint(10, 42));
        QVERIFY(!dlg->tip().isActive());
    }

    // An empty list has no entry to highlight: none of its rows is lit, on every list, until
    // an entry is made.
    void anEmptyListHighlightsNoRow() {
        open();
        struct Rows {
            int tab;
            int first;
            int count;
        };
        const Rows lists[] = {{1, R::FirstComboRow, 6},
                              {2, R::FirstMacroRow, 9},
                              {2, R::FirstMacroStepRow, 9},
                              {3, R::FirstEmulationRow, 9},
                              {3, R::FirstEmulationStepRow, 9}};
        for (const Rows& l : lists) {
            click(header(l.tab));
            dlg->repaint();
            for (int id = l.first; id < l.first + l.count; ++id) {
                QVERIFY2(!region(id).lit, qPrintable(QString::number(id)));
            }
        }
        clickAll({header(2), R::MacroNew});
        QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
        dlg->repaint();
        QVERIFY(region(R::FirstMacroRow).lit);
        QVERIFY(!region(R::FirstMacroStepRow).lit);  // the new macro records nothing yet
    }

    // A button that acts has nothing to explain.
    void aButtonThatActsShowsNoReason() {
        config->predefinedMacros = catalogue({u"m"}, 9);
        open();
        click(kCombo);
        QTest::mouseMove(dlg.get(), centre(R::ComboNew));
        QVERIFY(!dlg->tip().isActive());
        click(R::ComboNew);
        QVERIFY(dlg->inPlaceFieldOpen());
        QVERIFY(!dlg->tip().isVisible());
        clickEmptySpot();
        clickAll({header(2), R::MacroRemove});
        QVERIFY(!dlg->tip().isVisible());
        QCOMPARE(dlg->macros().count(), 0);
    }

    // ---- the painted lists ---------------------------------------------------------------

    // The one table of the five painted lists agrees with the dialog's regions: each list's rows
    // are captioned row regions of its tab and no more; catalogue and working list pair up both
    // ways; a catalogue and the entries it hands out have the table's view size.
    void thePaintedListsTableMatchesTheRegions() {
        config->predefinedMacros = catalogue({u"m"}, 3);
        open();
        for (const PaintedList& l : kPaintedLists) {
            const QString name = QStringLiteral("list at %1").arg(l.firstRow);
            for (int r = 0; r < l.rows; ++r) {
                const int index = dlg->regionIndexById(l.firstRow + r);
                const SkinRegion& row = dlg->regions[static_cast<std::size_t>(index)];
                QVERIFY2(row.regionId == l.firstRow + r && row.showCaption, qPrintable(name));
                QCOMPARE(row.regionId / 100, l.tab);
                QCOMPARE(listOfRow(row.regionId), &l);
            }
            QVERIFY(listOfRow(l.firstRow + l.rows) != &l);
            QCOMPARE(listOnBar(l.tab, l.rightBar), &l);
            if (l.partner != ListId::None) {
                QCOMPARE(paintedList(l.partner)->partner, l.id);
                QCOMPARE(paintedList(l.partner)->catalogue, !l.catalogue);
            }
            if (l.catalogue) {
                QCOMPARE(catalogueOfTab(l.tab), l.id);
            }
        }
        QCOMPARE(dlg->combos().SizeOfView, 6);
        QCOMPARE(dlg->macros().SizeOfView, 9);
        QCOMPARE(dlg->emulations().SizeOfView, 9);
        // An entry keeps its own view size; only the empty fallback takes the catalogue's.
        QCOMPARE(dlg->workingMacro().SizeOfView, 3);
        QCOMPARE(dlg->workingCombo().SizeOfView, 6);
    }

    void newProposesTheSmallestFreeName_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("en macro, empty")
            << QStringLiteral("en-US") << 2 << QStringList{} << QStringLiteral("New Macro 1");
        QTest::newRow("en macro, gap at 2")
            << QStringLiteral("en-US") << 2
            << QStringList{QStringLiteral("New Macro 1"), QStringLiteral("New Macro 3")}
            << QStringLiteral("New Macro 2");
        QTest::newRow("zh macro") << QStringLiteral("zh-CN") << 2
                                  << QStringList{QStringLiteral("宏定义1")}
                                  << QStringLiteral("宏定义2");
        QTest::newRow("en combo") << QStringLiteral("en-US") << 1
                                  << QStringList{QStringLiteral("New Combo 2")}
                                  << QStringLiteral("New Combo 1");
        QTest::newRow("zh combo") << QStringLiteral("zh-CN") << 1 << QStringList{}
                                  << QStringLiteral("组合键1");
        QTest::newRow("en emulation")
            << QStringLiteral("en-US") << 3
            << QStringList{QStringLiteral("New Emu 1"), QStringLiteral("New Emu 2")}
            << QStringLiteral("New Emu 3");
        QTest::newRow("zh emulation")
            << QStringLiteral("zh-CN") << 3 << QStringList{} << QStringLiteral("模拟击键1");
    }
    void newProposesTheSmallestFreeName() {
        QFETCH(QString, language);
        QFETCH(int, tab);
        QFETCH(QStringList, existing);
        QFETCH(QString, proposed);
        config->language = language.toStdString();
        std::vector<std::u16string> names;
        for (const QString& n : existing) {
            names.push_back(n.toStdU16String());
        }
        StepList& target = tab == 1   ? config->predefinedCombos
                           : tab == 2 ? config->predefinedMacros
                                      : config->predefinedEmulations;
        target = catalogue(names, tab == 1 ? 6 : 9);
        open();
        click(header(tab));
        if (tab == 1) {
            click(kCombo);
        }
        click(tab * 100 + 5);
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->inPlaceField()->text(), proposed);
        const StepList& list = tab == 1   ? dlg->combos()
                               : tab == 2 ? dlg->macros()
                                          : dlg->emulations();
        QCOMPARE(list.count(), int(existing.size()) + 1);
        // The entry is nameless and selected until the field commits.
        QVERIFY(list.items.back().empty());
        QCOMPARE(list.ViewStartAt + list.CursorPos, list.count() - 1);
        QCOMPARE(dlg->inPlaceField()->geometry(),
                 toQRect(region(tab * 100 + 21 + list.CursorPos).rect));
        clickEmptySpot();
        QCOMPARE(QString::fromStdU16String(list.items.back()), proposed);
    }

    void theNameFieldCommitsEveryWay_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("typed");
        QTest::newRow("click on an empty spot") << 0 << QStringLiteral("Fire");
        QTest::newRow("click on a tab header") << 1 << QStringLiteral("Fire");
        QTest::newRow("Enter") << 2 << QStringLiteral("Fire");
        QTest::newRow("focus loss") << 3 << QStringLiteral("Fire");
        QTest::newRow("emptied, then a click") << 0 << QString();
        QTest::newRow("duplicate name") << 2 << QStringLiteral("second");
    }
    void theNameFieldCommitsEveryWay() {
        QFETCH(int, how);
        QFETCH(QString, typed);
        config->predefinedMacros = catalogue({u"first", u"second"}, 9);
        open();
        click(header(2));
        click(R::FirstMacroRow);  // the cursor entry: a second click renames
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->inPlaceField()->text(), QStringLiteral("first"));
        QCOMPARE(dlg->inPlaceField()->geometry(), toQRect(region(R::FirstMacroRow).rect));
        typeIntoField(typed);
        if (typed.isEmpty()) {
            QTest::keyClick(dlg->inPlaceField(), Qt::Key_Backspace);
        }
        switch (how) {
            case 0:
                clickEmptySpot();
                break;
            case 1:
                click(header(4));
                // That click only committed; the next one changes the tab.
                QCOMPARE(dlg->tab(), 2);
                click(header(4));
                QCOMPARE(dlg->tab(), 4);
                break;
            case 2:
                QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
                QVERIFY(dlg->isVisible());
                break;
            default:
                dlg->valueField()->setFocus();
                break;
        }
        QVERIFY(!dlg->inPlaceFieldOpen());
        QVERIFY(!dlg->inPlaceField()->isVisible());
        QCOMPARE(QString::fromStdU16String(dlg->macros().items[0]), typed);
        QCOMPARE(dlg->macros().items[1], std::u16string(u"second"));
        // Each entry keeps its own steps, whatever the names.
        QCOMPARE(dlg->macros().children[0].items, std::vector<std::u16string>{u"S0"});
        QCOMPARE(dlg->macros().children[1].items, std::vector<std::u16string>{u"S1"});
    }

    // Enter first commits the name, and a second Enter then stores like OK: the focus does not
    // move on to the loop count field, where Enter does nothing.
    void aSecondEnterStoresLikeOk() {
        open();
        clickAll({header(2), R::MacroNew});
        QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
        QVERIFY(!dlg->inPlaceFieldOpen());
        QVERIFY(dlg->isVisible());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != dlg->valueField() && focus != dlg->delayField());
        QTest::keyClick(focus != nullptr ? focus : dlg.get(), Qt::Key_Return);
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(config->predefinedMacros.count(), 1);
    }

    // Enter and Escape in the in-place field act on the field only: Enter takes what was typed,
    // Escape leaves the item as the field found it (a new entry keeps the proposed name, a delay
    // row its number). Then Escape closes the dialog as usual and stores nothing.
    void enterAndEscapeInTheField_data() {
        QTest::addColumn<QString>("opening");  // rename, new, delay
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("item");  // the item's text afterwards
        QTest::newRow("rename, Enter")
            << QStringLiteral("rename") << int(Qt::Key_Return) << QStringLiteral("Fire");
        QTest::newRow("rename, keypad Enter")
            << QStringLiteral("rename") << int(Qt::Key_Enter) << QStringLiteral("Fire");
        QTest::newRow("rename, Escape")
            << QStringLiteral("rename") << int(Qt::Key_Escape) << QStringLiteral("first");
        QTest::newRow("new, Enter")
            << QStringLiteral("new") << int(Qt::Key_Return) << QStringLiteral("Fire");
        QTest::newRow("new, Escape")
            << QStringLiteral("new") << int(Qt::Key_Escape) << QStringLiteral("New Macro 1");
        QTest::newRow("delay, Enter")
            << QStringLiteral("delay") << int(Qt::Key_Return) << QStringLiteral("<99 ms>");
        QTest::newRow("delay, Escape")
            << QStringLiteral("delay") << int(Qt::Key_Escape) << QStringLiteral("<120 ms>");
    }
    void enterAndEscapeInTheField() {
        QFETCH(QString, opening);
        QFETCH(int, key);
        QFETCH(QString, item);
        config->language = "en-US";
        config->predefinedMacros = catalogue({u"first"}, 9);
        config->predefinedMacros.children[0] = steps({u"A Down", u"<120 ms>", u"A UP"});
        open();
        click(header(2));
        if (opening == QLatin1String("rename")) {
            click(R::FirstMacroRow);
        } else if (opening == QLatin1String("new")) {
            click(R::MacroNew);
        } else {
            clickAll({R::FirstMacroStepRow + 1, R::FirstMacroStepRow + 1});
        }
        QVERIFY(dlg->inPlaceFieldOpen());
        typeIntoField(opening == QLatin1String("delay") ? QStringLiteral("99")
                                                        : QStringLiteral("Fire"));
        QTest::keyClick(dlg->inPlaceField(), Qt::Key(key));
        QVERIFY(!dlg->inPlaceFieldOpen());
        QVERIFY(dlg->isVisible());
        const std::u16string got = opening == QLatin1String("delay") ? dlg->workingMacro().items[1]
                                   : opening == QLatin1String("new") ? dlg->macros().items[1]
                                                                     : dlg->macros().items[0];
        QCOMPARE(QString::fromStdU16String(got), item);
        // The next Escape is the dialog's again.
        pressKey(Qt::Key_Escape);
        QVERIFY(closedWith(QDialog::Rejected));
        QCOMPARE(config->predefinedMacros.count(), 1);
        QCOMPARE(config->predefinedMacros.items[0], std::u16string(u"first"));
    }

    void okAndCancelCommitTheFieldAndAct_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("OK") << kOk;
        QTest::newRow("Cancel") << kCancel;
    }
    void okAndCancelCommitTheFieldAndAct() {
        QFETCH(int, button);
        config->language = "en-US";
        open();
        clickAll({header(3), R::EmulationNew});
        typeIntoField(QStringLiteral("Typing"));
        click(button);
        QVERIFY(closedWith(button == kOk ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(config->predefinedEmulations.count(), button == kOk ? 1 : 0);
        if (button == kOk) {
            QCOMPARE(config->predefinedEmulations.items[0], std::u16string(u"Typing"));
        }
    }

    void rowClicksSelectThenRename() {
        config->predefinedMacros = catalogue({u"A", u"B", u"C"}, 9);
        open();
        click(header(2));
        QCOMPARE(dlg->workingMacro().items, std::vector<std::u16string>{u"S0"});
        click(R::FirstMacroRow + 2);
        QVERIFY(!dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->macros().CursorPos, 2);
        QCOMPARE(dlg->workingMacro().items, std::vector<std::u16string>{u"S2"});
        QVERIFY(region(R::FirstMacroRow + 2).lit);
        QVERIFY(!region(R::FirstMacroRow).lit);
        // A row below the last entry does nothing and the selection stays.
        click(R::FirstMacroRow + 3);
        QVERIFY(!dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->macros().CursorPos, 2);
        click(R::FirstMacroRow + 2);
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->inPlaceField()->text(), QStringLiteral("C"));
    }

    void recordRowsMoveTheirCursorOnly() {
        StepList macro = steps({u"A Down", u"<120 ms>", u"A UP"});
        config->predefinedMacros = catalogue({u"m"}, 9);
        config->predefinedMacros.children[0] = macro;
        open();
        click(header(2));
        click(R::FirstMacroStepRow + 1);
        QCOMPARE(dlg->workingMacro().CursorPos, 1);
        QVERIFY(!dlg->inPlaceFieldOpen());
        // The second click on a delay row edits its number in place.
        click(R::FirstMacroStepRow + 1);
        QVERIFY(dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->inPlaceField()->text(), QStringLiteral("120"));
        clickEmptySpot();
        QVERIFY(!dlg->inPlaceFieldOpen());
        // A key row opens nothing; nor do emulation rows.
        clickAll({R::FirstMacroStepRow + 2, R::FirstMacroStepRow + 2});
        QVERIFY(!dlg->inPlaceFieldOpen());
        QCOMPARE(dlg->macros().children[0].items, macro.items);
    }

    void deleteDownToAnEmptyCatalogue_data() {
        QTest::addColumn<int>("tab");
        QTest::newRow("macros") << 2;
        QTest::newRow("emulations") << 3;
        QTest::newRow("combos") << 1;
    }
    void deleteDownToAnEmptyCatalogue() {
        QFETCH(int, tab);
        const int view = tab == 1 ? 6 : 9;
        StepList& target = tab == 1   ? config->predefinedCombos
                           : tab == 2 ? config->predefinedMacros
                                      : config->predefinedEmulations;
        target = catalogue({u"x", u"y", u"z"}, view);
        open();
        click(header(tab));
        if (tab == 1) {
            click(kCombo);
        }
        const StepList& list = tab == 1   ? dlg->combos()
                               : tab == 2 ? dlg->macros()
                                          : dlg->emulations();
        const StepList& working = tab == 1   ? dlg->workingCombo()
                                  : tab == 2 ? dlg->workingMacro()
                                             : dlg->workingEmulation();
        const std::vector<std::u16string> loaded[] = {{u"S1"}, {u"S2"}, {}};
        for (int n = 0; n < 3; ++n) {
            click(tab * 100 + 6);
            QCOMPARE(list.count(), 2 - n);
            QCOMPARE(working.items, loaded[n]);
            ScrollInfo info;
            info.fMask = SIF_ALL;
            dlg->leftBar()->getScrollInfo(info);
            QCOMPARE(info.nMax, list.count() + view - 1);
        }
        QCOMPARE(working.SizeOfView, view);
        click(tab * 100 + 6);  // nothing left to delete
        QCOMPARE(list.count(), 0);
        click(kOk);
        QCOMPARE(target.count(), 0);
    }

    // A catalogue of 20 entries, scrolled with its bar: the cursor follows the bar, and the
    // working list always holds the entry under the cursor.
    void scrollingACatalogueMovesItsCursor_data() {
        // Requests as code, position pairs, in the order the bar sends them.
        QTest::addColumn<std::vector<int>>("requests");
        QTest::addColumn<int>("startAt");
        QTest::addColumn<int>("cursor");
        const int track = SB_THUMBTRACK;
        QTest::newRow("thumb to 12") << std::vector<int>{track, 12} << 12 << 0;
        QTest::newRow("thumb to 12, then 20, the largest")
            << std::vector<int>{track, 12, track, 20} << 12 << 7;
        QTest::newRow("thumb to 12, then past the end")
            << std::vector<int>{track, 12, track, 99} << 12 << 7;
        QTest::newRow("thumb straight to 20") << std::vector<int>{track, 20} << 19 << 0;
        QTest::newRow("line down") << std::vector<int>{SB_LINEDOWN, 0} << 0 << 1;
        QTest::newRow("page down") << std::vector<int>{SB_PAGEDOWN, 0} << 9 << 0;
        QTest::newRow("page down, then page up")
            << std::vector<int>{SB_PAGEDOWN, 0, SB_PAGEUP, 0} << 0 << 0;
        QTest::newRow("line up at the top") << std::vector<int>{SB_LINEUP, 0} << 0 << 0;
        QTest::newRow("end of a drag") << std::vector<int>{SB_THUMBPOSITION, 15} << 0 << 0;
    }
    void scrollingACatalogueMovesItsCursor() {
        QFETCH(std::vector<int>, requests);
        QFETCH(int, startAt);
        QFETCH(int, cursor);
        config->predefinedMacros = catalogue(numberedNames(20), 9);
        open();
        click(header(2));
        for (std::size_t i = 0; i + 1 < requests.size(); i += 2) {
            emit dlg->leftBar()->scrollRequest(dlg->leftBar(), requests[i], requests[i + 1]);
        }
        const StepList& list = dlg->macros();
        QCOMPARE(list.ViewStartAt, startAt);
        QCOMPARE(list.CursorPos, cursor);
        const int entry = startAt + cursor;
        QCOMPARE(dlg->workingMacro().items,
                 std::vector<std::u16string>{u"S" + QString::number(entry).toStdU16String()});
        dlg->repaint();
        QCOMPARE(caption(R::FirstMacroRow), QStringLiteral("E%1").arg(startAt));
        QVERIFY(region(R::FirstMacroRow + cursor).lit);
        if (startAt == 12) {
            QCOMPARE(caption(R::FirstMacroRow + 7), QStringLiteral("E19"));
            QCOMPARE(caption(R::FirstMacroRow + 8), QString());
        }
        // The document's list is untouched until OK.
        QCOMPARE(config->predefinedMacros.ViewStartAt, 0);
    }

    void theScrollBarIsDrivenByItsArrows() {
        config->predefinedEmulations = catalogue(numberedNames(20), 9);
        open();
        click(header(3));
        CSkinScrollBar* bar = dlg->leftBar();
        const QPoint down = bar->partRect(SB_LINEDOWN).center();
        QTest::mouseClick(bar, Qt::LeftButton, {}, down);
        QTest::mouseClick(bar, Qt::LeftButton, {}, down);
        QCOMPARE(dlg->emulations().CursorPos, 2);
        // The highlight moved inside the view; the thumb stays at the view's start.
        ScrollInfo info;
        info.fMask = SIF_POS;
        bar->getScrollInfo(info);
        QCOMPARE(info.nPos, 0);
        QCOMPARE(dlg->workingEmulation().items, std::vector<std::u16string>{u"S2"});
    }

    // On every list the bar's position is the list's view start, whatever moved the view: New,
    // Delete, opening on a later entry, a recording, the bar itself. So the next arrow click
    // goes on from the highlight instead of jumping back to where the thumb was left.
    void theBarFollowsTheList_data() {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < barCases().size(); ++i) {
            QTest::newRow(barCases()[i].name) << int(i);
        }
    }
    void theBarFollowsTheList() {
        QFETCH(int, row);
        const BarCase& c = barCases()[static_cast<std::size_t>(row)];
        c.prepare(*config);
        open();
        if (dlg->tab() != c.tab) {
            click(header(c.tab));
        }
        if (c.act) {
            c.act(*this);
        }
        const StepList& list = shownList(c.tab, c.right);
        CSkinScrollBar* bar = c.right ? dlg->rightBar() : dlg->leftBar();
        QCOMPARE(list.ViewStartAt, c.start);
        QCOMPARE(list.ViewStartAt + list.CursorPos, c.entry);
        QCOMPARE(barPosition(bar), c.start);
        // The arrows go on from the highlight, a row up and a row down.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->partRect(SB_LINEUP).center());
        QCOMPARE(list.ViewStartAt + list.CursorPos, std::max(c.entry - 1, 0));
        QCOMPARE(barPosition(bar), list.ViewStartAt);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->partRect(SB_LINEDOWN).center());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->partRect(SB_LINEDOWN).center());
        QCOMPARE(list.ViewStartAt + list.CursorPos, std::min(c.entry + 1, list.count() - 1));
        QCOMPARE(barPosition(bar), list.ViewStartAt);
    }

    void theNameFieldKeepsItsEntryWhileTheListScrolls() {
        config->predefinedMacros = catalogue(numberedNames(20), 9);
        open();
        clickAll({header(2), R::FirstMacroRow});
        QVERIFY(dlg->inPlaceFieldOpen());
        emit dlg->leftBar()->scrollRequest(dlg->leftBar(), SB_THUMBTRACK, 12);
        QVERIFY(dlg->inPlaceFieldOpen());
        typeIntoField(QStringLiteral("renamed"));
        QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
        QCOMPARE(dlg->macros().items[0], std::u16string(u"renamed"));
        QCOMPARE(dlg->macros().items[12], std::u16string(u"E12"));
    }

    void optionChoiceLightsOneOptionOfTheTab() {
        open();
        click(header(6));
        click(R::KeyboardLock);
        QVERIFY(region(R::KeyboardLock).lit);
        click(R::BacklightSwitch);
        QVERIFY(region(R::BacklightSwitch).lit);
        QVERIFY(!region(R::KeyboardLock).lit);
        QCOMPARE(dlg->chosenCode(6), 135);
        click(R::BacklightSwitch);
        QVERIFY(!region(R::BacklightSwitch).lit);
        QCOMPARE(dlg->chosenCode(6), -1);
        // Choices on other tabs stay while this one changes.
        clickAll({header(7), R::Sleep, header(6), R::Demonstrate});
        QCOMPARE(dlg->chosenCode(7), 76);
        QCOMPARE(dlg->chosenCode(6), 137);
    }
};

namespace {

// A macro entry holding `rows` rows, its view on the last ones as a recording leaves it.
StepList longRecord(int rows) {
    StepList record(9);
    for (int i = 0; i < rows; ++i) {
        record.append(QStringLiteral("K%1").arg(i).toStdU16String());
    }
    return record;
}

const std::vector<BarCase>& barCases() {
    using T = KeySettingsDialogTest;
    static const std::vector<BarCase> cases = {
        {"New after ten macros", 2, false,
         [](KeyboardConfig& c) { c.predefinedMacros = catalogue(numberedNames(10), 9); },
         [](T& t) {
             t.clickRegion(R::MacroNew);
             t.pressReturnInField();
         },
         2, 10},
        {"New after six combos", 1, false,
         [](KeyboardConfig& c) { c.predefinedCombos = catalogue(numberedNames(6), 6); },
         [](T& t) {
             t.clickRegion(kCombo);
             t.clickRegion(R::ComboNew);
             t.pressReturnInField();
         },
         1, 6},
        {"New after twelve emulations", 3, false,
         [](KeyboardConfig& c) { c.predefinedEmulations = catalogue(numberedNames(12), 9); },
         [](T& t) {
             t.clickRegion(R::EmulationNew);
             t.pressReturnInField();
         },
         4, 12},
        {"opening on the fourth macro",
         2,
         false,
         [](KeyboardConfig& c) {
             c.predefinedMacros = catalogue(numberedNames(10), 9);
             c.slot(kKey, 0).mode = Macro;
             c.slot(kKey, 0).steps = c.predefinedMacros.children[3];
         },
         {},
         0,
         3},
        {"opening on the sixteenth emulation",
         3,
         false,
         [](KeyboardConfig& c) {
             c.predefinedEmulations = catalogue(numberedNames(20), 9);
             c.slot(kKey, 0).mode = Emulation;
             c.slot(kKey, 0).steps = c.predefinedEmulations.children[15];
         },
         {},
         15,
         15},
        {"opening on the eighth combo",
         1,
         false,
         [](KeyboardConfig& c) {
             c.predefinedCombos = catalogue(numberedNames(9), 6);
             c.slot(kKey, 0).mode = Combo;
             c.slot(kKey, 0).steps = c.predefinedCombos.children[7];
         },
         {},
         7,
         7},
        {"Delete the last of twelve macros", 2, false,
         [](KeyboardConfig& c) { c.predefinedMacros = catalogue(numberedNames(12), 9); },
         [](T& t) {
             t.scroll(false, SB_THUMBTRACK, 11);
             t.clickRegion(R::MacroRemove);
         },
         10, 10},
        {"page down through emulations", 3, false,
         [](KeyboardConfig& c) { c.predefinedEmulations = catalogue(numberedNames(20), 9); },
         [](T& t) { t.scroll(false, SB_PAGEDOWN, 0); }, 9, 9},
        {"a long macro record list",
         2,
         true,
         [](KeyboardConfig& c) {
             c.predefinedMacros = catalogue({u"m"}, 9);
             c.predefinedMacros.children[0] = longRecord(20);
         },
         {},
         11,
         19},
        {"a long emulation record list",
         3,
         true,
         [](KeyboardConfig& c) {
             c.predefinedEmulations = catalogue({u"e"}, 9);
             c.predefinedEmulations.children[0] = longRecord(14);
         },
         {},
         5,
         13},
        {"the record list of the macro selected", 2, true,
         [](KeyboardConfig& c) {
             c.predefinedMacros = catalogue({u"short", u"long"}, 9);
             c.predefinedMacros.children[1] = longRecord(30);
         },
         [](T& t) { t.clickRegion(R::FirstMacroRow + 1); }, 21, 29},
    };
    return cases;
}

}  // namespace

QTEST_MAIN(KeySettingsDialogTest)
#include "KeySettingsDialogTest.moc"
