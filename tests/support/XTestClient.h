// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A second X client for capture tests: it can hold the input focus with a window of its own,
// type keys through XTest as a keyboard would (the events go through any grab, unlike events
// sent to a window), and grab the keyboard itself for a while.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace oskeltest {

class XTestClient {
public:
    // A key event as a window sees it: Linux key code (X keycode - 8), press or release.
    using KeyEvent = std::pair<int, bool>;

    explicit XTestClient(const std::string& display)
        : connection(::XOpenDisplay(display.c_str())) {}
    ~XTestClient() {
        if (connection != nullptr) {
            ::XCloseDisplay(connection);
        }
    }
    XTestClient(const XTestClient&) = delete;
    XTestClient& operator=(const XTestClient&) = delete;

    bool connected() const { return connection != nullptr; }

    // Maps a window that listens for keys and gives it the input focus.
    bool focusOwnWindow() {
        if (connection == nullptr) {
            return false;
        }
        const Window root = DefaultRootWindow(connection);
        window = ::XCreateSimpleWindow(connection, root, 10, 10, 200, 100, 0, 0, 0);
        ::XSelectInput(connection, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        ::XMapWindow(connection, window);
        XEvent event;
        do {
            ::XWindowEvent(connection, window, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
        ::XSetInputFocus(connection, window, RevertToParent, CurrentTime);
        ::XSync(connection, False);
        return true;
    }

    // Types through XTest, as the keyboard would.
    void key(int linuxCode, bool press) {
        ::XTestFakeKeyEvent(connection, static_cast<unsigned>(linuxCode + 8), press ? True : False,
                            CurrentTime);
        ::XFlush(connection);
    }
    void tap(int linuxCode) {
        key(linuxCode, true);
        key(linuxCode, false);
    }
    void sync() { ::XSync(connection, False); }

    // The key events the focus window got, collecting until `quiet` passes without one.
    std::vector<KeyEvent> keysReceived(std::chrono::milliseconds quiet) {
        std::vector<KeyEvent> keys;
        ::XSync(connection, False);
        pollfd watched{ConnectionNumber(connection), POLLIN, 0};
        for (;;) {
            while (::XPending(connection) > 0) {
                XEvent event;
                ::XNextEvent(connection, &event);
                if (event.type == KeyPress || event.type == KeyRelease) {
                    keys.emplace_back(static_cast<int>(event.xkey.keycode) - 8,
                                      event.type == KeyPress);
                }
            }
            if (::poll(&watched, 1, static_cast<int>(quiet.count())) <= 0) {
                return keys;
            }
        }
    }

    bool grabKeyboard() {
        const int status = ::XGrabKeyboard(connection, DefaultRootWindow(connection), False,
                                           GrabModeAsync, GrabModeAsync, CurrentTime);
        ::XSync(connection, False);
        return status == GrabSuccess;
    }
    void ungrabKeyboard() {
        ::XUngrabKeyboard(connection, CurrentTime);
        ::XSync(connection, False);
    }

private:
    Display* connection;
    Window window = 0;
};

}  // namespace oskeltest
