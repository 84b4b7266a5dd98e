// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A macro's record list as rows of text: key rows ("A Down"), pause rows ("<30 ms>") and mouse
// rows ("Mouse Key Left"). What the Macro tab does to the rows apart from recording them: the
// switch between recorded pauses and one fixed delay, the mouse rows and deletions of the record
// list's menu, and a pause edited in place. Plain functions on a StepList, without windows.

#include <cstdint>
#include <string>

#include "StepList.h"

// With recorded pauses a macro stores a pause between every two keys, so it holds about half the
// keys in its 799 rows that one with a fixed delay holds in 1600.
inline constexpr int kMacroRowsWithDelays = 799;
inline constexpr int kMacroRowsAutoDelay = 1600;
inline constexpr std::int64_t kLongestPauseMs = 65535;

// The most rows the macro may hold in its delay mode.
int macroRowLimit(const StepList& macro);

// The macro rebuilt for a delay mode: automatic drops every pause row, recorded puts a pause of
// the macro's fixed Delay between every two rows. The settings are kept; the cursor ends on the
// last row, the view at the end.
StepList withDelayMode(const StepList& macro, bool automatic);

// Inserts a mouse row before view row `row` (appends past the end). With recorded pauses a pause
// of 0 ms keeps keys and pauses alternating: before a pause row the rows read <0 ms>, name, the
// old pause; before any other row name, <0 ms>, the old row.
void insertMouseRow(StepList& macro, int row, const std::u16string& name);

// Deletes view row `row`; with recorded pauses also the row that then stands in its place (the
// one before it when the last row went), so a key goes with its pause.
void deleteMacroRow(StepList& macro, int row);

// Drops rows from the end beyond the delay mode's limit.
void trimMacro(StepList& macro);

// Rewrites the row at absolute index `index` as a pause of `ms`, limited to 0..65535. False when
// there is no such row.
bool setPauseRow(StepList& macro, int index, std::int64_t ms);
