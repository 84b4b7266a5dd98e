// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One painted, clickable rectangle of a skinned window.
//
// Every window of the program is a list of these over its pictures: buttons, their captions,
// keys, option icons. The click scan, the hover tracking and the painting of SkinWindow work on
// them; the window's own logic sets `lit` and fills the captions.

#include <QString>
#include <cstdint>
#include <map>
#include <string>

#include "Theme.h"

// A client rectangle; right and bottom are exclusive, as in a point-in-rectangle test.
struct SkinRect {
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    constexpr bool intersects(const SkinRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    constexpr bool operator==(const SkinRect&) const = default;
};

// Caption placement flags, with the values the key-settings and list code share with the
// drawing of the captions (a caption with 0 is drawn left-aligned at the top).
constexpr int DT_LEFT = 0x0;
constexpr int DT_CENTER = 0x1;
constexpr int DT_RIGHT = 0x2;
constexpr int DT_VCENTER = 0x4;
constexpr int DT_BOTTOM = 0x8;
constexpr int DT_WORDBREAK = 0x10;
constexpr int DT_SINGLELINE = 0x20;

// A colour as 0x00BBGGRR, the layout the region records and the profile code use.
using SkinColor = std::uint32_t;
constexpr SkinColor skinRgb(int r, int g, int b) {
    return geometryRgb(r, g, b);
}
constexpr int skinRed(SkinColor c) {
    return rgbRed(c);
}
constexpr int skinGreen(SkinColor c) {
    return rgbGreen(c);
}
constexpr int skinBlue(SkinColor c) {
    return rgbBlue(c);
}

// What a region shows, from its window's geometry table: the accessible role starts from it.
enum class SkinRegionKind : std::uint8_t {
    Other,     // an area with no picture of its own, or a record the table leaves unused
    Button,    // a push button, the close, hide and help buttons included
    Close,     // the cross at the top right
    Minimize,  // the main window's hide button
    Help,      // the main window's help button
    Switch,    // the main window's level switch
    Tab,       // a tab of the key settings dialog
    Key,       // a key of a keyboard picture
    Caption,   // a text only drawn
    ListRow,   // a row of a painted list
    Radio,     // one of two or more choices with a round mark
    Option,    // an icon, row or button of an option grid: one of a tab's choices
};

// Caption or tooltip per language code ("zh-CN", "en-US").
using SkinTexts = std::map<std::string, QString>;

struct SkinRegion {
    int regionId = -1;  // command id; 0 or less: ignored by painting and hit testing
    SkinTexts label;
    SkinTexts tooltip;
    SkinRect rect;  // client coordinates, right and bottom exclusive
    SkinColor textColor = skinRgb(200, 200, 200);
    SkinColor litTextColor = skinRgb(200, 200, 200);
    int keyIndex = -1;           // KeyIndex 1..108 of a key region
    int optionCode = -1;         // the code an option region stands for
    bool lit = false;            // drawn from the lit picture, caption in litTextColor
    bool textOnly = false;       // only draws its caption; never hovered, never clicked
    bool showCaption = false;    // a clickable region that also draws its caption
    bool captionVisible = true;  // the caption is drawn only while set
    int hovered = 0;             // kept by the hit test
    int textFormat = DT_CENTER;  // caption placement (DT_ flags above)
    int fontSize = 13;           // index into SkinFonts: the character height in pixels
    SkinRegionKind kind = SkinRegionKind::Other;

    // Ignored regions take no part in painting or hit testing.
    bool isActive() const { return regionId > 0; }
    // Regions that can be hovered and clicked.
    bool isClickable() const { return regionId > 0 && !textOnly; }
    bool contains(int x, int y) const { return rect.contains(x, y); }

    // The text for a language code; the empty text when there is none.
    QString labelFor(const std::string& language) const { return lookup(label, language); }
    QString tooltipFor(const std::string& language) const { return lookup(tooltip, language); }

    // Sets the caption of both languages.
    void setLabel(const QString& zh, const QString& en) {
        label["zh-CN"] = zh;
        label["en-US"] = en;
    }

private:
    static QString lookup(const SkinTexts& texts, const std::string& language) {
        const auto it = texts.find(language);
        return it == texts.end() ? QString() : it->second;
    }
};
