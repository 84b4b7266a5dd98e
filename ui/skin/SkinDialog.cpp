// SPDX-License-Identifier: GPL-2.0-or-later
#include "SkinDialog.h"

#include <QApplication>
#include <QBitmap>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "KeyboardLayout.h"
#include "SkinFocus.h"
#include "SkinResources.h"
#include "WindowNotifyTarget.h"

namespace {
// Width of the strips along the right and bottom edges that report sizing codes.
constexpr int kSizingStrip = 6;
// The smallest a caption is made to fit its region.
constexpr int kSmallestCaptionPixels = 8;

// The font a caption is drawn in: its own, or, when the text does not fit its region in it,
// the largest smaller size that does, down to kSmallestCaptionPixels. The windows were laid
// out for a narrower face than this platform's default, and the English captions would be cut
// off at their region's edge. Answers are kept: a window draws the same captions again and
// again.
QFont fittedCaptionFont(const QFont& font, const QRect& rect, int flags, const QString& text) {
    static QHash<QString, int> fitted;
    const int own = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    const QString key = QStringLiteral("%1 %2 %3 %4 %5\n")
                            .arg(font.family())
                            .arg(own)
                            .arg(rect.width())
                            .arg(rect.height())
                            .arg(flags) +
                        text;
    auto it = fitted.constFind(key);
    if (it == fitted.constEnd()) {
        QFont trial = font;
        int size = own;
        for (; size > kSmallestCaptionPixels; --size) {
            trial.setPixelSize(size);
            const QRect needed = QFontMetrics(trial).boundingRect(rect, flags, text);
            if (needed.width() <= rect.width() && needed.height() <= rect.height()) {
                break;
            }
        }
        it = fitted.insert(key, size);
    }
    if (*it == own) {
        return font;
    }
    QFont smaller = font;
    smaller.setPixelSize(*it);
    return smaller;
}
}  // namespace

QRect toQRect(const SkinRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

QColor toQColor(SkinColor c) {
    return QColor(skinRed(c), skinGreen(c), skinBlue(c));
}

int captionFlags(int textFormat) {
    int flags = Qt::AlignLeft;
    if (textFormat & DT_CENTER) {
        flags = Qt::AlignHCenter;
    } else if (textFormat & DT_RIGHT) {
        flags = Qt::AlignRight;
    }
    if (textFormat & DT_VCENTER) {
        flags |= Qt::AlignVCenter;
    } else if (textFormat & DT_BOTTOM) {
        flags |= Qt::AlignBottom;
    } else {
        flags |= Qt::AlignTop;
    }
    if ((textFormat & DT_WORDBREAK) && !(textFormat & DT_SINGLELINE)) {
        flags |= Qt::TextWordWrap;
    }
    return flags;
}

SkinDialog::SkinDialog(int regionCount, QWidget* parent)
    : QDialog(parent, (parent == nullptr ? Qt::Window : Qt::Dialog) | Qt::FramelessWindowHint),
      regions(static_cast<std::size_t>(regionCount > 0 ? regionCount : 1)) {
    // The background covers every pixel, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Hover follows the mouse without a button held, as the hit test did.
    setMouseTracking(true);
    // Tab reaches the painted regions; a click gives no focus, so the mouse changes nothing.
    setFocusPolicy(Qt::TabFocus);
    installSkinAccessibility();
    access = std::make_unique<SkinAccessTracker>(*this);
    focus = std::make_unique<SkinFocus>(*this);
}

SkinDialog::~SkinDialog() {
    detachNotifyTarget(target);
}

SkinAccessTracker& SkinDialog::accessTracker() {
    return *access;
}

int SkinDialog::focusedRegion() const {
    return focus->focused();
}

bool SkinDialog::focusRingShown() const {
    return focus->ringShown();
}

void SkinDialog::focusRegion(int index) {
    focus->focusRegion(index, true);
}

void SkinDialog::pressRegion(int index) {
    if (index < 0 || index >= static_cast<int>(regions.size()) || !regionTakesPart(index) ||
        regions[static_cast<std::size_t>(index)].textOnly) {
        return;
    }
    const QPointer<SkinDialog> alive(this);
    command(regions[static_cast<std::size_t>(index)].regionId);
    if (!alive.isNull()) {
        access->refresh();
    }
}

void SkinDialog::regionsChanged() {
    access->refresh();
}

bool SkinDialog::focusKey(int, int) {
    return false;
}

bool SkinDialog::enterPressesFocus() const {
    return true;
}

void SkinDialog::paintFocusRing(QPainter& painter) const {
    focus->paintRing(painter);
}

QString SkinDialog::listName(int) const {
    return {};
}

QString SkinDialog::regionName(int index) const {
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    const std::string lang = language();
    const int cy = (r.rect.top + r.rect.bottom) / 2;
    const QString own = r.labelFor(lang);
    QString inside;
    QString beside;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const SkinRegion& c = regions[i];
        if (static_cast<int>(i) == index || !c.textOnly || !regionTakesPart(static_cast<int>(i)) ||
            !c.captionVisible) {
            continue;
        }
        const QString text = c.labelFor(lang);
        if (text.isEmpty()) {
            continue;
        }
        const int ccx = (c.rect.left + c.rect.right) / 2;
        const int ccy = (c.rect.top + c.rect.bottom) / 2;
        if (inside.isEmpty() && r.contains(ccx, ccy)) {
            inside = text;
        }
        // A small box's caption stands just right of it on the same line.
        if (beside.isEmpty() && c.rect.left >= r.rect.right && c.rect.left - r.rect.right <= 8 &&
            c.rect.top <= cy && cy < c.rect.bottom) {
            beside = text;
        }
    }
    if (!inside.isEmpty()) {
        return inside;
    }
    if (!own.isEmpty() && !r.textOnly) {
        return own;
    }
    if (!beside.isEmpty()) {
        return beside;
    }
    if (const QString tip = r.tooltipFor(lang); !tip.isEmpty()) {
        return tip;
    }
    const bool zh = lang == "zh-CN";
    switch (r.kind) {
        case SkinRegionKind::Close:
            return zh ? QStringLiteral("关闭") : QStringLiteral("Close");
        case SkinRegionKind::Minimize:
            return zh ? QStringLiteral("最小化") : QStringLiteral("Minimize");
        case SkinRegionKind::Help:
            return zh ? QStringLiteral("帮助") : QStringLiteral("Help");
        default:
            return own;
    }
}

