// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// hidapi keeps global state (its initialisation and its last-error text): every call that may
// touch it, from enumeration to opening a device, holds this lock.

#include <mutex>

namespace oskel::hid {

inline std::mutex& hidapiLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace oskel::hid
