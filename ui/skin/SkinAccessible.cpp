// SPDX-License-Identifier: GPL-2.0-or-later
#include "SkinAccessible.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "CSkinScrollBar.h"
#include "SkinDialog.h"
#include "SkinFocus.h"

namespace {

QRect screenRect(const SkinDialog& dialog, const QRect& client) {
    return QRect(dialog.mapToGlobal(client.topLeft()), client.size());
}

// A region: a button, a key, a tab, an option, a list row, a text. It does not own a QObject of
// its own; it asks the window, which may be gone, through a guarded pointer.
class SkinRegionAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SkinRegionAccessible(SkinDialog* dialog, int index) : dialog(dialog), index(index) {}

    bool isValid() const override {
        return !dialog.isNull() &&
               index < static_cast<int>(dialog->accessTracker().regions().size()) &&
               access().presented();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return dialog.isNull() ? nullptr : dialog->windowHandle(); }

    QAccessibleInterface* parent() const override {
        if (dialog.isNull()) {
            return nullptr;
        }
        const int list = access().list;
        return list > 0 ? dialog->accessTracker().listInterface(list)
                        : QAccessible::queryAccessibleInterface(dialog.data());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return {};
        }
        switch (t) {
            case QAccessible::Name:
                return access().name;
            case QAccessible::Description:
                return access().description;
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (dialog.isNull()) {
            return {};
        }
        return screenRect(*dialog, toQRect(dialog->regions[index].rect));
    }
    QAccessible::Role role() const override {
        return isValid() ? access().role : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const SkinAccess& a = access();
        s.focusable = a.focusable;
        s.focused = a.focusable && dialog->hasFocus() && dialog->focusedRegion() == index;
        s.checkable = a.checkable;
        s.checked = a.checked;
        s.pressed = a.pressed;
        s.disabled = a.unavailable;
        s.selectable = a.selectable;
        s.selected = a.selected;
        s.invisible = !dialog->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        return nullptr;
    }

    QStringList actionNames() const override {
        if (!isValid() || access().role == QAccessible::StaticText || access().unavailable) {
            return {};
        }
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        if (name != pressAction() || actionNames().isEmpty()) {
            return;
        }
        // Later, from the event loop: a press may open a modal dialog, and the assistive
        // technology waits for the answer to its call.
        QPointer<SkinDialog> target = dialog;
        const int i = index;
        QTimer::singleShot(0, dialog.data(), [target, i] {
            if (!target.isNull()) {
                target->pressRegion(i);
            }
        });
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    const SkinAccess& access() const { return dialog->accessTracker().regions()[index]; }

    QPointer<SkinDialog> dialog;
    int index;
};

// A painted list: its presented rows are its items.
class SkinListAccessible : public QAccessibleInterface {
public:
    SkinListAccessible(SkinDialog* dialog, int list) : dialog(dialog), list(list) {}

    bool isValid() const override {
        if (dialog.isNull()) {
            return false;
        }
        for (const SkinAccess& a : dialog->accessTracker().regions()) {
            if (a.list == list) {
                return true;
            }
        }
        return false;
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return dialog.isNull() ? nullptr : dialog->windowHandle(); }
    QAccessibleInterface* parent() const override {
        return dialog.isNull() ? nullptr : QAccessible::queryAccessibleInterface(dialog.data());
    }
    int childCount() const override { return static_cast<int>(rows().size()); }
    QAccessibleInterface* child(int i) const override {
        const std::vector<int> r = rows();
        return i >= 0 && i < static_cast<int>(r.size())
                   ? dialog->accessTracker().regionInterface(r[static_cast<std::size_t>(i)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        const std::vector<int> r = rows();
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (dialog->accessTracker().regionInterface(r[i]) == c) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* c = child(i);
            if (c != nullptr && c->rect().contains(x, y)) {
                return c;
            }
        }
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && !dialog.isNull() ? dialog->listName(list) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QRect all;
        if (dialog.isNull()) {
            return all;
        }
        for (int i : rows()) {
            all |= toQRect(dialog->regions[static_cast<std::size_t>(i)].rect);
        }
        return screenRect(*dialog, all);
    }
    QAccessible::Role role() const override { return QAccessible::List; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invalid = !isValid();
        s.invisible = dialog.isNull() || !dialog->isVisible();
        return s;
    }

private:
    std::vector<int> rows() const {
        return dialog.isNull() ? std::vector<int>{} : dialog->accessTracker().rowsOf(list);
    }

    QPointer<SkinDialog> dialog;
    int list;
};

// The window: Qt's own children (the edit fields, the scroll bars), then its regions and lists.
class SkinWindowAccessible : public QAccessibleWidget {
public:
    explicit SkinWindowAccessible(SkinDialog* dialog)
        : QAccessibleWidget(dialog, QAccessible::Dialog) {}

