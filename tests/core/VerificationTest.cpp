// SPDX-License-Identifier: GPL-2.0-or-later
// The comparison of what was written with what the keyboard holds, without a keyboard: the
// written side is the document's assignments as key-configuration arrays, the held side the
// arrays a keyboard could give back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "TransferFlows.h"
#include "Verification.h"

namespace {

using Items = std::vector<std::u16string>;
using Array = std::vector<int>;

// Hardware codes of the keys the cases use.
constexpr int kA = 43;
constexpr int kB = 60;
constexpr int kC = 58;
constexpr int kV = 59;
constexpr int kLeftControl = 67;

class VerificationTest : public ::testing::Test {
protected:
    void SetUp() override { buildKeyTables(config); }

    // What writing the document sends, slot by slot, worked out from the arrays alone.
    KeyboardImage writtenImage() const {
        KeyboardImage image;
        for (int level = 0; level < kLevelCount; ++level) {
            for (int key = 1; key <= kKeyCount; ++key) {
                const Array array = keyConfigurationOf(config, config.slot(key, level));
                image.records[KeyboardImage::slotOf(key, level)] =
                    slotRecordOf(array.data(), static_cast<int>(array.size()));
            }
        }
        for (int key = 1; key <= kKeyCount; ++key) {
            for (int c = 0; c < 3; ++c) {
                image.lights[(key - 1) * 3 + c] = config.backlight[key][c] & 0xFF;
            }
        }
        return image;
    }

