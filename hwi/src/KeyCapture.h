// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The one seam between the keystroke hook and the windowing system. A backend grabs the
// keyboard on its own connection and thread and reports each key event by its Linux key code;
// everything else (virtual keys, system keys, the message, the watchdog) is the hook's.

#include <cstdint>
#include <functional>
#include <memory>

#include "OskelHWI.h"

namespace oskel::hook {

class KeyCaptureClient {
public:
    virtual ~KeyCaptureClient() = default;
    // One key event, on the capture thread. A held key repeats its press before one release.
    // `time` is the X server's time of the event in milliseconds (it wraps after 49.7 days).
    virtual void key(int linuxCode, bool press, std::uint32_t time) = 0;
    // Asked on the capture thread between events, at least every 250 ms; false ends the grab.
    virtual bool keepCapturing() = 0;
    // The grab ended on its own (keepCapturing answered false, or the X server went away), on the
    // capture thread, once. Never called for stop().
    virtual void ended(HookEnd reason) = 0;
};

class KeyCapture {
public:
    virtual ~KeyCapture() = default;
    // Grabs the keyboard and starts reporting to `client`, which must outlive stop(). Waits for
    // the grab; answers Capturing or CapturingOwnWindows only when keys now come to the client.
    virtual HookResult start(KeyCaptureClient& client) = 0;
    // Releases the keyboard; no event is reported after it returns. Harmless when not started
    // or when the grab already ended.
    virtual void stop() = 0;
};

// The X11 backend (X11KeyCapture.cpp).
std::unique_ptr<KeyCapture> makeX11KeyCapture();

}  // namespace oskel::hook
