// SPDX-License-Identifier: GPL-2.0-or-later
// The two sources of device paths: hidapi's HID interfaces and the virtual keyboards' folder.
#include <dirent.h>
#include <hidapi.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "Discovery.h"
#include "HidapiLock.h"
#include "VirtualDeviceFolder.h"

namespace oskel::hid {

namespace {

bool hidrawLeftOut() {
    const char* value = std::getenv("OSKEL_NO_HIDRAW");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void appendHidapiPaths(std::vector<std::string>& paths) {
    std::lock_guard lock(hidapiLock());
    if (hid_init() != 0) {
        return;
    }
    hid_device_info* all = hid_enumerate(0, 0);
    for (hid_device_info* info = all; info != nullptr; info = info->next) {
        if (info->path != nullptr) {
            paths.push_back(hidrawDevicePath(info->vendor_id, info->product_id,
                                             info->interface_number, info->path));
        }
    }
    hid_free_enumeration(all);
}

// A socket whose keyboard has gone stays behind when the keyboard was killed; only a socket that
// somebody listens on is a keyboard. A keyboard that is busy with another client (its queue of
// waiting connections full) or that this user may not use still counts as attached.
bool keyboardListens(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return true;  // cannot tell; the open will say what is wrong
    }
    const bool answers =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN || errno == EACCES || errno == EPERM;
    ::close(probe);
    return answers;
}

void appendVirtualKeyboardPaths(std::vector<std::string>& paths) {
    const std::string folder = virtualDeviceFolder();
    if (!trustedVirtualDeviceFolder(folder)) {
        return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> sockets;
    while (dirent* entry = ::readdir(dir)) {
        std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && keyboardListens(path)) {
            sockets.push_back(std::move(path));
        }
    }
    ::closedir(dir);
    std::sort(sockets.begin(), sockets.end());
    paths.insert(paths.end(), sockets.begin(), sockets.end());
}

}  // namespace

std::vector<std::string> listDevicePaths() {
    std::vector<std::string> paths;
    if (!hidrawLeftOut()) {
        appendHidapiPaths(paths);
    }
    appendVirtualKeyboardPaths(paths);
    return paths;
}

}  // namespace oskel::hid
