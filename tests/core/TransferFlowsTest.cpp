// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "OskelTestSupport.h"
#include "TransferFlows.h"

namespace {

using Items = std::vector<std::u16string>;

class KeyConfigurationArrays : public ::testing::Test {
protected:
    void SetUp() override {
        buildKeyTables(config);
        config.clear();
    }
    std::unique_ptr<KeyboardConfig> owned = std::make_unique<KeyboardConfig>();
    KeyboardConfig& config = *owned;
};

struct StepValueCase {
    const char16_t* text;
    int value;
};

const StepValueCase kStepValues[] = {
    {u"<30 ms>", 30},
    {u"<120 ms>", 120},
    {u"< 7 ms>", 7},
    {u"<-5 ms>", -5},
    {u"<99999999999 ms>", INT_MAX},
    {u"ms>", 0},
    {u"<ms>", 0},
    {u"<x ms>", 0},
    {u"A", 43},
    {u"A Down", 43},
    {u"A UP", 43},
    {u"a", 0},
    {u"A up", 0},
    {u"A Down UP", 0},
    {u"Left CONTROL", 67},
    {u"Left CTRL", 0},  // the generic Control key has no hardware code
    {u"ESC Down", 1},
    {u"ENTER", 54},
    {u"(Enter) UP", 107},
    {u"Wake Up", 75},
    {u"Sleep", 0},  // virtual key 95 comes before the power function 332
    {u"Mouse Key Left", 130},
    {u"Mouse Wheel Dn", 134},
    {u"FN", 156},
    {u"-- --", 0},
    {u"", 0},
};

TEST_F(KeyConfigurationArrays, StepValues) {
    for (const StepValueCase& c : kStepValues) {
        EXPECT_EQ(stepValue(config, c.text), c.value)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    }
}

struct WriteCase {
    const char* name;
    int mode;
    int hwCode;
    Items items;
    bool autoInterval;
    int delay;
    int cycles;
    int playMode;
    std::vector<int> array;
};

// Test names carry the case; the value itself prints as its name.
void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

// One line a case: name, mode, hwCode, items, IsAutoInterval, Delay, Cycles, PlayMode, array.
// clang-format off
const WriteCase kWriteCases[] = {
    {"NotSet", NotSet, 43, {u"A"}, false, 30, 1, 0, {}},
    {"NegativeMode", -2, 43, {}, false, 30, 1, 0, {}},
    {"Single", Single, 43, {u"B"}, false, 30, 1, 0, {0, 1, 43}},
    {"Function", Function, 156, {}, false, 30, 1, 0, {0, 1, 156}},
    {"LeftDoubleClick", Mouse, 199, {}, false, 30, 1, 0, {0, 2, 130, 130}},
    {"UnknownModeSendsItsCode", 11, 5, {}, false, 30, 1, 0, {0, 1, 5}},
    {"Combo", Combo, 3, {u"Left CONTROL", u"C"}, false, 30, 1, 0, {0, 2, 67, 58}},
    {"OneKeyCombo", Combo, 3, {u"A"}, false, 30, 1, 0, {0, 1, 43}},
    {"Emulation", Emulation, 3, {u"H", u"I"}, false, 25, 1, 0, {1, 25, 2, 48, 36}},
    {"EmptyEmulation", Emulation, 3, {}, false, 40, 1, 0, {1, 40, 0}},
    {"PausedMacroTimesPlay", Macro, 3, {u"A Down", u"<50 ms>", u"A UP"}, false, 30, 3, 0, {2, 0, 3, 1, 0, 2, 43, 50, 43}},
    {"PausedMacroHoldToPlay", Macro, 3, {u"A Down", u"<50 ms>", u"A UP"}, false, 30, 3, 1, {2, 1, 0, 1, 0, 2, 43, 50, 43}},
    {"AutoIntervalMacro", Macro, 3, {u"A Down", u"A UP", u"B Down"}, true, 40, 5, 1, {2, 1, 0, 0, 40, 3, 43, 43, 60}},
    {"MacroWithMouseStep", Macro, 3, {u"Mouse Key Left", u"<10 ms>", u"Mouse Key Left"}, false, 30, 2, 2, {2, 2, 0, 1, 0, 2, 130, 10, 130}},
    {"MacroEndingInPause", Macro, 3, {u"A Down", u"<5 ms>"}, false, 30, 1, 0, {2, 0, 1, 1, 0, 1, 43, 5}},
};
// clang-format on

class WriteArray : public KeyConfigurationArrays,
                   public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteArray, FollowsTheWriteTable) {
    const WriteCase& c = GetParam();
    KeyAssignment assignment;
    assignment.mode = c.mode;
    assignment.hwCode = c.hwCode;
    assignment.steps = StepList(9);
    for (const auto& item : c.items) {
        assignment.steps.append(item);
    }
    assignment.steps.IsAutoInterval = c.autoInterval;
    assignment.steps.Delay = c.delay;
    assignment.steps.Cycles = c.cycles;
    assignment.steps.PlayMode = c.playMode;
    EXPECT_EQ(keyConfigurationOf(config, assignment), c.array);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteArray, ::testing::ValuesIn(kWriteCases),
                         oskeltest::CaseName());

struct ReadCase {
    const char* name;
    std::vector<int> array;
    int mode;
    int hwCode;       // the slot held 77 before
    bool keepsSteps;  // steps untouched (the old list with item "old")
    Items items = {};
    int sizeOfView = 0;
    int delay = 30;
    int cycles = 1;
    int playMode = 0;
    bool autoInterval = false;
};

