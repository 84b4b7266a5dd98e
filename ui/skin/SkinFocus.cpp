// SPDX-License-Identifier: GPL-2.0-or-later
#include "SkinFocus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "SkinAccessible.h"
#include "SkinDialog.h"
#include "Theme.h"

namespace {

int centreX(const SkinRect& r) {
    return (r.left + r.right) / 2;
}
int centreY(const SkinRect& r) {
    return (r.top + r.bottom) / 2;
}
bool sharesHeight(const SkinRect& a, const SkinRect& b) {
    return a.top < b.bottom && b.top < a.bottom;
}

SkinRect widgetRect(const QWidget* w) {
    const QRect g = w->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

// Whether the keyboard was the last thing used, in any window: a window opened from the keyboard
// shows its ring at once.
bool keyboardInUse = false;

}  // namespace

int focusTarget(const std::vector<SkinRect>& rects, const std::vector<int>& candidates, int from,
                FocusMove move) {
    if (from < 0 || from >= static_cast<int>(rects.size())) {
        return -1;
    }
    const SkinRect& s = rects[static_cast<std::size_t>(from)];
    const int sx = centreX(s);
    const int sy = centreY(s);
    int best = -1;
    long bestMain = LONG_MAX;
    long bestCross = LONG_MAX;
    const auto consider = [&](int c, long mainDistance, long crossDistance) {
        if (mainDistance < bestMain || (mainDistance == bestMain && crossDistance < bestCross)) {
            best = c;
            bestMain = mainDistance;
            bestCross = crossDistance;
        }
    };
    switch (move) {
        case FocusMove::Up:
        case FocusMove::Down: {
            // Among the candidates wholly beyond the start's edge (a tall key beside it is not
            // above or below it), the nearest, a step aside counting twice a step up or down:
            // up from A is Q, not the row's far end nor a key two rows away straight above.
            const bool up = move == FocusMove::Up;
            const int slack = std::max(1, s.height() / 4);
            for (int c : candidates) {
                const SkinRect& r = rects[static_cast<std::size_t>(c)];
                const bool beyond = up ? r.bottom <= s.top + slack : r.top >= s.bottom - slack;
                if (c == from || !beyond) {
                    continue;
                }
                const long gap = std::max(0, up ? s.top - r.bottom : r.top - s.bottom);
                const long aside = std::abs(centreX(r) - sx);
                consider(c, gap + 2 * aside, aside);
            }
            return best;
        }
        case FocusMove::Left:
        case FocusMove::Right: {
            const bool left = move == FocusMove::Left;
            for (int c : candidates) {
                const SkinRect& r = rects[static_cast<std::size_t>(c)];
                if (c == from || !sharesHeight(r, s) ||
                    (left ? centreX(r) >= s.left : centreX(r) < s.right)) {
                    continue;
                }
                const long gap = left ? s.left - r.right : r.left - s.right;
                consider(c, std::max(0L, gap), std::abs(centreY(r) - sy));
            }
            return best;
        }
        case FocusMove::RowStart:
        case FocusMove::RowEnd: {
            const bool start = move == FocusMove::RowStart;
            for (int c : candidates) {
                const SkinRect& r = rects[static_cast<std::size_t>(c)];
                if (r.top > sy || r.bottom <= sy) {
                    continue;
                }
                consider(c, start ? r.left : -static_cast<long>(r.right),
                         std::abs(centreY(r) - sy));
            }
            return best == from ? -1 : best;
        }
    }
    return -1;
}

std::vector<int> readingOrder(const std::vector<SkinRect>& rects, std::vector<int> candidates) {
    const auto rect = [&](int i) -> const SkinRect& { return rects[static_cast<std::size_t>(i)]; };
    std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) {
        return centreY(rect(a)) < centreY(rect(b)) ||
               (centreY(rect(a)) == centreY(rect(b)) && rect(a).left < rect(b).left);
    });
    std::vector<int> ordered;
    ordered.reserve(candidates.size());
    std::size_t rowStart = 0;
    while (rowStart < candidates.size()) {
        const int rowBottom = rect(candidates[rowStart]).bottom;
        std::size_t rowEnd = rowStart + 1;
        while (rowEnd < candidates.size() && centreY(rect(candidates[rowEnd])) < rowBottom) {
            ++rowEnd;
        }
        std::vector<int> row(candidates.begin() + static_cast<std::ptrdiff_t>(rowStart),
                             candidates.begin() + static_cast<std::ptrdiff_t>(rowEnd));
        std::stable_sort(row.begin(), row.end(),
                         [&](int a, int b) { return rect(a).left < rect(b).left; });
        ordered.insert(ordered.end(), row.begin(), row.end());
        rowStart = rowEnd;
    }
    return ordered;
}

SkinFocus::SkinFocus(SkinDialog& window) : dialog(window) {}

void SkinFocus::repaint(int i) const {
    if (i >= 0 && i < static_cast<int>(dialog.regions.size())) {
        dialog.update(toQRect(dialog.regions[static_cast<std::size_t>(i)].rect));
    }
}

void SkinFocus::focusRegion(int i, bool showRing) {
    const bool changed = i != index || showRing != shown;
    keyboardInUse = showRing;
    repaint(index);
    index = i;
    shown = showRing;
    repaint(index);
    if (i >= 0 && !dialog.hasFocus()) {
        dialog.setFocus(Qt::TabFocusReason);
    }
    if (changed) {
        dialog.accessTracker().focusMoved(i);
    }
}

