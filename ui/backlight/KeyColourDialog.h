// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the backlight settings dialog and the multi-key colour dialog share: the smaller keyboard
// picture with a 2-pixel frame around every key in that key's colour, the captions over it and,
// for selected keys, the lit picture.
//
// The frames are drawn in exactly the colour the key has. The window's outline is cut from the
// background picture alone, so a frame in the window's colour key stays as visible as any other.

#include <QColor>
#include <QRect>
#include <array>

#include "KeyboardConfig.h"
#include "SkinDialog.h"

enum class SkinWindow;

// The frame lies just outside the key's rectangle, this many pixels wide.
constexpr int kKeyFrameWidth = 2;

// The key and its frame: what a change of the key's colour repaints.
QRect keyFrameArea(const SkinRect& key);
// The four strips of the frame (left, right, top, bottom) in the colour.
void paintKeyFrame(QPainter& painter, const SkinRect& key, const QColor& colour);

// A document colour as drawn; components outside 0..255 are taken at the nearest end.
QColor toQColor(const Colour& colour);
// The frame of a key that is off (black) would vanish on the dark picture: it is drawn in this
// dim grey instead, while the colour kept for the key stays black.
inline const QColor kOffKeyFrameColour{72, 72, 72};
// The colour a key's frame is drawn in.
QColor frameDrawnAs(const Colour& colour);
Colour toColour(const QColor& colour);

class KeyColourDialog : public SkinDialog {
    Q_OBJECT

public:
    // Fills the window's regions and pictures and places it centred on the screen.
    KeyColourDialog(KeyboardConfig& config, SkinWindow window, QWidget* parent);

    // The region of a key (KeyIndex 1..108), or null.
    SkinRegion* keyRegion(int keyIndex);
    const SkinRegion* keyRegion(int keyIndex) const;
    // The KeyIndex a command stands for, or 0 when it is not a key's.
    int keyOfCommand(int regionId) const;

    // A key's description is its colour; where keys are chosen (lit), a key is a toggle.
    SkinAccess describeRegion(int index) const override;

protected:
    // The colour the key's frame is drawn in.
    virtual const Colour& frameColour(int keyIndex) const = 0;
    // Repaints only what the key shows: its frame and its face.
    void repaintKey(int keyIndex);

    void paintEvent(QPaintEvent* e) override;
    // True where a lit key means a chosen one.
    virtual bool keysToggle() const { return false; }

    KeyboardConfig& config;

private:
    void paintRegion(QPainter& painter, const SkinRegion& region, const QRect& dirty) const;

    // Region index of each key; -1 where the table has none.
    std::array<int, kKeyTableSize> keyRegionIndex{};
};
