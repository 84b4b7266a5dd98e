// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The names of the 108 keys as the keyboard picture labels them ("Esc", "F1", "KPEnter").

#include <string>

// The layout's name of KeyIndex 1..108, empty outside that range.
std::u16string layoutKeyName(int keyIndex);
