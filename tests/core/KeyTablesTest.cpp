// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "KeyTables.h"
#include "KeyboardConfig.h"

namespace {

class KeyTables : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(buildKeyTables(config)); }
    // The document is large; keep it off the stack.
    std::unique_ptr<KeyboardConfig> owned = std::make_unique<KeyboardConfig>();
    KeyboardConfig& config = *owned;
};

struct NamedCode {
    int keyCode;
    const char16_t* name;
};

// Names that stored profiles depend on, the odd ones in particular, and the codes written twice.
const NamedCode kNamedCodes[] = {
    {1, u"Left mouse button"},
    {8, u"BACKSPACE"},
    {10, u"Reserved"},
    {13, u"ENTER"},
    {17, u"Left CTRL"},
    {21, u"IME Hangul mode"},
    {25, u"IME Kanji mode"},
    {32, u"SPACEBAR"},
    {48, u"0"},
    {57, u"9"},
    {65, u"A"},
    {90, u"Z"},
    {95, u"Sleep"},
    {96, u"(0)"},
    {105, u"(9)"},
    {106, u"(*)"},
    {111, u"(/)"},
    {112, u"F1"},
    {123, u"F12"},
    {135, u"F24"},
    {164, u"Left Alt"},
    {171, u"Browser Favorites"},
    {187, u"+"},
    {192, u"`"},
    {220, u"\\"},
    {223, u"Used for miscellaneous characters; it can vary by keyboard."},
    {226, u"Either the angle bracket key or the backslash key on the RT 102-key keyboard"},
    {230, u"OEM specific"},
    {231,
     u"Used to pass Unicode characters as if they were keystrokes. The VK_PACKET key is the low "
     u"word of a 32-bit Virtual Key value used for non-keyboard input methods. For more "
     u"information, see Remark in KEYBDINPUT, SendInput, WM_KEYDOWN, and WM_KEYUP"},
    {249, u"Erase EOF"},
    {254, u"Clear"},
    {269, u"(Enter)"},
    {331, u"Wake Up"},
    {332, u"Sleep"},
    {364, u"Next track"},
    {370, u"VolumeDn"},
    {381, u"WWW Favorities"},
    {390, u"Mouse Wheel Dn"},
    {398, u"Breathe Frequence-"},
    {399, u"Breathe Frequence+"},
    {404, u"Backlight All Color Regulate"},
    {412, u"FN"},
    {415, u"Programmable Keyboard"},
    {455, u"Left Double Click"},
};

TEST_F(KeyTables, HoldsEveryNameOnce) {
    EXPECT_EQ(config.keyNames.size(), 234u);
    for (const NamedCode& entry : kNamedCodes) {
        EXPECT_EQ(config.keyNames.at(entry.keyCode), entry.name) << "key code " << entry.keyCode;
    }
    for (int unnamed :
         {0,   7,   14,  15,  22,  26,  58,  64,  136, 143, 146, 159, 184, 185, 193,
          218, 227, 228, 233, 245, 255, 268, 270, 330, 334, 363, 416, 454, 456, 511}) {
        EXPECT_EQ(config.keyNames.count(unnamed), 0u) << "key code " << unnamed;
    }
    // Shared names: the lowest code wins when a step text is turned back into a code.
    std::multiset<std::u16string> names;
    for (const auto& [code, name] : config.keyNames) {
        names.insert(name);
    }
    EXPECT_EQ(names.count(u"Reserved"), 5u);
    EXPECT_EQ(names.count(u"OEM specific"), 2u);
    EXPECT_EQ(names.count(u"Sleep"), 2u);
}

