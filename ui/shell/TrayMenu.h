// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main window's menus: the notification-area icon with its menu (undo and redo naming their
// steps, the recent profiles, the verify-after-writing setting and Exit) and the menu a right
// click on the window opens (the same but Exit, which the window has as a button). The texts follow
// the document's language and the items are made anew each time a menu opens.

#include <QList>
#include <QObject>
#include <memory>

class KeyboardConfig;
class ProfileCommands;
class QAction;
class QIcon;
class QMenu;
class QSystemTrayIcon;
class QWidget;

class TrayMenu : public QObject {
    Q_OBJECT

public:
    // The icon shows `icon`; the menus belong to `window`; the texts take `config`'s language.
    TrayMenu(const KeyboardConfig& config, const QIcon& icon, QWidget* window);

    // The icon in the notification area, shown while the window is hidden there.
    void showIcon();
    void hideIcon();

    // The icon's menu.
    QMenu* iconMenu() const { return menu; }
    // The right-click menu: made anew, owned by the caller.
    std::unique_ptr<QMenu> windowMenu();
    // Texts, setting and recent profiles as they are now.
    void update();
    // The commands whose history the undo and redo items name; without, they stay greyed.
    void setHistorySource(const ProfileCommands* commands);

signals:
    // A recent profile was chosen: its full path.
    void profileChosen(const QString& path);
    void exitChosen();
    void undoChosen();
    void redoChosen();
    // A click or double click on the icon.
    void iconActivated();

private:
    void rebuildRecentProfiles();

    const KeyboardConfig& config;
    QWidget* window;
    QSystemTrayIcon* tray = nullptr;
    QMenu* menu = nullptr;
    const ProfileCommands* history = nullptr;
    QAction* undoItem = nullptr;
    QAction* redoItem = nullptr;
    QAction* exitItem = nullptr;
    QAction* verifySetting = nullptr;
    QList<QAction*> recentActions;
};