SkinAccess SkinDialog::describeRegion(int index) const {
    SkinAccess a;
    if (index < 0 || index >= static_cast<int>(regions.size()) || !regionTakesPart(index)) {
        return a;
    }
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    if (r.textOnly) {
        const QString text = r.labelFor(language());
        if (!r.captionVisible || text.isEmpty()) {
            return a;
        }
        // A caption that names a control is read as that control's name, not once more.
        const int cx = (r.rect.left + r.rect.right) / 2;
        const int cy = (r.rect.top + r.rect.bottom) / 2;
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const SkinRegion& c = regions[i];
            if (c.textOnly || !regionTakesPart(static_cast<int>(i))) {
                continue;
            }
            const bool small = c.rect.width() <= 24 && c.rect.height() <= 24;
            if (c.contains(cx, cy) ||
                (small && r.rect.left >= c.rect.right && r.rect.left - c.rect.right <= 8 &&
                 r.rect.top <= (c.rect.top + c.rect.bottom) / 2 &&
                 (c.rect.top + c.rect.bottom) / 2 < r.rect.bottom)) {
                return a;
            }
        }
        a.role = QAccessible::StaticText;
        a.name = text;
        return a;
    }
    a.name = regionName(index);
    a.focusable = true;
    switch (r.kind) {
        case SkinRegionKind::Key:
            a.role = QAccessible::Button;
            a.group = SkinGroup::Keys;
            if (const KeyLayoutEntry* key = keyLayout(r.keyIndex)) {
                a.name = QString::fromStdU16String(std::u16string(key->name));
            }
            break;
        case SkinRegionKind::Tab:
            a.role = QAccessible::PageTab;
            a.group = SkinGroup::Tabs;
            break;
        case SkinRegionKind::Radio:
        case SkinRegionKind::Option:
        case SkinRegionKind::Switch:
            // A choice among a tab's options, or the level switch, which is on or off.
            a.role =
                r.kind == SkinRegionKind::Switch ? QAccessible::CheckBox : QAccessible::RadioButton;
            a.checkable = true;
            a.checked = r.lit;
            a.group = SkinGroup::Options;
            break;
        case SkinRegionKind::ListRow:
            a.role = QAccessible::ListItem;
            a.selectable = true;
            a.selected = r.lit;
            a.description = a.name;
            if (a.name.isEmpty()) {
                a.role = QAccessible::NoRole;  // an empty row below the last entry
                a.focusable = false;
            }
            break;
        default:
            a.role = QAccessible::Button;
            break;
    }
    return a;
}

