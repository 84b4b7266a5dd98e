// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The largest document the program can make: all 216 key slots holding a 799-row macro, each
// catalogue 100 entries of 799 rows, and a colour on every key. Saved, it is the maximal
// profile (about 60 MB).

#include <string>

#include "KeyboardConfig.h"

namespace maximal {

constexpr int kRows = 799;
constexpr int kEntries = 100;

inline StepList macro() {
    StepList list(9);
    const std::u16string steps[] = {u"Left CTRL Down", u"<120 ms>", u"Left CTRL UP",
                                    u"Mouse Key Left"};
    for (int i = 0; i < kRows; ++i) {
        list.items.push_back(steps[i % 4]);
        list.children.emplace_back(9);
    }
    return list;
}

inline void fill(KeyboardConfig& config) {
    config.clear();
    const StepList steps = macro();
    for (StepList* catalogue :
         {&config.predefinedCombos, &config.predefinedMacros, &config.predefinedEmulations}) {
        for (int e = 0; e < kEntries; ++e) {
            std::u16string name = u"宏定义";
            for (char c : std::to_string(e + 1)) {
                name += static_cast<char16_t>(c);
            }
            catalogue->items.push_back(name);
            catalogue->children.push_back(steps);
        }
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        config.backlight[k] = {k, 255 - k, 128};
        for (int l = 0; l < kLevelCount; ++l) {
            config.slot(k, l).mode = Macro;
            config.slot(k, l).steps = steps;
        }
    }
}

}  // namespace maximal
