// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main window as the shell's GUI tests open it before each test: on the program's own
// document, against the test's virtual keyboard, with FixedAnswers for the standard dialogs.

#include <QTest>
#include <memory>

#include "CTravoDlg.h"
#include "KeyboardConfig.h"
#include "ShellTestSupport.h"
#include "SkinResources.h"

// What a main window test class holds besides QObject: it derives from both, QObject first.
class MainWindowFixture {
protected:
    MainWindowFixture() { SkinResources::setCurrent(&resources); }

    // Starts the keyboard, opens the window in Chinese with fresh answers and waits until it is
    // shown.
    void openMainWindow() {
        QVERIFY(keyboard.start());
        config.language = "zh-CN";
        answers = std::make_unique<FixedAnswers>();
        dlg = std::make_unique<CTravoDlg>(config);
        QVERIFY(dlg->initialise());
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    }
    // Closes the window, drops the answers and lets go of the keyboard.
    void closeMainWindow() {
        dlg.reset();
        answers.reset();
        config.keyboard.__closeDev();
    }

    KeyboardConfig& config = keyboardConfig();
    TestKeyboard keyboard;
    SkinResources resources;
    std::unique_ptr<FixedAnswers> answers;
    std::unique_ptr<CTravoDlg> dlg;
};
