// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Switching between the recent profiles: write --recent N, next and previous. Each picks the
// profile, lets `write` do the writing, and records what was written.

#include "CommandLine.h"

using WriteCommand = int (*)(const Options& options);

// write, write --recent N, next and previous: the profile chosen, written by `write`; after a
// write that succeeded, the profile is recorded as the one written last, and next and previous
// name it in a desktop notification.
int runWriteChoosing(const Options& options, WriteCommand write);
