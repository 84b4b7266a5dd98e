// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyboardConfig.h"

namespace {

void resetCatalogue(StepList& catalogue, int sizeOfView) {
    catalogue.clear();
    catalogue.SizeOfView = sizeOfView;
}

}  // namespace

void KeyboardConfig::clear() {
    resetCatalogue(predefinedMacros, 9);
    resetCatalogue(predefinedCombos, 6);
    resetCatalogue(predefinedEmulations, 9);
    backlight.fill(kDefaultLight);
    for (int key = 0; key < kKeyTableSize; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            KeyAssignment& assignment = assignments[key][level];
            assignment.mode = NotSet;
            // A NotSet slot carries its own KeyIndex as a placeholder code.
            assignment.hwCode = key;
            assignment.steps.clear();
        }
    }
}

KeyboardConfig& keyboardConfig() {
    static KeyboardConfig config;
    return config;
}