void SkinFocus::mouseUsed() {
    keyboardInUse = false;
    if (shown) {
        shown = false;
        repaint(index);
    }
}

std::vector<SkinFocus::Stop> SkinFocus::stops() const {
    const std::vector<SkinAccess>& access = dialog.accessTracker().regions();
    std::vector<SkinRect> rects;
    std::vector<int> order;
    for (std::size_t i = 0; i < dialog.regions.size(); ++i) {
        rects.push_back(dialog.regions[i].rect);
        if (i < access.size() && access[i].focusable && !access[i].unavailable) {
            order.push_back(static_cast<int>(i));
        }
    }
    // Qt's own fields take their place in the same order by their geometry.
    std::vector<QWidget*> widgets;
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) != 0) {
            widgets.push_back(w);
            order.push_back(static_cast<int>(rects.size()));
            rects.push_back(widgetRect(w));
        }
    }
    const int regionCount = static_cast<int>(dialog.regions.size());
    std::vector<Stop> result;
    for (int i : readingOrder(rects, order)) {
        if (i < regionCount) {
            result.push_back({i, nullptr});
        } else {
            result.push_back({-1, widgets[static_cast<std::size_t>(i - regionCount)]});
        }
    }
    return result;
}

bool SkinFocus::tabMove(bool next) {
    const std::vector<Stop> all = stops();
    if (all.empty()) {
        return true;
    }
    QWidget* focusWidget = QApplication::focusWidget();
    int at = -1;
    for (std::size_t k = 0; k < all.size(); ++k) {
        const Stop& s = all[k];
        const bool here = s.widget != nullptr
                              ? (focusWidget == s.widget || s.widget->isAncestorOf(focusWidget))
                              : (dialog.hasFocus() && s.region == index);
        if (here) {
            at = static_cast<int>(k);
            break;
        }
    }
    const int n = static_cast<int>(all.size());
    const int to = at < 0 ? (next ? 0 : n - 1) : (at + (next ? 1 : n - 1)) % n;
    const Stop& s = all[static_cast<std::size_t>(to)];
    if (s.widget != nullptr) {
        repaint(index);
        shown = true;
        keyboardInUse = true;
        s.widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    } else {
        focusRegion(s.region, true);
    }
    return true;
}

void SkinFocus::focusFirst() {
    if (index >= 0) {
        return;
    }
    for (const Stop& s : stops()) {
        if (s.region >= 0) {
            focusRegion(s.region, keyboardInUse);
            return;
        }
    }
}

std::vector<int> SkinFocus::groupOf(int region) const {
    const std::vector<SkinAccess>& access = dialog.accessTracker().regions();
    std::vector<int> group;
    const int g = access[static_cast<std::size_t>(region)].group;
    for (std::size_t i = 0; i < access.size(); ++i) {
        if (access[i].focusable && !access[i].unavailable && access[i].group == g &&
            access[i].list == 0) {
            group.push_back(static_cast<int>(i));
        }
    }
    return group;
}

bool SkinFocus::keyPress(QKeyEvent* e) {
    const int key = e->key();
    const bool modified = (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
    if (modified || index < 0 || index >= static_cast<int>(dialog.regions.size()) ||
        !dialog.hasFocus()) {
        return false;
    }
    const SkinAccess& a = dialog.accessTracker().regions()[static_cast<std::size_t>(index)];
    if (!a.presented()) {
        return false;
    }
    FocusMove move{};
    switch (key) {
        case Qt::Key_Left:
            move = FocusMove::Left;
            break;
        case Qt::Key_Right:
            move = FocusMove::Right;
            break;
        case Qt::Key_Up:
            move = FocusMove::Up;
            break;
        case Qt::Key_Down:
            move = FocusMove::Down;
            break;
        case Qt::Key_Home:
            move = FocusMove::RowStart;
            break;
        case Qt::Key_End:
            move = FocusMove::RowEnd;
            break;
        case Qt::Key_Space:
            shown = true;
            keyboardInUse = true;
            dialog.pressRegion(index);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter presses the control the keyboard has reached, where the window lets it.
            if (!shown || !dialog.enterPressesFocus()) {
                return false;
            }
            keyboardInUse = true;
            dialog.pressRegion(index);
            return true;
        default:
            return false;
    }
    if (!shown) {
        // The first arrow shows where the focus is before it moves it.
        focusRegion(index, true);
        return true;
    }
    if (dialog.focusKey(index, key)) {
        return true;
    }
    std::vector<SkinRect> rects;
    for (const SkinRegion& r : dialog.regions) {
        rects.push_back(r.rect);
    }
    const int to = focusTarget(rects, groupOf(index), index, move);
    if (to >= 0) {
        focusRegion(to, true);
    }
    return true;
}

void SkinFocus::paintRing(QPainter& painter) const {
    if (!shown || index < 0 || index >= static_cast<int>(dialog.regions.size()) ||
        !dialog.hasFocus()) {
        return;
    }
    const SkinRegion& r = dialog.regions[static_cast<std::size_t>(index)];
    if (r.rect.width() <= 0 || r.rect.height() <= 0) {
        return;
    }
    painter.save();
    painter.setClipping(false);
    QPen pen(QColor(rgbRed(kAccentColor), rgbGreen(kAccentColor), rgbBlue(kAccentColor)));
    pen.setWidth(kFocusRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Inside the region, so it never covers a neighbour or a key's colour frame.
    const qreal half = kFocusRingWidth / 2.0;
    painter.drawRect(QRectF(toQRect(r.rect)).adjusted(half, half, -half, -half));
    painter.restore();
}
