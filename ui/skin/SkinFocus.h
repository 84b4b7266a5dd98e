// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Keyboard focus among the painted regions of a skinned window.
//
// Tab and Shift+Tab go through a window's controls, painted regions and Qt's own fields alike,
// in reading order; the arrow keys move between the regions of one group by where they lie
// (up from A reaches Q on the keyboard picture), Home and End to the ends of the row; Space
// presses the focused region as a click would, and so does Enter where the window lets it.
// The focused region gets a ring in the accent colour, drawn only once the keyboard has been
// used, so nothing changes for the mouse.

#include <vector>

#include "SkinRegion.h"

class QKeyEvent;
class QPainter;
class QWidget;
class SkinDialog;

enum class FocusMove { Left, Right, Up, Down, RowStart, RowEnd };

// Which of `candidates` (indices into `rects`) a move from `from` reaches, or -1 when there is
// none in that direction. Up and Down go to the nearest rectangle wholly above or below, a step
// aside counting twice a step up or down; Left and Right to the nearest rectangle beside it that
// shares some of its height; RowStart and RowEnd to the first and last of those that span the
// start's centre line.
int focusTarget(const std::vector<SkinRect>& rects, const std::vector<int>& candidates, int from,
                FocusMove move);

// `candidates` in reading order: rows from top to bottom, each from left to right. A rectangle
// joins a row when its centre lies above the bottom of the row's first rectangle.
std::vector<int> readingOrder(const std::vector<SkinRect>& rects, std::vector<int> candidates);

// The ring's width in the window's own pixels (doubled on a double-density screen with the
// pictures).
constexpr int kFocusRingWidth = 2;

class SkinFocus {
public:
    explicit SkinFocus(SkinDialog& dialog);

    int focused() const { return index; }
    bool ringShown() const { return shown; }
    // Moves the focus to region `i` (-1: none), repainting the old and the new ring.
    void focusRegion(int i, bool showRing);
    // A mouse press: the ring hides until the keyboard is used again.
    void mouseUsed();

    // Arrows, Home, End, Space and Enter on the focused region; true when taken.
    bool keyPress(QKeyEvent* e);
    // Tab (next) and Shift+Tab through regions and child widgets; always true.
    bool tabMove(bool next);
    // The first stop, when the window opens.
    void focusFirst();
    void paintRing(QPainter& painter) const;

private:
    struct Stop {
        int region = -1;
        QWidget* widget = nullptr;
    };
    std::vector<Stop> stops() const;
    std::vector<int> groupOf(int region) const;
    void repaint(int i) const;

    SkinDialog& dialog;
    int index = -1;
    bool shown = false;
};