    KeyboardConfig config;
};

void setSteps(KeyAssignment& slot, int mode, const Items& items) {
    slot.mode = mode;
    slot.steps = StepList(9);
    for (const auto& item : items) {
        slot.steps.append(item);
    }
}

Items repeated(const std::u16string& item, int times) {
    return Items(static_cast<std::size_t>(times), item);
}

Array macroArray(int playMode, int cycles, int paused, int delay, const Array& steps, int n) {
    Array array{2, playMode, cycles, paused, delay, n};
    array.insert(array.end(), steps.begin(), steps.end());
    return array;
}

Array repeatedCode(int code, int times) {
    return Array(static_cast<std::size_t>(times), code);
}

SlotRecord recordOf(const Array& array) {
    return slotRecordOf(array.data(), static_cast<int>(array.size()));
}

struct DifferenceCase {
    const char* name;
    int key;
    int level;  // level index
    std::function<void(KeyAssignment&)> write;
    Array held;
    std::u16string english;
};

// KeyIndex 3 is F2 on the keyboard picture; the key name is handed in by the caller.
const std::vector<DifferenceCase> kDifferences = {
    {"SingleKeyLost",
     2,
     0,
     [](KeyAssignment& s) { s.mode = Single, s.hwCode = kA; },
     {0, 0},
     u"K, level 1: the key A (code 43) was written, the keyboard holds an empty slot"},
    {"MultimediaOtherCode",
     2,
     1,
     [](KeyAssignment& s) { s.mode = Multimedia, s.hwCode = 111; },
     {0, 1, 119},
     u"K, level 2: the key Play/Pause (code 111) was written, the keyboard holds the key WWW "
     u"Search (code 119)"},
    {"PowerKeyAsUnknownCode",
     2,
     0,
     [](KeyAssignment& s) { s.mode = Power, s.hwCode = 77; },
     {0, 1, 250},
     u"K, level 1: the key Power (code 77) was written, the keyboard holds the code 250"},
    {"FunctionKeyOnLevel2",
     2,
     1,
     [](KeyAssignment& s) { s.mode = Function, s.hwCode = 156; },
     {0, 0},
     u"K, level 2: the key FN (code 156) was written, the keyboard holds an empty slot"},
    {"DoubleClickHeldAsOneClick",
     2,
     0,
     [](KeyAssignment& s) { s.mode = Mouse, s.hwCode = 199; },
     {0, 1, 130},
     u"K, level 1: a combination of 2 keys (Mouse Key Left + Mouse Key Left) was written, the "
     u"keyboard holds the key Mouse Key Left (code 130)"},
    {"ComboOtherSecondKey",
     2,
     1,
     [](KeyAssignment& s) {
         setSteps(s, Combo, {u"Left CONTROL", u"C"});
     },
     {0, 2, kLeftControl, kV},
     u"K, level 2: a combination of 2 keys (Left CONTROL + C) was written, the keyboard holds a "
     u"combination of 2 keys (Left CONTROL + V)"},
    {"LongComboOtherLastKey",
     2,
     0,
     [](KeyAssignment& s) {
         setSteps(s, Combo, {u"A", u"A", u"A", u"A", u"A", u"A", u"B"});
     },
     {0, 7, kA, kA, kA, kA, kA, kA, kC},
     u"K, level 1: the keyboard holds a combination of 7 keys (A + A + A + A + A + A + ...), but "
     u"key 7 is C instead of B"},
    {"EmulationOtherInterval",
     2,
     0,
     [](KeyAssignment& s) {
         setSteps(s, Emulation, {u"A", u"B"});
         s.steps.Delay = 25;
     },
     {1, 30, 2, kA, kB},
     u"K, level 1: a key list of 2 keys, 25 ms apart was written, the keyboard holds a key list "
     u"of 2 keys, 30 ms apart"},
    {"EmulationOtherKey",
     2,
     0,
     [](KeyAssignment& s) {
         setSteps(s, Emulation, {u"A", u"B"});
         s.steps.Delay = 25;
     },
     {1, 25, 2, kA, kC},
     u"K, level 1: the keyboard holds a key list of 2 keys, 25 ms apart, but key 2 is C instead "
     u"of B"},
    {"MacroDropped",
     3,
     0,
     [](KeyAssignment& s) {
         setSteps(s, Macro, repeated(u"A", 40));
         s.steps.IsAutoInterval = true;
     },
     {0, 0},
     u"F2, level 1: a macro of 40 steps was written, the keyboard holds an empty slot"},
    {"MacroCut", 3, 1,
     [](KeyAssignment& s) {
         setSteps(s, Macro, repeated(u"A", 60));
         s.steps.IsAutoInterval = true;
         s.steps.Delay = 30;
     },
     macroArray(0, 1, 0, 30, repeatedCode(kA, 53), 53),
     u"F2, level 2: a macro of 60 steps was written, the keyboard holds a macro of 53 steps"},
    {"MacroOtherPause", 3, 0,
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A Down", u"<50 ms>", u"A UP"});
     },
     macroArray(0, 1, 1, 0, {kA, 60, kA}, 2),
     u"F2, level 1: the keyboard holds a macro of 2 steps, but the pause after step 1 is 60 ms "
     u"instead of 50 ms"},
    {"MacroPausesLost", 3, 0,
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A Down", u"<50 ms>", u"A UP"});
     },
     macroArray(0, 1, 0, 0, {kA, kA}, 2),
     u"F2, level 1: the keyboard holds a macro of 2 steps, but the steps' own pauses are "
     u"missing"},
    {"MacroOtherStep", 3, 0,
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A Down", u"<50 ms>", u"B UP"});
     },
     macroArray(0, 1, 1, 0, {kA, 50, kC}, 2),
     u"F2, level 1: the keyboard holds a macro of 2 steps, but step 2 is C instead of B"},
    {"MacroOtherCycles", 3, 1,
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A"});
         s.steps.IsAutoInterval = true;
         s.steps.Cycles = 3;
     },
     macroArray(0, 1, 0, 30, {kA}, 1),
     u"F2, level 2: the keyboard holds a macro of 1 step, but the repeat count is 1 instead of "
     u"3"},
    {"MacroOtherPlayMode", 3, 0,
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A"});
         s.steps.IsAutoInterval = true;
         s.steps.PlayMode = 2;
     },
     macroArray(1, 0, 0, 30, {kA}, 1),
     u"F2, level 1: the keyboard holds a macro of 1 step, but the play mode is 1 instead of 2"},
    {"NothingWrittenSomethingHeld",
     2,
     1,
     [](KeyAssignment&) {},
     {0, 1, kA},
     u"K, level 2: an empty slot was written, the keyboard holds the key A (code 43)"},
};

class DifferenceTest : public VerificationTest,
                       public ::testing::WithParamInterface<DifferenceCase> {};

