// SPDX-License-Identifier: GPL-2.0-or-later
// Vector icons of the pictures: media keys, arrows, option grids, mouse actions.
#include <QConicalGradient>
#include <QFont>
#include <QPainterPath>
#include <cmath>

#include "RegionIds.h"
#include "SkinArt.h"

namespace {

// Square box centred in b.
QRectF square(const QRectF& b) {
    const double s = std::min(b.width(), b.height());
    return QRectF(b.center().x() - s / 2, b.center().y() - s / 2, s, s);
}

QPointF at(const QRectF& b, double fx, double fy) {
    return QPointF(b.left() + b.width() * fx, b.top() + b.height() * fy);
}

void fillPolygon(QPainter& p, const QColor& c, std::initializer_list<QPointF> points) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
    p.restore();
}

QPen strokePen(const QColor& c, double w = 1.8) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void triangleRight(QPainter& p, const QRectF& b, const QColor& c) {
    fillPolygon(p, c, {b.topLeft(), QPointF(b.right(), b.center().y()), b.bottomLeft()});
}
void triangleLeft(QPainter& p, const QRectF& b, const QColor& c) {
    fillPolygon(p, c, {b.topRight(), QPointF(b.left(), b.center().y()), b.bottomRight()});
}
void triangleUp(QPainter& p, const QRectF& b, const QColor& c) {
    fillPolygon(p, c, {b.bottomLeft(), QPointF(b.center().x(), b.top()), b.bottomRight()});
}
void triangleDown(QPainter& p, const QRectF& b, const QColor& c) {
    fillPolygon(p, c, {b.topLeft(), QPointF(b.center().x(), b.bottom()), b.topRight()});
}

void bar(QPainter& p, const QRectF& r, const QColor& c) {
    p.fillRect(r, c);
}

void playPause(QPainter& p, const QRectF& b, const QColor& c) {
    triangleRight(p, QRectF(b.left(), b.top(), b.width() * 0.5, b.height()), c);
    bar(p, QRectF(at(b, 0.62, 0), QSizeF(b.width() * 0.13, b.height())), c);
    bar(p, QRectF(at(b, 0.85, 0), QSizeF(b.width() * 0.13, b.height())), c);
}

void skip(QPainter& p, const QRectF& b, const QColor& c, bool forward) {
    const double w = b.width() * 0.4;
    if (forward) {
        triangleRight(p, QRectF(b.left(), b.top(), w, b.height()), c);
        triangleRight(p, QRectF(b.left() + w, b.top(), w, b.height()), c);
        bar(p, QRectF(b.right() - b.width() * 0.15, b.top(), b.width() * 0.15, b.height()), c);
    } else {
        bar(p, QRectF(b.left(), b.top(), b.width() * 0.15, b.height()), c);
        triangleLeft(p, QRectF(b.right() - 2 * w, b.top(), w, b.height()), c);
        triangleLeft(p, QRectF(b.right() - w, b.top(), w, b.height()), c);
    }
}

