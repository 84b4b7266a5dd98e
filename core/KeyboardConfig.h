// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The configuration document: every key's assignment on both levels, the three catalogues, the
// backlight colours, the key tables and the little state that windows hand to each other. The
// program has exactly one (keyboardConfig()); tests may build their own.

#include <OskelHWI.h>

#include <array>
#include <map>
#include <string>

#include "KeyAssignment.h"
#include "SettleTimes.h"
#include "StepList.h"

// kKeyCount keys (KeyIndex 1..108) on kLevelCount levels (level index 0 = level 1, 1 = level
// 2), as the device library counts them.
constexpr int kKeyTableSize = kKeyCount + 1;  // indexed by KeyIndex directly; entry 0 unused
constexpr int kCodeTableSize = 1024;  // any 10-bit KeyCode or HWCode indexes the code tables

using Colour = std::array<int, 3>;  // red, green, blue, 0..255 each

class KeyboardConfig {
public:
    KeyboardConfig() = default;
    KeyboardConfig(const KeyboardConfig&) = delete;
    KeyboardConfig& operator=(const KeyboardConfig&) = delete;

    // Back to an empty configuration: empty catalogues (view sizes 9, 6, 9), black backlight, and
    // every slot NotSet with hwCode = its KeyIndex and an emptied step list (view size kept).
    // Language, key tables, current key and level, exchange area, keyboard, notifyWindow,
    // settleTimes and firmwarePath are untouched.
    void clear();

    // Profile files (Profile.cpp). saveProfile replaces the file at `path` atomically; on
    // failure it returns false with the reason in `message` and leaves an older file intact.
    // It saves only to a regular file or a symbolic link to one (or a new file): a FIFO, a
    // device or a folder is refused and left as it is.
    // loadProfile refuses a file that is not a regular file, is far too large, cannot be read,
    // has no Oskel element or asks for far more list items than it holds (false, reason in
    // `message`, configuration unchanged); otherwise it replaces catalogues, colours and all
    // slots, and what the file lacks becomes what clear gives. profileCutShort then tells
    // whether the file ended before its Oskel element did: what it held was loaded, but keys
    // after the cut are empty, so a front end warns before the profile reaches the keyboard.
    bool saveProfile(const std::string& path, std::string* message = nullptr) const;
    bool loadProfile(const std::string& path, std::string* message = nullptr);
    bool profileCutShort = false;

    // The slot of KeyIndex `key` (0..108) on level index `level` (0..1).
    KeyAssignment& slot(int key, int level) { return assignments[key][level]; }
    const KeyAssignment& slot(int key, int level) const { return assignments[key][level]; }
    static bool validSlot(int key, int level) {
        return key >= 0 && key < kKeyTableSize && level >= 0 && level < kLevelCount;
    }

    // "zh-CN" or "en-US"; empty until the key tables are built.
    std::string language;
    // Display name of every KeyCode, ascending. Filled by buildKeyTables.
    std::map<int, std::u16string> keyNames;
    // KeyCode -> HWCode, 0 where a key has no hardware code.
    std::array<int, kCodeTableSize> keyCodeToHwCode{};
    // HWCode -> KeyCode, the inverse as built by buildKeyTables (index 0 holds 1023).
    std::array<int, kCodeTableSize> hwCodeToKeyCode{};
    // Name of each AssignmentType, indexed by its value.
    std::array<std::u16string, kAssignmentTypeCount> typeNamesZh;
    std::array<std::u16string, kAssignmentTypeCount> typeNamesEn;
    // KeyIndex of the key whose settings dialog was opened last.
    int currentKey = 0;
    // Level index shown in the main window and edited by the key settings dialog.
    int currentLevel = 0;
    // Catalogues: item i is an entry name, child i that entry's step list.
    StepList predefinedMacros;
    StepList predefinedCombos;
    StepList predefinedEmulations;
    // Backlight colour of each key, entry n for KeyIndex n.
    std::array<Colour, kKeyTableSize> backlight{};
    // assignments[KeyIndex][level index]; slot k * 2 + l of 218 in memory, KeyIndex 0 unused.
    std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize> assignments;
    // Exchange area of the backlight dialogs: the keys picked in the multi-key colour dialog,
    // the backlight dialog's working colours, and the colour chosen there.
    std::array<bool, kKeyTableSize> multiSelectFlags{};
    std::array<Colour, kKeyTableSize> multiSelectColours{};
    int multiSelectRed = 0;
    int multiSelectGreen = 0;
    int multiSelectBlue = 0;
    // The program's only device object; every keyboard exchange goes through it.
    CTravoHWI keyboard;
    // Receives the device library's progress and completion messages.
    WindowHandle notifyWindow = nullptr;
    // The waits of the device steps the program runs on this document (tests shorten them).
    SettleTimes settleTimes;
    // Firmware file chosen in the firmware update dialog.
    std::u16string firmwarePath;
};

// The one document of the program, created on first use and destroyed at exit.
KeyboardConfig& keyboardConfig();
