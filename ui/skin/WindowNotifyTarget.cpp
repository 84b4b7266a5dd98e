// SPDX-License-Identifier: GPL-2.0-or-later
#include "WindowNotifyTarget.h"

#include <QCoreApplication>
#include <QPointer>
#include <deque>
#include <unordered_map>

namespace {

// What a target posts to the relay: the device message and the target it came through.
class RelayedMessage : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::MaxUser - 1);

    RelayedMessage(std::uint64_t target, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam)
        : QEvent(kType), target(target), message(message), wParam(wParam), lParam(lParam) {}

    const std::uint64_t target;
    const unsigned message;
    const std::uintptr_t wParam;
    const std::intptr_t lParam;
};

class Relay : public QObject {
public:
    // Targets are numbered and never reused, so a message for a window that has gone can never
    // be mistaken for one for a later window.
    std::uint64_t add(QObject* window) {
        const std::uint64_t id = nextId++;
        windows.emplace(id, window);
        return id;
    }
    void remove(std::uint64_t id) { windows.erase(id); }

    bool event(QEvent* e) override {
        if (e->type() != RelayedMessage::kType) {
            return QObject::event(e);
        }
        const auto* relayed = static_cast<RelayedMessage*>(e);
        const auto it = windows.find(relayed->target);
        if (it == windows.end()) {
            return true;
        }
        if (it->second.isNull()) {
            windows.erase(it);
            return true;
        }
        DeviceMessageEvent message(relayed->message, relayed->wParam, relayed->lParam);
        QCoreApplication::sendEvent(it->second.data(), &message);
        return true;
    }

private:
    std::unordered_map<std::uint64_t, QPointer<QObject>> windows;
    std::uint64_t nextId = 1;
};

class WindowTarget final : public NotifyTarget {
public:
    WindowTarget(Relay* relay, std::uint64_t id) : relay(relay), id(id) {}

    // Any thread: posting to the relay is thread-safe and never blocks.
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        QCoreApplication::postEvent(relay, new RelayedMessage(id, message, wParam, lParam));
    }

    Relay* const relay;
    const std::uint64_t id;
};

// Created on the user-interface thread at the first attach and kept to the end of the process on
// purpose: a worker may still post to a target while the program winds down.
Relay* relay() {
    static Relay* const instance = new Relay;
    return instance;
}

// Targets live as long as the program: a worker may keep its pointer past its window.
std::deque<WindowTarget>& targets() {
    static auto* const all = new std::deque<WindowTarget>;
    return *all;
}

}  // namespace

NotifyTarget* attachNotifyTarget(QObject* window) {
    Relay* r = relay();
    return &targets().emplace_back(r, r->add(window));
}

void detachNotifyTarget(NotifyTarget* target) {
    if (target == nullptr) {
        return;
    }
    auto* windowTarget = static_cast<WindowTarget*>(target);
    windowTarget->relay->remove(windowTarget->id);
}
