// SPDX-License-Identifier: GPL-2.0-or-later
#include "CSkinScrollBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "SkinResources.h"

namespace {
constexpr int kMinThumb = 6;
constexpr int kRepeatDelayMs = 500;
constexpr int kRepeatIntervalMs = 100;
// The thumb's ends keep these many pixels of its cell; the middle is tiled.
constexpr int kThumbEnd = 3;

enum SkinColumn { UpArrow = 0, DownArrow = 1, Thumb = 2, Track = 3 };
constexpr int kHorizontalColumns = 4;
enum SkinRow { Normal = 0, Hover = 1, Pressed = 2 };
}  // namespace

CSkinScrollBar::CSkinScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), axis(orientation) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer200.setSingleShot(true);
    timer200.setInterval(kRepeatDelayMs);
    timer100.setInterval(kRepeatIntervalMs);
    connect(&timer200, &QTimer::timeout, this, [this] { onTimer(kDelayTimer); });
    connect(&timer100, &QTimer::timeout, this, [this] { onTimer(kRepeatTimer); });
}

void CSkinScrollBar::SetSkinBitmap(const QPixmap* picture) {
    skin = picture;
    // In layout pixels: a skin painted at twice the density has cells of the same size.
    cell = skin != nullptr ? pictureLayoutSize(*skin).width() / 9 : 0;
    if (axis == Qt::Vertical) {
        setGeometry(x(), y(), cell, height());
    } else {
        setGeometry(x(), y(), width(), cell);
    }
    update();
}

bool CSkinScrollBar::setScrollInfo(const ScrollInfo& in, bool redraw) {
    if (in.fMask & SIF_PAGE) {
        info.nPage = in.nPage;
    }
    if (in.fMask & SIF_POS) {
        info.nPos = in.nPos;
    }
    if (in.fMask & SIF_RANGE) {
        info.nMin = in.nMin;
        info.nMax = in.nMax;
    }
    if (redraw) {
        update(trackArea());
    }
    return true;
}

bool CSkinScrollBar::getScrollInfo(ScrollInfo& out) const {
    if (out.fMask & SIF_PAGE) {
        out.nPage = info.nPage;
    }
    if (out.fMask & SIF_POS) {
        out.nPos = info.nPos;
    }
    if (out.fMask & SIF_TRACKPOS) {
        out.nTrackPos = info.nTrackPos;
    }
    if (out.fMask & SIF_RANGE) {
        out.nMin = info.nMin;
        out.nMax = info.nMax;
    }
    return true;
}

CSkinScrollBar::Geometry CSkinScrollBar::partGeometry(bool forHitTest) const {
    Geometry g;
    g.cell = cell;
    g.length = barLength();
    g.track = std::max(barLength() - 2 * cell, 0);
    const long long range = static_cast<long long>(info.nMax) - info.nMin + 1;
    // A page larger than the range leaves nothing to scroll, as a page that just covers it.
    g.span = static_cast<int>(std::max(range - static_cast<long long>(info.nPage), 0LL));
    long long thumb = range > 0 ? static_cast<long long>(info.nPage) * g.track / range : 0;
    thumb = std::max<long long>(thumb, kMinThumb);
    if (g.track < kMinThumb || (g.span == 0 && !forHitTest)) {
        thumb = 0;
    }
    g.thumb = static_cast<int>(std::min<long long>(thumb, g.track));
    g.free = g.track - g.thumb;
    g.arrow = g.track == 0 ? barLength() / 2 : cell;
    int pos = info.nTrackPos != -1 ? info.nTrackPos : info.nPos;
    // Positions count from 0; one outside the range would put the thumb off the track.
    pos = std::clamp(pos, 0, g.span);
    g.offset =
        g.span == 0 ? g.free / 2 : static_cast<int>(static_cast<long long>(pos) * g.free / g.span);
    return g;
}

QRect CSkinScrollBar::axisRect(int start, int size) const {
    if (size <= 0) {
        return {};
    }
    return axis == Qt::Vertical ? QRect(0, start, cell, size) : QRect(start, 0, size, cell);
}

QRect CSkinScrollBar::partRect(int part, bool forHitTest) const {
    const Geometry g = partGeometry(forHitTest);
    const int thumbStart = g.arrow + g.offset;
    const int thumbEnd = thumbStart + g.thumb;
    switch (part) {
        case SB_LINEUP:
            return axisRect(0, g.arrow);
        case SB_PAGEUP:
            return axisRect(g.arrow, g.offset);
        case SB_THUMBTRACK:
            return axisRect(thumbStart, g.thumb);
        case SB_PAGEDOWN:
            return axisRect(thumbEnd, barLength() - g.arrow - thumbEnd);
        case SB_LINEDOWN:
            return axisRect(barLength() - g.arrow, g.arrow);
        default:
            return {};
    }
}

