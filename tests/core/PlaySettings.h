// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A step list's play settings and view size as one value, so that a test states what it
// expects of them in one line and a failure shows all of them.

#include <ostream>

#include "StepList.h"

struct PlaySettings {
    bool IsAutoInterval = false;
    int Cycles = 1;
    int PlayMode = 0;
    int Delay = 30;
    int SizeOfView = 0;
    bool operator==(const PlaySettings&) const = default;
};

inline PlaySettings playSettingsOf(const StepList& list) {
    return {list.IsAutoInterval, list.Cycles, list.PlayMode, list.Delay, list.SizeOfView};
}

inline void PrintTo(const PlaySettings& s, std::ostream* os) {
    *os << "{IsAutoInterval " << s.IsAutoInterval << ", Cycles " << s.Cycles << ", PlayMode "
        << s.PlayMode << ", Delay " << s.Delay << ", SizeOfView " << s.SizeOfView << "}";
}
