// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Keys that a macro leaves held down after it plays.
//
// A macro's record carries codes only: the press and the release of a key are sent as the same
// code, and the keyboard takes each code's occurrences as press, release, press... in turn. A
// key whose code occurs an odd number of times is therefore still down when the macro ends, and
// stays down for every program until it is pressed again: a macro cut short while recording, or
// edited after, can make the keyboard hard to use. Mouse actions are clicks and never stay down;
// pauses and steps that name no key are not keys.

#include <string>
#include <vector>

#include "KeyAssignment.h"
#include "KeyboardConfig.h"
#include "StepList.h"

// The keys the step list of a macro leaves down, each once, named as its first step names it
// without " Down" or " UP", in the order of their first steps.
std::vector<std::u16string> keysLeftDown(const KeyboardConfig& config, const StepList& steps);

// The same for an assignment: empty unless it is a macro.
std::vector<std::u16string> keysLeftDown(const KeyboardConfig& config,
                                         const KeyAssignment& assignment);

// "A, Left SHIFT" (English) or "A、Left SHIFT" for "zh-CN".
std::u16string joinedKeyNames(const std::vector<std::u16string>& names,
                              const std::string& language);
