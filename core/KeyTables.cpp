// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyTables.h"

#include <iterator>

#include "LanguageText.h"

namespace {

struct KeyName {
    int keyCode;
    const char16_t* name;
};

// Written in this order into the ordered map; a code written twice keeps its last name (21 and
// 25 carry the older names of the same IME keys first). Profiles store these texts as step
// texts, so every spelling here is part of the file format, odd ones included.
constexpr KeyName kVirtualKeyNames[] = {
    {1, u"Left mouse button"},
    {2, u"Right mouse button"},
    {3, u"Control-break processing"},
    {4, u"Middle mouse button"},
    {5, u"X1 mouse button"},
    {6, u"X2 mouse button"},
    {8, u"BACKSPACE"},
    {9, u"TAB"},
    {10, u"Reserved"},
    {11, u"Reserved"},
    {12, u"CLEAR"},
    {13, u"ENTER"},
    {16, u"SHIFT"},
    {17, u"Left CTRL"},
    {18, u"Left ALT"},
    {19, u"PAUSE"},
    {20, u"CAPS LOCK"},
    {21, u"IME Kana mode"},
    {21, u"IME Hanguel mode (maintained for compatibility; use VK_HANGUL)"},
    {21, u"IME Hangul mode"},
    {23, u"IME Junja mode"},
    {24, u"IME final mode"},
    {25, u"IME Hanja mode"},
    {25, u"IME Kanji mode"},
    {27, u"ESC"},
    {28, u"IME convert"},
    {29, u"IME nonconvert"},
    {30, u"IME accept"},
    {31, u"IME mode change request"},
    {32, u"SPACEBAR"},
    {33, u"PAGE UP"},
    {34, u"PAGE DOWN"},
    {35, u"END"},
    {36, u"HOME"},
    {37, u"LEFT ARROW"},
    {38, u"UP ARROW"},
    {39, u"RIGHT ARROW"},
    {40, u"DOWN ARROW"},
    {41, u"SELECT"},
    {42, u"PRINT"},
    {43, u"EXECUTE"},
    {44, u"PRINT SCREEN"},
    {45, u"INS"},
    {46, u"DEL"},
    {47, u"HELP"},
    // 48..57 digits and 65..90 letters are generated.
    {91, u"Left Windows"},
    {92, u"Right Windows"},
    {93, u"Applications"},
    {94, u"Reserved"},
    {95, u"Sleep"},
    {96, u"(0)"},
    {97, u"(1)"},
    {98, u"(2)"},
    {99, u"(3)"},
    {100, u"(4)"},
    {101, u"(5)"},
    {102, u"(6)"},
    {103, u"(7)"},
    {104, u"(8)"},
    {105, u"(9)"},
    {106, u"(*)"},
    {107, u"(+)"},
    {108, u"Separator"},
    {109, u"(-)"},
    {110, u"(.)"},
    {111, u"(/)"},
    // 112..135 F1..F24 are generated.
    {144, u"NUM LOCK"},
    {145, u"SCROLL LOCK"},
    {160, u"Left SHIFT"},
    {161, u"Right SHIFT"},
    {162, u"Left CONTROL"},
    {163, u"Right CONTROL"},
    {164, u"Left Alt"},
    {165, u"Right Alt"},
    {166, u"Browser Back"},
    {167, u"Browser Forward"},
    {168, u"Browser Refresh"},
    {169, u"Browser Stop"},
    {170, u"Browser Search"},
    {171, u"Browser Favorites"},
    {172, u"Browser Start and Home"},
    {173, u"Volume Mute"},
    {174, u"Volume Down"},
    {175, u"Volume Up"},
    {176, u"Next Track"},
    {177, u"Previous Track"},
    {178, u"Stop Media"},
    {179, u"Play/Pause Media"},
    {180, u"Start Mail"},
    {181, u"Select Media"},
    {182, u"Start Application 1"},
    {183, u"Start Application 2"},
    {186, u";"},
    {187, u"+"},
    {188, u","},
    {189, u"-"},
    {190, u"."},
    {191, u"/"},
    {192, u"`"},
    {219, u"["},
    {220, u"\\"},
    {221, u"]"},
    {222, u"'"},
    {223, u"Used for miscellaneous characters; it can vary by keyboard."},
    {224, u"Reserved"},
    {225, u"OEM specific"},
    {226, u"Either the angle bracket key or the backslash key on the RT 102-key keyboard"},
    {229, u"IME PROCESS"},
    {230, u"OEM specific"},
    {231,
     u"Used to pass Unicode characters as if they were keystrokes. The VK_PACKET key is the low "
     u"word of a 32-bit Virtual Key value used for non-keyboard input methods. For more "
     u"information, see Remark in KEYBDINPUT, SendInput, WM_KEYDOWN, and WM_KEYUP"},
    {232, u"Unassigned"},
    {246, u"Attn"},
    {247, u"CrSel"},
    {248, u"ExSel"},
    {249, u"Erase EOF"},
    {250, u"Play"},
    {251, u"Zoom"},
    {252, u"Reserved"},
    {253, u"PA1"},
    {254, u"Clear"},
    // The capture reports Enter with the extended-key flag as 13 + 256.
    {269, u"(Enter)"},
    {331, u"Wake Up"},
    {332, u"Sleep"},
    {333, u"Power"},
};

// The keyboard's own functions, KeyCode 364..415 = HWCode 108..159 in this order.
constexpr const char16_t* kKeyboardFunctionNames[] = {
    u"Next track",
    u"Previous track",
    u"Stop",
    u"Play/Pause",
    u"Mute",
    u"VolumeUp",
    u"VolumeDn",
    u"Media Select",
    u"E-mail",
    u"Calculator",
    u"My computer",
    u"WWW Search",
    u"WWW Home",
    u"WWW Back",
    u"WWW Forward",
    u"WWW Stop",
    u"WWW Refresh",
    u"WWW Favorities",
    u"Mouse Left",
    u"Mouse Right",
    u"Mouse Up",
    u"Mouse Down",
    u"Mouse Key Left",
    u"Mouse Key Right",
    u"Mouse Key Middle",
    u"Mouse Wheel Up",
    u"Mouse Wheel Dn",
    u"Backlight Switch",
    u"Backlight Macro",
    u"Demonstrate",
    u"Star shower",
    u"Riffle",
    u"Logo Switch",
    u"Backlight Breathe",
    u"Breathe Frequence-",
    u"Breathe Frequence+",
    u"Backlight Lightness+",
    u"Backlight Lightness-",
    u"Sunset or Relax Mode",
    u"Color Breathe",
    u"Backlight All Color Regulate",
    u"6 or N key convert",
    u"Keyboard Lock",
    u"Key Response Regulate",
    u"Ctrl to Caps convert",
    u"WinLock",
    u"ScanDelay",
    u"ReportRate",
    u"FN",
    u"DPI+",
    u"DPI-",
    u"Programmable Keyboard",
};

constexpr int kFirstKeyboardFunctionKeyCode = 364;
constexpr int kFirstKeyboardFunctionHwCode = 108;
constexpr int kLeftDoubleClickKeyCode = 455;

// HWCode 1..107 and the key each stands for, in HWCode order: the keyboard's standard keys by
// their position on the board, then the power keys and the navigation block and keypad.
constexpr int kStandardKeyCodes[] = {
    27,                                                          // 1 ESC
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,  // 2..13 F1..F12
    192,                                                         // 14 grave accent
    49,  50,  51,  52,  53,  54,  55,  56,  57,  48,             // 15..24 digits 1..9, 0
    189, 187, 8,   9,                                            // 25..28 - + BACKSPACE TAB
    81,  87,  69,  82,  84,  89,  85,  73,  79,  80,             // 29..38 Q..P
    219, 221, 220, 20,                                           // 39..42 [ ] \ CAPS LOCK
    65,  83,  68,  70,  71,  72,  74,  75,  76,                  // 43..51 A..L
    186, 222, 13,  160,                                          // 52..55 ; ' ENTER Left SHIFT
    90,  88,  67,  86,  66,  78,  77,                            // 56..62 Z..M
    188, 190, 191,                                               // 63..65 , . /
    161, 162, 91,  164,                                          // 66..69 right shift .. left alt
    32,  165, 92,  93,  163,                                     // 70..74 space .. right control
    331, 332, 333,                                               // 75..77 Wake Up, Sleep, Power
    44,  145, 19,                                // 78..80 print screen, scroll, pause
    45,  36,  33,  46,  35,  34,                 // 81..86 INS HOME PGUP DEL END PGDN
    38,  37,  40,  39,                           // 87..90 arrows up left down right
    144, 111, 106,                               // 91..93 NUM LOCK (/) (*)
    103, 104, 105, 100, 101, 102, 97,  98,  99,  // 94..102 keypad 7..9, 4..6, 1..3
    96,  110, 109, 107, 269,                     // 103..107 (0) (.) (-) (+) (Enter)
};
static_assert(std::size(kStandardKeyCodes) == 107);
static_assert(std::size(kKeyboardFunctionNames) == 52);

constexpr const char16_t* kTypeNamesZh[kAssignmentTypeCount] = {
    u"未设置",   u"单键",   u"组合键", u"宏键",   u"模拟击键",
    u"多媒体键", u"鼠标键", u"操控键", u"电源键",
};
constexpr const char16_t* kTypeNamesEn[kAssignmentTypeCount] = {
    u"Not set",    u"Single", u"Combo",    u"Macro", u"Emulation",
    u"Multimedia", u"Mouse",  u"Function", u"Power",
};

void fillKeyNames(std::map<int, std::u16string>& names) {
    names.clear();
    for (const KeyName& entry : kVirtualKeyNames) {
        names[entry.keyCode] = entry.name;
    }
    for (int digit = 0; digit <= 9; ++digit) {
        names[48 + digit] = std::u16string(1, static_cast<char16_t>(u'0' + digit));
    }
    for (int letter = 0; letter < 26; ++letter) {
        names[65 + letter] = std::u16string(1, static_cast<char16_t>(u'A' + letter));
    }
    for (int f = 1; f <= 24; ++f) {
        std::u16string name = u"F";
        for (char c : std::to_string(f)) {
            name.push_back(static_cast<char16_t>(c));
        }
        names[111 + f] = name;
    }
    for (int i = 0; i < static_cast<int>(std::size(kKeyboardFunctionNames)); ++i) {
        names[kFirstKeyboardFunctionKeyCode + i] = kKeyboardFunctionNames[i];
    }
    names[kLeftDoubleClickKeyCode] = u"Left Double Click";
}

void fillKeyCodeToHwCode(std::array<int, kCodeTableSize>& table) {
    table.fill(0);
    for (int i = 0; i < static_cast<int>(std::size(kStandardKeyCodes)); ++i) {
        table[kStandardKeyCodes[i]] = i + 1;
    }
    for (int i = 0; i < static_cast<int>(std::size(kKeyboardFunctionNames)); ++i) {
        table[kFirstKeyboardFunctionKeyCode + i] = kFirstKeyboardFunctionHwCode + i;
    }
    table[kLeftDoubleClickKeyCode] = kLeftDoubleClickHwCode;
}

// The inverse, built by walking every KeyCode upwards so that a later code wins. Every code
// without a HWCode lands on index 0, which therefore ends as 1023; callers rely on that value.
void fillHwCodeToKeyCode(const std::array<int, kCodeTableSize>& keyToHw,
                         std::array<int, kCodeTableSize>& table) {
    table.fill(0);
    for (int keyCode = 0; keyCode < kCodeTableSize; ++keyCode) {
        table[keyToHw[keyCode]] = keyCode;
    }
}

std::u16string nameOfKeyCode(const KeyboardConfig& config, int keyCode) {
    const auto found = config.keyNames.find(keyCode & kKeyCodeMask);
    return found == config.keyNames.end() ? kNoName : found->second;
}

}  // namespace