QRect CSkinScrollBar::trackArea() const {
    const Geometry g = partGeometry();
    return axisRect(g.arrow, barLength() - 2 * g.arrow);
}

int CSkinScrollBar::along(QPoint point) const {
    return axis == Qt::Vertical ? point.y() : point.x();
}

int CSkinScrollBar::hitPart(QPoint point) const {
    const int c = along(point);
    if (c < 0) {
        return -1;
    }
    const Geometry g = partGeometry(true);
    const int thumbStart = g.arrow + g.offset;
    const int thumbEnd = thumbStart + g.thumb;
    if (c < g.arrow) {
        return SB_LINEUP;
    }
    if (c < thumbStart) {
        return SB_PAGEUP;
    }
    if (c < thumbEnd) {
        return SB_THUMBTRACK;
    }
    if (c < barLength() - g.arrow) {
        return SB_PAGEDOWN;
    }
    if (c < barLength()) {
        return SB_LINEDOWN;
    }
    return -1;
}

int CSkinScrollBar::maxPosition() const {
    const long long page = std::max<long long>(info.nPage, 1);
    return static_cast<int>(std::max<long long>(info.nMax - page + 1, info.nMin));
}

void CSkinScrollBar::request(int code, int position) {
    emit scrollRequest(this, code, position);
}

int CSkinScrollBar::rowOf(int part) const {
    if (part == SB_THUMBTRACK) {
        if (dragging) {
            return Pressed;
        }
        return hovering == part && pressed == -1 ? Hover : Normal;
    }
    if (pressed == part) {
        return outside ? Normal : Pressed;
    }
    return hovering == part && pressed == -1 && !dragging ? Hover : Normal;
}

void CSkinScrollBar::drawCell(QPainter& painter, int column, int row, const QRect& target) const {
    const int base = axis == Qt::Vertical ? 0 : kHorizontalColumns;
    // Copied 1:1 when the target is one cell, stretched into it otherwise.
    drawPicturePart(painter, target, *skin, QRect((base + column) * cell, row * cell, cell, cell));
}

void CSkinScrollBar::tileTrack(QPainter& painter, const QRect& target) const {
    if (target.isEmpty() || cell <= 0) {
        return;
    }
    const int base = axis == Qt::Vertical ? 0 : kHorizontalColumns;
    const QRect source((base + Track) * cell, Normal * cell, cell, cell);
    const int start = along(target.topLeft());
    const int end = start + (axis == Qt::Vertical ? target.height() : target.width());
    for (int c = start; c < end; c += cell) {
        const int size = std::min(cell, end - c);
        const QRect piece = axisRect(c, size);
        const QRect from = axis == Qt::Vertical ? QRect(source.x(), source.y(), cell, size)
                                                : QRect(source.x(), source.y(), size, cell);
        drawPicturePart(painter, piece, *skin, from);
    }
}

void CSkinScrollBar::drawThumb(QPainter& painter, const QRect& target, int row) const {
    if (target.isEmpty() || cell <= 2 * kThumbEnd) {
        return;
    }
    const int base = axis == Qt::Vertical ? 0 : kHorizontalColumns;
    const int sx = (base + Thumb) * cell;
    const int sy = row * cell;
    const int start = along(target.topLeft());
    const int size = axis == Qt::Vertical ? target.height() : target.width();
    // Pieces along the axis: source offset in the cell, target start, length.
    auto piece = [&](int from, int at, int n) {
        const QRect src =
            axis == Qt::Vertical ? QRect(sx, sy + from, cell, n) : QRect(sx + from, sy, n, cell);
        drawPicturePart(painter, axisRect(at, n), *skin, src);
    };
    piece(0, start, kThumbEnd);
    const int middle = cell - 2 * kThumbEnd;
    for (int c = start + kThumbEnd; c < start + size - kThumbEnd; c += middle) {
        piece(kThumbEnd, c, std::min(middle, start + size - kThumbEnd - c));
    }
    piece(cell - kThumbEnd, start + size - kThumbEnd, kThumbEnd);
}

