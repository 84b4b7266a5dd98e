// SPDX-License-Identifier: GPL-2.0-or-later
// The painted list boxes of the key settings dialog: the three catalogues on the left (combos,
// macros, emulations: entry names), the record lists of the Macro and Emulate tabs, their scroll
// bars, New, Delete/Remove and the in-place field that renames entries and edits delay rows.
//
// Each catalogue has a working list, the copy of the entry under its cursor that the user edits
// and records into. The working list is saved into its entry before the cursor moves and the
// new entry is loaded after, whether the cursor moves by a click, New or the scroll bar, so an
// edit never lands in another entry.

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "CSkinScrollBar.h"
#include "CTravoDialogKeyMapSettings.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "PauseText.h"
#include "RegionIds.h"

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

CSkinScrollBar* CTravoDialogKeyMapSettings::barOf(const PaintedList& list) const {
    return list.rightBar ? rightScrollBar : leftScrollBar;
}

void CTravoDialogKeyMapSettings::followList(ListId id) {
    const PaintedList* shown = paintedList(id);
    if (shown == nullptr || shown->tab != currentTab) {
        return;
    }
    const StepList& list = state.list(id);
    setScrollRange(barOf(*shown), list.count(), shown->rows, list.ViewStartAt);
}

void CTravoDialogKeyMapSettings::refreshRightBar() {
    if (const PaintedList* shown = listOnBar(currentTab, true)) {
        followList(shown->id);
    }
}

void CTravoDialogKeyMapSettings::invalidateRows(int firstId, int count) {
    for (int id = firstId; id < firstId + count; ++id) {
        update(toQRect(regionById(id).rect));
    }
}

void CTravoDialogKeyMapSettings::rowClicked(int regionId) {
    const PaintedList* list = listOfRow(regionId);
    if (list == nullptr) {
        return;
    }
    const int row = regionId - list->firstRow;
    if (list->catalogue) {
        catalogueRowClicked(*list, row);
    } else {
        recordRowClicked(*list, row);
    }
}

void CTravoDialogKeyMapSettings::catalogueRowClicked(const PaintedList& shown, int row) {
    StepList& list = state.list(shown.id);
    if (list.ViewStartAt + row >= list.count()) {
        return;  // an empty row below the last entry
    }
    state.save(shown.id);
    if (row == list.CursorPos) {
        // A second click on the selected entry renames it.
        openInPlaceField(shown.firstRow + row, QString::fromStdU16String(list.itemAtRow(row)),
                         false, list.ViewStartAt + row);
        return;
    }
    list.CursorPos = row;
    state.load(shown.id);
    refreshRightBar();
}

void CTravoDialogKeyMapSettings::recordRowClicked(const PaintedList& shown, int row) {
    StepList& list = state.list(shown.id);
    if (list.ViewStartAt + row >= list.count()) {
        return;
    }
    if (row != list.CursorPos) {
        list.CursorPos = row;
        return;
    }
    // A second click on a selected delay row of a macro edits its number in place.
    const QString text = QString::fromStdU16String(list.itemAtRow(row));
    if (shown.id == ListId::MacroSteps && isDelayRow(text)) {
        openInPlaceField(shown.firstRow + row, delayNumber(text), true, list.ViewStartAt + row);
    }
}

void CTravoDialogKeyMapSettings::newEntry(int regionId) {
    if (regionId == Region::ComboNew && state.uniquesMode != 0) {
        return;
    }
    const ListId id = catalogueOfTab(regionId / 100);
    const PaintedList& shown = *paintedList(id);
    StepList& list = state.list(id);
    state.save(id);
    // The cursor moves to the new, still nameless entry, and the view and the thumb with it.
    list.append(std::u16string());
    followList(id);
    state.load(id);
    refreshRightBar();
    bool known = false;
    const QString name = defaultName(list, regionId, config.language, &known);
    // With a language the dialog has no names for, the field keeps the text it last held.
    openInPlaceField(shown.firstRow + list.CursorPos, known ? name : inPlaceEdit->text(), false,
                     list.ViewStartAt + list.CursorPos);
}

