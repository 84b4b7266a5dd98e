// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Texts for the main window's information box: what a key does on each level.

#include <string>

#include "KeyAssignment.h"
#include "KeyboardConfig.h"

// One-line description: the function's name, a combo's or an emulation's keys joined by " | ",
// or a condensed macro (key names and pause lengths joined by ",", cut after 120 characters with
// " ... ..."). Empty for NotSet or an unknown mode.
std::u16string describeAssignment(const KeyboardConfig& config, const KeyAssignment& assignment);

// The same for the slot of KeyIndex `key` on level index `level`; empty for a slot that does
// not exist.
std::u16string describeAssignment(const KeyboardConfig& config, int key, int level);

// Title, then the type and description of both levels of `key`, in the current language; empty
// for a language other than "zh-CN" and "en-US".
std::u16string keyInfoText(const KeyboardConfig& config, int key);
