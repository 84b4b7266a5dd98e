// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What one key does on one level.

#include "StepList.h"

// The kinds of assignment; the value is what `KeyAssignment::mode` and the profile file hold.
enum AssignmentType : int {
    NotSet = 0,      // the key keeps the keyboard's own function and is not sent
    Single = 1,      // hwCode: a standard key
    Combo = 2,       // steps: keys pressed together
    Macro = 3,       // steps: key-down, key-up and pause steps with play settings
    Emulation = 4,   // steps: keys typed one after another at the list's Delay
    Multimedia = 5,  // hwCode: a multimedia or browser function
    Mouse = 6,       // hwCode: a mouse action, or 199 for the left double click
    Function = 7,    // hwCode: a keyboard function (backlight, locks, report rate, FN...)
    Power = 8,       // hwCode: Wake Up, Sleep or Power
};

constexpr int kAssignmentTypeCount = 9;

// One slot. `mode` is an int because files and the keyboard can carry any value; readers treat
// values outside the table as described where they use them. hwCode is used by the one-function
// types, steps by Combo, Macro and Emulation; each keeps its value while the other is in use.
struct KeyAssignment {
    int mode = NotSet;
    int hwCode = 0;
    StepList steps;
};
