// SPDX-License-Identifier: GPL-2.0-or-later
#include "Discovery.h"

#include <cstdio>

#include "ReportTags.h"

namespace oskel::hid {

namespace {

constexpr std::string_view kHidrawPrefix = "hidraw#";

// The four characters right after the first `marker`, empty when the marker is missing or fewer
// than four characters follow it.
std::string_view idAfter(std::string_view path, std::string_view marker) {
    auto at = path.find(marker);
    if (at == std::string_view::npos || path.size() - (at + marker.size()) < 4) {
        return {};
    }
    return path.substr(at + marker.size(), 4);
}

}  // namespace

bool isKeyboardDevicePath(std::string_view path) {
    auto interfaceAt = path.find(kInterface);
    if (interfaceAt == std::string_view::npos || interfaceAt == 0) {
        return false;
    }
    return idAfter(path, "vid_") == kVendorId && idAfter(path, "pid_") == kProductId;
}

std::string hidrawDevicePath(unsigned short vendorId, unsigned short productId, int interfaceNumber,
                             std::string_view hidapiPath) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x&mi_%02d", vendorId, productId,
                  interfaceNumber);
    std::string path(kHidrawPrefix);
    path += ids;
    path += '#';
    path += hidapiPath;
    return path;
}

std::string hidapiPathOf(std::string_view devicePath) {
    if (devicePath.substr(0, kHidrawPrefix.size()) != kHidrawPrefix) {
        return {};
    }
    auto hash = devicePath.find('#', kHidrawPrefix.size());
    if (hash == std::string_view::npos) {
        return {};
    }
    return std::string(devicePath.substr(hash + 1));
}

std::string firstKeyboardPath(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (isKeyboardDevicePath(path)) {
            return path;
        }
    }
    return {};
}

}  // namespace oskel::hid
