// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The colours of the theme and the colour keys of the window pictures, as 0x00BBGGRR (the
// layout of the region records). ui/ and the picture generator turn them into their own colour
// type.

#include <cstdint>

constexpr std::uint32_t geometryRgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r & 0xFF) | static_cast<std::uint32_t>(g & 0xFF) << 8 |
           static_cast<std::uint32_t>(b & 0xFF) << 16;
}
constexpr int rgbRed(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int rgbGreen(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int rgbBlue(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The accent: the text of the information and edit boxes, the glow of lit elements.
constexpr std::uint32_t kAccentColor = geometryRgb(255, 111, 0);
// The dark ground of the information and edit boxes.
constexpr std::uint32_t kDarkColor = geometryRgb(20, 20, 20);

// The colour keys: pixels of exactly this colour in a window's background picture lie outside
// the window's outline and become holes (the window's mask). Nothing inside an outline ever
// has the key colour.
constexpr std::uint32_t kMainColorKey = geometryRgb(0, 0, 255);
constexpr std::uint32_t kBacklightColorKey = geometryRgb(1, 3, 254);
constexpr std::uint32_t kDialogColorKey = geometryRgb(255, 0, 0);  // the other four dialogs
