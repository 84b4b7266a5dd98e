// SPDX-License-Identifier: GPL-2.0-or-later
#include "ResetCommand.h"

#include <cstdio>

#include "Commands.h"
#include "KeyboardConfig.h"

int runReset(const Options& o) {
    // A cleared document is exactly the empty configuration: no slot assigned, so every key
    // record goes out empty and the keyboard sends each key's own code, and every colour the
    // backlight dialog's Default.
    KeyboardConfig& config = freshDocument();
    if (!openKeyboardOrSay(config.keyboard)) {
        return kExitDevice;
    }
    if (!writeOrSay(config, !o.lightsOnly, !o.keysOnly)) {
        return kExitDevice;
    }
    std::puts(o.keysOnly     ? "Reset the key settings: every key does what its label says."
              : o.lightsOnly ? "Reset the backlight: every key's light is off."
                             : "Reset the key settings and the backlight: every key does what its "
                               "label says, and every key's light is off.");
    return kExitOk;
}
