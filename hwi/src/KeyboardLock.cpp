// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyboardLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "Discovery.h"
#include "VirtualDeviceFolder.h"

namespace oskel::hid {

namespace {

// A virtual keyboard's socket <runtime>/oskel/hid/NAME is locked through
// <runtime>/oskel/locks/NAME: a socket cannot be opened to be locked, and a file beside it would
// show in the folder that discovery and the program's device watch look at.
std::string lockFileFor(const std::string& socketPath) {
    const auto slash = socketPath.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return {};
    }
    const std::string folder = socketPath.substr(0, slash);
    const auto parentSlash = folder.rfind('/');
    if (parentSlash == std::string::npos) {
        return {};
    }
    return folder.substr(0, parentSlash) + "/locks" + socketPath.substr(slash);
}

int openLockFile(const std::string& path) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return -1;
    }
    // As with the sockets' folder: a folder someone else could write to proves nothing.
    if (!trustedVirtualDeviceFolder(folder)) {
        return -1;
    }
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

KeyboardLock::KeyboardLock(const std::string& devicePath) {
    lockTarget = hidapiPathOf(devicePath);
    if (lockTarget.empty()) {
        lockTarget = lockFileFor(devicePath);
        lockFile = true;
    }
}

KeyboardLock::~KeyboardLock() {
    release();
}

bool KeyboardLock::acquire(int timeoutMs, const std::atomic<bool>* cancel) {
    if (fd >= 0) {
        return true;
    }
    if (lockTarget.empty()) {
        return true;
    }
    fd = lockFile ? openLockFile(lockTarget)
                  : ::open(lockTarget.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return true;  // nothing to lock through; the exchange itself will tell what is wrong
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);  // locks unsupported here: run unlocked rather than not at all
            fd = -1;
            return true;
        }
        if ((cancel != nullptr && cancel->load()) || std::chrono::steady_clock::now() >= giveUp) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
    fd = -1;
    return false;
}

void KeyboardLock::release() {
    if (fd >= 0) {
        ::close(fd);  // closing the only descriptor lets go of the lock
        fd = -1;
    }
}

}  // namespace oskel::hid
