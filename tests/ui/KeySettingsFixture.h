// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key settings dialog as its GUI tests open and drive it: a document of the test's own with
// the key tables, FixedAnswers for the standard dialogs, and clicks at the centres of regions.

#include <QPoint>
#include <QString>
#include <QTest>
#include <memory>

#include "CTravoDialogKeyMapSettings.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "ShellTestSupport.h"
#include "SkinResources.h"
#include "StepListTestSupport.h"

// The header region of tab t (tabs count from 1).
constexpr int header(int t) {
    return KeySettingsRegion::FirstTab + t - 1;
}

// What a key settings test class holds besides QObject: it derives from both, QObject first.
class KeySettingsFixture {
protected:
    KeySettingsFixture() { SkinResources::setCurrent(&resources); }

    // A fresh document with the key tables, `key` chosen on level 1, and fresh answers.
    void newDocument(int key) {
        config = std::make_unique<KeyboardConfig>();
        buildKeyTables(*config);
        config->clear();
        config->currentKey = key;
        config->currentLevel = 0;
        answers = std::make_unique<FixedAnswers>();
    }
    // Opens the dialog on the document and waits until it is the active window.
    void open() {
        dlg = std::make_unique<CTravoDialogKeyMapSettings>(*config);
        dlg->show();
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    SkinRegion& region(int id) { return dlg->regionById(id); }
    QPoint centre(int id) { return toQRect(region(id).rect).center(); }
    void click(int id) { QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, centre(id)); }
    // A spot on no region: the dialog's top left corner area below the title.
    void clickEmptySpot() { QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, QPoint(8, 40)); }
    QString caption(int id) { return region(id).labelFor(config->language); }

    SkinResources resources;
    std::unique_ptr<KeyboardConfig> config;
    std::unique_ptr<FixedAnswers> answers;
    std::unique_ptr<CTravoDialogKeyMapSettings> dlg;
};
