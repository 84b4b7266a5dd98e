// SPDX-License-Identifier: GPL-2.0-or-later
// The painted list boxes of the key settings dialog: the three catalogues on the left (combos,
// macros, emulations: entry names), the record lists of the Macro and Emulate tabs, their scroll
// bars, New, Delete/Remove and the in-place field that renames entries and edits delay rows.
//
// Each catalogue has a working list, the copy of the entry under its cursor that the user edits
// and records into. The working list is saved into its entry before the cursor moves and the
// new entry is loaded after, whether the cursor moves by a click, New or the scroll bar, so an
// edit never lands in another entry.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "CSkinScrollBar.h"
#include "CTravoDialogKeyMapSettings.h"
#include "KeyRecorder.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "PauseText.h"
#include "RegionIds.h"

struct CTravoDialogKeyMapSettings::ListBox {
    StepList* list = nullptr;
    StepList* working = nullptr;  // for a catalogue: its working list
    int firstRow = 0;             // regionId of row 0
    int rows = 0;
    CSkinScrollBar* bar = nullptr;
    int tab = 0;
};

namespace {

namespace Region = KeySettingsRegion;

// The default names of new entries, per catalogue and language; %1 is the smallest free number.
struct DefaultName {
    int newRegion;
    LanguageText pattern;
};
constexpr DefaultName kDefaultNames[] = {
    {Region::ComboNew, {u"组合键%1", u"New Combo %1"}},
    {Region::MacroNew, {u"宏定义%1", u"New Macro %1"}},
    {Region::EmulationNew, {u"模拟击键%1", u"New Emu %1"}},
};

QString defaultName(const StepList& catalogue, int newRegion, const std::string& language,
                    bool* known) {
    for (const DefaultName& d : kDefaultNames) {
        if (d.newRegion != newRegion) {
            continue;
        }
        if (!isKnownLanguage(language)) {
            break;
        }
        *known = true;
        const QString format = QStringView(d.pattern.exactly(language)).toString();
        for (int k = 1;; ++k) {
            const QString name = format.arg(k);
            if (catalogue.indexOfItem(name.toStdU16String()) < 0) {
                return name;
            }
        }
    }
    *known = false;
    return {};
}

// A delay row reads "<n ms>"; the field edits just the number.
bool isDelayRow(const QString& text) {
    return bracketedLikePause(text.toStdU16String());
}

QString delayNumber(const QString& text) {
    const std::u16string row = text.toStdU16String();
    return QStringView(pauseDigits(row)).toString();
}

}  // namespace

CTravoDialogKeyMapSettings::ListBox CTravoDialogKeyMapSettings::listBox(ListId id) {
    switch (id) {
        case ListId::Combos:
            return {&comboList, &currentCombo, Region::FirstComboRow, 6, leftScrollBar, 1};
        case ListId::Macros:
            return {&macroList, &currentMacro, Region::FirstMacroRow, 9, leftScrollBar, 2};
        case ListId::MacroSteps:
            return {&currentMacro, nullptr, Region::FirstMacroStepRow, 9, rightScrollBar, 2};
        case ListId::Emulations:
            return {
                &emulationList, &currentEmulation, Region::FirstEmulationRow, 9, leftScrollBar, 3};
        case ListId::EmulationSteps:
            return {&currentEmulation, nullptr, Region::FirstEmulationStepRow, 9,
                    rightScrollBar,    3};
        case ListId::None:
            break;
    }
    return {};
}

CTravoDialogKeyMapSettings::ListId CTravoDialogKeyMapSettings::listOfRow(int regionId) const {
    struct Rows {
        ListId id;
        int first;
        int count;
    };
    static constexpr Rows kRows[] = {{ListId::Combos, Region::FirstComboRow, 6},
                                     {ListId::Macros, Region::FirstMacroRow, 9},
                                     {ListId::MacroSteps, Region::FirstMacroStepRow, 9},
                                     {ListId::Emulations, Region::FirstEmulationRow, 9},
                                     {ListId::EmulationSteps, Region::FirstEmulationStepRow, 9}};
    for (const Rows& r : kRows) {
        if (regionId >= r.first && regionId < r.first + r.count) {
            return r.id;
        }
    }
    return ListId::None;
}

