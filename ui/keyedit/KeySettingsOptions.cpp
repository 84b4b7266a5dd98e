// SPDX-License-Identifier: GPL-2.0-or-later
// The option tabs of the key settings dialog: Multimedia, Mouse, Function and Power. Each option
// region carries the HWCode it stands for; at most one option of a tab is chosen, a second click
// deselects it, and OK gives the key the chosen code with the tab's kind of assignment.

#include "CTravoDialogKeyMapSettings.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"

namespace {

struct OptionTab {
    int tab;
    int firstRegion;
    int lastRegion;
    AssignmentType type;
};

constexpr OptionTab kOptionTabs[] = {
    {4, KeySettingsRegion::MediaSelect, KeySettingsRegion::Calculator, Multimedia},
    {5, KeySettingsRegion::MoveLeft, KeySettingsRegion::LeftDoubleClick, Mouse},
    {6, KeySettingsRegion::KeyboardLock, KeySettingsRegion::AllColourRegulate, Function},
    {7, KeySettingsRegion::WakeUp, KeySettingsRegion::Power, Power},
};

const OptionTab* optionTab(int t) {
    for (const OptionTab& o : kOptionTabs) {
        if (o.tab == t) {
            return &o;
        }
    }
    return nullptr;
}

}  // namespace

int& CTravoDialogKeyMapSettings::chosenCodeRef(int t) {
    switch (t) {
        case 4:
            return state.mediaCode;
        case 5:
            return state.mouseCode;
        case 6:
            return state.functionCode;
        default:
            return state.powerCode;
    }
}

int CTravoDialogKeyMapSettings::chosenCode(int t) const {
    return t == 4   ? state.mediaCode
           : t == 5 ? state.mouseCode
           : t == 6 ? state.functionCode
           : t == 7 ? state.powerCode
                    : -1;
}

bool CTravoDialogKeyMapSettings::isOptionRegion(int regionId) const {
    const OptionTab* o = optionTab(regionId / 100);
    return o != nullptr && regionId >= o->firstRegion && regionId <= o->lastRegion;
}

void CTravoDialogKeyMapSettings::optionChosen(int regionId) {
    const SkinRegion& option = regionById(regionId);
    int& chosen = chosenCodeRef(regionId / 100);
    chosen = chosen == option.optionCode ? -1 : option.optionCode;
}

void CTravoDialogKeyMapSettings::storeOption(KeyboardConfig& document) {
    const OptionTab* o = optionTab(currentTab);
    const int code = chosenCodeRef(currentTab);
    if (o == nullptr || code < 1) {
        return;
    }
    KeyAssignment& slot = document.slot(document.currentKey, document.currentLevel);
    slot.hwCode = code;
    slot.mode = o->type;
    // FN works only when the key holds it on both levels, so it is written to both.
    if (o->type == Function && code == kFnHwCode) {
        KeyAssignment& other = document.slot(document.currentKey, 1 - document.currentLevel);
        other.hwCode = code;
        other.mode = Function;
    }
}

bool CTravoDialogKeyMapSettings::isFn(const KeyAssignment& slot) {
    return slot.mode == Function && slot.hwCode == kFnHwCode;
}

void CTravoDialogKeyMapSettings::dropFnFromOtherLevel(KeyboardConfig& document) {
    // One assignment on both levels: when this level gives FN up, whatever for, the other
    // level's FN goes too instead of staying behind as half a key that does nothing.
    KeyAssignment& other = document.slot(document.currentKey, 1 - document.currentLevel);
    if (isFn(other)) {
        other.mode = NotSet;
    }
}
