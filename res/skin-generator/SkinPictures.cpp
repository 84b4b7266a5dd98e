// SPDX-License-Identifier: GPL-2.0-or-later
// Whole pictures: the window body with its outline, the fixed decoration of each window, and
// every region's element painted at its rectangle.
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "SkinArt.h"

QColor toQColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QRectF toRectF(const LayoutRect& r) {
    return QRectF(r.left, r.top, r.width(), r.height());
}

namespace {

QFont brandFont(int pixels, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixels / 6.0);
    return f;
}

// The body: a dark gradient with a title band and a thin accent line under it.
void paintBody(QPainter& p, const WindowSkin& skin, double titleHeight) {
    const QRectF all(0, 0, skin.width, skin.height);
    QPainterPath outline;
    outline.addRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), skin.cornerRadius,
                           skin.cornerRadius);
    QLinearGradient g(0, 0, 0, skin.height);
    g.setColorAt(0, theme::bodyTop);
    g.setColorAt(1, theme::bodyBottom);
    p.setPen(QPen(theme::edge, 1));
    p.setBrush(g);
    p.drawPath(outline);
    p.setClipPath(outline);
    p.fillRect(QRectF(0, 0, skin.width, titleHeight), theme::titleBand);
    QLinearGradient line(0, 0, skin.width, 0);
    line.setColorAt(0, QColor(255, 111, 0, 0));
    line.setColorAt(0.5, theme::accent);
    line.setColorAt(1, QColor(255, 111, 0, 0));
    p.fillRect(QRectF(0, titleHeight - 2, skin.width, 2), line);
    // A faint inner rim makes the edge read as a bevel.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline.translated(0, 1));
}

