// SPDX-License-Identifier: GPL-2.0-or-later
#include "ConfigSnapshot.h"

#include <algorithm>

namespace {

// The steps and their play settings, down through the sub-lists; not the view position.
bool sameList(const StepList& a, const StepList& b) {
    return a.sameSteps(b) && a.children.size() == b.children.size() &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), sameList);
}

bool sameSlot(const KeyAssignment& a, const KeyAssignment& b) {
    return a.mode == b.mode && a.hwCode == b.hwCode && sameList(a.steps, b.steps);
}

bool sameKey(const std::array<KeyAssignment, kLevelCount>& a,
             const std::array<KeyAssignment, kLevelCount>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), sameSlot);
}

}  // namespace

ConfigSnapshot ConfigSnapshot::of(const KeyboardConfig& config) {
    ConfigSnapshot s;
    s.macros = config.predefinedMacros;
    s.combos = config.predefinedCombos;
    s.emulations = config.predefinedEmulations;
    s.backlight = config.backlight;
    s.assignments = config.assignments;
    return s;
}

bool ConfigSnapshot::matches(const KeyboardConfig& config) const {
    return sameList(macros, config.predefinedMacros) && sameList(combos, config.predefinedCombos) &&
           sameList(emulations, config.predefinedEmulations) && backlight == config.backlight &&
           std::equal(assignments.begin(), assignments.end(), config.assignments.begin(), sameKey);
}
