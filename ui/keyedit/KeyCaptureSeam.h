// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "OskelHWI.h"

// The device library's keystroke capture and the clock, behind one seam so tests can record
// without an X display and with a clock of their own.
class KeyCaptureSeam {
public:
    virtual ~KeyCaptureSeam() = default;
    virtual HookResult installHook(WindowHandle window) { return InstallHook(window); }
    virtual void uninstallHook() { UninstallHook(); }
    virtual void acknowledge() { AcknowledgeHookKey(); }
    // Bit 0x8000 while the key is down, bit 1 toggled at each press (see HookKeyState).
    virtual short keyState(int virtualKey) { return HookKeyState(virtualKey); }
    // A monotonic clock in nanoseconds, never 0.
    virtual std::int64_t now();

    // The seam in use: the installed one, else the library and the steady clock.
    static KeyCaptureSeam& current();
    // Installs a replacement (tests); null returns to the library. Not owned.
    static void install(KeyCaptureSeam* seam);
};