TEST_P(DifferenceTest, OneSlotDiffersWithItsMessage) {
    const DifferenceCase& c = GetParam();
    // The other level of the key and its neighbours hold something that does arrive.
    config.slot(c.key, 1 - c.level).mode = Single;
    config.slot(c.key, 1 - c.level).hwCode = kB;
    config.slot(c.key + 1, c.level).mode = Single;
    config.slot(c.key + 1, c.level).hwCode = kB;
    c.write(config.slot(c.key, c.level));
    const KeyboardImage written = writtenImage();
    KeyboardImage held = written;
    held.records[KeyboardImage::slotOf(c.key, c.level)] = recordOf(c.held);

    const Comparison result = compareImages(written, held);
    ASSERT_EQ(result.keys.size(), 1u);
    EXPECT_TRUE(result.lights.empty());
    const SlotDifference& d = result.keys[0];
    EXPECT_EQ(d.key, c.key);
    EXPECT_EQ(d.level, c.level);
    const std::u16string name = c.key == 3 ? u"F2" : u"K";
    EXPECT_EQ(differenceText(config, d, name, "en-US"), c.english);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DifferenceTest, ::testing::ValuesIn(kDifferences),
                         [](const auto& info) { return std::string(info.param.name); });

struct AgreementCase {
    const char* name;
    std::function<void(KeyAssignment&)> write;
    Array held;
};

// What never reaches the keyboard, or reaches it cut to the record's widths, is no difference.
const std::vector<AgreementCase> kAgreements = {
    {"NotSet", [](KeyAssignment&) {}, {0, 0}},
    {"EmptyEmulationComesBackWithoutItsInterval",
     [](KeyAssignment& s) {
         setSteps(s, Emulation, {});
         s.steps.Delay = 40;
     },
     {1, 0, 0}},
    {"MacroWithoutSteps", [](KeyAssignment& s) { setSteps(s, Macro, {}); }, {0, 0}},
    {"CodeKeepsItsLowByte",
     [](KeyAssignment& s) { s.mode = Single, s.hwCode = 0x100 + kA; },
     {0, 1, kA}},
    {"PressAndReleaseAreTheSameCode",
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A Down", u"<50 ms>", u"A UP"});
         s.steps.ViewStartAt = 2;
         s.steps.CursorPos = 1;
     },
     macroArray(0, 1, 1, 0, {kA, 50, kA}, 2)},
    {"PauseKeepsItsLow16Bits",
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A", u"<65586 ms>", u"A"});
     },
     macroArray(0, 1, 1, 0, {kA, 50, kA}, 2)},
    {"CyclesOutsideTimesPlayAreNotSent",
     [](KeyAssignment& s) {
         setSteps(s, Macro, {u"A"});
         s.steps.IsAutoInterval = true;
         s.steps.PlayMode = 1;
         s.steps.Cycles = 9;
     },
     macroArray(1, 0, 0, 30, {kA}, 1)},
};

class AgreementTest : public VerificationTest,
                      public ::testing::WithParamInterface<AgreementCase> {};

TEST_P(AgreementTest, NoDifference) {
    const AgreementCase& c = GetParam();
    c.write(config.slot(7, 1));
    const KeyboardImage written = writtenImage();
    KeyboardImage held = written;
    held.records[KeyboardImage::slotOf(7, 1)] = recordOf(c.held);
    EXPECT_TRUE(compareImages(written, held).agrees());
}

INSTANTIATE_TEST_SUITE_P(Widths, AgreementTest, ::testing::ValuesIn(kAgreements),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VerificationTest, BacklightDifferencesOnePerKeyInKeyOrder) {
    config.backlight[1] = {255, 0, 0};
    config.backlight[108] = {1, 2, 3};
    const KeyboardImage written = writtenImage();
    KeyboardImage held = written;
    held.lights[0] = 0;            // key 1 lost its red
    held.lights[107 * 3 + 2] = 4;  // key 108's blue
    const Comparison result = compareImages(written, held);
    ASSERT_EQ(result.lights.size(), 2u);
    EXPECT_TRUE(result.keys.empty());
    EXPECT_EQ(differenceText(result.lights[0], u"Esc", "en-US"),
              u"Esc: the backlight (255, 0, 0) was written, the keyboard holds (0, 0, 0)");
    EXPECT_EQ(differenceText(result.lights[1], u"KPEnter", "zh-CN"),
              u"KPEnter：写入的背光是 (1, 2, 3)，键盘上是 (1, 2, 4)");
}