CTravoDialogKeyMapSettings::ListId CTravoDialogKeyMapSettings::catalogueOfTab(int t) const {
    return t == 1   ? ListId::Combos
           : t == 2 ? ListId::Macros
           : t == 3 ? ListId::Emulations
                    : ListId::None;
}

void CTravoDialogKeyMapSettings::saveWorkingList(ListId catalogue) {
    ListBox box = listBox(catalogue);
    if (box.working != nullptr) {
        box.list->setChildAtRow(box.list->CursorPos, *box.working);
    }
}

void CTravoDialogKeyMapSettings::loadWorkingList(ListId catalogue) {
    ListBox box = listBox(catalogue);
    if (box.working != nullptr) {
        *box.working = box.list->childAtRow(box.list->CursorPos);
    }
}

void CTravoDialogKeyMapSettings::refreshRightBar() {
    const StepList* shown = currentTab == 2   ? &currentMacro
                            : currentTab == 3 ? &currentEmulation
                                              : nullptr;
    if (shown == nullptr) {
        return;
    }
    ScrollInfo info;
    info.fMask = SIF_ALL;
    rightScrollBar->getScrollInfo(info);
    constexpr int kPage = 9;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = shown->count() + kPage - 1;
    info.nPage = kPage;
    info.nPos = std::clamp(info.nPos, 0, shown->count());
    rightScrollBar->setScrollInfo(info);
}

void CTravoDialogKeyMapSettings::invalidateRows(int firstId, int count) {
    for (int id = firstId; id < firstId + count; ++id) {
        update(toQRect(regionById(id).rect));
    }
}

void CTravoDialogKeyMapSettings::rowClicked(int regionId) {
    const ListId id = listOfRow(regionId);
    const ListBox box = listBox(id);
    const int row = regionId - box.firstRow;
    if (box.working != nullptr) {
        catalogueRowClicked(id, row);
    } else {
        recordRowClicked(id, row);
    }
}

void CTravoDialogKeyMapSettings::catalogueRowClicked(ListId id, int row) {
    ListBox box = listBox(id);
    StepList& list = *box.list;
    if (list.ViewStartAt + row >= list.count()) {
        return;  // an empty row below the last entry
    }
    saveWorkingList(id);
    if (row == list.CursorPos) {
        // A second click on the selected entry renames it.
        openInPlaceField(box.firstRow + row, QString::fromStdU16String(list.itemAtRow(row)), false,
                         list.ViewStartAt + row);
        return;
    }
    list.CursorPos = row;
    loadWorkingList(id);
    refreshRightBar();
}

void CTravoDialogKeyMapSettings::recordRowClicked(ListId id, int row) {
    ListBox box = listBox(id);
    StepList& list = *box.list;
    if (list.ViewStartAt + row >= list.count()) {
        return;
    }
    if (row != list.CursorPos) {
        list.CursorPos = row;
        return;
    }
    // A second click on a selected delay row of a macro edits its number in place.
    const QString text = QString::fromStdU16String(list.itemAtRow(row));
    if (id == ListId::MacroSteps && isDelayRow(text)) {
        openInPlaceField(box.firstRow + row, delayNumber(text), true, list.ViewStartAt + row);
    }
}

void CTravoDialogKeyMapSettings::newEntry(int regionId) {
    if (regionId == Region::ComboNew && uniquesMode != 0) {
        return;
    }
    const ListId id = catalogueOfTab(regionId / 100);
    ListBox box = listBox(id);
    saveWorkingList(id);
    // The cursor moves to the new, still nameless entry.
    box.list->append(std::u16string());
    ScrollInfo info;
    info.fMask = SIF_RANGE;
    box.bar->getScrollInfo(info);
    info.nMax += 1;
    info.fMask = SIF_RANGE;
    box.bar->setScrollInfo(info);
    loadWorkingList(id);
    refreshRightBar();
    bool known = false;
    const QString name = defaultName(*box.list, regionId, config.language, &known);
    // With a language the dialog has no names for, the field keeps the text it last held.
    openInPlaceField(box.firstRow + box.list->CursorPos, known ? name : inPlaceEdit->text(), false,
                     box.list->ViewStartAt + box.list->CursorPos);
}

