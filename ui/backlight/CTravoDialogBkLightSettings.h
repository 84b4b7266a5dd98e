// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The backlight settings dialog: every key of the keyboard picture framed in its own colour.
// A click on a key opens the colour chooser for it; the buttons colour every key at once, reset
// every key to black, colour several keys together (the multi-key colour dialog), keep the
// colours (OK) or keep them and write them to the keyboard (Write).
//
// The dialog edits a working copy; the document's backlight changes only on OK or Write. The
// close button, Cancel and Escape drop the copy.

#include <array>

#include "KeyColourDialog.h"

class CTravoDialogBkLightSettings : public KeyColourDialog {
    Q_OBJECT

public:
    explicit CTravoDialogBkLightSettings(KeyboardConfig& config, QWidget* parent = nullptr);

    // Entry n for KeyIndex n; entry 0 belongs to no key but travels with the others.
    std::array<Colour, kKeyTableSize> workingBacklight{};

    // Keeps the colours and closes, as OK does (also the Enter key).
    void accept() override;

protected:
    void command(int regionId) override;
    // Hovering draws nothing in this window, so it repaints nothing either.
    void hoverChanged(int) override {}
    const Colour& frameColour(int keyIndex) const override { return workingBacklight[keyIndex]; }

private:
    void chooseKeyColour(int keyIndex);
    void setAllKeys();
    void setDefault();
    void colourSeveralKeys();
    void writeToKeyboard();
    void keepColours();
};
