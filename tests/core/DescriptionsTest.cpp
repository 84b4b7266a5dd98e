// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Descriptions.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "OskelTestSupport.h"

namespace {

class Descriptions : public ::testing::Test {
protected:
    void SetUp() override {
        buildKeyTables(config);
        config.clear();
    }

    KeyAssignment stepsOf(int mode, const std::vector<std::u16string>& items) {
        KeyAssignment assignment;
        assignment.mode = mode;
        for (const auto& item : items) {
            assignment.steps.append(item);
        }
        return assignment;
    }

    std::unique_ptr<KeyboardConfig> owned = std::make_unique<KeyboardConfig>();
    KeyboardConfig& config = *owned;
};

struct FunctionCase {
    int mode;
    int hwCode;
    const char16_t* text;
};

const FunctionCase kFunctionCases[] = {
    {Single, 1, u"ESC"},
    {Power, 77, u"Power"},
    {Multimedia, 119, u"WWW Search"},
    {Mouse, 199, u"Left Double Click"},
    {Function, 156, u"FN"},
    {Single, 198, u"-- --"},
    {Function, 5000, u"-- --"},
    {NotSet, 1, u""},
    {9, 1, u""},
    {-1, 1, u""},
};

TEST_F(Descriptions, OneFunctionTypesShowTheFunctionName) {
    for (const FunctionCase& c : kFunctionCases) {
        KeyAssignment assignment = stepsOf(c.mode, {u"A"});
        assignment.hwCode = c.hwCode;
        EXPECT_EQ(describeAssignment(config, assignment), c.text)
            << "mode " << c.mode << " hwCode " << c.hwCode;
    }
}

TEST_F(Descriptions, CombosAndEmulationsJoinTheirSteps) {
    EXPECT_EQ(describeAssignment(config, stepsOf(Combo, {u"Left CTRL", u"C"})), u"Left CTRL | C");
    EXPECT_EQ(describeAssignment(config, stepsOf(Emulation, {u"H", u"I", u"(Enter)"})),
              u"H | I | (Enter)");
    EXPECT_EQ(describeAssignment(config, stepsOf(Combo, {})), u"");
    // No length limit for these two.
    std::vector<std::u16string> many(60, u"SPACEBAR");
    EXPECT_EQ(describeAssignment(config, stepsOf(Emulation, many)).size(), 60 * 8 + 59 * 3u);
}

struct MacroCase {
    const char* name;
    std::vector<std::u16string> steps;
    const char16_t* text;
};

// Test names carry the case; the value itself prints as its name.
void PrintTo(const MacroCase& c, std::ostream* os) {
    *os << c.name;
}

const MacroCase kMacroCases[] = {
    {"PressPauseRelease", {u"A Down", u"<120 ms>", u"A UP"}, u"A,120,A"},
    {"BracketedNumberWithoutMs", {u"<12345>"}, u"12"},
    {"ShortBracketedText", {u"<1234>"}, u"1"},
    {"BracketsTooShortToCut", {u"<ab>"}, u"<ab>"},
    {"GreaterThanNotLast", {u"<1>2>"}, u"<1>2>"},
    {"LessThanNotFirst", {u"x<10 ms>"}, u"x<10 ms>"},
    {"DownOnlyAtTheEnd", {u"Left CTRL Down"}, u"Left CTRL"},
    {"DownTwice", {u"X Down Down"}, u"X Down Down"},
    {"DownAlone", {u" Down"}, u" Down"},
    {"UpAtTheEnd", {u"Right Alt UP"}, u"Right Alt"},
    {"UpAlone", {u" UP"}, u" UP"},
    {"UpInTheMiddle", {u"A UP B UP"}, u"A UP B UP"},
    {"MouseStep", {u"Mouse Key Left", u"<30 ms>", u"(Enter) Down"}, u"Mouse Key Left,30,(Enter)"},
    {"Empty", {}, u""},
};

class MacroDescription : public Descriptions, public ::testing::WithParamInterface<MacroCase> {};

TEST_P(MacroDescription, CondensesEachStep) {
    EXPECT_EQ(describeAssignment(config, stepsOf(Macro, GetParam().steps)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, MacroDescription, ::testing::ValuesIn(kMacroCases),
                         oskeltest::CaseName());

TEST_F(Descriptions, LongMacroStopsAfterTheStepPastTheLimit) {
    // Each condensed step is 10 characters, 11 with its comma: 11 steps make exactly 120.
    const std::vector<std::u16string> eleven(11, u"ABCDEFGHIJ Down");
    std::u16string expected = u"ABCDEFGHIJ";
    for (int i = 1; i < 11; ++i) {
        expected += u",ABCDEFGHIJ";
    }
    EXPECT_EQ(expected.size(), 120u);
    EXPECT_EQ(describeAssignment(config, stepsOf(Macro, eleven)), expected);

    const std::vector<std::u16string> twenty(20, u"ABCDEFGHIJ Down");
    EXPECT_EQ(describeAssignment(config, stepsOf(Macro, twenty)),
              expected + u",ABCDEFGHIJ ... ...");
}

TEST_F(Descriptions, MacroLimitCountsUtf16Units) {
    // A character outside the basic plane is two units: after k steps the text is 3k - 1 long,
    // so the 41st step passes 120.
    const std::u16string face = u"\U0001F600";
    ASSERT_EQ(face.size(), 2u);
    const std::u16string text =
        describeAssignment(config, stepsOf(Macro, std::vector<std::u16string>(60, face)));
    const std::u16string suffix = u" ... ...";
    ASSERT_GT(text.size(), suffix.size());
    EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
    EXPECT_EQ(text.size() - suffix.size(), 41 * 3 - 1u);
}

TEST_F(Descriptions, SlotLookup) {
    config.slot(7, 1).mode = Single;
    config.slot(7, 1).hwCode = 43;
    EXPECT_EQ(describeAssignment(config, 7, 1), u"A");
    EXPECT_EQ(describeAssignment(config, 7, 0), u"");
    EXPECT_EQ(describeAssignment(config, 109, 0), u"");
    EXPECT_EQ(describeAssignment(config, 7, 2), u"");
    EXPECT_EQ(describeAssignment(config, -1, 0), u"");
}

TEST_F(Descriptions, KeyInfoInEnglishForAnUnsetKey) {
    config.language = "en-US";
    EXPECT_EQ(keyInfoText(config, 1),
              u"Oskel Programming Software [Ver 1.0.8]\r\n\r\n"
              u"Key settings L1：Not set \r\n\r\n"
              u"Key settings L2：Not set \r\n");
}

TEST_F(Descriptions, KeyInfoInChineseForBothLevels) {
    config.slot(30, 0).mode = Single;
    config.slot(30, 0).hwCode = 1;
    config.slot(30, 1) = stepsOf(Combo, {u"Left CTRL", u"C"});
    EXPECT_EQ(keyInfoText(config, 30),
              u"Oskel 编程软件 [版本 1.0.8]\r\n\r\n"
              u"上档键：单键 ESC\r\n\r\n"
              u"下档键：组合键 Left CTRL | C\r\n");
    config.language = "en-US";
    EXPECT_EQ(keyInfoText(config, 30),
              u"Oskel Programming Software [Ver 1.0.8]\r\n\r\n"
              u"Key settings L1：Single ESC\r\n\r\n"
              u"Key settings L2：Combo Left CTRL | C\r\n");
}

TEST_F(Descriptions, KeyInfoEdgeCases) {
    config.language = "fr-FR";
    EXPECT_EQ(keyInfoText(config, 1), u"");
    config.language = "zh-CN";
    EXPECT_EQ(keyInfoText(config, 0 - 1), u"");
    EXPECT_EQ(keyInfoText(config, 109), u"");
    // A mode from a damaged file has no type name and no description.
    config.slot(2, 0).mode = 12;
    EXPECT_EQ(keyInfoText(config, 2),
              u"Oskel 编程软件 [版本 1.0.8]\r\n\r\n上档键： \r\n\r\n下档键：未设置 \r\n");
}

}  // namespace