void speaker(QPainter& p, const QRectF& b, const QColor& c, int waves, bool mute) {
    fillPolygon(p, c,
                {at(b, 0.0, 0.35), at(b, 0.22, 0.35), at(b, 0.5, 0.08), at(b, 0.5, 0.92),
                 at(b, 0.22, 0.65), at(b, 0.0, 0.65)});
    p.save();
    p.setPen(strokePen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    if (mute) {
        p.drawLine(at(b, 0.65, 0.32), at(b, 0.98, 0.68));
        p.drawLine(at(b, 0.98, 0.32), at(b, 0.65, 0.68));
    }
    for (int i = 0; i < waves; ++i) {
        const double r = b.width() * (0.18 + 0.17 * i);
        const QPointF o = at(b, 0.5, 0.5);
        p.drawArc(QRectF(o.x() - r, o.y() - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    }
    p.restore();
}

void arrow(QPainter& p, const QRectF& b, const QColor& c, bool right) {
    p.save();
    p.setPen(strokePen(c, 2.2));
    const double y = b.center().y();
    const double tip = right ? b.right() : b.left();
    const double tail = right ? b.left() : b.right();
    const double head = b.width() * 0.38 * (right ? -1 : 1);
    p.drawLine(QPointF(tail, y), QPointF(tip, y));
    p.drawLine(QPointF(tip, y), QPointF(tip + head, y - b.height() * 0.38));
    p.drawLine(QPointF(tip, y), QPointF(tip + head, y + b.height() * 0.38));
    p.restore();
}

void star(QPainter& p, const QRectF& b, const QColor& c, bool filled) {
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = (i % 2 ? 0.42 : 1.0) * b.width() / 2;
        poly << b.center() + QPointF(r * std::cos(a), r * std::sin(a));
    }
    p.save();
    p.setPen(strokePen(c, 1.4));
    p.setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
    p.drawPolygon(poly);
    p.restore();
}

void padlock(QPainter& p, const QRectF& b, const QColor& c) {
    p.save();
    p.setPen(strokePen(c, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(at(b, 0.25, 0.0), at(b, 0.75, 0.55)), 0, 180 * 16);
    p.drawLine(at(b, 0.25, 0.27), at(b, 0.25, 0.45));
    p.drawLine(at(b, 0.75, 0.27), at(b, 0.75, 0.45));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(at(b, 0.12, 0.45), at(b, 0.88, 1.0)), 2, 2);
    p.restore();
}

void sun(QPainter& p, const QRectF& b, const QColor& c, double core, int rays) {
    p.save();
    p.setPen(strokePen(c, 1.6));
    p.setBrush(c);
    const QPointF o = b.center();
    const double r = b.width() * core;
    p.drawEllipse(o, r, r);
    for (int i = 0; i < rays; ++i) {
        const double a = i * 2 * M_PI / rays;
        const QPointF d(std::cos(a), std::sin(a));
        p.drawLine(o + d * (r + 2.5), o + d * (b.width() / 2));
    }
    p.restore();
}

void sineWave(QPainter& p, const QRectF& b, const QColor& c, double periods) {
    QPainterPath path;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        const QPointF pt(b.left() + t * b.width(),
                         b.center().y() - std::sin(t * periods * 2 * M_PI) * b.height() * 0.35);
        i ? path.lineTo(pt) : path.moveTo(pt);
    }
    p.save();
    p.setPen(strokePen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

// A small plus or minus in the lower right corner of an icon.
void sign(QPainter& p, const QRectF& b, const QColor& c, bool plus) {
    p.save();
    p.setPen(strokePen(c, 2));
    const QPointF o = at(b, 0.86, 0.86);
    const double h = b.width() * 0.16;
    p.drawLine(o - QPointF(h, 0), o + QPointF(h, 0));
    if (plus) {
        p.drawLine(o - QPointF(0, h), o + QPointF(0, h));
    }
    p.restore();
}

void textGlyph(QPainter& p, const QRectF& b, const QString& text, double size, const QColor& c) {
    p.save();
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(qRound(size));
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(b, Qt::AlignCenter, text);
    p.restore();
}

void stroked(QPainter& p, const QColor& c, double w = 1.8) {
    p.setPen(strokePen(c, w));
    p.setBrush(Qt::NoBrush);
}

void keyboardOutline(QPainter& p, const QRectF& b, const QColor& c) {
    p.save();
    stroked(p, c, 1.5);
    const QRectF k(at(b, 0, 0.22), at(b, 1, 0.82));
    p.drawRoundedRect(k, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 5; ++col) {
            p.drawRect(QRectF(k.left() + 2.5 + col * (k.width() - 5) / 5, k.top() + 2.5 + row * 4.5,
                              (k.width() - 5) / 5 - 1.5, 2.5));
        }
    }
    p.drawRect(QRectF(k.left() + k.width() * 0.25, k.bottom() - 4, k.width() * 0.5, 2));
    p.restore();
}

// a note
void noteGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(at(s, 0.1, 0.68), QSizeF(s.width() * 0.36, s.height() * 0.3)));
    p.drawEllipse(QRectF(at(s, 0.58, 0.56), QSizeF(s.width() * 0.36, s.height() * 0.3)));
    stroked(p, c, 2.2);
    p.drawLine(at(s, 0.42, 0.8), at(s, 0.42, 0.12));
    p.drawLine(at(s, 0.9, 0.68), at(s, 0.9, 0.02));
    p.drawLine(at(s, 0.42, 0.12), at(s, 0.9, 0.02));
    p.restore();
}

