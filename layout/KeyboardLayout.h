// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The 108 keys of the keyboard: their names and where they lie in the two keyboard pictures.
//
// Every window that shows the keyboard (the main window, the backlight dialog and the multi-key
// colour dialog) and the program that paints the pictures build their key regions from this one
// table, so pictures and hit tests always agree. Plain data on the standard library only.

#include <OskelHWI.h>

#include <array>
#include <string_view>

// A rectangle in client coordinates. Right and bottom are exclusive, as in a point-in-rectangle
// test: a key 50..95 wide covers x 50 to 94.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    constexpr bool intersects(const LayoutRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    // True when `inner` lies completely inside this rectangle.
    constexpr bool containsRect(const LayoutRect& inner) const {
        return inner.left >= left && inner.top >= top && inner.right <= right &&
               inner.bottom <= bottom;
    }
    constexpr bool operator==(const LayoutRect&) const = default;
};

// Which of the two pictures: the main window's, or the smaller one the backlight settings and
// multi-key colour dialogs share.
enum class KeyboardGeometry { Main, Backlight };

// Every key of the keyboard is in the picture.
constexpr int kLayoutKeyCount = kKeyCount;
// regionId of a key = kKeyRegionIdBase + KeyIndex (100 for KeyIndex 1 up to 207 for 108).
constexpr int kKeyRegionIdBase = 99;

struct KeyLayoutEntry {
    int keyIndex = 0;                // 1..108
    std::u16string_view name;        // the key's label, the same in every language
    std::u16string_view secondName;  // empty when the key has none
    LayoutRect mainRect;             // in the main window's picture
    LayoutRect backlightRect;        // in the backlight dialogs' picture

    constexpr int regionId() const { return kKeyRegionIdBase + keyIndex; }
    // The Chinese tooltip: the second name where one is given, otherwise the name.
    constexpr std::u16string_view tooltip() const { return secondName.empty() ? name : secondName; }
    constexpr const LayoutRect& rect(KeyboardGeometry g) const {
        return g == KeyboardGeometry::Main ? mainRect : backlightRect;
    }
};

// All 108 keys in KeyIndex order (element 0 is KeyIndex 1).
const std::array<KeyLayoutEntry, kLayoutKeyCount>& keyboardLayout();

// The key with this KeyIndex, or null outside 1..108.
const KeyLayoutEntry* keyLayout(int keyIndex);

// The KeyIndex of a key region's regionId, or 0 when the id is not a key's.
constexpr int keyIndexForRegionId(int regionId) {
    const int k = regionId - kKeyRegionIdBase;
    return k >= 1 && k <= kLayoutKeyCount ? k : 0;
}

// The KeyIndex of the key under a point of the given picture, or 0 in a gap or outside the keys.
int keyIndexAt(KeyboardGeometry geometry, int x, int y);

// The smallest rectangle holding every key of a geometry (x 50..1228, y 166..465 in the main
// picture).
LayoutRect keyboardBounds(KeyboardGeometry geometry);
