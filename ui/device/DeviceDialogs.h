#pragma once
// What the main window and the backlight dialog call to run a device operation.

class KeyboardConfig;
class QString;
class QWidget;

// How a progress dialog ended.
enum class ProgressResult {
    Done,       // the operation finished: "OK!"
    Failed,     // the keyboard did not take or give everything: the failure message
    Cancelled,  // the user cancelled: nothing is shown
};

// Runs the progress dialog modally for `operation` (1 write key settings, 3 load from the
// keyboard, 4 write backlight) on the document, then tells the user: "OK!" when it finished,
// "写入键盘失败！"/"Writing to the keyboard failed!" (1, 4) or "读取键盘失败！"/"Reading from the
// keyboard failed!" (3) when it failed, nothing when cancelled. The caller repaints after a load
// in any case.
ProgressResult runDeviceProgress(QWidget* parent, int operation);
ProgressResult runDeviceProgress(QWidget* parent, int operation, KeyboardConfig& config);

// The message shown for a progress result; empty for Cancelled.
QString progressResultText(ProgressResult result, int operation, const KeyboardConfig& config);

// Runs the firmware update dialog modally until the user closes it.
void runFirmwareUpdateDialog(QWidget* parent);
void runFirmwareUpdateDialog(QWidget* parent, KeyboardConfig& config);