// circular arrow
void refreshGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 2);
    const QRectF r = s.adjusted(2, 2, -2, -2);
    p.drawArc(r, 60 * 16, 280 * 16);
    const QPointF end = r.center() + QPointF(std::cos(M_PI / 3) * r.width() / 2,
                                             -std::sin(M_PI / 3) * r.height() / 2);
    fillPolygon(p, c, {end + QPointF(-5, -3), end + QPointF(4, -4), end + QPointF(1, 5)});
    p.restore();
}

// magnifier
void magnifierGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 2.2);
    p.drawEllipse(QRectF(at(s, 0.05, 0.05), at(s, 0.68, 0.68)));
    p.drawLine(at(s, 0.62, 0.62), at(s, 0.95, 0.95));
    p.restore();
}

// envelope
void envelopeGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.6);
    const QRectF r(at(s, 0, 0.15), at(s, 1, 0.85));
    p.drawRect(r);
    p.drawLine(r.topLeft(), r.center() + QPointF(0, 2));
    p.drawLine(r.topRight(), r.center() + QPointF(0, 2));
    p.restore();
}

// house
void houseGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.8);
    QPolygonF roof;
    roof << at(s, 0.0, 0.5) << at(s, 0.5, 0.05) << at(s, 1.0, 0.5);
    p.drawPolyline(roof);
    p.drawRect(QRectF(at(s, 0.16, 0.42), at(s, 0.84, 0.95)));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(at(s, 0.4, 0.62), at(s, 0.6, 0.95)));
    p.restore();
}

// monitor
void monitorGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.6);
    p.drawRoundedRect(QRectF(at(s, 0, 0.05), at(s, 1, 0.72)), 2, 2);
    p.drawLine(at(s, 0.5, 0.72), at(s, 0.5, 0.9));
    p.drawLine(at(s, 0.25, 0.92), at(s, 0.75, 0.92));
    p.restore();
}

// calculator
void calculatorGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.5);
    const QRectF r(at(s, 0.15, 0), at(s, 0.85, 1));
    p.drawRoundedRect(r, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(r.left() + 3, r.top() + 3, r.width() - 6, 4));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRect(QRectF(r.left() + 3 + col * (r.width() - 6) / 3, r.top() + 9.5 + row * 4,
                              2.5, 2.5));
        }
    }
    p.restore();
}

// four panes and a small lock
void winLockGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double q = s.width() * 0.3;
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(s.left() + (i % 2) * (q + 1.5), s.top() + (i / 2) * (q + 1.5), q, q));
    }
    p.restore();
    padlock(p, QRectF(at(s, 0.55, 0.45), at(s, 1.0, 1.0)), c);
}

// demo: a play mark over a key
void demoGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.5);
    p.drawRoundedRect(s.adjusted(1, 1, -1, -1), 4, 4);
    p.restore();
    triangleRight(p, s.adjusted(7, 6, -5, -6), c);
}

// star shower: falling streaks
void starShowerGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    const QPointF heads[] = {at(s, 0.5, 0.42), at(s, 0.95, 0.5), at(s, 0.62, 0.95)};
    const double lengths[] = {0.45, 0.5, 0.4};
    for (int i = 0; i < 3; ++i) {
        const QPointF head = heads[i];
        const QPointF tail = head - QPointF(s.width(), s.width()) * lengths[i];
        QLinearGradient g(tail, head);
        g.setColorAt(0, QColor(c.red(), c.green(), c.blue(), 0));
        g.setColorAt(1, c);
        p.setPen(QPen(QBrush(g), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(tail, head);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(head, 1.8, 1.8);
    }
    p.restore();
}

// ripple
void rippleGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.4);
    for (double r : {0.12, 0.3, 0.48}) {
        p.drawEllipse(s.center(), s.width() * r, s.width() * r);
    }
    p.restore();
}

// light bulb
void bulbGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.6);
    p.drawEllipse(QRectF(at(s, 0.2, 0.0), at(s, 0.8, 0.6)));
    p.drawLine(at(s, 0.38, 0.62), at(s, 0.38, 0.8));
    p.drawLine(at(s, 0.62, 0.62), at(s, 0.62, 0.8));
    p.drawLine(at(s, 0.36, 0.82), at(s, 0.64, 0.82));
    p.drawLine(at(s, 0.4, 0.95), at(s, 0.6, 0.95));
    p.restore();
}

