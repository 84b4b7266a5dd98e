// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The commands of oskelctl, each on the program's one configuration document.

#include "CommandLine.h"

class CTravoHWI;
class KeyboardConfig;

// Runs a parsed command and returns its exit code (ExitCode). Results go to standard output,
// progress and errors to standard error.
int runCommand(const Options& options);

// Asks the transfer in progress, if any, to stop (after SIGINT or SIGTERM); the command then
// ends with a message instead of starting its next step.
void interruptCommand();
bool commandInterrupted();

// Steps shared with the commands kept in files of their own. Each says on standard error what
// went wrong when it fails.
// The program's one document, key tables built and configuration cleared.
KeyboardConfig& freshDocument();
// Opens the keyboard; false when it is not there or may not be opened.
bool openKeyboardOrSay(CTravoHWI& keyboard);
// Writes the document's keys and/or colours, with a progress bar where standard error is a
// terminal; false when the transfer failed or was interrupted.
bool writeOrSay(KeyboardConfig& config, bool keys, bool lights);
