// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDialogBkLightSettings.h"

#include "CTravoDialogBkLightMultiSelect.h"
#include "DeviceDialogs.h"
#include "DeviceProgress.h"
#include "RegionIds.h"
#include "SkinSetup.h"
#include "UiSeam.h"

CTravoDialogBkLightSettings::CTravoDialogBkLightSettings(KeyboardConfig& config, QWidget* parent)
    : KeyColourDialog(config, SkinWindowId::Backlight, parent), workingBacklight(config.backlight) {
    // The window manager shows the title painted at the top of the dialog.
    setWindowTitle(skinCaption(SkinWindowId::Backlight, BacklightRegion::Title, config.language));
}

void CTravoDialogBkLightSettings::command(int regionId) {
    if (const int key = keyOfCommand(regionId); key > 0) {
        chooseKeyColour(key);
        return;
    }
    switch (regionId) {
        case BacklightRegion::SetAll:
            setAllKeys();
            break;
        case BacklightRegion::Default:
            setDefault();
            break;
        case BacklightRegion::MultiKey:
            colourSeveralKeys();
            break;
        case BacklightRegion::Ok:
            accept();
            break;
        case BacklightRegion::Write:
            writeToKeyboard();
            break;
        case BacklightRegion::Close:
        case BacklightRegion::Cancel:
            reject();
            break;
        default:
            break;
    }
}

void CTravoDialogBkLightSettings::chooseKeyColour(int keyIndex) {
    Colour& current = workingBacklight[keyIndex];
    const std::optional<QColor> chosen = ui().chooseColor(this, toQColor(current));
    if (!chosen) {
        return;
    }
    const Colour colour = toColour(*chosen);
    if (colour == current) {
        return;
    }
    current = colour;
    repaintKey(keyIndex);
}

void CTravoDialogBkLightSettings::setAllKeys() {
    const std::optional<QColor> chosen = ui().chooseColor(this, QColor(0, 0, 0));
    if (!chosen) {
        return;
    }
    workingBacklight.fill(toColour(*chosen));
    update();
}

void CTravoDialogBkLightSettings::setDefault() {
    workingBacklight.fill(kDefaultLight);
    update();
}

void CTravoDialogBkLightSettings::colourSeveralKeys() {
    config.multiSelectFlags.fill(false);
    config.multiSelectColours = workingBacklight;
    CTravoDialogBkLightMultiSelect dialog(config, this);
    if (dialog.exec() == QDialog::Accepted) {
        const Colour chosen{config.multiSelectRed, config.multiSelectGreen, config.multiSelectBlue};
        for (int key = 0; key < kKeyTableSize; ++key) {
            if (config.multiSelectFlags[key]) {
                workingBacklight[key] = chosen;
            }
        }
    }
    update();
}

void CTravoDialogBkLightSettings::keepColours() {
    config.backlight = workingBacklight;
}

void CTravoDialogBkLightSettings::accept() {
    keepColours();
    KeyColourDialog::accept();
}

// The colours are kept before the transfer starts, so a keyboard that fails to take them loses
// nothing: the progress dialog says so, and the next Write or the profile still has them.
void CTravoDialogBkLightSettings::writeToKeyboard() {
    keepColours();
    runDeviceProgress(this, WriteBacklight, config);
    KeyColourDialog::accept();
}