void CTravoDialogKeyMapSettings::deleteEntry(int regionId) {
    if (regionId == Region::ComboDelete && uniquesMode != 0) {
        return;
    }
    const ListId id = catalogueOfTab(regionId / 100);
    ListBox box = listBox(id);
    if (box.list->count() < 1) {
        return;
    }
    box.list->removeAtRow(box.list->CursorPos);
    ScrollInfo info;
    info.fMask = SIF_ALL;
    box.bar->getScrollInfo(info);
    info.fMask = SIF_RANGE | SIF_POS;
    info.nMax -= 1;
    info.nPos = std::clamp(info.nPos, 0, box.list->count());
    box.bar->setScrollInfo(info);
    loadWorkingList(id);
    refreshRightBar();
}

void CTravoDialogKeyMapSettings::openInPlaceField(int regionId, const QString& text, bool delay,
                                                  int absoluteIndex) {
    inPlaceEdit->setGeometry(toQRect(regionById(regionId).rect));
    inPlaceEdit->setText(text);
    // Typing replaces the proposed name, as in any rename field.
    inPlaceEdit->selectAll();
    inPlaceEdit->setEnabled(true);
    inPlaceEdit->show();
    inPlaceEdit->raise();
    inPlaceEdit->setFocus(Qt::OtherFocusReason);
    nameEditActive = delay ? 0 : 1;
    delayEditActive = delay ? 1 : 0;
    inPlaceRegion = regionId;
    inPlaceIndex = absoluteIndex;
}

void CTravoDialogKeyMapSettings::commitInPlaceField() {
    if (!inPlaceFieldOpen()) {
        return;
    }
    const int regionId = inPlaceRegion;
    const int index = inPlaceIndex;
    const QString text = inPlaceEdit->text();
    // Cleared first: hiding the focused field makes it lose the focus, which commits again.
    nameEditActive = 0;
    delayEditActive = 0;
    inPlaceRegion = -1;
    inPlaceIndex = -1;
    const ListId id = listOfRow(regionId);
    ListBox box = listBox(id);
    if (id == ListId::MacroSteps) {
        recorder->delayRowCommitted(index, text);
    } else if (box.working != nullptr && index >= 0 && index < box.list->count()) {
        // Any name is taken as typed, empty and duplicate names included.
        box.list->items[static_cast<std::size_t>(index)] = text.toStdU16String();
    }
    // The focus goes back to the dialog, not on to the next field, so Enter and Escape act on
    // the dialog again.
    inPlaceEdit->clearFocus();
    inPlaceEdit->setEnabled(false);
    inPlaceEdit->hide();
    update();
}

void CTravoDialogKeyMapSettings::scrollRequested(CSkinScrollBar* bar, int code, int position) {
    ScrollInfo info;
    info.fMask = SIF_ALL;
    bar->getScrollInfo(info);
    const int page = static_cast<int>(info.nPage);
    int next = info.nPos;
    switch (code) {
        case SB_LINEUP:
            next -= 1;
            break;
        case SB_LINEDOWN:
            next += 1;
            break;
        case SB_PAGEUP:
            next -= page;
            break;
        case SB_PAGEDOWN:
            next += page;
            break;
        case SB_THUMBTRACK:
            next = position;
            break;
        default:
            break;
    }
    next = std::clamp(next, info.nMin, std::max(info.nMin, info.nMax - page + 1));
    info.fMask = SIF_POS;
    info.nPos = next;
    bar->setScrollInfo(info);

    const ListId id = bar == leftScrollBar ? catalogueOfTab(currentTab)
                      : currentTab == 2    ? ListId::MacroSteps
                      : currentTab == 3    ? ListId::EmulationSteps
                                           : ListId::None;
    if (id == ListId::None) {
        return;
    }
    ListBox box = listBox(id);
    if (box.working != nullptr) {
        saveWorkingList(id);
        box.list->scrollTo(next);
        loadWorkingList(id);
        refreshRightBar();
    } else {
        box.list->scrollTo(next);
    }
    refreshCaptions();
    invalidateRows(box.firstRow, box.rows);
    if (id == ListId::Combos) {
        invalidateRows(Region::FirstComboKeyRow, 6);
        update(comboKeysBox->geometry());
    } else if (box.working != nullptr) {
        // The record list now shows another entry.
        invalidateRows(
            listBox(id == ListId::Macros ? ListId::MacroSteps : ListId::EmulationSteps).firstRow,
            9);
    }
}
