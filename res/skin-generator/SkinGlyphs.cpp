// Vector icons of the pictures: media keys, arrows, option grids, mouse actions.
#include <QConicalGradient>
#include <QFont>
#include <QPainterPath>
#include <cmath>

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

void drawMedia(QPainter& p, int id, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    switch (id) {
        case 401: {  // a note
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
            return;
        }
        case 402:
            playPause(p, s.adjusted(1, 3, -1, -3), c);
            return;
        case 403:
        case 411:
            if (id == 403) {
                bar(p, s.adjusted(3, 3, -3, -3), c);
            } else {
                p.save();
                stroked(p, c);
                p.drawEllipse(s.adjusted(1, 1, -1, -1));
                p.drawLine(at(s, 0.32, 0.32), at(s, 0.68, 0.68));
                p.drawLine(at(s, 0.68, 0.32), at(s, 0.32, 0.68));
                p.restore();
            }
            return;
        case 404:
        case 405:
            skip(p, s.adjusted(0, 4, 0, -4), c, id == 404);
            return;
        case 406:
        case 407:
        case 408:
            speaker(p, s.adjusted(0, 1, 0, -1), c, id == 406 ? 1 : id == 407 ? 2 : 0, id == 408);
            return;
        case 409:
        case 410:
            arrow(p, s.adjusted(1, 3, -1, -3), c, id == 410);
            return;
        case 412: {  // circular arrow
            p.save();
            stroked(p, c, 2);
            const QRectF r = s.adjusted(2, 2, -2, -2);
            p.drawArc(r, 60 * 16, 280 * 16);
            const QPointF end = r.center() + QPointF(std::cos(M_PI / 3) * r.width() / 2,
                                                     -std::sin(M_PI / 3) * r.height() / 2);
            fillPolygon(p, c, {end + QPointF(-5, -3), end + QPointF(4, -4), end + QPointF(1, 5)});
            p.restore();
            return;
        }
        case 413:
            star(p, s, c, false);
            return;
        case 414: {  // magnifier
            p.save();
            stroked(p, c, 2.2);
            p.drawEllipse(QRectF(at(s, 0.05, 0.05), at(s, 0.68, 0.68)));
            p.drawLine(at(s, 0.62, 0.62), at(s, 0.95, 0.95));
            p.restore();
            return;
        }
        case 415: {  // envelope
            p.save();
            stroked(p, c, 1.6);
            const QRectF r(at(s, 0, 0.15), at(s, 1, 0.85));
            p.drawRect(r);
            p.drawLine(r.topLeft(), r.center() + QPointF(0, 2));
            p.drawLine(r.topRight(), r.center() + QPointF(0, 2));
            p.restore();
            return;
        }
        case 416: {  // house
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
            return;
        }
        case 417: {  // monitor
            p.save();
            stroked(p, c, 1.6);
            p.drawRoundedRect(QRectF(at(s, 0, 0.05), at(s, 1, 0.72)), 2, 2);
            p.drawLine(at(s, 0.5, 0.72), at(s, 0.5, 0.9));
            p.drawLine(at(s, 0.25, 0.92), at(s, 0.75, 0.92));
            p.restore();
            return;
        }
        case 418: {  // calculator
            p.save();
            stroked(p, c, 1.5);
            const QRectF r(at(s, 0.15, 0), at(s, 0.85, 1));
            p.drawRoundedRect(r, 2, 2);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRect(QRectF(r.left() + 3, r.top() + 3, r.width() - 6, 4));
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) {
                    p.drawRect(QRectF(r.left() + 3 + col * (r.width() - 6) / 3,
                                      r.top() + 9.5 + row * 4, 2.5, 2.5));
                }
            }
            p.restore();
            return;
        }
        default:
            return;
    }
}

