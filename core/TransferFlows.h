// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Moving the configuration between the document and the keyboard through the document's device
// object: every assignment to and from the device library's key-configuration arrays, and the
// backlight colours to and from its 324-int light array.
//
// All four flows answer what the device library answered, and a read that fails leaves the
// document exactly as it was. They run on a worker thread while a modal dialog keeps the user
// from editing the document.

#include <OskelHWI.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "KeyAssignment.h"
#include "KeyboardConfig.h"

// Every assigned slot becomes a key definition (the others stay empty), then the key write
// transfer runs, posting its progress to `window`. False when the keyboard is not open or the
// transfer failed.
bool writeKeysToKeyboard(KeyboardConfig& config, WindowHandle window);

// Fills the device library's 216 key slots from the document as a key write sends them: every
// assigned slot becomes a key definition, the others stay empty. Nothing is sent.
void loadKeyDefinitions(KeyboardConfig& config);

// Runs the key read transfer and, when it succeeds, rebuilds all 216 slots from what the
// library holds. On failure the document is untouched.
bool readKeysFromKeyboard(KeyboardConfig& config, WindowHandle window);
// The same with the keyboard of another document: the slots of `into` are rebuilt, with its
// key tables (a backup taken without touching the user's document).
bool readKeysFromKeyboard(CTravoHWI& keyboard, WindowHandle window, KeyboardConfig& into);

// Sends backlight entries 1..108 to the keyboard. False when a report failed.
bool writeBacklightToKeyboard(KeyboardConfig& config);

// Reads the keyboard's colours into backlight entries 1..108; untouched on failure.
bool readBacklightFromKeyboard(KeyboardConfig& config);
bool readBacklightFromKeyboard(CTravoHWI& keyboard, KeyboardConfig& into);

// The code or pause a step text stands for: the number of a pause text ("<30 ms>" gives 30),
// else the HWCode of the first key (in KeyCode order) whose name, name + " UP" or name + " Down"
// the text is, else 0.
int stepValue(const KeyboardConfig& config, const std::u16string& text);

// stepValue for many texts: the names are looked up instead of walked for every step. Refers
// to the document's key tables, which must outlive it unchanged.
class StepValues {
public:
    explicit StepValues(const KeyboardConfig& config);
    int of(const std::u16string& text) const;

private:
    const KeyboardConfig& config;
    std::unordered_map<std::u16string, int> lowestKeyCode;
};

// The key-configuration array the device library takes for an assignment; empty for a NotSet
// slot (mode 0 or less), which is not sent. Its size is the element count to pass along.
std::vector<int> keyConfigurationOf(const KeyboardConfig& config, const KeyAssignment& assignment);
std::vector<int> keyConfigurationOf(const StepValues& values, const KeyAssignment& assignment);

// Rebuilds an assignment from `count` ints of a key-configuration array as the library returns
// it. Never reads past `count`; codes are bytes.
void assignFromKeyConfiguration(const KeyboardConfig& config, const int* array, int count,
                                KeyAssignment& assignment);
