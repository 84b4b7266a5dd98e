// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// oskelctl reset: the way back from a mapping that makes the keyboard hard to use.

#include "CommandLine.h"

// Writes the empty configuration (every slot unassigned on both levels) and/or the default
// backlight to the keyboard. Exit codes as for write.
int runReset(const Options& options);