    int childCount() const override {
        return QAccessibleWidget::childCount() + static_cast<int>(tracker().topItems().size());
    }
    QAccessibleInterface* child(int i) const override {
        const int own = QAccessibleWidget::childCount();
        if (i < own) {
            return QAccessibleWidget::child(i);
        }
        const std::vector<int>& items = tracker().topItems();
        const std::size_t k = static_cast<std::size_t>(i - own);
        if (k >= items.size()) {
            return nullptr;
        }
        return items[k] >= 0 ? tracker().regionInterface(items[k])
                             : tracker().listInterface(-items[k]);
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        if (c != nullptr && c->object() != nullptr) {
            return QAccessibleWidget::indexOfChild(c);
        }
        const std::vector<int>& items = tracker().topItems();
        for (std::size_t k = 0; k < items.size(); ++k) {
            const QAccessibleInterface* mine = items[k] >= 0 ? tracker().regionInterface(items[k])
                                                             : tracker().listInterface(-items[k]);
            if (mine == c) {
                return QAccessibleWidget::childCount() + static_cast<int>(k);
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (QAccessibleInterface* own = QAccessibleWidget::childAt(x, y)) {
            return own;
        }
        for (int i = QAccessibleWidget::childCount(); i < childCount(); ++i) {
            QAccessibleInterface* c = child(i);
            if (c != nullptr && c->rect().contains(x, y)) {
                return c;
            }
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const SkinDialog* d = dialog();
        if (d->hasFocus() && d->focusedRegion() >= 0) {
            return tracker().regionInterface(d->focusedRegion());
        }
        return QAccessibleWidget::focusChild();
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return dialog()->windowTitle();
        }
        return QAccessibleWidget::text(t);
    }

private:
    SkinDialog* dialog() const { return static_cast<SkinDialog*>(widget()); }
    SkinAccessTracker& tracker() const { return dialog()->accessTracker(); }
};

// The skinned scroll bar: a scroll bar with its position as value.
class SkinScrollBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SkinScrollBarAccessible(CSkinScrollBar* bar)
        : QAccessibleWidget(bar, QAccessible::ScrollBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return info().nPos; }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override {
        const ScrollInfo i = info();
        return std::max(i.nMin, i.nMax - static_cast<int>(i.nPage) + 1);
    }
    QVariant minimumValue() const override { return info().nMin; }
    QVariant minimumStepSize() const override { return 1; }

private:
    ScrollInfo info() const {
        ScrollInfo i;
        i.fMask = SIF_ALL;
        static_cast<CSkinScrollBar*>(widget())->getScrollInfo(i);
        return i;
    }
};

QAccessibleInterface* skinFactory(const QString&, QObject* object) {
    if (auto* dialog = qobject_cast<SkinDialog*>(object)) {
        return new SkinWindowAccessible(dialog);
    }
    if (auto* bar = qobject_cast<CSkinScrollBar*>(object)) {
        return new SkinScrollBarAccessible(bar);
    }
    return nullptr;
}

}  // namespace

void installSkinAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(skinFactory);
        return true;
    }();
    (void)installed;
}

SkinAccessTracker::SkinAccessTracker(SkinDialog& window) : dialog(window) {}

SkinAccessTracker::~SkinAccessTracker() {
    for (QAccessibleInterface* i : regionObjects) {
        if (i != nullptr) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(i));
        }
    }
    for (auto& [list, i] : listObjects) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(i));
    }
}

const std::vector<SkinAccess>& SkinAccessTracker::regions() {
    if (!filled) {
        refresh(true);
    }
    return known;
}

const std::vector<int>& SkinAccessTracker::topItems() {
    regions();
    return items;
}

std::vector<int> SkinAccessTracker::rowsOf(int list) {
    std::vector<int> rows;
    const std::vector<SkinAccess>& all = regions();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].presented() && all[i].list == list) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

