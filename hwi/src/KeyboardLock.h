// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// An advisory lock on one keyboard, taken for each exchange by every process of every user that
// talks to it, so that two programs (the Oskel program and an oskelctl in a login script, say)
// never interleave their reports. A hidraw keyboard is locked through its device node, which all
// its users share; a virtual keyboard through a lock file in its runtime folder.

#include <atomic>
#include <string>

namespace oskel::hid {

class KeyboardLock {
public:
    // The lock of the keyboard behind `devicePath`; nothing is opened yet.
    explicit KeyboardLock(const std::string& devicePath);
    ~KeyboardLock();
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

    // Takes the lock, waiting at most `timeoutMs` for another holder to let go and giving up
    // early once `cancel` is set. True when held, and also when the keyboard has nothing to lock
    // through (the exchange then runs unlocked, as it would have to anyway).
    bool acquire(int timeoutMs, const std::atomic<bool>* cancel);
    void release();

    // What is locked: a device node or a lock file; empty when nothing can be.
    const std::string& target() const { return lockTarget; }

private:
    std::string lockTarget;
    bool lockFile = false;  // the target is our own file, created when missing
    int fd = -1;
};

}  // namespace oskel::hid