// Test names carry the case; the value itself prints as its name.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

// One line a case: name, array, mode, hwCode, keepsSteps, then for rebuilt steps: items,
// SizeOfView, Delay, Cycles, PlayMode, IsAutoInterval.
// clang-format off
const ReadCase kReadCases[] = {
    {"EmptyRecord", {0, 0}, NotSet, 77, true},
    {"NegativeCount", {0, -3, 5}, NotSet, 77, true},
    {"SingleKey", {0, 1, 43}, Single, 43, true},
    {"Multimedia", {0, 1, 115}, Multimedia, 115, true},
    {"Mouse", {0, 1, 130}, Mouse, 130, true},
    {"Function", {0, 1, 140}, Function, 140, true},
    {"Power", {0, 1, 76}, Power, 76, true},
    {"CodeZero", {0, 1, 0}, Single, 0, true},
    {"UnnamedCode", {0, 1, 200}, Single, 200, true},
    {"CodeIsAByte", {0, 1, 300}, Single, 44, true},
    {"LeftDoubleClick", {0, 2, 130, 130}, Mouse, 199, true},
    {"TwoMouseCodesCombo", {0, 2, 130, 131}, Combo, 77, false, {u"Mouse Key Left", u"Mouse Key Right"}, 6, 30, 1, 0, false},
    {"Combo", {0, 3, 67, 69, 58}, Combo, 77, false, {u"Left CONTROL", u"Left Alt", u"C"}, 6, 30, 1, 0, false},
    {"ComboWithUnnamedCode", {0, 2, 1, 250}, Combo, 77, false, {u"ESC", u"-- --"}, 6, 30, 1, 0, false},
    {"EmptyEmulation", {1, 25, 0}, NotSet, 77, true},
    {"Emulation", {1, 25, 2, 48, 36}, Emulation, 77, false, {u"H", u"I"}, 9, 25, 1, 0, false},
    {"PausedMacro", {2, 1, 0, 1, 0, 2, 43, 50, 43}, Macro, 77, false, {u"A", u"<50 ms>", u"A"}, 9, 0, 0, 1, false},
    {"AutoIntervalMacro", {2, 0, 4, 0, 40, 3, 43, 43, 60}, Macro, 77, false, {u"A", u"A", u"B"}, 9, 40, 4, 0, true},
    {"EmptyMacro", {2, 0, 1, 0, 30, 0}, NotSet, 77, true},
    {"UnknownKind", {7, 1, 43}, NotSet, 77, true},
    {"NothingAtAll", {}, NotSet, 77, true},
    {"CountBeyondArray", {0, 1000, 1, 2}, Combo, 77, false, {u"ESC", u"F1"}, 6, 30, 1, 0, false},
    {"EmulationCountBeyondArray", {1, 10, 99, 1}, Emulation, 77, false, {u"ESC"}, 9, 10, 1, 0, false},
    {"PausedMacroCountBeyondArray", {2, 2, 0, 1, 0, 100, 43, 7, 60}, Macro, 77, false, {u"A", u"<7 ms>", u"B"}, 9, 0, 0, 2, false},
    {"TruncatedMacroHeader", {2, 0, 1, 0}, NotSet, 77, true},
};
// clang-format on

class ReadArray : public KeyConfigurationArrays, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadArray, FollowsTheReadTable) {
    const ReadCase& c = GetParam();
    KeyAssignment slot;
    slot.mode = Macro;
    slot.hwCode = 77;
    slot.steps = StepList(3);
    slot.steps.append(u"old");
    slot.steps.Delay = 99;
    assignFromKeyConfiguration(config, c.array.data(), static_cast<int>(c.array.size()), slot);
    EXPECT_EQ(slot.mode, c.mode);
    EXPECT_EQ(slot.hwCode, c.hwCode);
    if (c.keepsSteps) {
        EXPECT_EQ(slot.steps.items, Items{u"old"});
        EXPECT_EQ(slot.steps.Delay, 99);
        return;
    }
    const StepList& steps = slot.steps;
    EXPECT_EQ(steps.items, c.items);
    EXPECT_EQ(steps.children.size(), c.items.size());
    EXPECT_EQ(steps.SizeOfView, c.sizeOfView);
    EXPECT_EQ(steps.Delay, c.delay);
    EXPECT_EQ(steps.Cycles, c.cycles);
    EXPECT_EQ(steps.PlayMode, c.playMode);
    EXPECT_EQ(steps.IsAutoInterval, c.autoInterval);
    // Each item was appended, so the view ends on the last one.
    EXPECT_EQ(steps.ViewStartAt + steps.CursorPos, steps.count() - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadArray, ::testing::ValuesIn(kReadCases), oskeltest::CaseName());

TEST_F(KeyConfigurationArrays, LongReadBackScrollsToTheEnd) {
    std::vector<int> array = {1, 30, 12};
    for (int i = 0; i < 12; ++i) {
        array.push_back(43 + i);
    }
    KeyAssignment slot;
    assignFromKeyConfiguration(config, array.data(), static_cast<int>(array.size()), slot);
    EXPECT_EQ(slot.steps.count(), 12);
    EXPECT_EQ(slot.steps.ViewStartAt, 3);
    EXPECT_EQ(slot.steps.CursorPos, 8);
}

}  // namespace
