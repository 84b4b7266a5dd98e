// SPDX-License-Identifier: GPL-2.0-or-later
#include "FirmwareCheck.h"

#include "OskelHWI.h"

std::string checkFirmwareText(std::string_view text) {
    // The library's own check, so oskelctl refuses exactly what the download would refuse.
    if (text.size() > CTravoHWI::kMaxFirmwareBytes) {
        return "the file is larger than any firmware image (at most 64 MiB)";
    }
    return CTravoHWI::firmwareFault(text.data(), static_cast<int>(text.size()));
}