void SkinDialog::setUpSkin(const SkinLook& look) {
    skin = look;
    reshape();
    const QSize size =
        skin.background != nullptr ? pictureLayoutSize(*skin.background) : QSize(1, 1);
    // Every skinned window is centred on the primary screen, child dialogs included.
    const QRect screen = QGuiApplication::primaryScreen() != nullptr
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, size.width(), size.height());
    setFixedSize(size);
    move(screen.x() + (screen.width() - size.width()) / 2,
         screen.y() + (screen.height() - size.height()) / 2);
    update();
}

void SkinDialog::setPictures(const QPixmap* background, const QPixmap* hover, const QPixmap* lit) {
    const bool reshapeNeeded = background != skin.background;
    skin.background = background;
    skin.hover = hover;
    skin.laterHoverId = 0;
    skin.lit = lit;
    if (reshapeNeeded) {
        reshape();
    }
    update();
}

void SkinDialog::reshape() {
    if (skin.background == nullptr || skin.background->isNull()) {
        clearMask();
        return;
    }
    // Pixels of the key colour are holes: the window takes the outline drawn in the picture.
    setMask(pictureMask(*skin.background, toQColor(skin.colorKey)));
}

int SkinDialog::regionIndexById(int regionId) const {
    for (std::size_t i = 0; i < regions.size(); ++i) {
        if (regions[i].regionId == regionId) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

SkinRegion& SkinDialog::regionById(int regionId) {
    return regions[regionIndexById(regionId)];
}

bool SkinDialog::regionTakesPart(int index) const {
    return regions[index].isActive();
}

int SkinDialog::clickScan(QPoint point) const {
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const SkinRegion& r = regions[i];
        if (regionTakesPart(static_cast<int>(i)) && !r.textOnly &&
            r.contains(point.x(), point.y())) {
            return r.regionId;
        }
    }
    return -1;
}

SkinHit SkinDialog::hitTest(QPoint point) {
    lastMousePoint = point;
    bool hit = false;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        SkinRegion& r = regions[i];
        if (!regionTakesPart(static_cast<int>(i)) || r.textOnly) {
            continue;
        }
        const bool inside = r.contains(point.x(), point.y());
        hit = hit || inside;
        if (inside != (r.hovered != 0)) {
            r.hovered = inside ? 1 : 0;
            hoverChanged(static_cast<int>(i));
        }
    }
    if (hit) {
        return SkinHit::Client;
    }
    const bool right = point.x() > width() - kSizingStrip;
    const bool bottom = point.y() > height() - kSizingStrip;
    if (right && bottom) {
        return SkinHit::BottomRight;
    }
    if (right) {
        return SkinHit::Right;
    }
    if (bottom) {
        return SkinHit::Bottom;
    }
    return SkinHit::Caption;
}

void SkinDialog::hoverChanged(int index) {
    update(toQRect(regions[index].rect));
}

std::string SkinDialog::language() const {
    return shownLanguage != nullptr ? *shownLanguage : std::string();
}

void SkinDialog::showLanguageOf(const std::string& language) {
    shownLanguage = &language;
}

NotifyTarget* SkinDialog::notifyTarget() {
    if (target == nullptr) {
        target = attachNotifyTarget(this);
    }
    return target;
}

void SkinDialog::done(int result) {
    detachNotifyTarget(target);
    target = nullptr;
    const bool active = isActiveWindow();
    QDialog::done(result);
    // The keyboard goes back to the window that opened this one, as a window manager would
    // give it; without one the focus would stay nowhere.
    if ((active || QApplication::activeWindow() == nullptr) && parentWidget() != nullptr &&
        parentWidget()->window()->isVisible()) {
        parentWidget()->window()->activateWindow();
    }
}

void SkinDialog::clickAt(QPoint point) {
    const int id = clickScan(point);
    if (id != -1) {
        command(id);
    }
}

void SkinDialog::command(int) {}

void SkinDialog::deviceMessage(unsigned, std::uintptr_t, std::intptr_t) {}

void SkinDialog::paintOverlay(QPainter&, const QRect&) {}

void SkinDialog::paintSkin(QPainter& painter, const QRect& dirty) {
    if (skin.background != nullptr) {
        drawPicturePart(painter, dirty, *skin.background, dirty);
    }
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const SkinRegion& r = regions[i];
        if (!regionTakesPart(static_cast<int>(i))) {
            continue;
        }
        const QRect rect = toQRect(r.rect);
        // Everything a region draws stays inside its rectangle.
        if (!rect.intersects(dirty)) {
            continue;
        }
        if (r.lit) {
            if (skin.lit != nullptr) {
                drawPicturePart(painter, rect, *skin.lit, rect);
            }
        } else if (!r.textOnly && r.contains(lastMousePoint.x(), lastMousePoint.y())) {
            if (const QPixmap* hover = hoverPicture()) {
                drawPicturePart(painter, rect, *hover, rect);
            }
        }
        if ((r.textOnly || r.showCaption) && r.captionVisible) {
            paintCaption(painter, r);
        }
    }
}

