// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// oskelctl doctor: what stands between this user and the keyboard, for a person to read or to
// paste into a bug report: the keyboards found and through which door, each interface and node,
// whether this user may open it and why not, the udev rule, the session and what recording can
// do there, another program holding the keyboard, and the firmware version.

#include "CommandLine.h"

// Exit status: 0 when the keyboard can be used, 1 otherwise.
int runDoctor(const Options& options);
