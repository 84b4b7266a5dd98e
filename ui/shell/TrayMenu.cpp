// SPDX-License-Identifier: GPL-2.0-or-later
#include "TrayMenu.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "ProfileCommands.h"
#include "ProgramSettings.h"
#include "RecentProfiles.h"

TrayMenu::TrayMenu(const KeyboardConfig& config, const QIcon& icon, QWidget* window)
    : QObject(window), config(config), window(window) {
    tray = new QSystemTrayIcon(icon, this);
    tray->setToolTip(QStringLiteral("Oskel"));
    menu = new QMenu(window);
    undoItem = menu->addAction(QString());
    connect(undoItem, &QAction::triggered, this, &TrayMenu::undoChosen);
    redoItem = menu->addAction(QString());
    connect(redoItem, &QAction::triggered, this, &TrayMenu::redoChosen);
    menu->addSeparator();
    verifySetting = menu->addAction(QString());
    verifySetting->setCheckable(true);
    connect(verifySetting, &QAction::toggled, this,
            [](bool on) { programSettings::setVerifyAfterWrite(on); });
    menu->addSeparator();
    exitItem = menu->addAction(QString());
    connect(exitItem, &QAction::triggered, this, &TrayMenu::exitChosen);
    connect(menu, &QMenu::aboutToShow, this, &TrayMenu::update);
    tray->setContextMenu(menu);
    connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        // Trays that speak the StatusNotifier protocol report a single click only.
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) {
            emit iconActivated();
        }
    });
    update();
}

void TrayMenu::showIcon() {
    tray->show();
}

void TrayMenu::hideIcon() {
    tray->hide();
}

void TrayMenu::setHistorySource(const ProfileCommands* commands) {
    history = commands;
    update();
}

void TrayMenu::update() {
    const auto shown = [this](const LanguageText& text) {
        return QString::fromStdU16String(std::u16string(text.chineseOrEnglish(config.language)));
    };
    undoItem->setText(history != nullptr ? history->undoText() : shown({u"撤销", u"Undo"}));
    undoItem->setEnabled(history != nullptr && history->canUndo());
    redoItem->setText(history != nullptr ? history->redoText() : shown({u"重做", u"Redo"}));
    redoItem->setEnabled(history != nullptr && history->canRedo());
    exitItem->setText(shown({u"关闭", u"Exit"}));
    // Without a known language the window has no texts: Exit only by its button.
    exitItem->setVisible(isKnownLanguage(config.language));
    verifySetting->setText(shown({u"写入后校验", u"Verify after writing"}));
    {
        const QSignalBlocker quiet(verifySetting);
        verifySetting->setChecked(programSettings::verifyAfterWrite());
    }
    rebuildRecentProfiles();
}

// The newest first, by file name; the full path shows as the tip and is what the item applies.
void TrayMenu::rebuildRecentProfiles() {
    for (QAction* action : recentActions) {
        menu->removeAction(action);
        action->deleteLater();
    }
    recentActions.clear();
    QAction* before = verifySetting;
    for (const std::string& profile : RecentProfiles().list()) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(profile));
        auto* action = new QAction(QFileInfo(path).fileName(), menu);
        action->setToolTip(path);
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { emit profileChosen(path); });
        menu->insertAction(before, action);
        recentActions << action;
    }
    if (!recentActions.isEmpty()) {
        recentActions << menu->insertSeparator(before);
    }
}

std::unique_ptr<QMenu> TrayMenu::windowMenu() {
    update();
    auto shown = std::make_unique<QMenu>(window);
    for (QAction* action : menu->actions()) {
        shown->addAction(action);
        if (action == verifySetting) {
            break;  // what follows is Exit and its separator
        }
    }
    return shown;
}
