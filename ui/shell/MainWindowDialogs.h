// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The one place where the main window opens the dialogs of the other folders (ui/device,
// ui/keyedit, ui/backlight). Each function runs its dialog modally over `parent` on `config`.

#include "DeviceProgress.h"

class QWidget;
class KeyboardConfig;

// Runs the progress dialog for `operation` (a ProgressOperation) and tells the user how it ended
// ("OK!", the failure message, or nothing after Cancel).
// A key write is read back and compared when the user's setting asks for it.
void runProgressDialog(QWidget* parent, int operation, KeyboardConfig& config);
// Writes the key settings (verified as above) and then the backlight, telling the user once.
void runWriteEverythingDialogs(QWidget* parent, KeyboardConfig& config);
// Edits the key config.currentKey on config.currentLevel.
void runKeySettingsDialog(QWidget* parent, KeyboardConfig& config);
void runBacklightDialog(QWidget* parent, KeyboardConfig& config);
void runFirmwareDialog(QWidget* parent, KeyboardConfig& config);
// When the keyboard was found but may not or cannot be opened: tells the user why and what to
// do, and answers true. The program goes on either way (profiles can still be edited).
bool tellKeyboardAccessProblem(QWidget* parent, KeyboardConfig& config);
