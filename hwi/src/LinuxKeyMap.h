// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Virtual keys of the Linux input key codes (linux/input-event-codes.h), the codes the X server
// reports under the evdev keymap as keycode - 8. Taking keys by code means by position: a
// macro recorded on one layout plays back the same keys on another, NumLock on or off.

#include <cstdint>
#include <span>

namespace oskel::hook {

struct LinuxKey {
    std::uint16_t linuxCode;  // KEY_* of the key
    std::uint8_t virtualKey;  // Windows virtual-key code
    bool extended;            // sent with the extended-key flag (E0 prefix on a PC keyboard)
};

// Every key with a virtual key, in ascending code order.
std::span<const LinuxKey> linuxKeyTable();

// The key for a code; {code, 0, false} for a code outside the table.
LinuxKey linuxKey(int linuxCode);

}  // namespace oskel::hook
