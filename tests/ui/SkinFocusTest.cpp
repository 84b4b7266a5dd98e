// SPDX-License-Identifier: GPL-2.0-or-later
// The arrow keys on the keyboard pictures: which key each move reaches, in both pictures (the
// main window's and the backlight dialogs' smaller one), and the reading order Tab follows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyboardLayout.h"
#include "SkinFocus.h"

namespace {

// Keys by legend; the second of two keys with one legend is "Shift 2", "Ctrl 2", "Alt 2".
int keyNamed(const std::string& name) {
    std::string legend = name;
    int wanted = 1;
    if (name.size() > 2 && name.compare(name.size() - 2, 2, " 2") == 0) {
        legend = name.substr(0, name.size() - 2);
        wanted = 2;
    }
    int seen = 0;
    for (const KeyLayoutEntry& k : keyboardLayout()) {
        std::string text(k.name.begin(), k.name.end());
        if (text == legend && ++seen == wanted) {
            return k.keyIndex - 1;
        }
    }
    ADD_FAILURE() << "no key " << name;
    return -1;
}

std::string nameOf(int index) {
    if (index < 0) {
        return "(none)";
    }
    const auto& name = keyboardLayout()[static_cast<std::size_t>(index)].name;
    return std::string(name.begin(), name.end());
}

struct Move {
    const char* from;
    FocusMove move;
    const char* to;  // nullptr: nothing in that direction
};

// What a person looking at the keyboard expects.
const Move kMoves[] = {
    // Up and down through the staggered rows reach the key above or below, not a diagonal one.
    {"A", FocusMove::Up, "Q"},
    {"Q", FocusMove::Down, "A"},
    {"Q", FocusMove::Up, "2"},
    {"A", FocusMove::Down, "Z"},  // not the left Shift, though it ends under A's middle
    {"Z", FocusMove::Up, "S"},
    {"F1", FocusMove::Down, "2"},
    {"Esc", FocusMove::Down, "~"},
    {"~", FocusMove::Up, "Esc"},
    {"Space", FocusMove::Up, "B"},
    {"B", FocusMove::Down, "Space"},
    // The edges: nothing beyond, the focus stays.
    {"Esc", FocusMove::Up, nullptr},
    {"Esc", FocusMove::Left, nullptr},
    {"Ctrl", FocusMove::Down, nullptr},
    {"Caps Lock", FocusMove::Left, nullptr},
    {"Stop", FocusMove::Right, nullptr},
    // Along a row, across the gaps between the blocks.
    {"A", FocusMove::Left, "Caps Lock"},
    {"A", FocusMove::Right, "S"},
    {"F4", FocusMove::Right, "F5"},
    {"F12", FocusMove::Right, "PrtScreen"},
    {"BackSpace", FocusMove::Right, "Insert"},
    {"PgUp", FocusMove::Right, "NumLock"},
    {"Enter", FocusMove::Right, "KP4"},
    // The arrow block.
    {"Up", FocusMove::Down, "Down"},
    {"Down", FocusMove::Up, "Up"},
    {"Left", FocusMove::Right, "Down"},
    {"Up", FocusMove::Up, "End"},
    // The tall keys of the number pad.
    {"KP-", FocusMove::Down, "KP+"},
    {"KP9", FocusMove::Right, "KP+"},
    {"KP6", FocusMove::Right, "KP+"},
    {"KPEnter", FocusMove::Up, "KP+"},
    {"KP3", FocusMove::Right, "KPEnter"},
    {"KP1", FocusMove::Down, "KP0"},
    {"KP2", FocusMove::Down, "KP0"},
    {"KP0", FocusMove::Right, "KP."},
    {"KP.", FocusMove::Right, "KPEnter"},
    // Home and End: the ends of the row through the key's middle.
    {"A", FocusMove::RowStart, "Caps Lock"},
    {"F5", FocusMove::RowStart, "Esc"},
    {"F5", FocusMove::RowEnd, "Stop"},
    {"Z", FocusMove::RowStart, "Shift"},
    {"Caps Lock", FocusMove::RowStart, nullptr},
    {"Stop", FocusMove::RowEnd, nullptr},
};

class KeyboardArrows : public ::testing::TestWithParam<KeyboardGeometry> {};

TEST_P(KeyboardArrows, EachMoveReachesTheKeyThePictureShows) {
    std::vector<SkinRect> rects;
    std::vector<int> all;
    for (const KeyLayoutEntry& k : keyboardLayout()) {
        const LayoutRect& r = k.rect(GetParam());
        rects.push_back({r.left, r.top, r.right, r.bottom});
        all.push_back(static_cast<int>(rects.size()) - 1);
    }
    for (const Move& m : kMoves) {
        const int from = keyNamed(m.from);
        const int expected = m.to != nullptr ? keyNamed(m.to) : -1;
        const int reached = focusTarget(rects, all, from, m.move);
        EXPECT_EQ(nameOf(reached), nameOf(expected))
            << m.from << " with move " << static_cast<int>(m.move);
    }
}

INSTANTIATE_TEST_SUITE_P(BothPictures, KeyboardArrows,
                         ::testing::Values(KeyboardGeometry::Main, KeyboardGeometry::Backlight));

TEST(SkinFocus, MovesStayAmongTheCandidates) {
    // Three buttons in a row and a key below the middle one that is not a candidate.
    const std::vector<SkinRect> rects = {
        {0, 0, 40, 20}, {50, 0, 90, 20}, {100, 0, 140, 20}, {50, 40, 90, 60}};
    const std::vector<int> buttons = {0, 1, 2};
    EXPECT_EQ(focusTarget(rects, buttons, 1, FocusMove::Down), -1);
    EXPECT_EQ(focusTarget(rects, buttons, 1, FocusMove::Left), 0);
    EXPECT_EQ(focusTarget(rects, buttons, 0, FocusMove::RowEnd), 2);
    EXPECT_EQ(focusTarget(rects, buttons, 7, FocusMove::Up), -1);  // no such start
}

TEST(SkinFocus, ReadingOrderGoesByRowsThenLeftToRight) {
    // The main window's layout in small: three buttons at the top right, a row of buttons
    // below with a taller switch at its end, and a key row under them.
    const std::vector<SkinRect> rects = {
        {300, 95, 340, 130},    // 0 a button of the row
        {1167, 20, 1192, 50},   // 1 help
        {1070, 80, 1120, 135},  // 2 the taller switch
        {15, 95, 110, 130},     // 3 the first button of the row
        {1140, 20, 1165, 50},   // 4 minimise
        {50, 166, 95, 213},     // 5 a key
        {20, 166, 45, 213},     // 6 the key left of it
    };
    EXPECT_EQ(readingOrder(rects, {0, 1, 2, 3, 4, 5, 6}), (std::vector<int>{4, 1, 3, 0, 2, 6, 5}));
}

}  // namespace
