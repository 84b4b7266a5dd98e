// SPDX-License-Identifier: GPL-2.0-or-later
#include "FirmwareCheck.h"

#include <climits>

#include "OskelHWI.h"

std::string checkFirmwareText(std::string_view text) {
    // The library's own check, so oskelctl refuses exactly what the download would refuse.
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return "the file is far too large for a firmware image";
    }
    return CTravoHWI::firmwareFault(text.data(), static_cast<int>(text.size()));
}
