// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// oskelctl's command line: the commands, their options and their usage texts.

#include <string>
#include <vector>

enum class Command {
    None,
    Detect,
    Version,
    Write,
    Read,
    Verify,
    Firmware,
    Show,
    Recent,
    Import,
    Diff,
    Next,
    Previous,
    Doctor,
    Reset,
};

// Exit codes shared by every command.
enum ExitCode {
    kExitOk = 0,
    kExitDevice = 1,    // no keyboard, no permission, or a transfer failed
    kExitBadInput = 2,  // a bad profile or firmware file, a profile that cannot be saved, bad usage
    kExitDiffers = 3,   // verify, diff: the keyboard or the profiles differ
};

struct Options {
    Command command = Command::None;
    bool help = false;
    bool keysOnly = false;    // write, reset: only the key settings
    bool lightsOnly = false;  // write, reset: only the backlight
    bool verify = false;      // write: read back and compare afterwards
    bool force = false;       // write: even a profile that was cut short
    bool json = false;        // show: the whole profile as JSON; diff: the differences as JSON;
                              // doctor: the findings as JSON
    bool noBackup = false;    // firmware: update without backing up the keys first
    int recent = 0;           // write: the N-th recent profile (1 is the newest), 0 for none
    std::string lang;    // show, verify, write: "zh-CN", "en-US", or empty for the environment's
    std::string path;    // the profile or firmware file; import: the JSON file; diff: the first
    std::string second;  // diff: the second profile ("-" for the keyboard)
    std::string output;  // import: the profile to write (-o)
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
