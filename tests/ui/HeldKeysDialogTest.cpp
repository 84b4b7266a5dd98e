// SPDX-License-Identifier: GPL-2.0-or-later
// OK in the key settings dialog on a macro that leaves keys down after it plays: the user is
// told which keys and either goes back to the macro or keeps it.
#include <QTest>

#include "KeySettingsFixture.h"
#include "RegionIds.h"

namespace {

constexpr int kKey = 10;
namespace R = KeySettingsRegion;

}  // namespace

class HeldKeysDialogTest : public QObject, KeySettingsFixture {
    Q_OBJECT

private:
    KeyAssignment& slot() { return config->slot(kKey, 0); }
    bool closedWith(int result) { return !dlg->isVisible() && dlg->result() == result; }

    // The key holds a macro with `items` (also the one catalogue entry), the dialog opens on it.
    void openOnMacro(std::initializer_list<const char16_t*> items) {
        const StepList macro = steps(items);
        config->predefinedMacros = StepList(9);
        config->predefinedMacros.items.push_back(u"mine");
        config->predefinedMacros.children.push_back(macro);
        slot().mode = Macro;
        slot().steps = macro;
        open();
        QCOMPARE(dlg->tab(), 2);
    }

private slots:
    void init() { newDocument(kKey); }
    void cleanup() {
        dlg.reset();
        answers.reset();
    }

    void goingBackKeepsTheDialogOpenAndTheKeyAsItWas() {
        config->language = "en-US";
        openOnMacro({u"Left SHIFT Down", u"A Down", u"<30 ms>", u"A UP"});
        slot().mode = NotSet;  // anything OK would overwrite
        click(R::Ok);
        QCOMPARE(answers->questions.size(), 1);
        QVERIFY2(answers->questions[0].contains(QStringLiteral("stay held down: Left SHIFT.")),
                 qPrintable(answers->questions[0]));
        QVERIFY(!answers->questionHadCancel[0]);
        QVERIFY(dlg->isVisible());
        QCOMPARE(slot().mode, int(NotSet));

        answers->answers << UiAnswer::Yes;
        click(R::Ok);
        QCOMPARE(answers->questions.size(), 2);
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(slot().mode, int(Macro));
        QCOMPARE(slot().steps.items.size(), 4u);
    }

    void aBalancedMacroIsStoredWithoutAQuestion() {
        openOnMacro({u"Left SHIFT Down", u"A Down", u"A UP", u"Mouse Key Left", u"Left SHIFT UP"});
        click(R::Ok);
        QVERIFY(answers->questions.isEmpty());
        QVERIFY(closedWith(QDialog::Accepted));
        QCOMPARE(slot().mode, int(Macro));
    }

    void theQuestionIsInTheDocumentsLanguage() {
        config->language = "zh-CN";
        openOnMacro({u"A Down", u"B Down"});
        click(R::Ok);
        QCOMPARE(answers->questions.size(), 1);
        QVERIFY2(answers->questions[0].contains(QStringLiteral("A、B")),
                 qPrintable(answers->questions[0]));
        QVERIFY(dlg->isVisible());
    }

    // Only OK on the macro tab asks: another tab stores no macro.
    void okOnAnotherTabDoesNotAsk() {
        openOnMacro({u"A Down"});
        click(header(1));
        click(R::Ok);
        QVERIFY(answers->questions.isEmpty());
        QVERIFY(closedWith(QDialog::Accepted));
    }
};

QTEST_MAIN(HeldKeysDialogTest)
#include "HeldKeysDialogTest.moc"