TEST_F(KeyTables, BuildSetsChineseAndTypeNames) {
    config.language = "en-US";
    buildKeyTables(config);
    EXPECT_EQ(config.language, "zh-CN");
    EXPECT_EQ(config.typeNamesZh[NotSet], u"未设置");
    EXPECT_EQ(config.typeNamesZh[Emulation], u"模拟击键");
    EXPECT_EQ(config.typeNamesZh[Power], u"电源键");
    EXPECT_EQ(config.typeNamesEn[NotSet], u"Not set");
    EXPECT_EQ(config.typeNamesEn[Function], u"Function");
    EXPECT_EQ(config.typeNamesEn[Multimedia], u"Multimedia");
    EXPECT_EQ(config.keyNames.size(), 234u);  // a second build leaves nothing doubled
}

struct EventNameCase {
    int keyEvent;
    bool withDirection;
    const char16_t* name;
};

const EventNameCase kEventNames[] = {
    {65, true, u"A Down"},
    {65 + 512, true, u"A UP"},
    {65, false, u"A"},
    {65 + 512, false, u"A"},
    {7, true, u"-- --"},
    {7 + 512, true, u"-- --"},
    {7, false, u"-- --"},
    {162 + 512, true, u"Left CONTROL UP"},
    {269, true, u"(Enter) Down"},
    {13, false, u"ENTER"},
    {1024 + 65, true, u"A UP"},  // any bit above the key code marks a release
};

TEST_F(KeyTables, KeyEventNames) {
    for (const EventNameCase& c : kEventNames) {
        EXPECT_EQ(keyEventName(config, c.keyEvent, c.withDirection), c.name)
            << c.keyEvent << " " << c.withDirection;
    }
}

struct HwNameCase {
    int hwCode;
    const char16_t* name;
};

const HwNameCase kHwNames[] = {
    {1, u"ESC"},
    {14, u"`"},
    {24, u"0"},
    {54, u"ENTER"},
    {55, u"Left SHIFT"},
    {75, u"Wake Up"},
    {76, u"Sleep"},
    {77, u"Power"},
    {107, u"(Enter)"},
    {108, u"Next track"},
    {130, u"Mouse Key Left"},
    {156, u"FN"},
    {159, u"Programmable Keyboard"},
    {199, u"Left Double Click"},
    {0, u"-- --"},
    {-3, u"-- --"},
    {160, u"-- --"},
    {198, u"-- --"},
    {200, u"-- --"},
    {1023, u"-- --"},
    {1024, u"-- --"},
    {100000, u"-- --"},
};

TEST_F(KeyTables, HwCodeNames) {
    for (const HwNameCase& c : kHwNames) {
        EXPECT_EQ(hwCodeName(config, c.hwCode), c.name) << "HWCode " << c.hwCode;
    }
}

TEST_F(KeyTables, KeyCodeOfHwCode) {
    EXPECT_EQ(keyCodeOfHwCode(config, -1), -1);
    EXPECT_EQ(keyCodeOfHwCode(config, 0), 1023);
    EXPECT_EQ(keyCodeOfHwCode(config, 1), 27);
    EXPECT_EQ(keyCodeOfHwCode(config, 199), 455);
    EXPECT_EQ(keyCodeOfHwCode(config, 198), 0);
    EXPECT_EQ(keyCodeOfHwCode(config, 5000), 0);
    EXPECT_EQ(config.keyCodeToHwCode[95], 0);
    EXPECT_EQ(config.keyCodeToHwCode[332], 76);
    EXPECT_EQ(hwCodeOfKeyEvent(config, 65 + 512), config.keyCodeToHwCode[65]);
}

struct HwRow {
    int hwCode;
    int keyCode;
};

