// SPDX-License-Identifier: GPL-2.0-or-later
// The keystroke capture on X11: an active grab of the keyboard on the root window, taken on a
// display connection of our own and served by a thread of our own. Qt's connection is never
// used: Qt drops any grab on it whenever one of its popups closes.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <thread>

#include "KeyCapture.h"

namespace oskel::hook {
namespace {

using Clock = std::chrono::steady_clock;

// Another client may hold the keyboard for a moment (a menu that is opening or closing).
constexpr auto kGrabRetryFor = std::chrono::milliseconds(2000);
constexpr auto kGrabRetryEvery = std::chrono::milliseconds(40);
constexpr int kPollMs = 200;
// X keycodes are the kernel's key codes shifted by 8 under the evdev keymap.
constexpr int kEvdevKeycodeOffset = 8;

// A lost X server must not end the program from inside Xlib: mark the connection dead and let
// the capture thread finish.
void connectionLost(Display*, void* dead) {
    static_cast<std::atomic<bool>*>(dead)->store(true);
}

// Xlib's own I/O error handler ends the process before the exit handler above is asked, and the
// handler is one for the whole process: ours lets the capture's connection die quietly and
// leaves every other connection to the handler that was there before.
std::atomic<Display*> captureDisplay{nullptr};
XIOErrorHandler previousIOErrorHandler = nullptr;

int ioError(Display* display) {
    if (display == captureDisplay.load()) {
        return 0;
    }
    return previousIOErrorHandler != nullptr ? previousIOErrorHandler(display) : 0;
}

void watchIOErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] { previousIOErrorHandler = ::XSetIOErrorHandler(ioError); });
}

class X11KeyCapture final : public KeyCapture {
public:
    ~X11KeyCapture() override { stop(); }

    HookResult start(KeyCaptureClient& client) override {
        stop();
        wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd < 0) {
            return HookResult::NoDisplay;
        }
        std::promise<HookResult> started;
        auto result = started.get_future();
        worker = std::thread(
            [this, &client, promise = std::move(started)]() mutable { run(client, promise); });
        const HookResult answer = result.get();
        if (answer != HookResult::Capturing && answer != HookResult::CapturingOwnWindows) {
            stop();
        }
        return answer;
    }

    void stop() override {
        if (worker.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
            worker.join();
        }
        if (wakeFd >= 0) {
            ::close(wakeFd);
            wakeFd = -1;
        }
    }

private:
    void run(KeyCaptureClient& client, std::promise<HookResult>& started) {
        Display* display = ::XOpenDisplay(nullptr);
        if (display == nullptr) {
            started.set_value(HookResult::NoDisplay);
            return;
        }
        std::atomic<bool> dead{false};
        watchIOErrors();
        captureDisplay = display;
        ::XSetIOErrorExitHandler(display, connectionLost, &dead);
        int opcode = 0, event = 0, error = 0;
        const bool ownWindowsOnly = ::XQueryExtension(display, "XWAYLAND", &opcode, &event, &error);
        // Without it a held key would come as press, release, press, release...
        Bool repeatDetectable = False;
        ::XkbSetDetectableAutoRepeat(display, True, &repeatDetectable);

        if (!grab(display)) {
            ::XCloseDisplay(display);
            captureDisplay = nullptr;
            started.set_value(HookResult::KeyboardBusy);
            return;
        }
        started.set_value(ownWindowsOnly ? HookResult::CapturingOwnWindows : HookResult::Capturing);
        const bool stopped = serve(display, client, dead);
        if (!stopped) {
            client.ended(dead ? HookEnd::DisplayLost : HookEnd::Unresponsive);
        }
        if (!dead) {
            ::XUngrabKeyboard(display, CurrentTime);
            ::XSync(display, False);
        }
        ::XCloseDisplay(display);
        captureDisplay = nullptr;
    }

    static bool grab(Display* display) {
        const auto giveUp = Clock::now() + kGrabRetryFor;
        for (;;) {
            // Not owner events: every key comes to us reported on the root window, none reaches
            // our own windows either. The pointer is left alone so a click can always stop.
            const int status = ::XGrabKeyboard(display, DefaultRootWindow(display), False,
                                               GrabModeAsync, GrabModeAsync, CurrentTime);
            if (status == GrabSuccess) {
                return true;
            }
            if (Clock::now() >= giveUp) {
                return false;
            }
            std::this_thread::sleep_for(kGrabRetryEvery);
        }
    }

    // Answers true when stop() ended it, false when it ended on its own.
    bool serve(Display* display, KeyCaptureClient& client, const std::atomic<bool>& dead) {
        pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        while (!dead) {
            while (!dead && ::XPending(display) > 0) {
                XEvent event;
                ::XNextEvent(display, &event);
                if (event.type == KeyPress || event.type == KeyRelease) {
                    client.key(static_cast<int>(event.xkey.keycode) - kEvdevKeycodeOffset,
                               event.type == KeyPress, static_cast<std::uint32_t>(event.xkey.time));
                }
            }
            if (dead || !client.keepCapturing()) {
                return false;
            }
            watched[0].revents = watched[1].revents = 0;
            // A closed connection wakes the poll too; the next XPending then marks it dead.
            if (::poll(watched, 2, kPollMs) > 0 && (watched[1].revents & POLLIN) != 0) {
                return true;
            }
        }
        return false;
    }

    std::thread worker;
    int wakeFd = -1;
};

}  // namespace

std::unique_ptr<KeyCapture> makeX11KeyCapture() {
    return std::make_unique<X11KeyCapture>();
}

}  // namespace oskel::hook
