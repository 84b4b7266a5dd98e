// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the main window calls "saved": a copy of everything a profile or the keyboard keeps (the
// three catalogues, the backlight and every key assignment), to compare the document with.
// Where the lists were scrolled to is no change the user has to save.

#include "KeyboardConfig.h"

class ConfigSnapshot {
public:
    static ConfigSnapshot of(const KeyboardConfig& config);
    // True when the document holds exactly what the snapshot does.
    bool matches(const KeyboardConfig& config) const;

private:
    StepList macros;
    StepList combos;
    StepList emulations;
    decltype(KeyboardConfig::backlight) backlight{};
    decltype(KeyboardConfig::assignments) assignments{};
};
