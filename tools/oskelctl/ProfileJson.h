// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The whole configuration as JSON, for `oskelctl show --json`.

#include <string>

class KeyboardConfig;

// An object with "combos", "macros", "emulations" (arrays of {"name", "steps"}), "backlight"
// (108 [red, green, blue] arrays, KeyIndex 1..108) and "keys" (216 objects in file order: key
// 1 level 0, key 1 level 1, key 2 level 0, ...). Type names and descriptions are the English
// ones. A step list is {"items", "SizeOfView", "ViewStartAt", "CursorPos", "Cycles",
// "IsAutoInterval", "Delay", "PlayMode"}; the unused child lists of its steps are left out, and
// only where one of them is not unused does "children" follow (null for each unused one).
// Last comes "catalogueLists": the view and play settings of the three catalogues' own lists.
std::string profileToJson(const KeyboardConfig& config);
