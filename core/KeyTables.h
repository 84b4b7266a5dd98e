// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The two code spaces of the program and their names.
//
// KeyCode: the computer-side code of a key (the Windows virtual-key code, which the keystroke
// capture delivers on every platform, plus the program's own codes above 255 for power,
// multimedia, mouse and keyboard functions). A recorded key event adds 512 for a release.
// HWCode: the keyboard firmware's code of an assignable function; what a slot stores and sends.

#include <string>

#include "KeyboardConfig.h"

// Low 9 bits of a key event name the key; bit 9 and up mark a release.
constexpr int kKeyCodeMask = 511;
constexpr int kReleaseFlag = 512;
// Left double click: the one HWCode the keyboard does not know; sent as two left clicks.
constexpr int kLeftDoubleClickHwCode = 199;
constexpr int kMouseKeyLeftHwCode = 130;
// The "FN" function, which stays on both levels of its key.
constexpr int kFnHwCode = 156;

// Fills keyNames, keyCodeToHwCode, hwCodeToKeyCode and the type names, and sets language to
// "zh-CN". Always true.
bool buildKeyTables(KeyboardConfig& config);

// Name of a key event code: the key's name, with " UP" (release) or " Down" (press) appended
// when `withDirection` is set; "-- --" without suffix when the key has no name.
std::u16string keyEventName(const KeyboardConfig& config, int keyEvent, bool withDirection);

// Name of the function a HWCode stands for, "-- --" when none.
std::u16string hwCodeName(const KeyboardConfig& config, int hwCode);

// KeyCode of a HWCode: -1 for a negative code, 0 for a code outside the tables.
int keyCodeOfHwCode(const KeyboardConfig& config, int hwCode);

// HWCode of a key event's key, 0 when the key cannot be assigned.
int hwCodeOfKeyEvent(const KeyboardConfig& config, int keyEvent);

// Program title in the current language; empty for a language other than "zh-CN" and "en-US".
std::u16string titleText(const KeyboardConfig& config);

// The text shown for a missing name.
inline const std::u16string kNoName = u"-- --";