// custom backlight: a grid of keys, some lit
void customBacklightGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    p.setPen(Qt::NoPen);
    const double q = s.width() / 3;
    for (int i = 0; i < 9; ++i) {
        QColor k = c;
        k.setAlpha(i % 4 == 0 ? 255 : 110);
        p.setBrush(k);
        p.drawRoundedRect(
            QRectF(s.left() + (i % 3) * q + 0.8, s.top() + (i / 3) * q + 0.8, q - 1.6, q - 1.6),
            1.5, 1.5);
    }
    p.restore();
}

// sunset: half a sun on the horizon
void sunsetGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c, 1.6);
    const QPointF o = at(s, 0.5, 0.7);
    const double r = s.width() * 0.26;
    p.setBrush(c);
    p.drawChord(QRectF(o.x() - r, o.y() - r, 2 * r, 2 * r), 0, 180 * 16);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 5; ++i) {
        const double a = M_PI * (0.1 + 0.2 * i);
        const QPointF d(std::cos(a), -std::sin(a));
        p.drawLine(o + d * (r + 3), o + d * (r + 7));
    }
    p.drawLine(at(s, 0.0, 0.75), at(s, 1.0, 0.75));
    p.drawLine(at(s, 0.2, 0.92), at(s, 0.8, 0.92));
    p.restore();
}

// a colour wheel
void colourWheelGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    QConicalGradient g(s.center(), 90);
    const QColor hues[] = {QColor(255, 60, 60), QColor(255, 220, 0), QColor(60, 220, 80),
                           QColor(0, 200, 255), QColor(80, 90, 255), QColor(230, 60, 220),
                           QColor(255, 60, 60)};
    for (int i = 0; i < 7; ++i) {
        g.setColorAt(i / 6.0, hues[i]);
    }
    p.setPen(QPen(c, 1.2));
    p.setBrush(g);
    p.drawEllipse(s.adjusted(1, 1, -1, -1));
    p.setBrush(theme::well);
    p.drawEllipse(s.center(), s.width() * 0.16, s.width() * 0.16);
    p.restore();
}

// 611 and 612: "DPI" over a minus or a plus.
void dpiGlyph(QPainter& p, const QRectF& b, const QColor& c, bool up) {
    textGlyph(p, QRectF(b.left() - 4, b.top() - 2, b.width() + 8, b.height() * 0.5),
              QStringLiteral("DPI"), 10, c);
    p.save();
    p.setPen(strokePen(c, 2.2));
    const QPointF o = at(b, 0.5, 0.75);
    const double h = b.width() * 0.24;
    p.drawLine(o - QPointF(h, 0), o + QPointF(h, 0));
    if (up) {
        p.drawLine(o - QPointF(0, h), o + QPointF(0, h));
    }
    p.restore();
}

void ctrlCapsGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    textGlyph(p, QRectF(b.left() - 4, b.top() - 3, b.width() + 8, b.height() / 2 + 2),
              QStringLiteral("Ctrl"), 8, c);
    textGlyph(p, QRectF(b.left() - 4, b.center().y() + 1, b.width() + 8, b.height() / 2 + 2),
              QStringLiteral("Caps"), 8, c);
    p.save();
    stroked(p, c, 1.2);
    p.drawLine(at(b, 0.1, 0.5), at(b, 0.9, 0.5));
    p.restore();
}

// The WWW stop: a cross in a circle.
void wwwStopGlyph(QPainter& p, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    p.save();
    stroked(p, c);
    p.drawEllipse(s.adjusted(1, 1, -1, -1));
    p.drawLine(at(s, 0.32, 0.32), at(s, 0.68, 0.68));
    p.drawLine(at(s, 0.68, 0.32), at(s, 0.32, 0.68));
    p.restore();
}

using Glyph = void (*)(QPainter&, const QRectF&, const QColor&);

// A drawing for one region id (or, for the key caps, one KeyIndex).
struct GlyphEntry {
    int id;
    Glyph draw;
};