QAccessibleInterface* SkinAccessTracker::regionInterface(int index) {
    if (index < 0 || index >= static_cast<int>(dialog.regions.size())) {
        return nullptr;
    }
    if (regionObjects.size() < dialog.regions.size()) {
        regionObjects.resize(dialog.regions.size(), nullptr);
    }
    QAccessibleInterface*& i = regionObjects[static_cast<std::size_t>(index)];
    if (i == nullptr) {
        i = new SkinRegionAccessible(&dialog, index);
        QAccessible::registerAccessibleInterface(i);
    }
    return i;
}

QAccessibleInterface* SkinAccessTracker::listInterface(int list) {
    for (auto& [id, i] : listObjects) {
        if (id == list) {
            return i;
        }
    }
    auto* made = new SkinListAccessible(&dialog, list);
    QAccessible::registerAccessibleInterface(made);
    listObjects.emplace_back(list, made);
    return made;
}

void SkinAccessTracker::rebuildItems() {
    std::vector<SkinRect> rects;
    rects.reserve(dialog.regions.size());
    std::vector<int> places;
    std::vector<int> firstRows;
    std::vector<int> lists;
    for (std::size_t i = 0; i < known.size(); ++i) {
        rects.push_back(dialog.regions[i].rect);
        const SkinAccess& a = known[i];
        if (a.list > 0) {
            // An empty list is presented too; it takes its place at its first row.
            if (std::find(lists.begin(), lists.end(), a.list) == lists.end()) {
                lists.push_back(a.list);
                firstRows.push_back(static_cast<int>(i));
                places.push_back(static_cast<int>(i));
            }
        } else if (a.presented()) {
            places.push_back(static_cast<int>(i));
        }
    }
    items.clear();
    for (int p : readingOrder(rects, places)) {
        const auto it = std::find(firstRows.begin(), firstRows.end(), p);
        items.push_back(
            it != firstRows.end() ? -lists[static_cast<std::size_t>(it - firstRows.begin())] : p);
    }
}

void SkinAccessTracker::refresh(bool force) {
    if (!force && !QAccessible::isActive()) {
        // No one listens: the next reader (the keyboard's Tab) asks afresh.
        filled = false;
        return;
    }
    std::vector<SkinAccess> now;
    now.reserve(dialog.regions.size());
    for (std::size_t i = 0; i < dialog.regions.size(); ++i) {
        now.push_back(dialog.describeRegion(static_cast<int>(i)));
    }
    const bool first = !filled || known.size() != now.size();
    std::vector<SkinAccess> before = std::move(known);
    known = std::move(now);
    filled = true;
    bool shape = first;
    if (!first) {
        for (std::size_t i = 0; i < known.size(); ++i) {
            if (known[i].presented() != before[i].presented() || known[i].list != before[i].list) {
                shape = true;
            }
        }
    }
    if (shape) {
        rebuildItems();
    }
    if (first || !QAccessible::isActive()) {
        return;
    }
    for (std::size_t i = 0; i < known.size(); ++i) {
        const SkinAccess& now = known[i];
        const SkinAccess& was = before[i];
        if (now == was) {
            continue;
        }
        QAccessibleInterface* iface = regionInterface(static_cast<int>(i));
        if (now.presented() != was.presented()) {
            // A region gone from the tree has no object left to speak of; the window's reorder
            // below covers it.
            if (now.presented()) {
                QAccessibleEvent e(iface, QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&e);
            }
            continue;
        }
        if (now.name != was.name) {
            QAccessibleEvent e(iface, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&e);
        }
        if (now.description != was.description) {
            QAccessibleEvent e(iface, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&e);
        }
        QAccessible::State changed;
        changed.checked = now.checked != was.checked;
        changed.pressed = now.pressed != was.pressed;
        changed.disabled = now.unavailable != was.unavailable;
        changed.selected = now.selected != was.selected;
        if (changed.checked || changed.pressed || changed.disabled || changed.selected) {
            QAccessibleStateChangeEvent e(iface, changed);
            QAccessible::updateAccessibility(&e);
        }
    }
    if (shape) {
        QAccessibleEvent e(&dialog, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&e);
    }
}

void SkinAccessTracker::focusMoved(int index) {
    if (!QAccessible::isActive() || index < 0 || !dialog.hasFocus()) {
        return;
    }
    QAccessibleEvent e(regionInterface(index), QAccessible::Focus);
    QAccessible::updateAccessibility(&e);
}