void paintPlate(QPainter& p, const QRectF& r) {
    p.save();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(22, 23, 28));
    g.setColorAt(1, theme::plate);
    p.setPen(QPen(theme::plateBorder, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    // An underglow along the bottom edge of the case.
    QLinearGradient glow(r.left(), 0, r.right(), 0);
    glow.setColorAt(0, QColor(255, 111, 0, 0));
    glow.setColorAt(0.5, QColor(255, 111, 0, 150));
    glow.setColorAt(1, QColor(255, 111, 0, 0));
    p.fillRect(QRectF(r.left() + 30, r.bottom() - 2, r.width() - 60, 1.5), glow);
    p.restore();
}

void paintLogoMark(QPainter& p, const QPointF& centre, double radius) {
    QPolygonF hex;
    for (int i = 0; i < 6; ++i) {
        const double a = M_PI / 6 + i * M_PI / 3;
        hex << centre + QPointF(radius * std::cos(a), radius * std::sin(a));
    }
    p.save();
    p.setPen(QPen(theme::accent, 2.2));
    p.setBrush(QColor(255, 111, 0, 40));
    p.drawPolygon(hex);
    p.setPen(QPen(theme::accentBright, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(centre, radius * 0.42, radius * 0.42);
    p.restore();
}

void paintWordmark(QPainter& p, const QRectF& box, int size, Qt::Alignment align) {
    p.save();
    p.setFont(brandFont(size, true));
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, theme::accentBright);
    g.setColorAt(1, theme::accent);
    p.setPen(QPen(QBrush(g), 1));
    p.drawText(box, align, QStringLiteral("OSKEL"));
    p.restore();
}

// A well behind each painted list: its rows and the scroll bar beside them.
void paintListWells(QPainter& p, const WindowSkin& skin, int page) {
    for (const ControlSpec& c : skin.controls) {
        if (c.kind == ControlKind::TextBox && c.language.empty() &&
            (c.page == 0 || c.page == page)) {
            paintWell(p, toRectF(c.rect).adjusted(-2, -2, 2, 2), 3);
        }
    }
    LayoutRect group{};
    int groupTens = -1;
    auto flush = [&] {
        if (groupTens < 0) {
            return;
        }
        LayoutRect well = group;
        for (const ControlSpec& c : skin.controls) {
            const bool beside = c.rect.left >= group.right && c.rect.left <= group.right + 6;
            if (c.kind == ControlKind::ScrollBar && c.page == page && beside &&
                c.rect.top < group.bottom && group.top < c.rect.bottom) {
                well.right = c.rect.right;
                well.top = std::min(well.top, c.rect.top);
                well.bottom = std::max(well.bottom, c.rect.bottom);
            }
        }
        paintWell(p, toRectF(well).adjusted(-3, -3, 2, 3), 4);
        groupTens = -1;
    };
    for (const RegionSpec& r : skin.regions) {
        if (r.kind != RegionKind::ListRow || skin.pageOf(r) != page) {
            continue;
        }
        if (r.regionId / 10 != groupTens && (r.regionId - 1) / 10 != groupTens) {
            flush();
            group = r.rect;
            groupTens = r.regionId / 10;
        } else {
            group.bottom = std::max(group.bottom, r.rect.bottom);
            group.right = std::max(group.right, r.rect.right);
        }
    }
    flush();
}

void paintMainDecoration(QPainter& p, const WindowSkin& skin) {
    paintLogoMark(p, QPointF(38, 35), 14);
    paintWordmark(p, QRectF(62, 18, 200, 34), 24, Qt::AlignLeft | Qt::AlignVCenter);
    p.setPen(theme::muted);
    p.setFont(brandFont(10, false));
    p.drawText(QRectF(64, 48, 400, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("108-KEY GAMING KEYBOARD"));
    // The tool band behind the buttons and the level switch.
    p.save();
    p.setPen(QPen(QColor(44, 47, 54), 1));
    p.setBrush(QColor(26, 28, 33));
    p.drawRoundedRect(QRectF(8.5, 86.5, skin.width - 17, 54), 8, 8);
    p.restore();
    const LayoutRect keys = keyboardBounds(KeyboardGeometry::Main);
    paintPlate(p, toRectF(keys).adjusted(-16, -16, 16, 16));
    paintWell(p, QRectF(23, 502, 941, 152), 6);
    // Bottom right, beside the information box: the brand once more, large.
    paintWordmark(p, QRectF(976, 540, 256, 50), 40, Qt::AlignCenter);
    p.setPen(theme::muted);
    p.setFont(brandFont(9, false));
    p.drawText(QRectF(976, 592, 256, 16), Qt::AlignCenter, QStringLiteral("KEYBOARD CONFIGURATOR"));
}

void paintKeySettingsDecoration(QPainter& p, const WindowSkin& skin, int page) {
    // The page panel the active tab opens into.
    p.save();
    p.setPen(QPen(QColor(78, 82, 92), 1));
    p.setBrush(QColor(34, 36, 42));
    p.drawRoundedRect(QRectF(10.5, 79.5, skin.width - 21, 234), 8, 8);
    p.restore();
    paintListWells(p, skin, page);
    if (page == 1) {
        paintWell(p, QRectF(44, 162, 120, 30), 4);  // the captured key's name
    }
    if (page == 4 || page == 6) {
        // Hairlines after the two section captions.
        p.setPen(QPen(QColor(60, 64, 72), 1));
        const double ys[] = {page == 4 ? 137.5 : 98.5, page == 4 ? 217.5 : 206.5};
        for (double y : ys) {
            p.drawLine(QPointF(175, y), QPointF(skin.width - 40, y));
        }
    }
    if (page == 5) {
        // A large, quiet mouse beside the list of mouse actions.
        p.save();
        const QRectF m(372, 112, 110, 170);
        p.setPen(QPen(QColor(64, 68, 78), 2));
        QLinearGradient g(m.topLeft(), m.bottomLeft());
        g.setColorAt(0, QColor(44, 47, 55));
        g.setColorAt(1, QColor(28, 30, 35));
        p.setBrush(g);
        p.drawRoundedRect(m, 55, 62);
        p.drawLine(QPointF(m.left() + 4, m.top() + 70), QPointF(m.right() - 4, m.top() + 70));
        p.drawLine(QPointF(m.center().x(), m.top() + 1), QPointF(m.center().x(), m.top() + 70));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 111, 0, 170));
        p.drawRoundedRect(QRectF(m.center().x() - 5, m.top() + 24, 10, 24), 5, 5);
        QLinearGradient glow(m.left(), 0, m.right(), 0);
        glow.setColorAt(0, QColor(255, 111, 0, 0));
        glow.setColorAt(0.5, QColor(255, 111, 0, 120));
        glow.setColorAt(1, QColor(255, 111, 0, 0));
        p.fillRect(QRectF(m.left() + 10, m.bottom() + 6, m.width() - 20, 1.5), glow);
        p.restore();
    }
    if (page == 7) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF o(291, 118);
        p.setPen(QPen(QColor(255, 111, 0, 90), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(o.x() - 20, o.y() - 20, 40, 40), 120 * 16, 300 * 16);
        p.drawLine(o + QPointF(0, -26), o + QPointF(0, -6));
        p.restore();
    }
}

void paintKeyboardDialogDecoration(QPainter& p) {
    const LayoutRect keys = keyboardBounds(KeyboardGeometry::Backlight);
    // Room for the coloured frames the program draws two pixels around each key.
    paintPlate(p, toRectF(keys).adjusted(-12, -12, 12, 12));
    paintLogoMark(p, QPointF(34, 29), 11);
    paintWordmark(p, QRectF(52, 14, 200, 30), 18, Qt::AlignLeft | Qt::AlignVCenter);
}

void paintSmallDialogDecoration(QPainter& p, const WindowSkin& skin) {
    paintLogoMark(p, QPointF(26, 29), 10);
    for (const ControlSpec& c : skin.controls) {
        if (c.kind == ControlKind::TextBox) {
            paintWell(p, toRectF(c.rect).adjusted(-2, -2, 2, 2), 3);
        }
    }
}

double titleHeight(const WindowSkin& skin) {
    switch (skin.window) {
        case SkinWindow::Main:
            return 72;
        case SkinWindow::KeySettings:
            return 40;
        case SkinWindow::Backlight:
        case SkinWindow::MultiKey:
            return 46;  // the multi-key dialog's button starts just below
        default:
            return 50;
    }
}

void paintRegion(QPainter& p, const WindowSkin& skin, int page, const RegionSpec& r, Look look) {
    const QRectF rect = toRectF(r.rect);
    const bool small = skin.window != SkinWindow::Main;
    switch (r.kind) {
        case RegionKind::Button:
        case RegionKind::OptionButton:
            paintButton(p, rect, look);
            break;
        case RegionKind::CloseButton:
        case RegionKind::MinimizeButton:
        case RegionKind::HelpButton:
            paintTitleButton(p, rect, r.kind, look);
            break;
        case RegionKind::LevelSwitch:
            paintLevelSwitch(p, rect, look);
            break;
        case RegionKind::TabHeader:
            paintTabHeader(p, rect, r.regionId - 89 == page, look);
            break;
        case RegionKind::Key:
            paintKeyCap(p, rect, r.keyIndex, look, small);
            break;
        case RegionKind::ListRow:
            paintListRow(p, rect, look);
            break;
        case RegionKind::RadioOption:
            paintRadio(p, rect, look);
            break;
        case RegionKind::RadioMark:
            paintRadioMark(p, rect, look);
            break;
        case RegionKind::OptionIcon:
            paintOptionIcon(p, rect, r.regionId, look);
            break;
        case RegionKind::OptionRow:
            paintOptionRow(p, rect, r.regionId, look);
            break;
        case RegionKind::Caption:
        case RegionKind::Area:
        case RegionKind::Unused:
            break;
    }
}

// Antialiased edges are blended onto the rim colour, and every pixel `isHole` names becomes the
// exact key colour: a window mask of key-coloured pixels then follows the rounded outline
// without a coloured fringe.
template <typename IsHole>
QImage keyOut(const QImage& body, const QColor& key, IsHole isHole) {
    QImage out(body.size(), QImage::Format_RGB32);
    const QRgb keyRgb = key.rgb();
    const QRgb nudged = qRgb(qRed(keyRgb), qGreen(keyRgb) ^ 1, qBlue(keyRgb));
    const int rimRed = theme::edge.red(), rimGreen = theme::edge.green(),
              rimBlue = theme::edge.blue();
    for (int y = 0; y < body.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(body.constScanLine(y));
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < body.width(); ++x) {
            if (isHole(x, y, src[x])) {
                dst[x] = keyRgb;
                continue;
            }
            const int inv = 255 - qAlpha(src[x]);
            const QRgb c =
                qRgb(qRed(src[x]) + rimRed * inv / 255, qGreen(src[x]) + rimGreen * inv / 255,
                     qBlue(src[x]) + rimBlue * inv / 255);
            // Nothing inside the outline may be a hole.
            dst[x] = (c & 0xFFFFFF) == (keyRgb & 0xFFFFFF) ? nudged : c;
        }
    }
    return out;
}

