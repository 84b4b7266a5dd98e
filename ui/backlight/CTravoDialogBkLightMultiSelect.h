// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The multi-key colour dialog: the user picks keys (picked keys are shown lit), then "Set Color"
// asks for one colour and closes the dialog. The backlight settings dialog then paints that
// colour into every picked key.
//
// Everything goes through the document's exchange area: the caller clears multiSelectFlags and
// fills multiSelectColours first; each pick writes its flag at once; after OK multiSelectRed,
// multiSelectGreen and multiSelectBlue hold the colour. Any other way out is Cancel, and the
// caller then ignores the flags.

#include <array>

#include "KeyColourDialog.h"

class CTravoDialogBkLightMultiSelect : public KeyColourDialog {
    Q_OBJECT

public:
    explicit CTravoDialogBkLightMultiSelect(KeyboardConfig& config, QWidget* parent = nullptr);

    // The colours the key frames show, as the caller had them when the dialog opened.
    std::array<Colour, kKeyTableSize> workingColours{};

    bool isSelected(int keyIndex) const;

    // The Enter key asks for the colour, as "Set Color" does.
    void accept() override;

protected:
    void command(int regionId) override;
    const Colour& frameColour(int keyIndex) const override { return workingColours[keyIndex]; }
    bool keysToggle() const override { return true; }

private:
    void toggle(int keyIndex);
    void setColour();
};
