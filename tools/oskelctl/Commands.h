// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The commands of oskelctl, each on the program's one configuration document.

#include "CommandLine.h"

// Runs a parsed command and returns its exit code (ExitCode). Results go to standard output,
// progress and errors to standard error.
int runCommand(const Options& options);

// Asks the transfer in progress, if any, to stop (after SIGINT or SIGTERM); the command then
// ends with a message instead of starting its next step.
void interruptCommand();
bool commandInterrupted();
