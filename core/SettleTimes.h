// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How long the device steps wait for the keyboard between exchanges.

#include <chrono>

struct SettleTimes {
    // The keyboard stores the key records it received before it answers for them again.
    std::chrono::milliseconds afterKeyWrite{2000};
    // Between the key read and the colour read.
    std::chrono::milliseconds afterKeyRead{2000};
    // After a colour write, before the front end ends (the program's progress dialog shows its
    // full bar meanwhile).
    std::chrono::milliseconds afterBacklightWrite{1000};
};