// The body of a page in one look on `scale` pixels per layout pixel, before the key colour.
QImage paintBodyImage(const WindowSkin& skin, int page, Look look, int scale) {
    QImage body(skin.width * scale, skin.height * scale, QImage::Format_ARGB32_Premultiplied);
    // Everything below draws in layout pixels; the image's ratio maps them onto its own.
    body.setDevicePixelRatio(scale);
    body.fill(Qt::transparent);
    QPainter p(&body);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBody(p, skin, titleHeight(skin));
    switch (skin.window) {
        case SkinWindow::Main:
            paintMainDecoration(p, skin);
            break;
        case SkinWindow::KeySettings:
            paintKeySettingsDecoration(p, skin, page);
            break;
        case SkinWindow::Backlight:
        case SkinWindow::MultiKey:
            paintKeyboardDialogDecoration(p);
            break;
        case SkinWindow::Progress:
        case SkinWindow::Firmware:
            paintSmallDialogDecoration(p, skin);
            break;
    }
    for (const ControlSpec& c : skin.controls) {
        if (c.kind == ControlKind::ProgressBar) {
            paintProgressBar(p, toRectF(c.rect), look);
        }
    }
    for (const RegionSpec& r : skin.regions) {
        const int regionPage = skin.pageOf(r);
        if (r.regionId > 0 && (regionPage == 0 || regionPage == page)) {
            paintRegion(p, skin, page, r, look);
        }
    }
    p.end();
    return body;
}

}  // namespace

