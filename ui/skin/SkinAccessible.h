// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the painted regions of a skinned window are to the desktop's assistive technology.
//
// To the desktop a skinned window is one surface; Qt's accessibility interfaces let it present
// each region a person can use or read as an object of its own, with a role, a name in the
// program's language, a description, states and a press action. A window says what a region is
// through SkinDialog::describeRegion(); SkinAccessTracker keeps the answers of the last refresh,
// tells the bus what changed since, and serves the accessible objects Qt hands to AT-SPI.

#include <QAccessible>
#include <QString>
#include <memory>
#include <vector>

class SkinDialog;
class QAccessibleInterface;

// One region as the assistive technology sees it.
struct SkinAccess {
    // NoRole: the region is not presented (a caption that names its button, an empty list row,
    // a region of a page not shown).
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    QString description;
    bool checkable = false;
    bool checked = false;
    bool pressed = false;
    bool unavailable = false;
    bool selectable = false;
    bool selected = false;
    // A stop of Tab and Shift+Tab.
    bool focusable = false;
    // Above 0: a row of the window's painted list with this number; the rows of a list are
    // presented as the items of one list object.
    int list = 0;
    // The arrow keys move between the focusable regions of one group by their position.
    int group = 0;

    bool presented() const { return role != QAccessible::NoRole; }
    bool operator==(const SkinAccess&) const = default;
};

// The groups the windows put their regions in.
namespace SkinGroup {
constexpr int Buttons = 0;
constexpr int Keys = 1;
constexpr int Tabs = 2;
constexpr int Options = 3;
}  // namespace SkinGroup

// Kept by every SkinDialog. Cheap while no assistive technology listens: a paint computes
// nothing, and the keyboard's moves ask only when they need to.
class SkinAccessTracker {
public:
    explicit SkinAccessTracker(SkinDialog& dialog);
    ~SkinAccessTracker();
    SkinAccessTracker(const SkinAccessTracker&) = delete;
    SkinAccessTracker& operator=(const SkinAccessTracker&) = delete;

    // Asks the window about every region again and tells the bus what changed: names and
    // descriptions (a language switch, an assignment), states (the level, a chosen option), the
    // regions shown (a tab page). `force` refreshes even while no one listens (tests).
    void refresh(bool force = false);
    // The focused region moved to `index` (-1: none); tells the bus.
    void focusMoved(int index);

    // The answers of the last refresh, refreshing first when there is none yet.
    const std::vector<SkinAccess>& regions();
    // The presented objects directly under the window: loose regions (their index) and lists
    // (-list), in reading order.
    const std::vector<int>& topItems();
    // The presented rows of a list, in array order.
    std::vector<int> rowsOf(int list);

    // The accessible object of a region or a list, made on first use and kept for the window's
    // life, so the bus sees the same object every time.
    QAccessibleInterface* regionInterface(int index);
    QAccessibleInterface* listInterface(int list);

    SkinDialog& window() { return dialog; }

private:
    void rebuildItems();

    SkinDialog& dialog;
    std::vector<SkinAccess> known;
    std::vector<int> items;
    std::vector<QAccessibleInterface*> regionObjects;
    std::vector<std::pair<int, QAccessibleInterface*>> listObjects;
    bool filled = false;
};

// Qt's factory for the skinned windows and the skinned scroll bar; installed once, by the first
// window.
void installSkinAccessibility();
