// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// oskelctl's command line: the commands, their options and their usage texts.

#include <string>
#include <vector>

enum class Command { None, Detect, Version, Write, Read, Verify, Firmware, Show, Recent, Doctor };

// Exit codes shared by every command.
enum ExitCode {
    kExitOk = 0,
    kExitDevice = 1,    // no keyboard, no permission, or a transfer failed
    kExitBadInput = 2,  // a bad profile or firmware file, a profile that cannot be saved, bad usage
    kExitDiffers = 3,   // verify: the keyboard holds something other than the profile
};

struct Options {
    Command command = Command::None;
    bool help = false;
    bool keysOnly = false;    // write: only the key settings
    bool lightsOnly = false;  // write: only the backlight
    bool verify = false;      // write: read back and compare afterwards
    bool force = false;       // write: even a profile that was cut short
    bool json = false;        // show: the whole profile as JSON; doctor: the findings as JSON
    std::string lang;  // show, verify, write: "zh-CN", "en-US", or empty for the environment's
    std::string path;  // the profile or firmware file
};

struct ParseResult {
    bool ok = false;
    Options options;
    std::string error;  // one line, when !ok
};

// Parses the arguments after the program name. Options may come before or after the file; "--"
// ends the options, so a file named "--help" can still be given.
ParseResult parseCommandLine(const std::vector<std::string>& args);

// The usage text of one command, or of the program for Command::None.
std::string usageText(Command command);

// The command's name as typed ("write"), "" for None.
std::string commandName(Command command);

// "zh-CN" when the environment asks for Chinese (LC_ALL, LC_MESSAGES or LANG, the first one set,
// starts with "zh"), otherwise "en-US".
std::string languageFromEnvironment();