// The icons of the Multimedia and Function pages; an id not listed has no icon.
namespace R = KeySettingsRegion;
// Each is given the icon's box.
const GlyphEntry kOptionGlyphs[] = {
    {R::MediaSelect, noteGlyph},
    {R::PlayPause, [](QPainter& p, const QRectF& b,
                      const QColor& c) { playPause(p, square(b).adjusted(1, 3, -1, -3), c); }},
    {R::MediaStop, [](QPainter& p, const QRectF& b,
                      const QColor& c) { bar(p, square(b).adjusted(3, 3, -3, -3), c); }},
    {R::NextTrack, [](QPainter& p, const QRectF& b,
                      const QColor& c) { skip(p, square(b).adjusted(0, 4, 0, -4), c, true); }},
    {R::PreviousTrack, [](QPainter& p, const QRectF& b,
                          const QColor& c) { skip(p, square(b).adjusted(0, 4, 0, -4), c, false); }},
    {R::VolumeDown,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         speaker(p, square(b).adjusted(0, 1, 0, -1), c, 1, false);
     }},
    {R::VolumeUp,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         speaker(p, square(b).adjusted(0, 1, 0, -1), c, 2, false);
     }},
    {R::Mute, [](QPainter& p, const QRectF& b,
                 const QColor& c) { speaker(p, square(b).adjusted(0, 1, 0, -1), c, 0, true); }},
    {R::WwwBack, [](QPainter& p, const QRectF& b,
                    const QColor& c) { arrow(p, square(b).adjusted(1, 3, -1, -3), c, false); }},
    {R::WwwForward, [](QPainter& p, const QRectF& b,
                       const QColor& c) { arrow(p, square(b).adjusted(1, 3, -1, -3), c, true); }},
    {R::WwwStop, wwwStopGlyph},
    {R::WwwRefresh, refreshGlyph},
    {R::WwwFavorites,
     [](QPainter& p, const QRectF& b, const QColor& c) { star(p, square(b), c, false); }},
    {R::WwwSearch, magnifierGlyph},
    {R::Email, envelopeGlyph},
    {R::WwwHome, houseGlyph},
    {R::MyComputer, monitorGlyph},
    {R::Calculator, calculatorGlyph},
    {R::KeyboardLock, [](QPainter& p, const QRectF& b,
                         const QColor& c) { padlock(p, square(b).adjusted(2, 0, -2, 0), c); }},
    {R::CtrlCapsSwap, ctrlCapsGlyph},
    {R::WinLock, winLockGlyph},
    {R::MouseDpiDown,
     [](QPainter& p, const QRectF& b, const QColor& c) { dpiGlyph(p, b, c, false); }},
    {R::MouseDpiUp, [](QPainter& p, const QRectF& b, const QColor& c) { dpiGlyph(p, b, c, true); }},
    {R::LevelDownCombination,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         textGlyph(p, b, QStringLiteral("FN"), 13, c);
     }},
    {R::ProgrammableKeyboard,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         keyboardOutline(p, square(b).adjusted(-2, 0, 2, 0), c);
     }},
    {R::Demonstrate, demoGlyph},
    {R::StarShower, starShowerGlyph},
    {R::Ripple, rippleGlyph},
    {R::BacklightDimmer,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         sun(p, square(b).adjusted(-2, -2, -6, -6), c, 0.13, 8);
         sign(p, square(b).adjusted(0, 0, 3, 3), c, false);
     }},
    {R::BacklightBrighter,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         sun(p, square(b).adjusted(-2, -2, -6, -6), c, 0.18, 8);
         sign(p, square(b).adjusted(0, 0, 3, 3), c, true);
     }},
    {R::BacklightSwitch, bulbGlyph},
    {R::BacklightBreathe,
     [](QPainter& p, const QRectF& b, const QColor& c) { sineWave(p, square(b), c, 1.0); }},
    {R::BacklightCustom, customBacklightGlyph},
    {R::BreatheFaster,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         sineWave(p, square(b).adjusted(0, -4, -4, -4), c, 2.0);
         sign(p, square(b).adjusted(0, 0, 3, 3), c, true);
     }},
    {R::BreatheSlower,
     [](QPainter& p, const QRectF& b, const QColor& c) {
         sineWave(p, square(b).adjusted(0, -4, -4, -4), c, 0.75);
         sign(p, square(b).adjusted(0, 0, 3, 3), c, false);
     }},
    {R::SunsetMode, sunsetGlyph},
    {R::AllColourRegulate, colourWheelGlyph},
};

