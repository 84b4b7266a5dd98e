#pragma once
// Where virtual keyboards publish their sockets: $XDG_RUNTIME_DIR/oskel/hid, or
// /tmp/oskel-<uid>/hid without that variable. Header-only so the virtual keyboard tool shares it
// without linking the device library's internals.

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

}  // namespace oskel::hid
