// SPDX-License-Identifier: GPL-2.0-or-later
// The looked-up step values give what walking the names in KeyCode order gives, for every name
// of the key tables with and without its direction, and where names overlap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "TransferFlows.h"

namespace {

// The rule as it is stated: the first name, in ascending KeyCode order, that the text is, or is
// followed by " UP" or " Down".
int walkedValue(const KeyboardConfig& config, const std::u16string& text) {
    for (const auto& [keyCode, name] : config.keyNames) {
        if (text == name || text == name + u" UP" || text == name + u" Down") {
            return config.keyCodeToHwCode[keyCode & kKeyCodeMask];
        }
    }
    return 0;
}

TEST(StepValues, AgreesWithTheWalkForEveryNameAndDirection) {
    KeyboardConfig config;
    buildKeyTables(config);
    const StepValues values(config);
    int checked = 0;
    for (const auto& [keyCode, name] : config.keyNames) {
        for (const std::u16string suffix : {u"", u" UP", u" Down", u" up", u" Down Down"}) {
            const std::u16string text = name + suffix;
            EXPECT_EQ(values.of(text), walkedValue(config, text)) << keyCode;
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
}

TEST(StepValues, OverlappingNamesTakeTheLowestKeyCode) {
    KeyboardConfig config;
    config.keyNames = {{5, u"Page UP"}, {7, u"Page"}, {9, u"Page"}, {11, u"X Down"}, {12, u"X"}};
    for (int code = 0; code < kCodeTableSize; ++code) {
        config.keyCodeToHwCode[code] = 1000 + code;
    }
    const StepValues values(config);
    struct Case {
        std::u16string text;
        int expected;
    };
    const Case cases[] = {
        {u"Page UP", 1005},  // the name itself comes before "Page" + " UP"
        {u"Page", 1007},     // the lower of two codes with one name
        {u"Page Down", 1007},
        {u"X Down", 1011},  // the name "X Down" (11) before "X" + " Down" (12)
        {u"X Down UP", 1011},
        {u"X UP", 1012},
        {u"page", 0},  // case matters
        {u"", 0},
        {u"<25 ms>", 25},  // a pause is its number
        {u"<-3 ms>", -3},
        {u"ms>", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(values.of(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(stepValue(config, c.text), c.expected);
    }
}

}  // namespace
