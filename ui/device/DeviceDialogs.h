// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the main window and the backlight dialog call to run a device operation.

#include <QString>

class KeyboardConfig;
struct Comparison;
class QWidget;

// How a progress dialog ended.
enum class ProgressResult {
    Done,       // the operation finished: "OK!"
    Failed,     // the keyboard did not take or give everything: the failure message
    Differs,    // written, but read back it holds something else: the keys that differ
    Cancelled,  // the user cancelled: nothing is shown
};

// Runs the progress dialog modally for `operation` (1 write key settings, 3 load from the
// keyboard, 4 write backlight) on the document, then tells the user: "OK!" when it finished,
// "写入键盘失败！"/"Writing to the keyboard failed!" (1, 4) or "读取键盘失败！"/"Reading from the
// keyboard failed!" (3) when it failed, nothing when cancelled. The caller repaints after a load
// in any case. With `verifyAfterWrite`, a key write reads the keyboard back and compares, and a
// difference replaces "OK!" with the keys that differ.
ProgressResult runDeviceProgress(QWidget* parent, int operation, KeyboardConfig& config,
                                 bool verifyAfterWrite = false);

// What a progress dialog ended with and the message that tells it, without showing it.
struct ProgressOutcome {
    ProgressResult result = ProgressResult::Cancelled;
    QString text;  // empty for Cancelled
};
ProgressOutcome runProgressQuietly(QWidget* parent, int operation, KeyboardConfig& config,
                                   bool verifyAfterWrite);

// Writes the whole configuration, the key settings (verified when asked) and then the
// backlight, each with its progress dialog, and tells the user once at the end. Stops after a
// cancel (saying nothing) or a failed key write.
ProgressResult runWriteEverything(QWidget* parent, KeyboardConfig& config, bool verifyAfterWrite);

// The message shown for a progress result; empty for Cancelled. `differences` is what a verified
// write found (used for Differs only).
QString progressResultText(ProgressResult result, int operation, const KeyboardConfig& config,
                           const Comparison* differences = nullptr);

// The message for a key write the keyboard did not keep: how many differ, one line per slot or
// colour (at most `lines`, then how many more), and what to do.
QString differencesText(const Comparison& differences, const KeyboardConfig& config,
                        int lines = 12);

// Why the keyboard that was found cannot be opened, and what to do about it, in the program's
// language; empty when it is open (or none was found). Every failure of a device operation
// repeats it, so the user is never left with a bare "failed".
QString keyboardAccessAdvice(KeyboardConfig& config);

// A failure message with the access advice after it, when there is one, or with the word that
// another program is using the keyboard when that kept the operation from starting.
QString withAccessAdvice(const QString& failure, KeyboardConfig& config);

// Runs the firmware update dialog modally until the user closes it.
void runFirmwareUpdateDialog(QWidget* parent, KeyboardConfig& config);