void CSkinScrollBar::paintEvent(QPaintEvent*) {
    if (skin == nullptr || cell <= 0) {
        return;  // a bar without a skin paints nothing
    }
    QPainter painter(this);
    drawCell(painter, UpArrow, rowOf(SB_LINEUP), partRect(SB_LINEUP));
    tileTrack(painter, partRect(SB_PAGEUP));
    drawThumb(painter, partRect(SB_THUMBTRACK), rowOf(SB_THUMBTRACK));
    tileTrack(painter, partRect(SB_PAGEDOWN));
    drawCell(painter, DownArrow, rowOf(SB_LINEDOWN), partRect(SB_LINEDOWN));
}

void CSkinScrollBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    lastPoint = e->position().toPoint();
    const int part = hitPart(lastPoint);
    if (part == SB_THUMBTRACK) {
        dragging = true;
        pressPoint = lastPoint;
        info.nTrackPos = info.nPos;
        pressPosition = info.nPos;
        update(partRect(SB_THUMBTRACK));
        return;
    }
    if (part < 0) {
        return;
    }
    pressed = part;
    outside = false;
    request(part);
    timer200.start();
    update(partRect(part));
}

void CSkinScrollBar::onTimer(int timerId) {
    if (pressed < 0) {
        return;
    }
    if (timerId == kDelayTimer) {
        repeating = true;
        timer200.stop();
        timer100.start();
    }
    repeatStep();
}

void CSkinScrollBar::repeatStep() {
    if (outside || pressed < 0 || pressed > SB_PAGEDOWN) {
        return;
    }
    switch (pressed) {
        case SB_LINEUP:
            if (info.nPos <= info.nMin) {
                timer100.stop();
            } else {
                request(SB_LINEUP);
            }
            break;
        case SB_LINEDOWN:
            // The last position a page can start at, not nMax itself, ends the range.
            if (info.nPos >= maxPosition()) {
                timer100.stop();
            } else {
                request(SB_LINEDOWN);
            }
            break;
        default:
            // Paging stops once the thumb has come under the cursor.
            if (partRect(SB_THUMBTRACK, true).contains(lastPoint)) {
                timer100.stop();
            } else {
                request(pressed);
            }
            break;
    }
}

void CSkinScrollBar::moveTo(QPoint point) {
    lastPoint = point;
    if (dragging) {
        const Geometry g = partGeometry();
        const int delta = along(point) - along(pressPoint);
        const long long moved = g.free > 0 ? static_cast<long long>(delta) * g.span / g.free : 0;
        const int position = static_cast<int>(
            std::clamp<long long>(pressPosition + moved, info.nMin, maxPosition()));
        if (position == info.nTrackPos) {
            return;
        }
        const QRect before = partRect(SB_THUMBTRACK);
        info.nTrackPos = position;
        update(before | partRect(SB_THUMBTRACK));
        request(SB_THUMBTRACK, info.nTrackPos);
        return;
    }
    if (pressed != -1) {
        const bool wasOutside = outside;
        outside = !partRect(pressed, true).contains(point);
        if (outside != wasOutside) {
            update(partRect(pressed));
        }
        return;
    }
    const int part = hitPart(point);
    if (part == hovering) {
        return;
    }
    update(partRect(hovering));
    hovering = part;
    update(partRect(hovering));
}

void CSkinScrollBar::mouseMoveEvent(QMouseEvent* e) {
    tracking = true;
    moveTo(e->position().toPoint());
}

void CSkinScrollBar::leaveEvent(QEvent*) {
    tracking = false;
    if (!dragging && pressed == -1) {
        moveTo(QPoint(-1, -1));
    }
}

void CSkinScrollBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    lastPoint = e->position().toPoint();
    if (dragging) {
        dragging = false;
        request(SB_THUMBPOSITION, info.nTrackPos);
        const QRect dragged = partRect(SB_THUMBTRACK);
        info.nTrackPos = -1;
        update(dragged | partRect(SB_THUMBTRACK));
    } else if (pressed != -1) {
        if (repeating) {
            timer100.stop();
            repeating = false;
        } else {
            timer200.stop();
        }
        update(partRect(pressed));
        pressed = -1;
    }
    const int part = rect().contains(lastPoint) ? hitPart(lastPoint) : -1;
    if (part != hovering) {
        update(partRect(hovering));
        hovering = part;
        update(partRect(hovering));
    }
}

// A double click is two single clicks to the bar's owner only once: the second press is dropped.
void CSkinScrollBar::mouseDoubleClickEvent(QMouseEvent*) {}

// The length follows the control's size at once, shown or not.
int CSkinScrollBar::barLength() const {
    return axis == Qt::Vertical ? height() : width();
}