TEST_F(VerificationTest, PartsLeftOutAreNotCompared) {
    config.slot(1, 0).mode = Single;
    config.slot(1, 0).hwCode = kA;
    config.backlight[1] = {255, 0, 0};
    const KeyboardImage written = writtenImage();
    const KeyboardImage held;  // an empty keyboard, black
    EXPECT_EQ(compareImages(written, held, {true, false}).keys.size(), 1u);
    EXPECT_TRUE(compareImages(written, held, {true, false}).lights.empty());
    EXPECT_TRUE(compareImages(written, held, {false, true}).keys.empty());
    EXPECT_EQ(compareImages(written, held, {false, true}).lights.size(), 1u);
}

TEST_F(VerificationTest, DifferencesInSlotOrderBothLevels) {
    for (const auto& [key, level] : std::vector<std::pair<int, int>>{{108, 0}, {1, 1}, {1, 0}}) {
        config.slot(key, level).mode = Single;
        config.slot(key, level).hwCode = kA;
    }
    const Comparison result = compareImages(writtenImage(), KeyboardImage{});
    ASSERT_EQ(result.keys.size(), 3u);
    EXPECT_EQ(std::make_pair(result.keys[0].key, result.keys[0].level), std::make_pair(1, 0));
    EXPECT_EQ(std::make_pair(result.keys[1].key, result.keys[1].level), std::make_pair(108, 0));
    EXPECT_EQ(std::make_pair(result.keys[2].key, result.keys[2].level), std::make_pair(1, 1));
}

TEST_F(VerificationTest, ChineseTexts) {
    SlotDifference dropped{3, 0, recordOf(macroArray(0, 1, 0, 30, repeatedCode(kA, 40), 40)), {}};
    EXPECT_EQ(differenceText(config, dropped, u"F2", "zh-CN"),
              u"F2，上档键：写入的是40 步的宏，键盘上是空键位");
    SlotDifference otherKey{5, 1, recordOf({0, 2, kLeftControl, kC}),
                            recordOf({0, 2, kLeftControl, kV})};
    EXPECT_EQ(differenceText(config, otherKey, u"F4", "zh-CN"),
              u"F4，下档键：写入的是2 个键的组合（Left CONTROL + C），键盘上是2 个键的组合（Left "
              u"CONTROL + V）");
    SlotDifference otherPause{1, 0, recordOf(macroArray(0, 1, 1, 0, {kA, 50, kA}, 2)),
                              recordOf(macroArray(0, 1, 1, 0, {kA, 60, kA}, 2))};
    EXPECT_EQ(differenceText(config, otherPause, u"Esc", "zh-CN"),
              u"Esc，上档键：键盘上是2 步的宏，但第 1 步后的停顿是 60 ms 而不是 50 ms");
}

TEST(SlotRecordOf, ReadsNoFurtherThanTheCountAndTheArray) {
    // Counts that claim more codes than the array holds stop at the array's end.
    const Array codes{0, 200, kA, kB};
    EXPECT_EQ(recordOf(codes).codes, (Array{kA, kB}));
    const Array list{1, 30, 9, kA};
    EXPECT_EQ(recordOf(list).codes, (Array{kA}));
    const Array macro{2, 0, 1, 1, 0, 50, kA, 10, kB};
    EXPECT_EQ(recordOf(macro).codes, (Array{kA, kB}));
    EXPECT_EQ(recordOf(macro).pauses, (Array{10}));
    EXPECT_EQ(recordOf({2, 0, 1}).kind, SlotRecord::Kind::Empty);
    EXPECT_EQ(recordOf({7, 1, kA}).kind, SlotRecord::Kind::Empty);
    EXPECT_EQ(slotRecordOf(nullptr, 5).kind, SlotRecord::Kind::Empty);
}

TEST(SlotRecordOf, LongCombinationNamesItsFirstKeysOnly) {
    KeyboardConfig config;
    buildKeyTables(config);
    const SlotRecord record = recordOf({0, 8, kA, kA, kA, kA, kA, kA, kB, kB});
    EXPECT_EQ(describeRecord(config, record, "en-US"),
              u"a combination of 8 keys (A + A + A + A + A + A + ...)");
}

}  // namespace