// The keys whose cap shows a symbol instead of a name, by KeyIndex: the arrows and the media
// keys. Each is given a square centred on the key.
const GlyphEntry kKeyGlyphs[] = {
    {84, [](QPainter& p, const QRectF& g,
            const QColor& c) { triangleUp(p, g.adjusted(0, 1, 0, -1), c); }},
    {85, [](QPainter& p, const QRectF& g,
            const QColor& c) { triangleLeft(p, g.adjusted(1, 0, -1, 0), c); }},
    {86, [](QPainter& p, const QRectF& g,
            const QColor& c) { triangleDown(p, g.adjusted(0, 1, 0, -1), c); }},
    {87, [](QPainter& p, const QRectF& g,
            const QColor& c) { triangleRight(p, g.adjusted(1, 0, -1, 0), c); }},
    {88, [](QPainter& p, const QRectF& g,
            const QColor& c) { playPause(p, g.adjusted(-3, 1, 3, -1), c); }},
    {89, [](QPainter& p, const QRectF& g,
            const QColor& c) { skip(p, g.adjusted(-3, 1, 3, -1), c, false); }},
    {90, [](QPainter& p, const QRectF& g,
            const QColor& c) { skip(p, g.adjusted(-3, 1, 3, -1), c, true); }},
    {91,
     [](QPainter& p, const QRectF& g, const QColor& c) { bar(p, g.adjusted(1, 1, -1, -1), c); }},
};

// A mouse with the button or wheel of the row filled.
void mouseGlyph(QPainter& p, const QRectF& b, const QColor& c, int regionId) {
    stroked(p, c, 1.1);
    const QRectF m = b.adjusted(1.5, 0, -1.5, 0);
    p.drawRoundedRect(m, m.width() / 2, m.width() / 2.5);
    p.drawLine(QPointF(m.left(), m.center().y() - 1), QPointF(m.right(), m.center().y() - 1));
    p.drawLine(QPointF(m.center().x(), m.top()), QPointF(m.center().x(), m.center().y() - 1));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double half = m.width() / 2;
    if (regionId == R::LeftClick || regionId == R::LeftDoubleClick) {
        p.drawRect(QRectF(m.left() + 1, m.top() + 1.5, half - 1.5, m.height() / 2 - 3));
    } else if (regionId == R::RightClick) {
        p.drawRect(QRectF(m.center().x() + 0.5, m.top() + 1.5, half - 1.5, m.height() / 2 - 3));
    } else {
        p.drawRect(QRectF(m.center().x() - 1, m.top() + 2, 2, m.height() / 2 - 4));
    }
}

// The four movement rows show an arrow; the others a mouse (mouseGlyph).
const GlyphEntry kMouseArrows[] = {
    {R::MoveLeft, [](QPainter& p, const QRectF& b,
                     const QColor& c) { triangleLeft(p, b.adjusted(1, 1, -2, -1), c); }},
    {R::MoveRight, [](QPainter& p, const QRectF& b,
                      const QColor& c) { triangleRight(p, b.adjusted(2, 1, -1, -1), c); }},
    {R::MoveUp, [](QPainter& p, const QRectF& b,
                   const QColor& c) { triangleUp(p, b.adjusted(1, 1, -1, -2), c); }},
    {R::MoveDown, [](QPainter& p, const QRectF& b,
                     const QColor& c) { triangleDown(p, b.adjusted(1, 2, -1, -1), c); }},
};

template <std::size_t N>
Glyph findGlyph(const GlyphEntry (&table)[N], int id) {
    for (const GlyphEntry& e : table) {
        if (e.id == id) {
            return e.draw;
        }
    }
    return nullptr;
}

}  // namespace

void drawOptionGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c) {
    if (const Glyph draw = findGlyph(kOptionGlyphs, regionId)) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, box, c);
        p.restore();
    }
}

bool drawKeyGlyph(QPainter& p, int keyIndex, const QRectF& box, const QColor& c) {
    const Glyph draw = findGlyph(kKeyGlyphs, keyIndex);
    if (draw == nullptr) {
        return false;
    }
    const double s = std::min(12.0, std::min(box.width(), box.height()) * 0.5);
    draw(p, QRectF(box.center().x() - s / 2, box.center().y() - s / 2, s, s), c);
    return true;
}

void drawMouseGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF b = square(box).adjusted(1, 1, -1, -1);
    if (const Glyph draw = findGlyph(kMouseArrows, regionId)) {
        draw(p, b, c);
    } else {
        mouseGlyph(p, b, c, regionId);
    }
    p.restore();
}
