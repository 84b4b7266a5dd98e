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

    void cancelEnterAndEscapeStoreNothing_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("painted Cancel") << 0 << int(QDialog::Rejected);
        QTest::newRow("close button") << 1 << int(QDialog::Rejected);
        QTest::newRow("Escape") << 2 << int(QDialog::Rejected);
        QTest::newRow("Enter") << 3 << int(QDialog::Accepted);
    }
    void cancelEnterAndEscapeStoreNothing() {
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
                QTest::keyClick(dlg.get(), how == 2 ? Qt::Key_Escape : Qt::Key_Return);
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

    // ---- the painted lists ---------------------------------------------------------------

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

    // Enter first commits the name, and a second Enter then closes the dialog without storing:
    // the focus does not move on to the loop count field, where Enter does nothing.
    void aSecondEnterClosesWithoutStoring() {
        open();
        clickAll({header(2), R::MacroNew});
        QTest::keyClick(dlg->inPlaceField(), Qt::Key_Return);
        QVERIFY(!dlg->inPlaceFieldOpen());
        QVERIFY(dlg->isVisible());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != dlg->valueField() && focus != dlg->delayField());
        QTest::keyClick(focus != nullptr ? focus : dlg.get(), Qt::Key_Return);
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(config->predefinedMacros.count(), 0);
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
        ScrollInfo info;
        info.fMask = SIF_POS;
        bar->getScrollInfo(info);
        QCOMPARE(info.nPos, 2);
        QCOMPARE(dlg->workingEmulation().items, std::vector<std::u16string>{u"S2"});
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

QTEST_MAIN(KeySettingsDialogTest)
#include "KeySettingsDialogTest.moc"