// The keyboard's standard keys in HWCode order, row by row of the board.
const HwRow kStandardRows[] = {
    {1, 27},    {2, 112},   {13, 123},  {14, 192},  {15, 49},   {23, 57},   {24, 48},   {25, 189},
    {26, 187},  {27, 8},    {28, 9},    {29, 81},   {30, 87},   {38, 80},   {39, 219},  {40, 221},
    {41, 220},  {42, 20},   {43, 65},   {44, 83},   {51, 76},   {52, 186},  {53, 222},  {54, 13},
    {55, 160},  {56, 90},   {62, 77},   {63, 188},  {64, 190},  {65, 191},  {66, 161},  {67, 162},
    {68, 91},   {69, 164},  {70, 32},   {71, 165},  {72, 92},   {73, 93},   {74, 163},  {75, 331},
    {76, 332},  {77, 333},  {78, 44},   {79, 145},  {80, 19},   {81, 45},   {82, 36},   {83, 33},
    {84, 46},   {85, 35},   {86, 34},   {87, 38},   {88, 37},   {89, 40},   {90, 39},   {91, 144},
    {92, 111},  {93, 106},  {94, 103},  {95, 104},  {96, 105},  {97, 100},  {98, 101},  {99, 102},
    {100, 97},  {101, 98},  {102, 99},  {103, 96},  {104, 110}, {105, 109}, {106, 107}, {107, 269},
    {108, 364}, {135, 391}, {159, 415}, {199, 455},
};

TEST_F(KeyTables, NamedRowsMapBothWays) {
    for (const HwRow& row : kStandardRows) {
        EXPECT_EQ(config.keyCodeToHwCode[row.keyCode], row.hwCode) << "key code " << row.keyCode;
        EXPECT_EQ(config.hwCodeToKeyCode[row.hwCode], row.keyCode) << "HWCode " << row.hwCode;
    }
}

TEST_F(KeyTables, EveryHwCodeRangeRoundTrips) {
    std::set<int> assigned;
    for (int hw = 1; hw <= 159; ++hw) {
        assigned.insert(hw);
    }
    assigned.insert(199);
    for (int hw : assigned) {
        const int keyCode = config.hwCodeToKeyCode[hw];
        ASSERT_GT(keyCode, 0) << "HWCode " << hw;
        EXPECT_EQ(config.keyCodeToHwCode[keyCode], hw) << "HWCode " << hw;
        EXPECT_NE(hwCodeName(config, hw), u"-- --") << "HWCode " << hw;
        EXPECT_EQ(hwCodeName(config, hw), config.keyNames.at(keyCode));
        if (hw >= 108 && hw <= 159) {
            EXPECT_EQ(keyCode, hw + 256);
        }
    }
    for (int hw = 1; hw < kCodeTableSize; ++hw) {
        if (!assigned.count(hw)) {
            EXPECT_EQ(config.hwCodeToKeyCode[hw], 0) << "HWCode " << hw;
        }
    }
    EXPECT_EQ(config.hwCodeToKeyCode[0], 1023);
    int keyCodesWithHwCode = 0;
    for (int keyCode = 0; keyCode < kCodeTableSize; ++keyCode) {
        keyCodesWithHwCode += config.keyCodeToHwCode[keyCode] != 0;
    }
    EXPECT_EQ(keyCodesWithHwCode, static_cast<int>(assigned.size()));
}

TEST_F(KeyTables, KeysWithoutHardwareCode) {
    for (int keyCode : {1, 2, 4, 5, 6, 21, 25, 95, 124, 135, 166, 170, 175, 183, 255, 256, 363}) {
        EXPECT_EQ(config.keyCodeToHwCode[keyCode], 0) << "key code " << keyCode;
    }
}

TEST_F(KeyTables, TitleByLanguage) {
    EXPECT_EQ(titleText(config), u"Oskel 编程软件 [版本 1.0.8]");
    config.language = "en-US";
    EXPECT_EQ(titleText(config), u"Oskel Programming Software [Ver 1.0.8]");
    config.language = "de-DE";
    EXPECT_EQ(titleText(config), u"");
}

TEST(KeyTablesUnbuilt, LookupsBeforeBuildNameNothing) {
    auto config = std::make_unique<KeyboardConfig>();
    EXPECT_EQ(keyEventName(*config, 65, true), u"-- --");
    EXPECT_EQ(hwCodeName(*config, 1), u"-- --");
    EXPECT_EQ(titleText(*config), u"");
}

}  // namespace