void drawFunction(QPainter& p, int id, const QRectF& b, const QColor& c) {
    const QRectF s = square(b);
    switch (id) {
        case 602:
            padlock(p, s.adjusted(2, 0, -2, 0), c);
            return;
        case 604:
            textGlyph(p, QRectF(b.left() - 4, b.top() - 3, b.width() + 8, b.height() / 2 + 2),
                      QStringLiteral("Ctrl"), 8, c);
            textGlyph(p,
                      QRectF(b.left() - 4, b.center().y() + 1, b.width() + 8, b.height() / 2 + 2),
                      QStringLiteral("Caps"), 8, c);
            p.save();
            stroked(p, c, 1.2);
            p.drawLine(at(b, 0.1, 0.5), at(b, 0.9, 0.5));
            p.restore();
            return;
        case 608: {  // four panes and a small lock
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            const double q = s.width() * 0.3;
            for (int i = 0; i < 4; ++i) {
                p.drawRect(
                    QRectF(s.left() + (i % 2) * (q + 1.5), s.top() + (i / 2) * (q + 1.5), q, q));
            }
            p.restore();
            padlock(p, QRectF(at(s, 0.55, 0.45), at(s, 1.0, 1.0)), c);
            return;
        }
        case 611:
        case 612: {
            textGlyph(p, QRectF(b.left() - 4, b.top() - 2, b.width() + 8, b.height() * 0.5),
                      QStringLiteral("DPI"), 10, c);
            p.save();
            p.setPen(strokePen(c, 2.2));
            const QPointF o = at(b, 0.5, 0.75);
            const double h = b.width() * 0.24;
            p.drawLine(o - QPointF(h, 0), o + QPointF(h, 0));
            if (id == 612) {
                p.drawLine(o - QPointF(0, h), o + QPointF(0, h));
            }
            p.restore();
            return;
        }
        case 613:
            textGlyph(p, b, QStringLiteral("FN"), 13, c);
            return;
        case 614:
            keyboardOutline(p, s.adjusted(-2, 0, 2, 0), c);
            return;
        case 615: {  // demo: a play mark over a key
            p.save();
            stroked(p, c, 1.5);
            p.drawRoundedRect(s.adjusted(1, 1, -1, -1), 4, 4);
            p.restore();
            triangleRight(p, s.adjusted(7, 6, -5, -6), c);
            return;
        }
        case 616: {  // star shower: falling streaks
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
            return;
        }
        case 617: {  // ripple
            p.save();
            stroked(p, c, 1.4);
            for (double r : {0.12, 0.3, 0.48}) {
                p.drawEllipse(s.center(), s.width() * r, s.width() * r);
            }
            p.restore();
            return;
        }
        case 618:
        case 619:
            sun(p, s.adjusted(-2, -2, -6, -6), c, id == 619 ? 0.18 : 0.13, 8);
            sign(p, s.adjusted(0, 0, 3, 3), c, id == 619);
            return;
        case 622: {  // light bulb
            p.save();
            stroked(p, c, 1.6);
            p.drawEllipse(QRectF(at(s, 0.2, 0.0), at(s, 0.8, 0.6)));
            p.drawLine(at(s, 0.38, 0.62), at(s, 0.38, 0.8));
            p.drawLine(at(s, 0.62, 0.62), at(s, 0.62, 0.8));
            p.drawLine(at(s, 0.36, 0.82), at(s, 0.64, 0.82));
            p.drawLine(at(s, 0.4, 0.95), at(s, 0.6, 0.95));
            p.restore();
            return;
        }
        case 623:
            sineWave(p, s, c, 1.0);
            return;
        case 624: {  // custom backlight: a grid of keys, some lit
            p.save();
            p.setPen(Qt::NoPen);
            const double q = s.width() / 3;
            for (int i = 0; i < 9; ++i) {
                QColor k = c;
                k.setAlpha(i % 4 == 0 ? 255 : 110);
                p.setBrush(k);
                p.drawRoundedRect(QRectF(s.left() + (i % 3) * q + 0.8, s.top() + (i / 3) * q + 0.8,
                                         q - 1.6, q - 1.6),
                                  1.5, 1.5);
            }
            p.restore();
            return;
        }
        case 625:
        case 626:
            sineWave(p, s.adjusted(0, -4, -4, -4), c, id == 625 ? 2.0 : 0.75);
            sign(p, s.adjusted(0, 0, 3, 3), c, id == 625);
            return;
        case 627: {  // sunset: half a sun on the horizon
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
            return;
        }
        case 628: {  // a colour wheel
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
            return;
        }
        default:
            return;
    }
}

}  // namespace

void drawOptionGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (regionId >= 401 && regionId <= 418) {
        drawMedia(p, regionId, box, c);
    } else if (regionId >= 601 && regionId <= 628) {
        drawFunction(p, regionId, box, c);
    }
    p.restore();
}

bool drawKeyGlyph(QPainter& p, int keyIndex, const QRectF& box, const QColor& c) {
    const double s = std::min(12.0, std::min(box.width(), box.height()) * 0.5);
    const QRectF g(box.center().x() - s / 2, box.center().y() - s / 2, s, s);
    switch (keyIndex) {
        case 84:
            triangleUp(p, g.adjusted(0, 1, 0, -1), c);
            return true;
        case 85:
            triangleLeft(p, g.adjusted(1, 0, -1, 0), c);
            return true;
        case 86:
            triangleDown(p, g.adjusted(0, 1, 0, -1), c);
            return true;
        case 87:
            triangleRight(p, g.adjusted(1, 0, -1, 0), c);
            return true;
        case 88:
            playPause(p, g.adjusted(-3, 1, 3, -1), c);
            return true;
        case 89:
            skip(p, g.adjusted(-3, 1, 3, -1), c, false);
            return true;
        case 90:
            skip(p, g.adjusted(-3, 1, 3, -1), c, true);
            return true;
        case 91:
            bar(p, g.adjusted(1, 1, -1, -1), c);
            return true;
        default:
            return false;
    }
}

void drawMouseGlyph(QPainter& p, int regionId, const QRectF& box, const QColor& c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF b = square(box).adjusted(1, 1, -1, -1);
    switch (regionId) {
        case 502:
            triangleLeft(p, b.adjusted(1, 1, -2, -1), c);
            break;
        case 503:
            triangleRight(p, b.adjusted(2, 1, -1, -1), c);
            break;
        case 504:
            triangleUp(p, b.adjusted(1, 1, -1, -2), c);
            break;
        case 505:
            triangleDown(p, b.adjusted(1, 2, -1, -1), c);
            break;
        default: {  // a mouse with the button or wheel in question filled
            stroked(p, c, 1.1);
            const QRectF m = b.adjusted(1.5, 0, -1.5, 0);
            p.drawRoundedRect(m, m.width() / 2, m.width() / 2.5);
            p.drawLine(QPointF(m.left(), m.center().y() - 1),
                       QPointF(m.right(), m.center().y() - 1));
            p.drawLine(QPointF(m.center().x(), m.top()),
                       QPointF(m.center().x(), m.center().y() - 1));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            const double half = m.width() / 2;
            if (regionId == 506 || regionId == 511) {
                p.drawRect(QRectF(m.left() + 1, m.top() + 1.5, half - 1.5, m.height() / 2 - 3));
            } else if (regionId == 507) {
                p.drawRect(
                    QRectF(m.center().x() + 0.5, m.top() + 1.5, half - 1.5, m.height() / 2 - 3));
            } else {
                p.drawRect(QRectF(m.center().x() - 1, m.top() + 2, 2, m.height() / 2 - 4));
            }
            break;
        }
    }
    p.restore();
}
