// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Drawing of the skin pictures: the theme, the window bodies and every kind of element.
//
// A picture is painted in one of three looks. The background shows every element at rest, the
// hover picture every element brightened, the lit picture every element glowing in the accent
// colour; the windows copy single rectangles out of the hover and lit pictures, so all three
// share one geometry.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include "SkinGeometry.h"

enum class Look { Normal, Hover, Lit };

namespace theme {
inline const QColor accent{255, 111, 0};
inline const QColor accentBright{255, 160, 80};
inline const QColor accentDeep{120, 48, 0};
inline const QColor edge{8, 9, 11};
inline const QColor bodyTop{33, 36, 42};
inline const QColor bodyBottom{20, 21, 25};
inline const QColor titleBand{24, 26, 31};
inline const QColor well{14, 15, 18};
inline const QColor wellBorder{48, 51, 58};
inline const QColor plate{17, 18, 22};
inline const QColor plateBorder{52, 56, 64};
inline const QColor glyph{190, 195, 204};
inline const QColor glyphHover{255, 255, 255};
inline const QColor legend{214, 218, 226};
inline const QColor muted{110, 116, 126};
}  // namespace theme

QColor toQColor(std::uint32_t bgr);
QRectF toRectF(const LayoutRect& r);

// Paints the whole picture of a window page in one look.
QImage paintWindowPicture(const WindowSkin& skin, int page, Look look);
// The same picture for screens of twice the density: the same drawing in the same layout on
// twice the pixels. Its key-coloured pixels are exactly those of `at1x` (the 1x picture of the
// page and look), each doubled, so the window's outline is the same at both scales.
QImage paintWindowPicture2x(const WindowSkin& skin, int page, Look look, const QImage& at1x);

// The scroll-bar skin: 9 cells of kScrollSkinCell across (up, down, thumb, track of a vertical
// bar; left, right, thumb, track of a horizontal one; one spare), rows normal, hover, pressed.
// `scale` 2 paints it on twice the pixels.
QImage paintScrollSkin(int scale = 1);

// Element painters, each filling its rectangle and never drawing outside it.
void paintKeyCap(QPainter& p, const QRectF& r, int keyIndex, Look look, bool small);
void paintButton(QPainter& p, const QRectF& r, Look look);
void paintTitleButton(QPainter& p, const QRectF& r, RegionKind kind, Look look);
void paintLevelSwitch(QPainter& p, const QRectF& r, Look look);
void paintTabHeader(QPainter& p, const QRectF& r, bool active, Look look);
void paintListRow(QPainter& p, const QRectF& r, Look look);
void paintRadio(QPainter& p, const QRectF& r, Look look);
void paintRadioMark(QPainter& p, const QRectF& r, Look look);
void paintOptionIcon(QPainter& p, const QRectF& r, int regionId, Look look);
void paintOptionRow(QPainter& p, const QRectF& r, int regionId, Look look);
void paintWell(QPainter& p, const QRectF& r, double radius = 4);
void paintProgressBar(QPainter& p, const QRectF& r, Look look);

// Icons, drawn in the box with the pen colour c. Names are the option region ids or the key
// indexes they stand for.
void drawOptionGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c);
// True when the key's legend is a drawn symbol rather than text.
bool drawKeyGlyph(QPainter& p, int keyIndex, const QRectF& box, const QColor& c);
void drawMouseGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c);
