#pragma once
// The one place where the main window opens the dialogs of the other folders (ui/device,
// ui/keyedit, ui/backlight). Each function runs its dialog modally over `parent`; a dialog that is
// not part of this build does nothing.

class QWidget;

// How a device operation ended.
enum class DeviceOutcome {
    Done,       // the operation finished: the caller shows "OK!"
    Failed,     // the keyboard did not take or give everything: the caller says so
    Cancelled,  // the user stopped it: nothing is shown
    Missing,    // no progress dialog in this build
};

// Device operations of the progress dialog.
constexpr int kWriteKeysOperation = 1;
constexpr int kReadAllOperation = 3;

DeviceOutcome runProgressDialog(QWidget* parent, int operation);
// Edits the key keyboardConfig().currentKey on keyboardConfig().currentLevel.
void runKeySettingsDialog(QWidget* parent);
void runBacklightDialog(QWidget* parent);
void runFirmwareDialog(QWidget* parent);
