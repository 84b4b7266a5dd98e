// SPDX-License-Identifier: GPL-2.0-or-later
#include "LinuxKeyMap.h"

#include <algorithm>
#include <array>

namespace oskel::hook {
namespace {

// Code, virtual key, extended. Numbers are the kernel's KEY_* codes, named at each row. The
// extended flag follows the PC keyboard's E0-prefixed scan codes: right Shift, keypad * and
// Pause have none, keypad / and Enter have one.
constexpr LinuxKey kTable[] = {
    {1, 0x1B, false},    // KEY_ESC
    {2, 0x31, false},    // KEY_1
    {3, 0x32, false},    // KEY_2
    {4, 0x33, false},    // KEY_3
    {5, 0x34, false},    // KEY_4
    {6, 0x35, false},    // KEY_5
    {7, 0x36, false},    // KEY_6
    {8, 0x37, false},    // KEY_7
    {9, 0x38, false},    // KEY_8
    {10, 0x39, false},   // KEY_9
    {11, 0x30, false},   // KEY_0
    {12, 0xBD, false},   // KEY_MINUS: VK_OEM_MINUS
    {13, 0xBB, false},   // KEY_EQUAL: VK_OEM_PLUS
    {14, 0x08, false},   // KEY_BACKSPACE
    {15, 0x09, false},   // KEY_TAB
    {16, 0x51, false},   // KEY_Q
    {17, 0x57, false},   // KEY_W
    {18, 0x45, false},   // KEY_E
    {19, 0x52, false},   // KEY_R
    {20, 0x54, false},   // KEY_T
    {21, 0x59, false},   // KEY_Y
    {22, 0x55, false},   // KEY_U
    {23, 0x49, false},   // KEY_I
    {24, 0x4F, false},   // KEY_O
    {25, 0x50, false},   // KEY_P
    {26, 0xDB, false},   // KEY_LEFTBRACE: VK_OEM_4
    {27, 0xDD, false},   // KEY_RIGHTBRACE: VK_OEM_6
    {28, 0x0D, false},   // KEY_ENTER
    {29, 0xA2, false},   // KEY_LEFTCTRL
    {30, 0x41, false},   // KEY_A
    {31, 0x53, false},   // KEY_S
    {32, 0x44, false},   // KEY_D
    {33, 0x46, false},   // KEY_F
    {34, 0x47, false},   // KEY_G
    {35, 0x48, false},   // KEY_H
    {36, 0x4A, false},   // KEY_J
    {37, 0x4B, false},   // KEY_K
    {38, 0x4C, false},   // KEY_L
    {39, 0xBA, false},   // KEY_SEMICOLON: VK_OEM_1
    {40, 0xDE, false},   // KEY_APOSTROPHE: VK_OEM_7
    {41, 0xC0, false},   // KEY_GRAVE: VK_OEM_3
    {42, 0xA0, false},   // KEY_LEFTSHIFT
    {43, 0xDC, false},   // KEY_BACKSLASH: VK_OEM_5
    {44, 0x5A, false},   // KEY_Z
    {45, 0x58, false},   // KEY_X
    {46, 0x43, false},   // KEY_C
    {47, 0x56, false},   // KEY_V
    {48, 0x42, false},   // KEY_B
    {49, 0x4E, false},   // KEY_N
    {50, 0x4D, false},   // KEY_M
    {51, 0xBC, false},   // KEY_COMMA: VK_OEM_COMMA
    {52, 0xBE, false},   // KEY_DOT: VK_OEM_PERIOD
    {53, 0xBF, false},   // KEY_SLASH: VK_OEM_2
    {54, 0xA1, false},   // KEY_RIGHTSHIFT
    {55, 0x6A, false},   // KEY_KPASTERISK: VK_MULTIPLY
    {56, 0xA4, false},   // KEY_LEFTALT
    {57, 0x20, false},   // KEY_SPACE
    {58, 0x14, false},   // KEY_CAPSLOCK
    {59, 0x70, false},   // KEY_F1
    {60, 0x71, false},   // KEY_F2
    {61, 0x72, false},   // KEY_F3
    {62, 0x73, false},   // KEY_F4
    {63, 0x74, false},   // KEY_F5
    {64, 0x75, false},   // KEY_F6
    {65, 0x76, false},   // KEY_F7
    {66, 0x77, false},   // KEY_F8
    {67, 0x78, false},   // KEY_F9
    {68, 0x79, false},   // KEY_F10
    {69, 0x90, true},    // KEY_NUMLOCK
    {70, 0x91, false},   // KEY_SCROLLLOCK
    {71, 0x67, false},   // KEY_KP7: VK_NUMPAD7
    {72, 0x68, false},   // KEY_KP8
    {73, 0x69, false},   // KEY_KP9
    {74, 0x6D, false},   // KEY_KPMINUS: VK_SUBTRACT
    {75, 0x64, false},   // KEY_KP4
    {76, 0x65, false},   // KEY_KP5
    {77, 0x66, false},   // KEY_KP6
    {78, 0x6B, false},   // KEY_KPPLUS: VK_ADD
    {79, 0x61, false},   // KEY_KP1
    {80, 0x62, false},   // KEY_KP2
    {81, 0x63, false},   // KEY_KP3
    {82, 0x60, false},   // KEY_KP0
    {83, 0x6E, false},   // KEY_KPDOT: VK_DECIMAL
    {86, 0xE2, false},   // KEY_102ND: VK_OEM_102
    {87, 0x7A, false},   // KEY_F11
    {88, 0x7B, false},   // KEY_F12
    {96, 0x0D, true},    // KEY_KPENTER
    {97, 0xA3, true},    // KEY_RIGHTCTRL
    {98, 0x6F, true},    // KEY_KPSLASH: VK_DIVIDE
    {99, 0x2C, true},    // KEY_SYSRQ: PrintScreen, VK_SNAPSHOT
    {100, 0xA5, true},   // KEY_RIGHTALT
    {102, 0x24, true},   // KEY_HOME
    {103, 0x26, true},   // KEY_UP
    {104, 0x21, true},   // KEY_PAGEUP: VK_PRIOR
    {105, 0x25, true},   // KEY_LEFT
    {106, 0x27, true},   // KEY_RIGHT
    {107, 0x23, true},   // KEY_END
    {108, 0x28, true},   // KEY_DOWN
    {109, 0x22, true},   // KEY_PAGEDOWN: VK_NEXT
    {110, 0x2D, true},   // KEY_INSERT
    {111, 0x2E, true},   // KEY_DELETE
    {113, 0xAD, true},   // KEY_MUTE: VK_VOLUME_MUTE
    {114, 0xAE, true},   // KEY_VOLUMEDOWN
    {115, 0xAF, true},   // KEY_VOLUMEUP
    {119, 0x13, false},  // KEY_PAUSE
    {125, 0x5B, true},   // KEY_LEFTMETA: VK_LWIN
    {126, 0x5C, true},   // KEY_RIGHTMETA: VK_RWIN
    {127, 0x5D, true},   // KEY_COMPOSE: the Menu key, VK_APPS
    {128, 0xA9, true},   // KEY_STOP: VK_BROWSER_STOP
    {140, 0xB7, true},   // KEY_CALC: VK_LAUNCH_APP2
    {142, 0x5F, true},   // KEY_SLEEP
    {155, 0xB4, true},   // KEY_MAIL: VK_LAUNCH_MAIL
    {156, 0xAB, true},   // KEY_BOOKMARKS: VK_BROWSER_FAVORITES
    {157, 0xB6, true},   // KEY_COMPUTER: VK_LAUNCH_APP1
    {158, 0xA6, true},   // KEY_BACK: VK_BROWSER_BACK
    {159, 0xA7, true},   // KEY_FORWARD: VK_BROWSER_FORWARD
    {163, 0xB0, true},   // KEY_NEXTSONG: VK_MEDIA_NEXT_TRACK
    {164, 0xB3, true},   // KEY_PLAYPAUSE: VK_MEDIA_PLAY_PAUSE
    {165, 0xB1, true},   // KEY_PREVIOUSSONG: VK_MEDIA_PREV_TRACK
    {166, 0xB2, true},   // KEY_STOPCD: VK_MEDIA_STOP
    {172, 0xAC, true},   // KEY_HOMEPAGE: VK_BROWSER_HOME
    {173, 0xA8, true},   // KEY_REFRESH: VK_BROWSER_REFRESH
    {183, 0x7C, false},  // KEY_F13
    {184, 0x7D, false},  // KEY_F14
    {185, 0x7E, false},  // KEY_F15
    {186, 0x7F, false},  // KEY_F16
    {187, 0x80, false},  // KEY_F17
    {188, 0x81, false},  // KEY_F18
    {189, 0x82, false},  // KEY_F19
    {190, 0x83, false},  // KEY_F20
    {191, 0x84, false},  // KEY_F21
    {192, 0x85, false},  // KEY_F22
    {193, 0x86, false},  // KEY_F23
    {194, 0x87, false},  // KEY_F24
    {217, 0xAA, true},   // KEY_SEARCH: VK_BROWSER_SEARCH
    {226, 0xB5, true},   // KEY_MEDIA: VK_LAUNCH_MEDIA_SELECT
};

constexpr bool ascending() {
    for (std::size_t i = 1; i < std::size(kTable); ++i) {
        if (kTable[i - 1].linuxCode >= kTable[i].linuxCode) {
            return false;
        }
    }
    return true;
}
static_assert(ascending(), "the table is searched by halves");

}  // namespace

std::span<const LinuxKey> linuxKeyTable() {
    return kTable;
}

LinuxKey linuxKey(int linuxCode) {
    const auto* found =
        std::lower_bound(std::begin(kTable), std::end(kTable), linuxCode,
                         [](const LinuxKey& key, int code) { return key.linuxCode < code; });
    if (found != std::end(kTable) && found->linuxCode == linuxCode) {
        return *found;
    }
    const int kept = linuxCode < 0 || linuxCode > 0xFFFF ? 0 : linuxCode;
    return {static_cast<std::uint16_t>(kept), 0, false};
}

}  // namespace oskel::hook
