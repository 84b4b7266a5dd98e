// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where virtual keyboards publish their sockets: $XDG_RUNTIME_DIR/oskel/hid, or
// /tmp/oskel-<uid>/hid without that variable. Header-only so the virtual keyboard tool shares it
// without linking the device library's internals.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace oskel::hid {

inline std::string virtualDeviceFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/oskel/hid";
    }
    return "/tmp/oskel-" + std::to_string(::getuid()) + "/hid";
}

// Only a real folder of this user that nobody else may write to is trusted: under /tmp anybody
// could have made it first and put sockets of their own in it.
inline bool trustedVirtualDeviceFolder(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace oskel::hid