void SkinDialog::paintCaption(QPainter& painter, const SkinRegion& region) const {
    const QString text = region.labelFor(language());
    if (text.isEmpty()) {
        return;
    }
    painter.save();
    const QRect rect = toQRect(region.rect);
    painter.setFont(captionFont(region, text));
    painter.setPen(toQColor(region.lit ? region.litTextColor : region.textColor));
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.drawText(rect, captionFlags(region.textFormat), text);
    painter.restore();
}

QFont captionFont(const SkinRegion& region, const QString& text) {
    return fittedCaptionFont(skinFont(region.fontSize), toQRect(region.rect),
                             captionFlags(region.textFormat), text);
}

const QPixmap* SkinDialog::hoverPicture() {
    if (skin.hover == nullptr && skin.laterHoverId > 0) {
        skin.hover = SkinResources::current().picture(skin.laterHoverId);
        skin.laterHoverId = 0;
    }
    return skin.hover;
}

void SkinDialog::paintEvent(QPaintEvent* e) {
    prepaint();
    {
        QPainter painter(this);
        paintSkin(painter, e->rect());
        paintOverlay(painter, e->rect());
        paintFocusRing(painter);
    }
    access->refresh();
    if (skin.hover == nullptr && skin.laterHoverId > 0 && !hoverAheadAsked) {
        hoverAheadAsked = true;
        // After this paint has reached the screen: the mouse is seldom on a key that soon.
        QTimer::singleShot(0, this, [this] {
            if (skin.laterHoverId > 0) {
                SkinResources::current().decodeAhead(skin.laterHoverId);
            }
        });
    }
}

bool SkinDialog::event(QEvent* e) {
    if (DeviceMessageEvent::isDeviceMessage(e->type())) {
        const auto* message = static_cast<DeviceMessageEvent*>(e);
        deviceMessage(message->message(), message->wParam(), message->lParam());
        return true;
    }
    return QDialog::event(e);
}

void SkinDialog::mousePressEvent(QMouseEvent* e) {
    focus->mouseUsed();
    if (e->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(e);
        return;
    }
    const SkinHit hit = hitTest(e->position().toPoint());
    if (hit == SkinHit::Client) {
        drag = Drag::Client;
        return;
    }
    drag = Drag::None;
    if (hit != SkinHit::Caption) {
        return;  // the sizing strips: the window keeps its size
    }
    // Window managers move the window themselves; without one (Xvfb) it follows the mouse.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        drag = Drag::System;
        return;
    }
    drag = Drag::Follow;
    dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SkinDialog::mouseMoveEvent(QMouseEvent* e) {
    if (drag == Drag::Follow) {
        move(e->globalPosition().toPoint() - dragOffset);
        return;
    }
    // The window manager may keep the release of a system move to itself.
    if (drag == Drag::System && e->buttons() != Qt::NoButton) {
        return;
    }
    if (drag == Drag::System) {
        drag = Drag::None;
    }
    hitTest(e->position().toPoint());
}

void SkinDialog::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QDialog::mouseReleaseEvent(e);
        return;
    }
    const Drag was = drag;
    drag = Drag::None;
    // A release that ends a drag gives no command.
    if (was == Drag::Client) {
        clickAt(e->position().toPoint());
    }
}

void SkinDialog::keyPressEvent(QKeyEvent* e) {
    if (focus->keyPress(e)) {
        return;
    }
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            QDialog::keyPressEvent(e);
    }
}

bool SkinDialog::focusNextPrevChild(bool next) {
    return focus->tabMove(next);
}

void SkinDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The window itself takes the focus, on its first region, unless a field already has it.
    QWidget* current = focusWidget();
    if (current == nullptr || current == this) {
        setFocus(Qt::OtherFocusReason);
        focus->focusFirst();
    }
}

void SkinDialog::focusInEvent(QFocusEvent* e) {
    QDialog::focusInEvent(e);
    if (focus->focused() >= 0) {
        update(toQRect(regions[static_cast<std::size_t>(focus->focused())].rect));
        access->focusMoved(focus->focused());
    }
}

void SkinDialog::focusOutEvent(QFocusEvent* e) {
    QDialog::focusOutEvent(e);
    if (focus->focused() >= 0) {
        update(toQRect(regions[static_cast<std::size_t>(focus->focused())].rect));
    }
}
