// SPDX-License-Identifier: GPL-2.0-or-later
// InstallHook, UninstallHook, KeyBoardProc: the keystroke capture the macro recorder uses.
#include "KeyHook.h"

#include <utility>

#include "LinuxKeyMap.h"

namespace oskel::hook {

namespace {

constexpr int kVkLeftShift = 0xA0;
constexpr int kVkLeftControl = 0xA2;
constexpr int kVkRightControl = 0xA3;
constexpr int kVkLeftAlt = 0xA4;
constexpr int kVkRightAlt = 0xA5;
constexpr int kVkF10 = 0x79;

constexpr std::uint32_t kFlagExtended = 0x01;
constexpr std::uint32_t kFlagAltDown = 0x20;
constexpr std::uint32_t kFlagUp = 0x80;

}  // namespace

bool KeyTranslator::isDown(int virtualKey) const {
    return (state[virtualKey].load() & kDown) != 0;
}

KeyTranslator::Translated KeyTranslator::translate(int linuxCode, bool press, std::uint32_t time) {
    const LinuxKey key = linuxKey(linuxCode);
    const int vk = key.virtualKey;
    // Alt's own press counts as typed under Alt, and so does its release.
    if (press) {
        const std::uint8_t before = state[vk].load();
        const bool repeat = (before & kDown) != 0;
        state[vk].store(
            static_cast<std::uint8_t>(kDown | ((before & kToggled) ^ (repeat ? 0 : kToggled))));
    }
    const bool alt = isDown(kVkLeftAlt) || isDown(kVkRightAlt);
    const bool control = isDown(kVkLeftControl) || isDown(kVkRightControl);
    if (!press) {
        state[vk].store(state[vk].load() & kToggled);
    }
    const bool system = (alt && !control) || vk == kVkF10;

    Translated out{};
    out.message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    out.event.vkCode = static_cast<std::uint32_t>(vk);
    out.event.flags =
        (key.extended ? kFlagExtended : 0) | (alt ? kFlagAltDown : 0) | (press ? 0 : kFlagUp);
    out.event.time = time;
    return out;
}

short KeyTranslator::keyState(int virtualKey) const {
    if (virtualKey < 0 || virtualKey > 255) {
        return 0;
    }
    const std::uint8_t bits = state[virtualKey].load();
    return static_cast<short>(((bits & kDown) != 0 ? 0x8000 : 0) |
                              ((bits & kToggled) != 0 ? 1 : 0));
}

void KeyTranslator::reset() {
    for (auto& key : state) {
        key.store(0);
    }
}

void HookWatchdog::posted(Clock::time_point now) {
    std::lock_guard guard(lock);
    if (waiting++ == 0) {
        waitingSince = now;
    }
}

void HookWatchdog::acknowledged(Clock::time_point now) {
    std::lock_guard guard(lock);
    if (waiting == 0) {
        return;
    }
    // The receiver is alive: the keys still queued are timed from now on.
    --waiting;
    waitingSince = now;
}

bool HookWatchdog::expired(Clock::time_point now) const {
    std::lock_guard guard(lock);
    return waiting > 0 && now - waitingSince > timeout;
}

void HookWatchdog::reset() {
    std::lock_guard guard(lock);
    waiting = 0;
}

void HookWatchdog::setTimeout(std::chrono::milliseconds value) {
    std::lock_guard guard(lock);
    timeout = value;
}

namespace {

// Module-level state of the hook. The target is read on the capture thread; everything else
// changes only under `lock`, on the thread that installs and uninstalls.
struct Hook final : KeyCaptureClient {
    std::mutex lock;
    std::function<std::unique_ptr<KeyCapture>()> factory = makeX11KeyCapture;
    std::unique_ptr<KeyCapture> capture;
    HookResult answer = HookResult::NoTarget;  // what the running capture's install answered
    std::atomic<bool> endedOnItsOwn{false};
    std::atomic<WindowHandle> target{nullptr};
    KeyTranslator translator;
    HookWatchdog watchdog;

    void key(int linuxCode, bool press, std::uint32_t time) override {
        const auto translated = translator.translate(linuxCode, press, time);
        KeyBoardProc(0, translated.message, &translated.event);
    }
    bool keepCapturing() override { return !watchdog.expired(HookWatchdog::Clock::now()); }
    // Called on the capture thread, possibly while UninstallHook waits for it under `lock`.
    void ended(HookEnd reason) override {
        endedOnItsOwn = true;
        if (WindowHandle window = target.load()) {
            window->post(WM_HOOK_ENDED, static_cast<std::uintptr_t>(reason), 0);
        }
    }
};

Hook& hook() {
    static Hook instance;
    return instance;
}

}  // namespace

void setKeyCaptureFactory(std::function<std::unique_ptr<KeyCapture>()> factory) {
    std::lock_guard guard(hook().lock);
    hook().factory = factory ? std::move(factory) : makeX11KeyCapture;
}

void setHookWatchdogTimeout(std::chrono::milliseconds timeout) {
    hook().watchdog.setTimeout(timeout);
}

}  // namespace oskel::hook

using namespace oskel::hook;

HookResult InstallHook(WindowHandle window) {
    if (window == nullptr) {
        return HookResult::NoTarget;
    }
    Hook& h = hook();
    std::lock_guard guard(h.lock);
    // While the grab holds, a second install only moves the keys to the new target: the keyboard
    // is never free in between.
    if (h.capture && !h.endedOnItsOwn) {
        h.target = window;
        return h.answer;
    }
    if (h.capture) {
        h.capture->stop();
        h.capture.reset();
    }
    h.translator.reset();
    h.watchdog.reset();
    h.endedOnItsOwn = false;
    h.target = window;
    h.capture = h.factory();
    const HookResult result = h.capture->start(h);
    if (result != HookResult::Capturing && result != HookResult::CapturingOwnWindows) {
        h.capture.reset();
        h.target = nullptr;
    }
    h.answer = result;
    return result;
}

void UninstallHook() {
    Hook& h = hook();
    std::lock_guard guard(h.lock);
    if (h.capture) {
        h.capture->stop();
        h.capture.reset();
    }
    h.target = nullptr;
}

void AcknowledgeHookKey() {
    hook().watchdog.acknowledged(HookWatchdog::Clock::now());
}

short HookKeyState(int virtualKey) {
    return hook().translator.keyState(virtualKey);
}

std::intptr_t KeyBoardProc(int, std::uintptr_t message, const HookKeyEvent* event) {
    WindowHandle window = hook().target.load();
    if (window == nullptr || event == nullptr) {
        return 1;
    }
    std::uintptr_t wParam = event->vkCode & 0x3FFFFFFFu;
    if (message == WM_KEYUP) {
        wParam |= kHookKeyUp;
    } else if (message == WM_SYSKEYDOWN) {
        wParam |= kHookSystemKey;
    } else if (message == WM_SYSKEYUP) {
        wParam |= kHookKeyUp | kHookSystemKey;
    }
    const std::intptr_t lParam =
        ((event->flags & kFlagExtended) != 0 ? kHookExtendedKey : 0) |
        static_cast<std::intptr_t>(static_cast<std::uint64_t>(event->time) << 32);
    hook().watchdog.posted(HookWatchdog::Clock::now());
    window->post(WM_HOOK_KEY, wParam, lParam);
    return 1;
}
