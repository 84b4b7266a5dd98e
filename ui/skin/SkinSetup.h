// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Filling a window's region records and pictures from its geometry table (SkinGeometry.h).
//
// This header only names the window; the tables stay out of files that also see the
// configuration document.

#include <string>
#include <vector>

#include "SkinDialog.h"

enum class SkinWindow;

// The windows by name, for files that do not include the tables (checked against them there).
namespace SkinWindowId {
inline constexpr SkinWindow Main = static_cast<SkinWindow>(0);
inline constexpr SkinWindow KeySettings = static_cast<SkinWindow>(1);
inline constexpr SkinWindow Backlight = static_cast<SkinWindow>(2);
inline constexpr SkinWindow MultiKey = static_cast<SkinWindow>(3);
inline constexpr SkinWindow Progress = static_cast<SkinWindow>(4);
inline constexpr SkinWindow Firmware = static_cast<SkinWindow>(5);
}  // namespace SkinWindowId

// Size of the window's region array.
int skinRegionCount(SkinWindow window);

// Fills `regions` (resized to the window's count) from the table in array order; records past
// the table keep their defaults.
void fillSkinRegions(SkinWindow window, std::vector<SkinRegion>& regions);

// When a window's hover picture is decoded: with the others, or when a region is first drawn
// hovered (decoded ahead once the window has painted; SkinLook::laterHoverId).
enum class HoverPicture { Now, WhenFirstDrawn };

// The window's colour key and the pictures of a page (1-based; tab pages of the key settings
// dialog), taken from the application's resources. Pictures not loaded are null.
SkinLook skinLook(SkinWindow window, int page = 1, HoverPicture hover = HoverPicture::Now);

// The caption `regionId` of the window's table in `language`, empty when it has none: a
// dialog's title for the window manager, from its own title or the button that opens it.
QString skinCaption(SkinWindow window, int regionId, const std::string& language);

// The rectangle of a child control of the window (its id from the table), or an empty one.
SkinRect skinControlRect(SkinWindow window, int controlId, int page = 0);
// The same for a control placed per language ("zh-CN", "en-US"); a language the table does not
// name gives the first placement.
SkinRect skinControlRectFor(SkinWindow window, int controlId, int page,
                            const std::string& language);