QImage paintWindowPicture(const WindowSkin& skin, int page, Look look) {
    return keyOut(paintBodyImage(skin, page, look, 1), toQColor(skin.colorKey),
                  [](int, int, QRgb pixel) { return qAlpha(pixel) < 128; });
}

QImage paintWindowPicture2x(const WindowSkin& skin, int page, Look look, const QImage& at1x) {
    const QImage holes = at1x.convertToFormat(QImage::Format_RGB32);
    const QRgb key = toQColor(skin.colorKey).rgb();
    QImage out = keyOut(
        paintBodyImage(skin, page, look, 2), toQColor(skin.colorKey), [&](int x, int y, QRgb) {
            const auto* line = reinterpret_cast<const QRgb*>(holes.constScanLine(y / 2));
            return line[x / 2] == key;
        });
    // Stored as plain pixels; the program gives the picture its ratio when it loads it.
    out.setDevicePixelRatio(1);
    return out;
}

namespace {

// One cell of the scroll-bar skin. Vertical cells run top to bottom; horizontal ones are the
// same drawings turned a quarter.
void paintScrollCell(QPainter& p, const QRectF& cell, int column, int row) {
    const bool vertical = column < 4;
    const int part = column % 4;  // 0 back arrow, 1 forward arrow, 2 thumb, 3 track
    const QColor arrowFill[] = {QColor(44, 47, 55), QColor(72, 77, 88), QColor(150, 60, 0)};
    const QColor thumbFill[] = {QColor(80, 85, 96), QColor(120, 126, 140), theme::accent};
    p.save();
    p.setClipRect(cell);
    p.translate(cell.topLeft());
    const double s = cell.width();
    if (!vertical) {
        // Turn so that "along the axis" is x: draw in the vertical frame, mirrored on the
        // diagonal.
        p.setTransform(QTransform(0, 1, 1, 0, cell.left(), cell.top()));
    }
    // The track: uniform along the axis, so it tiles.
    p.fillRect(QRectF(0, 0, s, s), theme::well);
    p.fillRect(QRectF(0, 0, 1, s), QColor(40, 43, 50));
    p.fillRect(QRectF(s - 1, 0, 1, s), QColor(40, 43, 50));
    if (part == 0 || part == 1) {
        p.setPen(QPen(QColor(70, 74, 84), 1));
        p.setBrush(arrowFill[row]);
        p.drawRoundedRect(QRectF(1.5, 1.5, s - 3, s - 3), 3, 3);
        const QColor c = row == 0   ? theme::glyph
                         : row == 1 ? theme::glyphHover
                                    : QColor(255, 220, 190);
        QPolygonF tri;
        if (part == 0) {
            tri << QPointF(s / 2, 4.5) << QPointF(s - 4, s - 5.5) << QPointF(4, s - 5.5);
        } else {
            tri << QPointF(4, 5.5) << QPointF(s - 4, 5.5) << QPointF(s / 2, s - 4.5);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPolygon(tri);
    } else if (part == 2) {
        // The ends (3 pixels each) are rounded, the middle uniform so it can be tiled.
        p.setPen(Qt::NoPen);
        p.setBrush(thumbFill[row]);
        p.drawRoundedRect(QRectF(3, 0.5, s - 6, s - 1), 3, 3);
        p.fillRect(QRectF(3, 3, s - 6, s - 6), thumbFill[row]);
    }
    p.restore();
}

}  // namespace

QImage paintScrollSkin(int scale) {
    const int s = kScrollSkinCell;
    QImage img(9 * s * scale, 3 * s * scale, QImage::Format_RGB32);
    img.setDevicePixelRatio(scale);
    img.fill(theme::well);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 8; ++column) {
            paintScrollCell(p, QRectF(column * s, row * s, s, s), column, row);
        }
    }
    p.end();
    img.setDevicePixelRatio(1);
    return img;
}
