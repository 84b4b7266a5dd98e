// SPDX-License-Identifier: GPL-2.0-or-later
// The elements of the pictures: key caps, buttons, tabs, list rows, options.
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>

#include "SkinArt.h"

namespace {

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QFont legendFont(double pixelSize, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(qRound(pixelSize));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// What a key cap shows. `top` is the shifted symbol drawn above the main one; an empty text
// with a glyph key means the legend is a drawn symbol.
struct Legend {
    const char* main;
    const char* top;
};

const std::array<Legend, kLayoutKeyCount + 1>& legends() {
    static const std::array<Legend, kLayoutKeyCount + 1> table = [] {
        std::array<Legend, kLayoutKeyCount + 1> t{};
        for (const KeyLayoutEntry& k : keyboardLayout()) {
            t[k.keyIndex] = {nullptr, nullptr};
        }
        const std::pair<int, Legend> fixed[] = {
            {14, {"`", "~"}},         {15, {"1", "!"}},
            {16, {"2", "@"}},         {17, {"3", "#"}},
            {18, {"4", "$"}},         {19, {"5", "%"}},
            {20, {"6", "^"}},         {21, {"7", "&"}},
            {22, {"8", "*"}},         {23, {"9", "("}},
            {24, {"0", ")"}},         {25, {"-", "_"}},
            {26, {"=", "+"}},         {27, {"Backspace", nullptr}},
            {39, {"[", "{"}},         {40, {"]", "}"}},
            {41, {"\\", "|"}},        {52, {";", ":"}},
            {53, {"'", "\""}},        {63, {",", "<"}},
            {64, {".", ">"}},         {65, {"/", "?"}},
            {70, {"", nullptr}},      {73, {"Menu", nullptr}},
            {75, {"PrtSc", nullptr}}, {76, {"ScrLk", nullptr}},
            {78, {"Ins", nullptr}},   {81, {"Del", nullptr}},
            {83, {"PgDn", nullptr}},  {92, {"Num", nullptr}},
            {93, {"/", nullptr}},     {94, {"*", nullptr}},
            {95, {"-", nullptr}},     {96, {"7", nullptr}},
            {97, {"8", nullptr}},     {98, {"9", nullptr}},
            {99, {"+", nullptr}},     {100, {"4", nullptr}},
            {101, {"5", nullptr}},    {102, {"6", nullptr}},
            {103, {"1", nullptr}},    {104, {"2", nullptr}},
            {105, {"3", nullptr}},    {106, {"0", nullptr}},
            {107, {".", nullptr}},    {108, {"Enter", nullptr}},
        };
        for (const auto& [index, legend] : fixed) {
            t[index] = legend;
        }
        return t;
    }();
    return table;
}

// The legend text of a key: the table's, or the key's own name.
QString legendText(int keyIndex) {
    const Legend& l = legends()[keyIndex];
    if (l.main) {
        return QString::fromUtf8(l.main);
    }
    const KeyLayoutEntry* key = keyLayout(keyIndex);
    return QString::fromUtf16(key->name.data(), static_cast<qsizetype>(key->name.size()));
}

// Draws text centred in box, shrinking the font until it fits.
void drawFitted(QPainter& p, const QRectF& box, const QString& text, double size, bool bold) {
    QFont f = legendFont(size, bold);
    while (size > 7 && QFontMetricsF(f).horizontalAdvance(text) > box.width()) {
        size -= 0.5;
        f = legendFont(size, bold);
    }
    p.setFont(f);
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

void paintKeyCap(QPainter& p, const QRectF& rect, int keyIndex, Look look, bool small) {
    p.save();
    // The cap keeps one pixel inside its rectangle, so the glow of a lit key stays within what
    // the window copies.
    const QRectF skirt = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const QRectF face = rect.adjusted(3.5, 2.5, -3.5, small ? -5.5 : -6.5);
    QColor skirtTop{36, 39, 45}, skirtBottom{16, 17, 20}, faceTop{54, 58, 66},
        faceBottom{40, 43, 50};
    QColor border{66, 70, 80}, text = theme::legend;
    if (look == Look::Hover) {
        skirtTop = {58, 62, 71};
        skirtBottom = {28, 30, 35};
        faceTop = {84, 90, 102};
        faceBottom = {64, 69, 79};
        border = {150, 156, 168};
        text = theme::glyphHover;
    } else if (look == Look::Lit) {
        skirtTop = {120, 48, 0};
        skirtBottom = {54, 20, 0};
        faceTop = {170, 70, 6};
        faceBottom = {112, 44, 2};
        border = theme::accentBright;
        text = QColor(255, 222, 186);
    }
    p.setPen(QPen(border, 1));
    p.setBrush(vertical(skirt, skirtTop, skirtBottom));
    p.drawPath(rounded(skirt, 5));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(face, faceTop, faceBottom));
    p.drawPath(rounded(face, 4));
    // A thin highlight on the top edge of the face reads as a sculpted cap.
    if (look == Look::Lit) {
        // The backlight shining up through the cap.
        QRadialGradient glow(face.center(), std::max(face.width(), face.height()) * 0.6);
        glow.setColorAt(0, QColor(255, 150, 50, 150));
        glow.setColorAt(1, QColor(255, 111, 0, 0));
        p.setBrush(glow);
        p.drawPath(rounded(face, 4));
    }
    p.setPen(QPen(look == Look::Lit ? QColor(255, 190, 120, 160) : QColor(255, 255, 255, 28), 1));
    p.drawLine(QPointF(face.left() + 3, face.top() + 0.5),
               QPointF(face.right() - 3, face.top() + 0.5));

    p.setPen(text);
    p.setBrush(Qt::NoBrush);
    const QRectF box = face.adjusted(2, 1, -2, -1);
    if (!drawKeyGlyph(p, keyIndex, box, text)) {
        const Legend& l = legends()[keyIndex];
        const QString main = legendText(keyIndex);
        const bool single = main.size() == 1;
        const bool function = main.size() <= 3 && main.startsWith(QLatin1Char('F')) &&
                              main.size() > 1 && main[1].isDigit();
        if (l.top) {
            const double half = box.height() / 2;
            p.setFont(legendFont(small ? 11 : 12));
            p.drawText(QRectF(box.left(), box.top() + 1, box.width(), half), Qt::AlignCenter,
                       QString::fromUtf8(l.top));
            p.drawText(QRectF(box.left(), box.top() + half - 1, box.width(), half), Qt::AlignCenter,
                       main);
        } else {
            const double size = single ? (small ? 14 : 15) : function ? 13 : (small ? 10 : 11);
            drawFitted(p, box, main, size, single || function);
        }
    }
    p.restore();
}

void paintButton(QPainter& p, const QRectF& rect, Look look) {
    p.save();
    const QRectF body = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    // The face sits above a dark ledge, so the caption drawn near the top reads as centred.
    const QRectF face = rect.adjusted(1.5, 1.5, -1.5, -4.5);
    QColor top{56, 60, 68}, bottom{40, 43, 50}, border{72, 76, 86}, ledge{14, 15, 18};
    if (look == Look::Hover) {
        top = {78, 83, 94};
        bottom = {58, 62, 71};
        border = theme::accent;
    } else if (look == Look::Lit) {
        // Dark enough that the grey and green captions drawn over it stay readable.
        top = {140, 58, 6};
        bottom = {92, 36, 2};
        border = theme::accentBright;
        ledge = {60, 22, 0};
    }
    p.setPen(QPen(border, 1));
    p.setBrush(ledge);
    p.drawPath(rounded(body, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(face, top, bottom));
    p.drawPath(rounded(face, 5));
    p.setPen(QPen(QColor(255, 255, 255, look == Look::Lit ? 90 : 30), 1));
    p.drawLine(QPointF(face.left() + 4, face.top() + 0.5),
               QPointF(face.right() - 4, face.top() + 0.5));
    p.restore();
}

void paintTitleButton(QPainter& p, const QRectF& rect, RegionKind kind, Look look) {
    p.save();
    const double side = std::min(rect.width(), rect.height()) - 1;
    const QRectF circle(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    QColor fill{38, 41, 48}, pen = theme::glyph;
    if (look == Look::Hover) {
        fill = kind == RegionKind::CloseButton ? QColor(200, 40, 30) : QColor(70, 75, 86);
        pen = theme::glyphHover;
    } else if (look == Look::Lit) {
        fill = theme::accent;
        pen = QColor(30, 14, 0);
    }
    p.setPen(QPen(QColor(70, 74, 84), 1));
    p.setBrush(fill);
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF g = circle.adjusted(side * 0.3, side * 0.3, -side * 0.3, -side * 0.3);
    p.setPen(QPen(pen, 2, Qt::SolidLine, Qt::RoundCap));
    if (kind == RegionKind::CloseButton) {
        p.drawLine(g.topLeft(), g.bottomRight());
        p.drawLine(g.topRight(), g.bottomLeft());
    } else if (kind == RegionKind::MinimizeButton) {
        p.drawLine(QPointF(g.left(), g.center().y() + 2), QPointF(g.right(), g.center().y() + 2));
    } else {
        QFont f = legendFont(side * 0.6, true);
        p.setFont(f);
        p.drawText(circle, Qt::AlignCenter, QStringLiteral("?"));
    }
    p.restore();
}

void paintLevelSwitch(QPainter& p, const QRectF& rect, Look look) {
    p.save();
    // A sideways toggle between the two level captions: knob left for level 1, right (lit)
    // for level 2.
    const QRectF track(rect.left() + 3, rect.top() + 13, rect.width() - 6, 24);
    QColor trackFill{14, 15, 18}, border{72, 76, 86}, knob{150, 156, 168};
    bool right = false;
    if (look == Look::Hover) {
        border = theme::accent;
        knob = {220, 224, 232};
    } else if (look == Look::Lit) {
        trackFill = theme::accentDeep;
        border = theme::accent;
        knob = theme::accent;
        right = true;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(trackFill);
    p.drawRoundedRect(track, 12, 12);
    const double d = track.height() - 6;
    const QRectF k(right ? track.right() - 3 - d : track.left() + 3, track.top() + 3, d, d);
    QRadialGradient g(k.center() - QPointF(2, 3), d);
    g.setColorAt(0, knob.lighter(140));
    g.setColorAt(1, knob);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(k);
    // Two marks under the track tell which side is which level.
    p.setBrush(right ? theme::muted : theme::accent);
    p.drawEllipse(QPointF(track.left() + 10, track.bottom() + 9), 2.5, 2.5);
    p.setBrush(right ? theme::accent : theme::muted);
    p.drawEllipse(QPointF(track.right() - 10, track.bottom() + 9), 2.5, 2.5);
    p.restore();
}

void paintTabHeader(QPainter& p, const QRectF& rect, bool active, Look look) {
    p.save();
    QPainterPath path;
    const QRectF r = rect.adjusted(1.5, 0.5, -1.5, 0);
    path.moveTo(r.bottomLeft());
    path.lineTo(r.left(), r.top() + 6);
    path.quadTo(r.topLeft(), QPointF(r.left() + 6, r.top()));
    path.lineTo(r.right() - 6, r.top());
    path.quadTo(r.topRight(), QPointF(r.right(), r.top() + 6));
    path.lineTo(r.bottomRight());
    QColor top = active ? QColor(46, 49, 57) : QColor(30, 32, 38);
    QColor bottom = active ? QColor(34, 36, 42) : QColor(24, 26, 31);
    if (look == Look::Hover) {
        top = top.lighter(150);
        bottom = bottom.lighter(140);
    } else if (look == Look::Lit) {
        top = QColor(90, 40, 4);
        bottom = QColor(60, 26, 2);
    }
    p.setPen(QPen(active ? QColor(78, 82, 92) : QColor(52, 55, 63), 1));
    p.setBrush(vertical(r, top, bottom));
    p.drawPath(path);
    if (active || look == Look::Lit) {
        p.setPen(QPen(theme::accent, 3, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left() + 5, r.top() + 1.5), QPointF(r.right() - 5, r.top() + 1.5));
    }
    p.restore();
}

void paintListRow(QPainter& p, const QRectF& rect, Look look) {
    if (look == Look::Normal) {
        return;  // the list's well shows through
    }
    p.save();
    p.setPen(Qt::NoPen);
    if (look == Look::Hover) {
        p.setBrush(QColor(255, 255, 255, 22));
        p.drawRect(rect);
    } else {
        QLinearGradient g(rect.topLeft(), rect.topRight());
        g.setColorAt(0, QColor(255, 111, 0, 150));
        g.setColorAt(1, QColor(255, 111, 0, 40));
        p.setBrush(g);
        p.drawRect(rect);
        p.setBrush(theme::accent);
        p.drawRect(QRectF(rect.left(), rect.top(), 2, rect.height()));
    }
    p.restore();
}

namespace {

// A round mark: a ring, with a dot inside when lit.
void drawRadioRing(QPainter& p, const QRectF& ring, Look look) {
    QColor border{110, 116, 126};
    if (look == Look::Hover) {
        border = theme::glyphHover;
    } else if (look == Look::Lit) {
        border = theme::accent;
    }
    p.setPen(QPen(border, 1.5));
    p.setBrush(theme::well);
    p.drawEllipse(ring);
    if (look == Look::Lit) {
        const double inset = ring.width() / 4;
        p.setPen(Qt::NoPen);
        p.setBrush(theme::accent);
        p.drawEllipse(ring.adjusted(inset, inset, -inset, -inset));
    }
}

}  // namespace

void paintRadio(QPainter& p, const QRectF& rect, Look look) {
    p.save();
    const double d = 14;
    // Level with the caption drawn from the top of the region.
    drawRadioRing(p, QRectF(rect.left() + 2.5, rect.top() + 4, d, d), look);
    p.restore();
}

void paintRadioMark(QPainter& p, const QRectF& rect, Look look) {
    p.save();
    // Centred in the box, the pen's half width inside it.
    const double d = std::min(rect.width(), rect.height()) - 2;
    const QRectF ring(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d);
    drawRadioRing(p, ring, look);
    p.restore();
}

void paintOptionIcon(QPainter& p, const QRectF& rect, int regionId, Look look) {
    p.save();
    const QRectF tile = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor top{44, 47, 55}, bottom{30, 32, 38}, border{64, 68, 78}, pen = theme::glyph;
    if (look == Look::Hover) {
        top = {74, 79, 90};
        bottom = {54, 58, 67};
        border = {150, 156, 168};
        pen = theme::glyphHover;
    } else if (look == Look::Lit) {
        top = {96, 42, 4};
        bottom = {60, 24, 0};
        border = theme::accent;
        pen = theme::accentBright;
    }
    p.setPen(QPen(border, look == Look::Lit ? 1.5 : 1));
    p.setBrush(vertical(tile, top, bottom));
    p.drawRoundedRect(tile, 6, 6);
    drawOptionGlyph(p, regionId, tile.adjusted(7, 7, -7, -7), pen);
    p.restore();
}

void paintOptionRow(QPainter& p, const QRectF& rect, int regionId, Look look) {
    p.save();
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill{30, 32, 38}, border{48, 51, 58}, pen = theme::muted;
    if (look == Look::Hover) {
        fill = {58, 62, 71};
        border = {110, 116, 126};
        pen = theme::glyphHover;
    } else if (look == Look::Lit) {
        fill = {110, 46, 4};
        border = theme::accent;
        pen = theme::accentBright;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
    drawMouseGlyph(p, regionId, QRectF(r.left() + 4, r.top() + 2, r.height() - 4, r.height() - 4),
                   pen);
    p.restore();
}

void paintWell(QPainter& p, const QRectF& rect, double radius) {
    p.save();
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(theme::wellBorder, 1));
    p.setBrush(theme::well);
    p.drawRoundedRect(r, radius, radius);
    // Inner shadow along the top edge: the well sits below the surface.
    p.setPen(QPen(QColor(0, 0, 0, 120), 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5),
               QPointF(r.right() - radius, r.top() + 1.5));
    p.restore();
}

void paintProgressBar(QPainter& p, const QRectF& rect, Look look) {
    if (look != Look::Lit) {
        paintWell(p, rect, 5);
        return;
    }
    p.save();
    const QRectF r = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(theme::accentBright, 1));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(255, 160, 70));
    g.setColorAt(0.5, theme::accent);
    g.setColorAt(1, QColor(190, 70, 0));
    p.setBrush(g);
    p.drawRoundedRect(r, 5, 5);
    // Diagonal stripes: the bar looks busy at any width the program copies.
    p.setClipRect(r.adjusted(1, 1, -1, -1));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    for (double x = r.left() - r.height(); x < r.right(); x += 16) {
        QPolygonF stripe;
        stripe << QPointF(x, r.bottom()) << QPointF(x + 7, r.bottom())
               << QPointF(x + 7 + r.height(), r.top()) << QPointF(x + r.height(), r.top());
        p.drawPolygon(stripe);
    }
    p.restore();
}
