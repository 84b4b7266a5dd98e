// SPDX-License-Identifier: GPL-2.0-or-later
#include "CommandLine.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace {

struct CommandInfo {
    Command command;
    std::string_view name;
    std::string_view synopsis;
    std::string_view usage;
};

// One entry per command: what `oskelctl --help` lists and what `oskelctl COMMAND --help` prints.
constexpr std::array<CommandInfo, 9> kCommands{{
    {Command::Detect, "detect", "say whether the keyboard is attached",
     "Usage: oskelctl detect\n"
     "\n"
     "Says whether the keyboard is attached and prints its device path.\n"
     "Exit status: 0 attached, 1 not attached.\n"},
    {Command::Version, "version", "print the keyboard's firmware version",
     "Usage: oskelctl version\n"
     "\n"
     "Prints the firmware version text the keyboard reports.\n"
     "Exit status: 0 read, 1 no keyboard, or the keyboard did not answer with a version.\n"},
    {Command::Write, "write", "write a profile to the keyboard",
     "Usage: oskelctl write [--keys-only | --lights-only] [--verify [--lang LANG]] [--force]\n"
     "       PROFILE\n"
     "\n"
     "Loads PROFILE (a .pro file) and writes its key settings, then its backlight, to the\n"
     "keyboard.\n"
     "\n"
     "  --keys-only    write only the key settings\n"
     "  --lights-only  write only the backlight\n"
     "  --verify       then read back what was written and compare, as verify does (after\n"
     "                 2 s, in which the keyboard stores the keys)\n"
     "  --lang LANG    the language of the differences: zh-CN or en-US (default: from LANG)\n"
     "  --force        write a profile that was cut short (the keys after the cut are empty)\n"
     "\n"
     "Exit status: 0 written (and, with --verify, the keyboard holds it), 1 no keyboard or a\n"
     "transfer failed, 2 the profile cannot be read, 3 the keyboard holds something else.\n"},
    {Command::Read, "read", "read the keyboard into a profile",
     "Usage: oskelctl read PROFILE\n"
     "\n"
     "Reads the key settings, then the backlight, from the keyboard and saves them as PROFILE\n"
     "(replacing the file). The profile's catalogues of combos, macros and emulations are empty:\n"
     "the keyboard does not keep them.\n"
     "\n"
     "Exit status: 0 saved, 1 no keyboard or a transfer failed (nothing saved), 2 the profile\n"
     "cannot be saved.\n"},
    {Command::Verify, "verify", "check that the keyboard holds a profile",
     "Usage: oskelctl verify [--lang zh-CN|en-US] PROFILE\n"
     "\n"
     "Reads the key settings and the backlight back from the keyboard and compares them with\n"
     "PROFILE as the keyboard stores them: the codes, pauses, intervals and play settings of\n"
     "every key on both levels, and every key's colour. Prints one line for each key that\n"
     "differs, for example:\n"
     "  F2, level 1: a macro of 40 steps was written, the keyboard holds an empty slot\n"
     "\n"
     "  --lang LANG  the language of the lines: zh-CN or en-US (default: from LANG)\n"
     "\n"
     "Exit status: 0 the keyboard holds the profile, 1 no keyboard or a transfer failed,\n"
     "2 the profile cannot be read, 3 the keyboard holds something else.\n"},
    {Command::Firmware, "firmware", "download a firmware image into the keyboard",
     "Usage: oskelctl firmware FILE\n"
     "\n"
     "Checks the Intel HEX firmware image FILE and downloads it into the keyboard.\n"
     "Nothing is sent when the file is faulty.\n"
     "\n"
     "Exit status: 0 downloaded, 1 no keyboard or the download failed, 2 the file cannot be read\n"
     "or is not a valid image.\n"},
    {Command::Show, "show", "print the assignments of a profile",
     "Usage: oskelctl show [--lang zh-CN|en-US] PROFILE\n"
     "       oskelctl show --json PROFILE\n"
     "\n"
     "Prints every assigned key of PROFILE, one line each, separated by tabs: the key's index\n"
     "(1..108), its name, the level (1 or 2), the assignment type and what the key does.\n"
     "A profile without assignments prints nothing and says so on standard error.\n"
     "\n"
     "  --lang LANG  the language of the type names: zh-CN or en-US (default: from LANG)\n"
     "  --json       print the whole profile as JSON instead\n"
     "\n"
     "Exit status: 0 shown, 2 the profile cannot be read.\n"},
    {Command::Recent, "recent", "list the profiles Oskel opened or saved last",
     "Usage: oskelctl recent\n"
     "\n"
     "Prints the profiles the program opened or saved last, newest first, one path a line\n"
     "(at most eight; files that no longer exist are left out). To apply the newest:\n"
     "  oskelctl write \"$(oskelctl recent | head -n 1)\"\n"
     "\n"
     "Exit status: 0 (an empty list prints nothing).\n"},
    {Command::Doctor, "doctor", "say what stands between you and the keyboard",
     "Usage: oskelctl doctor [--json]\n"
     "\n"
     "Lists the keyboards found and through which door (USB, or a virtual keyboard's socket),\n"
     "each interface and its node with owner and mode, whether you may open it and why not,\n"
     "whether the udev rule is installed and equals the shipped one, the session (X11,\n"
     "XWayland or Wayland) and what recording keys can do there, programs holding the keyboard\n"
     "open or in an exchange with it, and the firmware version. Paste it into a bug report.\n"
     "\n"
     "  --json  print the findings as JSON instead\n"
     "\n"
     "Exit status: 0 the keyboard can be used, 1 otherwise.\n"},
}};

