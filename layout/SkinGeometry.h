// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where everything lies in the pictures of the six skinned windows.
//
// One table per window: the picture size and identifiers, the colour key that cuts the window's
// outline, every region record in array order (id, rectangle, captions, flags) and the child
// controls the window places over its picture. The windows fill their SkinRegion arrays from
// these tables and the picture generator paints its buttons, keys and icons at the same
// rectangles, so a click always lands on what the user sees. Standard library only.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "KeyboardLayout.h"
#include "Theme.h"

// The scroll-bar skin (picture 138): 9 square cells across, 3 down.
constexpr int kScrollSkinCell = 15;
constexpr int kScrollSkinPictureId = 138;

// What a region shows in the pictures. Captions are never part of a picture: the program draws
// them over it.
enum class RegionKind {
    Unused,          // a record that keeps regionId -1
    Button,          // push button
    CloseButton,     // the cross at the top right
    MinimizeButton,  // the main window's hide-to-tray button
    HelpButton,      // the main window's help button
    LevelSwitch,     // the main window's level toggle
    TabHeader,       // a tab of the key settings dialog
    Key,             // a key cap of the keyboard picture
    Caption,         // text only: never hovered, never clicked
    ListRow,         // a row of a painted list; draws its own caption
    RadioOption,     // the single/combination choice: a round mark at its left
    CheckBox,        // a small square option box
    OptionIcon,      // an icon of the Multimedia and Function grids
    OptionRow,       // a row of the Mouse tab
    OptionButton,    // a button of the Power tab
    Area,            // clickable, but with no picture of its own
};

struct RegionSpec {
    int regionId = -1;
    RegionKind kind = RegionKind::Unused;
    LayoutRect rect{-1, -1, -1, -1};
    std::u16string_view labelZh;    // caption under "zh-CN"; empty: none
    std::u16string_view labelEn;    // caption under "en-US"; empty: none
    std::u16string_view tooltipZh;  // empty: none
    std::u16string_view tooltipEn;
    int keyIndex = -1;
    int optionCode = -1;
    bool textOnly = false;
    bool showCaption = false;
    bool captionVisible = true;
    bool litAtStart = false;
    int textFormat = 1;  // DT_CENTER
    int fontSize = 13;
    std::uint32_t textColor = geometryRgb(200, 200, 200);
    std::uint32_t litTextColor = geometryRgb(200, 200, 200);
};

enum class ControlKind { TextBox, ScrollBar, ProgressBar };

// A child control placed over the picture (or, for the progress bar, the strip of the picture
// that the program fills). `page` 0 means every page; `language` empty means both.
struct ControlSpec {
    int controlId = 0;
    ControlKind kind = ControlKind::TextBox;
    LayoutRect rect;
    int page = 0;
    std::string_view language;
};

enum class SkinWindow { Main, KeySettings, Backlight, MultiKey, Progress, Firmware };

enum class PictureRole { Background, Hover, Lit };

struct WindowSkin {
    SkinWindow window = SkinWindow::Main;
    std::string_view name;
    int width = 0;  // of every picture of the window
    int height = 0;
    int cornerRadius = 0;  // of the rounded outline
    std::uint32_t colorKey = kDialogColorKey;
    int regionCount = 0;   // size of the window's region array; records past the table are defaults
    int pageCount = 1;     // the key settings dialog has one picture triple per tab page
    int backgroundId = 0;  // for a paged window: of page 1
    int hoverId = 0;       // 0: the window has no such picture
    int litId = 0;
    std::vector<RegionSpec> regions;  // in array order
    std::vector<ControlSpec> controls;

    // Picture identifier of a role on a page (1-based), or 0 when the window has none.
    int pictureId(PictureRole role, int page = 1) const;
    // The page a region belongs to: regionId / 100 on a paged window for ids above 99, else 0
    // (every page).
    int pageOf(const RegionSpec& region) const;
    // The first region with this id, or null.
    const RegionSpec* findRegion(int regionId) const;
};

const WindowSkin& windowSkin(SkinWindow window);
// All six, main window first.
const std::vector<const WindowSkin*>& allWindowSkins();

// One picture of OskelRES.rcc (resource name ":/skin/<id>.png").
struct SkinPicture {
    int id = 0;
    const WindowSkin* window = nullptr;  // null for the scroll-bar skin
    PictureRole role = PictureRole::Background;
    int page = 1;
    int width = 0;
    int height = 0;
};

// Every picture in identifier order: 101-103, 107-131, 138-143.
const std::vector<SkinPicture>& allSkinPictures();

// The pictures the main window's first paint draws: its background and its lit picture.
std::array<int, 2> startSkinPictures();

// The start pictures are packed a second time as plain pixels, "<id>.pixels" and
// "<id>@2x.pixels" beside the PNGs, so the program shows its window without decoding a PNG
// first. The form: this header, then height rows of width pixels, each a 32-bit 0xffRRGGBB in
// the byte order of the machine that packed it (the magic number tells which).
struct PlainPixelsHeader {
    static constexpr std::uint32_t kMagic = 0x4F534B50;  // "OSKP"
    std::uint32_t magic = kMagic;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t reserved = 0;
};
