// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main window: the keyboard picture with every assigned key lit, the information box, and
// the buttons for profiles, device transfers, backlight, firmware, level, language, help,
// hiding to the notification area and exit. The program runs as long as it does.
//
// The window paints and dispatches: its menus are TrayMenu's, the profile commands and their
// questions about unsaved work are ProfileCommands'.

#include <QIcon>
#include <QString>
#include <memory>
#include <string>

#include "RegionIds.h"
#include "SkinDialog.h"

class KeyboardConfig;
class DeviceWatch;
class ProfileCommands;
class QMenu;
class QPlainTextEdit;
class TrayMenu;

class CTravoDlg : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kRegionCount = 130;

    explicit CTravoDlg(KeyboardConfig& config, QWidget* parent = nullptr);
    ~CTravoDlg() override;

    // Opens the keyboard, shapes and places the window, fills the regions and starts with an
    // empty configuration on level 1. False when no keyboard was found: the user has been told,
    // and the window is to close at once.
    bool initialise();
    // Runs the window modally until it ends, hidden spells in the notification area included.
    // Initialises first.
    int runModal();

    // Text the information box shows.
    QString infoText() const;
    QPlainTextEdit* InfoBox = nullptr;

    // True while the configuration holds something not saved since start, the last Save, Open
    // or Clear.
    bool hasUnsavedChanges() const;
    // Why the window ended: 0 still running, else one of the EndReason values.
    enum class EndReason { None, User, KeyboardLost, NoKeyboard };
    EndReason endReason() const { return ended; }
    bool isInTray() const { return inTray; }

    // Asks the device library whether the keyboard is still there; ends the program when not.
    void checkDevice();
    // The double click on the notification-area icon.
    void restoreFromTray();

    // The notification-area icon's menu: the recent profiles, the verify-after-writing setting
    // and Exit, rebuilt each time it opens.
    QMenu* trayContextMenu() const;
    // The menu a right click on the window opens, so the recent profiles and the setting are at
    // hand without hiding the window first: the tray menu's items but Exit (the window has its
    // own button). Made anew, owned by the caller.
    std::unique_ptr<QMenu> windowMenu();
    // Loads the profile and writes it, keys and backlight, to the keyboard; asks first when the
    // configuration has unsaved changes.
    void applyProfile(const QString& path);

    // Undo and redo of the document (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y): the keys and the
    // information box show the result; the keyboard is not written.
    void undo();
    void redo();
    // The profile commands and the document's history.
    ProfileCommands& profileCommands() { return *profiles; }

    void accept() override;
    void reject() override;

    // The level switch is a check box, checked on level 2; a key's description is what the
    // information box says of it.
    SkinAccess describeRegion(int index) const override;

signals:
    // The window is hidden in the notification area, or back from it.
    void trayStateChanged(bool hidden);

protected:
    void prepaint() override;
    void command(int regionId) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void switchLanguage();
    void switchLevel();
    void openHelp();
    void hideToTray();
    void deviceCommand(int operation);
    void keyCommand(int regionId);

    // Ends the window unless the user wants to stay for unsaved work; `result` for the dialog.
    void requestEnd(int result);
    void endProgram(int result, EndReason reason);
    void setInfoText(const QString& text);
    // After a command that may have changed the document: its step, then the picture.
    void documentChanged(bool changed);

    KeyboardConfig& config;
    QIcon windowIcon;
    std::unique_ptr<ProfileCommands> profiles;
    TrayMenu* menu = nullptr;
    DeviceWatch* deviceWatch = nullptr;
    std::u16string shownInfo;
    EndReason ended = EndReason::None;
    bool inTray = false;
    bool checkingDevice = false;
    bool runningModal = false;
};
