// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDialogBkLightMultiSelect.h"

#include "RegionIds.h"
#include "SkinSetup.h"
#include "UiSeam.h"

CTravoDialogBkLightMultiSelect::CTravoDialogBkLightMultiSelect(KeyboardConfig& config,
                                                               QWidget* parent)
    : KeyColourDialog(config, SkinWindowId::MultiKey, parent),
      workingColours(config.multiSelectColours) {
    // The window manager shows the title painted at the top of the dialog.
    setWindowTitle(skinCaption(SkinWindowId::MultiKey, MultiKeyRegion::Title, config.language));
}

bool CTravoDialogBkLightMultiSelect::isSelected(int keyIndex) const {
    const SkinRegion* r = keyRegion(keyIndex);
    return r != nullptr && r->lit;
}

void CTravoDialogBkLightMultiSelect::command(int regionId) {
    if (const int key = keyOfCommand(regionId); key > 0) {
        toggle(key);
        return;
    }
    switch (regionId) {
        case MultiKeyRegion::SetColour:
            setColour();
            break;
        case MultiKeyRegion::Close:
            reject();
            break;
        default:
            break;
    }
}

void CTravoDialogBkLightMultiSelect::toggle(int keyIndex) {
    SkinRegion* r = keyRegion(keyIndex);
    if (r == nullptr) {
        return;
    }
    r->lit = !r->lit;
    config.multiSelectFlags[keyIndex] = r->lit;
    repaintKey(keyIndex);
}

void CTravoDialogBkLightMultiSelect::setColour() {
    const std::optional<QColor> chosen = ui().chooseColor(this, QColor(0, 0, 0));
    if (!chosen) {
        return;  // the selection stays for another try
    }
    const Colour colour = toColour(*chosen);
    config.multiSelectRed = colour[0];
    config.multiSelectGreen = colour[1];
    config.multiSelectBlue = colour[2];
    done(QDialog::Accepted);
}

void CTravoDialogBkLightMultiSelect::accept() {
    setColour();
}
