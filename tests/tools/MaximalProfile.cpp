// SPDX-License-Identifier: GPL-2.0-or-later
// Saves the largest profile the program can make: all 216 key slots holding a 799-row macro and
// each catalogue 100 entries of 799 rows, with a different colour on every key.
// Usage: oskel-maximal-profile FILE
#include <cstdio>
#include <memory>
#include <string>

#include "KeyTables.h"
#include "KeyboardConfig.h"

namespace {

constexpr int kRows = 799;
constexpr int kEntries = 100;

StepList maximalMacro() {
    StepList list(9);
    const std::u16string steps[] = {u"Left CTRL Down", u"<120 ms>", u"Left CTRL UP",
                                    u"Mouse Key Left"};
    for (int i = 0; i < kRows; ++i) {
        list.items.push_back(steps[i % 4]);
        list.children.emplace_back(9);
    }
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: oskel-maximal-profile FILE\n", stderr);
        return 2;
    }
    auto config = std::make_unique<KeyboardConfig>();
    buildKeyTables(*config);
    config->clear();
    const StepList macro = maximalMacro();
    for (StepList* catalogue : {&config->predefinedCombos, &config->predefinedMacros,
                                &config->predefinedEmulations}) {
        for (int e = 0; e < kEntries; ++e) {
            std::u16string name = u"宏定义";
            for (char c : std::to_string(e + 1)) {
                name += static_cast<char16_t>(c);
            }
            catalogue->items.push_back(name);
            catalogue->children.push_back(macro);
        }
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        config->backlight[k] = {k, 255 - k, 128};
        for (int l = 0; l < kLevelCount; ++l) {
            config->slot(k, l).mode = Macro;
            config->slot(k, l).steps = macro;
        }
    }
    std::string why;
    if (!config->saveProfile(argv[1], &why)) {
        std::fprintf(stderr, "oskel-maximal-profile: cannot save %s: %s\n", argv[1], why.c_str());
        return 1;
    }
    return 0;
}
