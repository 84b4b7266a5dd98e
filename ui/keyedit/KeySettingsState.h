// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the key settings dialog edits before OK: its copies of the three catalogues, the working
// list of each (the copy of the entry under the catalogue's cursor), the single key and the
// option tabs' choices. The dialog owns one and lends it to the recorder, which records into the
// working lists; neither keeps a second copy.
//
// The five painted lists are described once, in kPaintedLists: which tab shows them, their row
// regions and row count (also their bar's page and a catalogue's view size), which bar scrolls
// them and how catalogue and working list pair up.

#include <array>

#include "RegionIds.h"
#include "StepList.h"

enum class ListId { None, Combos, Macros, MacroSteps, Emulations, EmulationSteps };

struct PaintedList {
    ListId id;
    int tab;
    int firstRow;    // regionId of row 0
    int rows;        // rows shown, the bar's page, the view size of a catalogue and its entries
    bool rightBar;   // scrolled by the right bar, else the left one
    ListId partner;  // a catalogue's working list, or a working list's catalogue
    bool catalogue;  // a list of named entries, each with its own steps
};

inline constexpr std::array<PaintedList, 5> kPaintedLists = {{
    {ListId::Combos, 1, KeySettingsRegion::FirstComboRow, 6, false, ListId::None, true},
    {ListId::Macros, 2, KeySettingsRegion::FirstMacroRow, 9, false, ListId::MacroSteps, true},
    {ListId::MacroSteps, 2, KeySettingsRegion::FirstMacroStepRow, 9, true, ListId::Macros, false},
    {ListId::Emulations, 3, KeySettingsRegion::FirstEmulationRow, 9, false, ListId::EmulationSteps,
     true},
    {ListId::EmulationSteps, 3, KeySettingsRegion::FirstEmulationStepRow, 9, true,
     ListId::Emulations, false},
}};

// The table's entry for a list; null for None.
const PaintedList* paintedList(ListId id);
// The list whose row regions hold `regionId`; null when none does.
const PaintedList* listOfRow(int regionId);
// The list a bar shows on tab t; null when the bar is hidden there.
const PaintedList* listOnBar(int tab, bool rightBar);
// The catalogue of tab t (1 to 3); None on the option tabs.
ListId catalogueOfTab(int tab);

// The combination being edited has no list of its own on the screen: its keys are joined in the
// keys box, with six empty rows under it.
inline constexpr int kComboKeyRows = 6;

struct KeySettingsState {
    StepList comboList;
    StepList currentCombo;
    StepList macroList;
    StepList currentMacro;
    StepList emulationList;
    StepList currentEmulation;
    int singleKeyCode = -1;
    int uniquesMode = 1;
    int mediaCode = -1;
    int mouseCode = -1;
    int functionCode = -1;
    int powerCode = -1;

    // A painted list by its id; None stands for the combination being edited (currentCombo).
    StepList& list(ListId id);
    const StepList& list(ListId id) const;
    // The catalogue's working list: the combination of Combos, else the partner in the table.
    StepList& working(ListId catalogue);
    // Copies the working list into the entry under the catalogue's cursor (if there is one).
    void save(ListId catalogue);
    // Makes the working list a copy of the entry under the cursor, or an empty list.
    void load(ListId catalogue);
};