void CTravoDialogKeyMapSettings::deleteEntry(int regionId) {
    if (regionId == Region::ComboDelete && state.uniquesMode != 0) {
        return;
    }
    const ListId id = catalogueOfTab(regionId / 100);
    StepList& list = state.list(id);
    if (list.count() < 1) {
        return;
    }
    list.removeAtRow(list.CursorPos);
    followList(id);
    state.load(id);
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
    inPlaceOldText = text;
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
    const PaintedList* list = listOfRow(regionId);
    if (list != nullptr && list->id == ListId::MacroSteps) {
        pauseRowCommitted(index, text);
    } else if (list != nullptr && list->catalogue && index >= 0 &&
               index < state.list(list->id).count()) {
        // Any name is taken as typed, empty and duplicate names included.
        state.list(list->id).items[static_cast<std::size_t>(index)] = text.toStdU16String();
    }
    closeInPlaceField();
}

void CTravoDialogKeyMapSettings::abandonInPlaceField() {
    if (!inPlaceFieldOpen()) {
        return;
    }
    // A delay row stays as it was; a name goes back to the one the field opened with, which
    // for a new entry is the proposed name rather than an invisible empty one.
    if (nameEditActive != 0) {
        inPlaceEdit->setText(inPlaceOldText);
        commitInPlaceField();
        return;
    }
    nameEditActive = 0;
    delayEditActive = 0;
    inPlaceRegion = -1;
    inPlaceIndex = -1;
    closeInPlaceField();
}

void CTravoDialogKeyMapSettings::closeInPlaceField() {
    // The focus goes back to the dialog, not on to the next field, so Enter and Escape act on
    // the dialog again.
    inPlaceEdit->clearFocus();
    inPlaceEdit->setEnabled(false);
    inPlaceEdit->hide();
    update();
}

void CTravoDialogKeyMapSettings::scrollRequested(CSkinScrollBar* bar, int code, int position) {
    const PaintedList* shown = listOnBar(currentTab, bar == rightScrollBar);
    if (shown == nullptr) {
        return;
    }
    StepList& list = state.list(shown->id);
    // The arrows and the track move the highlight from where it stands, a row or a page; the
    // thumb stands for the view's start. Either way the view follows the highlight, and the bar
    // then shows where the view starts, so the next click goes on from there.
    ScrollInfo info;
    info.fMask = SIF_ALL;
    bar->getScrollInfo(info);
    const int page = static_cast<int>(info.nPage);
    int next = list.ViewStartAt + list.CursorPos;
    bool moves = true;
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
            moves = false;  // the end of a drag: the view is already where the thumb left it
            break;
    }
    next = std::clamp(next, info.nMin, std::max(info.nMin, info.nMax - page + 1));
    if (moves && shown->catalogue) {
        state.save(shown->id);
        list.scrollTo(next);
        state.load(shown->id);
        refreshRightBar();
    } else if (moves) {
        list.scrollTo(next);
    }
    followList(shown->id);
    refreshCaptions();
    invalidateRows(shown->firstRow, shown->rows);
    if (shown->id == ListId::Combos) {
        invalidateRows(Region::FirstComboKeyRow, kComboKeyRows);
        update(comboKeysBox->geometry());
    } else if (shown->catalogue) {
        // The record list now shows another entry.
        const PaintedList* record = paintedList(shown->partner);
        invalidateRows(record->firstRow, record->rows);
    }
}

// Up and Down on a focused row move the list's cursor, as a click on the row above or below
// does; past the rows in view the list scrolls, as its scroll bar would.
bool CTravoDialogKeyMapSettings::focusKey(int index, int key) {
    const int id = regions[static_cast<std::size_t>(index)].regionId;
    const PaintedList* list = listOfRow(id);
    if (list == nullptr || (key != Qt::Key_Up && key != Qt::Key_Down)) {
        return false;
    }
    const StepList& steps = state.list(list->id);
    const int target = steps.ViewStartAt + steps.CursorPos + (key == Qt::Key_Up ? -1 : 1);
    if (target < 0 || target >= steps.count()) {
        return true;
    }
    if (target >= steps.ViewStartAt && target < steps.ViewStartAt + list->rows) {
        command(list->firstRow + target - steps.ViewStartAt);
    } else {
        scrollRequested(barOf(*list), SB_THUMBTRACK, target);
        refreshCaptions();
        update();
    }
    focusRegion(regionIndexById(list->firstRow + state.list(list->id).CursorPos));
    return true;
}
