// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Device messages (WM_TRANSFER_PROGRESS, WM_TRANSFER_DONE, WM_HOOK_KEY) reach windows as Qt
// events.
//
// A worker thread or the keystroke capture holds a NotifyTarget* (a WindowHandle) and posts to
// it. The target is never freed while the program runs, and it hands each message to a relay
// object that lives as long as the program; the relay delivers the message on the user-interface
// thread to the window as a DeviceMessageEvent, unless the window has been detached or destroyed
// by then, in which case the message is dropped. So a late message never reaches a dead window.

#include <QEvent>
#include <QObject>
#include <cstdint>

#include "OskelHWI.h"

class DeviceMessageEvent : public QEvent {
public:
    DeviceMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(typeFor(message)), msg(message), w(wParam), l(lParam) {}

    // QEvent::User + the message number.
    static QEvent::Type typeFor(unsigned message) {
        return static_cast<QEvent::Type>(QEvent::User + static_cast<int>(message));
    }
    // True for an event type that carries a device message.
    static bool isDeviceMessage(QEvent::Type type) {
        return type >= typeFor(WM_USER) && type <= typeFor(0x7FFF);
    }

    unsigned message() const { return msg; }
    std::uintptr_t wParam() const { return w; }
    std::intptr_t lParam() const { return l; }

private:
    unsigned msg;
    std::uintptr_t w;
    std::intptr_t l;
};

// Makes a target that delivers to `window`. Call on the user-interface thread. The pointer stays
// valid until the program ends; messages posted after detachNotifyTarget or after the window's
// destruction are dropped.
NotifyTarget* attachNotifyTarget(QObject* window);

// Stops delivery through a target made by attachNotifyTarget (null is ignored). Call on the
// user-interface thread.
void detachNotifyTarget(NotifyTarget* target);
