// SPDX-License-Identifier: GPL-2.0-or-later
// The Macro tab's settings of the macro being edited: how it plays (a number of times, while the
// key is held, or each press starting and stopping it), whether it keeps its recorded pauses or
// one fixed delay, the loop count and fixed delay fields, the Emulate tab's delay field, and a
// recorded pause edited in place. Each change is saved into the macro's entry at once.

#include <QLineEdit>
#include <algorithm>

#include "CTravoDialogKeyMapSettings.h"
#include "MacroRows.h"
#include "RegionIds.h"

namespace {

namespace Region = KeySettingsRegion;

constexpr int kMacroTab = 2;
constexpr int kEmulateTab = 3;
constexpr int kMaxCycles = 255;
constexpr int kMaxFixedDelay = 60000;
constexpr int kMaxEmulationDelay = 6000;

// A field's number: the leading digits, 0 for none; far too many digits count as a huge value.
std::int64_t leadingNumber(const QString& text) {
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        value = std::min<std::int64_t>(value * 10 + (c.unicode() - u'0'), 1'000'000'000);
    }
    return value;
}

// Writes the corrected number back, leaving the field alone when it already shows it (so the
// caret of someone typing stays put).
void showNumber(QLineEdit* field, std::int64_t value) {
    const QString text = QString::number(value);
    if (field->text() != text) {
        field->setText(text);
    }
}

}  // namespace

void CTravoDialogKeyMapSettings::macroOptionClicked(int regionId) {
    switch (regionId) {
        case Region::TimesPlay:
        case Region::PressPlay:
        case Region::PressToggle:
            setPlayMode(regionId);
            break;
        // The mode already chosen changes nothing: converting again would drop every second
        // real row, or put pauses between pauses.
        case Region::AutoDelay:
            if (!state.currentMacro.IsAutoInterval) {
                setDelayMode(true);
            }
            break;
        case Region::RecordDelay:
            if (state.currentMacro.IsAutoInterval) {
                setDelayMode(false);
            }
            break;
        default:
            break;
    }
}

void CTravoDialogKeyMapSettings::setPlayMode(int regionId) {
    static constexpr int kModes[] = {Region::TimesPlay, Region::PressPlay, Region::PressToggle};
    for (int mode = 0; mode < 3; ++mode) {
        regionById(kModes[mode]).lit = kModes[mode] == regionId;
        if (kModes[mode] == regionId) {
            state.currentMacro.PlayMode = mode;
        }
    }
    // Only "Times Play" uses the loop count.
    valueEdit->setEnabled(regionId == Region::TimesPlay);
    if (regionId == Region::TimesPlay) {
        valueEdit->setFocus(Qt::OtherFocusReason);
    }
    state.save(ListId::Macros);
    update();
}

void CTravoDialogKeyMapSettings::setDelayMode(bool automatic) {
    regionById(Region::AutoDelay).lit = automatic;
    regionById(Region::RecordDelay).lit = !automatic;
    if (automatic) {
        delayEditChanged();
    }
    state.currentMacro = withDelayMode(state.currentMacro, automatic);
    followList(ListId::MacroSteps);
    state.save(ListId::Macros);
    delayEdit->setEnabled(automatic);
    if (automatic) {
        delayEdit->setFocus(Qt::OtherFocusReason);
    }
    update();
}

void CTravoDialogKeyMapSettings::valueEditChanged() {
    if (currentTab == kMacroTab) {
        const auto cycles =
            std::clamp<std::int64_t>(leadingNumber(valueEdit->text()), 1, kMaxCycles);
        showNumber(valueEdit, cycles);
        state.currentMacro.Cycles = static_cast<int>(cycles);
        state.save(ListId::Macros);
    } else if (currentTab == kEmulateTab) {
        // No lower bound: 0 types the keys without a pause.
        std::int64_t delay = leadingNumber(valueEdit->text());
        if (delay > kMaxEmulationDelay) {
            delay = kMaxEmulationDelay;
            valueEdit->setText(QStringLiteral("6000"));
        }
        state.currentEmulation.Delay = static_cast<int>(delay);
        state.save(ListId::Emulations);
    }
}

void CTravoDialogKeyMapSettings::delayEditChanged() {
    if (currentTab != kMacroTab) {
        return;
    }
    const auto delay =
        std::clamp<std::int64_t>(leadingNumber(delayEdit->text()), 0, kMaxFixedDelay);
    showNumber(delayEdit, delay);
    state.currentMacro.Delay = static_cast<int>(delay);
    state.save(ListId::Macros);
}

void CTravoDialogKeyMapSettings::pauseRowCommitted(int absoluteRow, const QString& text) {
    if (setPauseRow(state.currentMacro, absoluteRow, leadingNumber(text))) {
        state.save(ListId::Macros);
        update();
    }
}
