// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The platform-free half of the keystroke hook: Linux key events become the virtual-key events
// a low-level hook sees, and a watchdog ends the capture when the receiver stops taking keys.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "KeyCapture.h"
#include "OskelHWI.h"

namespace oskel::hook {

// Turns key events into (message, event) the way the keyboard's system messages go: a key typed
// while Alt is held without Ctrl, and F10, is a system key (Alt itself included, down and up).
class KeyTranslator {
public:
    struct Translated {
        unsigned message;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
        HookKeyEvent event;
    };

    Translated translate(int linuxCode, bool press, std::uint32_t time = 0);
    // Bit 0x8000 while down, bit 1 toggled at each press (not at a repeat). Any thread.
    short keyState(int virtualKey) const;
    void reset();

private:
    bool isDown(int virtualKey) const;

    static constexpr std::uint8_t kDown = 1;
    static constexpr std::uint8_t kToggled = 2;
    std::array<std::atomic<std::uint8_t>, 256> state{};
};

// Counts posted and acknowledged keys. Expired when a posted key has waited longer than the
// timeout: the receiving thread is stuck, and the keyboard must be given back.
class HookWatchdog {
public:
    using Clock = std::chrono::steady_clock;

    void posted(Clock::time_point now);
    void acknowledged(Clock::time_point now);
    bool expired(Clock::time_point now) const;
    void reset();
    void setTimeout(std::chrono::milliseconds value);

private:
    mutable std::mutex lock;
    std::uint64_t waiting = 0;
    Clock::time_point waitingSince{};
    std::chrono::milliseconds timeout{kHookWatchdogMs};
};

// For tests: the backend InstallHook uses (the X11 one unless replaced) and the watchdog's
// timeout. Neither may change while a capture runs.
void setKeyCaptureFactory(std::function<std::unique_ptr<KeyCapture>()> factory);
void setHookWatchdogTimeout(std::chrono::milliseconds timeout);

}  // namespace oskel::hook