const CommandInfo* findCommand(std::string_view name) {
    for (const CommandInfo& info : kCommands) {
        if (info.name == name) {
            return &info;
        }
    }
    return nullptr;
}

const CommandInfo* infoOf(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command) {
            return &info;
        }
    }
    return nullptr;
}

bool takesFile(Command c) {
    return c == Command::Write || c == Command::Read || c == Command::Verify ||
           c == Command::Firmware || c == Command::Show;
}

std::string hint(Command c) {
    const std::string name = commandName(c);
    return name.empty() ? " (see oskelctl --help)" : " (see oskelctl " + name + " --help)";
}

// Handles one option of the command; false with `error` set when it does not belong there.
bool applyOption(Options& o, std::string_view arg, const std::vector<std::string>& args,
                 std::size_t& i, std::string& error) {
    const Command c = o.command;
    if (arg == "--keys-only" && c == Command::Write) {
        o.keysOnly = true;
    } else if (arg == "--lights-only" && c == Command::Write) {
        o.lightsOnly = true;
    } else if (arg == "--verify" && c == Command::Write) {
        o.verify = true;
    } else if (arg == "--force" && c == Command::Write) {
        o.force = true;
    } else if (arg == "--json" && (c == Command::Show || c == Command::Doctor)) {
        o.json = true;
    } else if ((arg == "--lang" || arg.starts_with("--lang=")) &&
               (c == Command::Show || c == Command::Verify || c == Command::Write)) {
        if (arg == "--lang") {
            if (i + 1 >= args.size()) {
                error = "--lang needs a language: zh-CN or en-US";
                return false;
            }
            o.lang = args[++i];
        } else {
            o.lang = std::string(arg.substr(7));
        }
        if (o.lang != "zh-CN" && o.lang != "en-US") {
            error = "unknown language \"" + o.lang + "\": use zh-CN or en-US";
            return false;
        }
    } else {
        error = "unknown option " + std::string(arg) + " for " +
                (c == Command::None ? std::string("oskelctl") : commandName(c));
        return false;
    }
    return true;
}

std::string checkComplete(const Options& o) {
    if (o.command == Command::None) {
        return "no command given";
    }
    if (takesFile(o.command) && o.path.empty()) {
        return commandName(o.command) + " needs a file";
    }
    if (o.keysOnly && o.lightsOnly) {
        return "--keys-only and --lights-only exclude each other";
    }
    if (o.command == Command::Write && !o.lang.empty() && !o.verify) {
        return "--lang is for the differences --verify prints";
    }
    if (o.json && !o.lang.empty()) {
        return "--lang has no effect with --json (the JSON is always in English)";
    }
    return {};
}

}  // namespace

std::string commandName(Command command) {
    const CommandInfo* info = infoOf(command);
    return info ? std::string(info->name) : std::string();
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            o.help = true;
            continue;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (o.command == Command::None) {
            if (arg == "help") {
                o.help = true;
                continue;
            }
            if (const CommandInfo* info = findCommand(arg); info && !arg.starts_with("-")) {
                o.command = info->command;
                continue;
            }
            if (arg.starts_with("-") && !optionsEnded) {
                r.error = "unknown option " + std::string(arg) + hint(o.command);
                return r;
            }
            r.error = "unknown command \"" + std::string(arg) + "\"" + hint(o.command);
            return r;
        }
        if (!optionsEnded && arg.starts_with("-") && arg.size() > 1) {
            if (!applyOption(o, arg, args, i, r.error)) {
                r.error += hint(o.command);
                return r;
            }
            continue;
        }
        if (!takesFile(o.command) || !o.path.empty()) {
            r.error = "unexpected argument \"" + std::string(arg) + "\"" + hint(o.command);
            return r;
        }
        o.path = arg;
    }
    if (!o.help) {
        r.error = checkComplete(o);
        if (!r.error.empty()) {
            r.error += hint(o.command);
            return r;
        }
    }
    r.ok = true;
    return r;
}

std::string usageText(Command command) {
    if (const CommandInfo* info = infoOf(command)) {
        return std::string(info->usage);
    }
    std::string text =
        "Usage: oskelctl COMMAND [OPTIONS] [FILE]\n"
        "\n"
        "Configures the Oskel 108-key keyboard from the command line.\n"
        "\n"
        "Commands:\n";
    for (const CommandInfo& info : kCommands) {
        std::string name(info.name);
        name.resize(10, ' ');
        text += "  " + name + std::string(info.synopsis) + "\n";
    }
    text +=
        "\n"
        "Run \"oskelctl COMMAND --help\" for a command's options.\n"
        "\n"
        "Exit status: 0 success, 1 no keyboard or a device failure, 2 bad input (a profile or\n"
        "firmware file that cannot be used, a profile that cannot be saved, a wrong command "
        "line),\n"
        "3 the keyboard holds something other than the profile (verify, write --verify).\n";
    return text;
}

std::string languageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return std::string_view(value).starts_with("zh") ? "zh-CN" : "en-US";
        }
    }
    return "en-US";
}
