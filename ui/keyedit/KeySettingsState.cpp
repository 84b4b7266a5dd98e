// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeySettingsState.h"

const PaintedList* paintedList(ListId id) {
    for (const PaintedList& l : kPaintedLists) {
        if (l.id == id) {
            return &l;
        }
    }
    return nullptr;
}

const PaintedList* listOfRow(int regionId) {
    for (const PaintedList& l : kPaintedLists) {
        if (regionId >= l.firstRow && regionId < l.firstRow + l.rows) {
            return &l;
        }
    }
    return nullptr;
}

const PaintedList* listOnBar(int tab, bool rightBar) {
    for (const PaintedList& l : kPaintedLists) {
        if (l.tab == tab && l.rightBar == rightBar) {
            return &l;
        }
    }
    return nullptr;
}

ListId catalogueOfTab(int tab) {
    for (const PaintedList& l : kPaintedLists) {
        if (l.tab == tab && l.catalogue) {
            return l.id;
        }
    }
    return ListId::None;
}

StepList& KeySettingsState::list(ListId id) {
    switch (id) {
        case ListId::Combos:
            return comboList;
        case ListId::Macros:
            return macroList;
        case ListId::MacroSteps:
            return currentMacro;
        case ListId::Emulations:
            return emulationList;
        case ListId::EmulationSteps:
            return currentEmulation;
        case ListId::None:
            break;
    }
    return currentCombo;
}

const StepList& KeySettingsState::list(ListId id) const {
    return const_cast<KeySettingsState*>(this)->list(id);
}

StepList& KeySettingsState::working(ListId catalogue) {
    if (catalogue == ListId::Combos) {
        return currentCombo;
    }
    const PaintedList* l = paintedList(catalogue);
    return list(l != nullptr ? l->partner : ListId::None);
}

void KeySettingsState::save(ListId catalogue) {
    StepList& entries = list(catalogue);
    entries.setChildAtRow(entries.CursorPos, working(catalogue));
}

void KeySettingsState::load(ListId catalogue) {
    const StepList& entries = list(catalogue);
    working(catalogue) = entries.childAtRow(entries.CursorPos);
}
