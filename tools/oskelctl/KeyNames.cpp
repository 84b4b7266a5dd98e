// SPDX-License-Identifier: GPL-2.0-or-later
// Kept apart from the rest of oskelctl: the layout table and the configuration document both
// name the key count, so the two headers never meet in one file.
#include "KeyNames.h"

#include "KeyboardLayout.h"

std::u16string layoutKeyName(int keyIndex) {
    const KeyLayoutEntry* entry = keyLayout(keyIndex);
    return entry ? std::u16string(entry->name) : std::u16string();
}
