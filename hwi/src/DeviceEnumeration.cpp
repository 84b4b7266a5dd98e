// The two sources of device paths: hidapi's HID interfaces and the virtual keyboards' folder.
#include <dirent.h>
#include <hidapi.h>
#include <sys/stat.h>

#include <algorithm>
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
        if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
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
