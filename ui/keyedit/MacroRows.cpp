// SPDX-License-Identifier: GPL-2.0-or-later
#include "MacroRows.h"

#include <algorithm>

#include "PauseText.h"

int macroRowLimit(const StepList& macro) {
    return macro.IsAutoInterval ? kMacroRowsAutoDelay : kMacroRowsWithDelays;
}

StepList withDelayMode(const StepList& macro, bool automatic) {
    StepList rebuilt(macro.SizeOfView);
    rebuilt.Cycles = macro.Cycles;
    rebuilt.Delay = macro.Delay;
    rebuilt.PlayMode = macro.PlayMode;
    rebuilt.IsAutoInterval = automatic;
    for (const std::u16string& row : macro.items) {
        if (automatic) {
            // One fixed delay replaces the recorded pauses. Taken by content, so a list whose
            // pauses no longer alternate with keys (after deletions) keeps every key.
            if (!recordedAsPause(row)) {
                rebuilt.setOrAppendAtRow(rebuilt.count(), row);
            }
        } else {
            if (rebuilt.count() > 0) {
                rebuilt.setOrAppendAtRow(rebuilt.count(), pauseText(macro.Delay));
            }
            rebuilt.setOrAppendAtRow(rebuilt.count(), row);
        }
    }
    return rebuilt;
}

void insertMouseRow(StepList& macro, int row, const std::u16string& name) {
    const bool separator = !macro.IsAutoInterval;
    const std::u16string zero = pauseText(0);
    if (recordedAsPause(macro.itemAtRow(row))) {
        macro.insertAtRow(row, name);
        if (separator) {
            macro.insertAtRow(row, zero);
        }
    } else {
        if (separator) {
            macro.insertAtRow(row, zero);
        }
        macro.insertAtRow(row, name);
    }
}

void deleteMacroRow(StepList& macro, int row) {
    macro.removeAtRow(row);
    if (!macro.IsAutoInterval && macro.count() > 0) {
        macro.removeAtRow(row);
    }
}

void trimMacro(StepList& macro) {
    while (macro.count() > macroRowLimit(macro)) {
        macro.removeAtRow(macro.count());  // past the end: the last row
    }
}

bool setPauseRow(StepList& macro, int index, std::int64_t ms) {
    if (index < 0 || index >= macro.count()) {
        return false;
    }
    macro.items[static_cast<std::size_t>(index)] =
        pauseText(std::clamp<std::int64_t>(ms, 0, kLongestPauseMs));
    return true;
}
