// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The commands on profiles as text: import (the JSON of show --json back into a profile) and
// diff (how two profiles, or a profile and the keyboard, differ).

#include <string>

#include "CommandLine.h"

int runImport(const Options& options);
int runDiff(const Options& options);

// Reads the whole file, or standard input for "-", a pipe included, but no more than `limit`
// bytes. False with the reason in `why`.
bool readTextFile(const std::string& path, std::size_t limit, std::string& text, std::string& why);
