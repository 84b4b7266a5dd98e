// SPDX-License-Identifier: GPL-2.0-or-later
// The key settings dialog to a screen reader and to the keyboard: the tab shown is the selected
// page tab, New and Delete of the combination list are unavailable while a single key is
// chosen, and the painted lists are lists whose cursor row is the selected item.

#include "CTravoDialogKeyMapSettings.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"

namespace {

namespace Region = KeySettingsRegion;

struct ListNames {
    int list;
    const char* zh;
    const char* en;
};
// Numbered as the dialog's ListId, the record list of a combination after them.
constexpr int kComboKeysList = 6;
constexpr ListNames kListNames[] = {
    {1, "组合键列表", "Combo List"}, {2, "宏列表", "Macro List"},
    {3, "录制框", "Record List"},    {4, "模拟击键列表", "Emu List"},
    {5, "录制框", "Record List"},    {kComboKeysList, "录制框", "Record List"},
};

}  // namespace

SkinAccess CTravoDialogKeyMapSettings::describeRegion(int index) const {
    SkinAccess a = SkinDialog::describeRegion(index);
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    const int id = r.regionId;
    if (!a.presented()) {
        // An empty list is still a list.
        if (const PaintedList* list = listOfRow(id); list != nullptr && regionTakesPart(index)) {
            a.list = static_cast<int>(list->id);
        }
        return a;
    }
    if (id >= Region::FirstTab && id < Region::FirstTab + Region::TabCount) {
        a.selectable = true;
        a.selected = id - Region::FirstTab + 1 == currentTab;
        a.checked = a.selected;
    } else if (id == Region::ComboNew || id == Region::ComboDelete) {
        a.unavailable = isUniquesMode();
    } else if (id == Region::KeyPrompt || id == Region::EmulationDelay) {
        // Areas that only carry a caption: read as text.
        a = {};
        a.role = QAccessible::StaticText;
        a.name = regionName(index);
    } else if (const PaintedList* list = listOfRow(id); list != nullptr) {
        a.list = static_cast<int>(list->id);
    } else if (id >= Region::FirstComboKeyRow && id < Region::FirstComboKeyRow + 6) {
        // The keys of the combination under the cursor: read, never chosen.
        a.list = kComboKeysList;
        a.focusable = false;
        a.selectable = false;
        a.selected = false;
    }
    return a;
}

QString CTravoDialogKeyMapSettings::listName(int list) const {
    for (const ListNames& n : kListNames) {
        if (n.list == list) {
            return QString::fromUtf8(config.language == "zh-CN" ? n.zh : n.en);
        }
    }
    return {};
}