bool buildKeyTables(KeyboardConfig& config) {
    fillKeyNames(config.keyNames);
    fillKeyCodeToHwCode(config.keyCodeToHwCode);
    fillHwCodeToKeyCode(config.keyCodeToHwCode, config.hwCodeToKeyCode);
    for (int i = 0; i < kAssignmentTypeCount; ++i) {
        config.typeNamesZh[i] = kTypeNamesZh[i];
        config.typeNamesEn[i] = kTypeNamesEn[i];
    }
    config.language = "zh-CN";
    return true;
}

std::u16string keyEventName(const KeyboardConfig& config, int keyEvent, bool withDirection) {
    const auto found = config.keyNames.find(keyEvent & kKeyCodeMask);
    if (found == config.keyNames.end()) {
        return kNoName;
    }
    if (!withDirection) {
        return found->second;
    }
    const bool release = (keyEvent >> 9) != 0;
    return found->second + (release ? u" UP" : u" Down");
}

std::u16string hwCodeName(const KeyboardConfig& config, int hwCode) {
    if (hwCode >= kCodeTableSize) {
        return kNoName;
    }
    const int keyCode = hwCode < 0 ? kKeyCodeMask : config.hwCodeToKeyCode[hwCode];
    return nameOfKeyCode(config, keyCode);
}

int keyCodeOfHwCode(const KeyboardConfig& config, int hwCode) {
    if (hwCode < 0) {
        return -1;
    }
    return hwCode < kCodeTableSize ? config.hwCodeToKeyCode[hwCode] : 0;
}

int hwCodeOfKeyEvent(const KeyboardConfig& config, int keyEvent) {
    return config.keyCodeToHwCode[keyEvent & kKeyCodeMask];
}

std::u16string titleText(const KeyboardConfig& config) {
    constexpr LanguageText kTitle{u"Oskel 编程软件 [版本 1.0.8]",
                                  u"Oskel Programming Software [Ver 1.0.8]"};
    return std::u16string(kTitle.exactly(config.language));
}
