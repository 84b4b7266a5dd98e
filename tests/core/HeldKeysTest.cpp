// SPDX-License-Identifier: GPL-2.0-or-later
// Which keys a macro leaves held down: the keyboard takes each code's occurrences as press and
// release in turn, so what counts is how often each key's code occurs.
#include <gtest/gtest.h>

#include "HeldKeys.h"
#include "KeyTables.h"

namespace {

using Names = std::vector<std::u16string>;

struct HeldCase {
    const char* name;
    Names steps;
    Names held;
};

void PrintTo(const HeldCase& c, std::ostream* os) {
    *os << c.name;
}

class KeysLeftDown : public testing::TestWithParam<HeldCase> {
protected:
    static void SetUpTestSuite() {
        config = new KeyboardConfig;
        buildKeyTables(*config);
    }
    static void TearDownTestSuite() { delete config; }
    static KeyboardConfig* config;
};
KeyboardConfig* KeysLeftDown::config = nullptr;

TEST_P(KeysLeftDown, AreTheKeysWhoseCodeOccursAnOddNumberOfTimes) {
    StepList steps(9);
    for (const std::u16string& item : GetParam().steps) {
        steps.append(item);
    }
    EXPECT_EQ(keysLeftDown(*config, steps), GetParam().held);
    KeyAssignment macro;
    macro.mode = Macro;
    macro.steps = steps;
    EXPECT_EQ(keysLeftDown(*config, macro), GetParam().held);
    // Only a macro plays its steps one by one.
    for (const int mode : {Combo, Emulation, NotSet}) {
        macro.mode = mode;
        EXPECT_TRUE(keysLeftDown(*config, macro).empty()) << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(
    StepLists, KeysLeftDown,
    testing::Values(
        HeldCase{"Empty", {}, {}},
        HeldCase{"Balanced", {u"A Down", u"<50 ms>", u"A UP", u"B Down", u"B UP"}, {}},
        HeldCase{"Nested", {u"Left SHIFT Down", u"A Down", u"A UP", u"Left SHIFT UP"}, {}},
        // A recording cut short, or a release deleted afterwards.
        HeldCase{
            "OnePressLeft", {u"Left SHIFT Down", u"A Down", u"<30 ms>", u"A UP"}, {u"Left SHIFT"}},
        HeldCase{"ReleasesOnly", {u"A UP", u"<30 ms>", u"B UP", u"B Down"}, {u"A"}},
        // Two presses are press and release to the keyboard; a third press stays down.
        HeldCase{"RepeatedPressesEven", {u"A Down", u"A Down"}, {}},
        HeldCase{
            "RepeatedPressesOdd", {u"A Down", u"A Down", u"A Down", u"A UP", u"C Down"}, {u"C"}},
        // Read back from the keyboard: names without direction, the same code in turn.
        HeldCase{"PlainNames", {u"A", u"<50 ms>", u"A", u"Z"}, {u"Z"}},
        HeldCase{"MixedTextsOfOneKey", {u"A Down", u"A", u"A UP"}, {u"A"}},
        HeldCase{
            "SeveralInFirstStepOrder", {u"B Down", u"A Down", u"C Down", u"C UP"}, {u"B", u"A"}},
        // Mouse actions are clicks; pauses and unknown steps are no keys.
        HeldCase{"MouseRows",
                 {u"Mouse Key Left", u"<10 ms>", u"Mouse Key Right", u"Mouse Key Left",
                  u"Mouse Key Left"},
                 {}},
        HeldCase{
            "MouseRowsBesideAKey", {u"Mouse Key Left", u"Left CONTROL Down"}, {u"Left CONTROL"}},
        HeldCase{"UnknownSteps", {u"-- --", u"Nonsense", u"<1000 ms>"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinedKeyNames, InEitherLanguage) {
    EXPECT_EQ(joinedKeyNames({u"A", u"Left SHIFT"}, "en-US"), u"A, Left SHIFT");
    EXPECT_EQ(joinedKeyNames({u"A", u"Left SHIFT"}, "zh-CN"), u"A、Left SHIFT");
    EXPECT_EQ(joinedKeyNames({}, "en-US"), u"");
}

}  // namespace
