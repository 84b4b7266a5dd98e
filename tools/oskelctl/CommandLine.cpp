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
constexpr std::array<CommandInfo, 14> kCommands{{
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
     "       PROFILE | --recent N\n"
     "\n"
     "Loads PROFILE (a .pro file) and writes its key settings, then its backlight, to the\n"
     "keyboard.\n"
     "\n"
     "  --recent N     write the N-th of the recent profiles (1 is the newest; see recent)\n"
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
     "Usage: oskelctl firmware [--no-backup] FILE\n"
     "\n"
     "Checks the Intel HEX firmware image FILE and downloads it into the keyboard.\n"
     "Nothing is sent when the file is faulty. Before the download the keyboard's keys and\n"
     "backlight are saved as a profile in $XDG_DATA_HOME/oskel/backups (else\n"
     "~/.local/share/oskel/backups; the last ten are kept), and the command that writes them back\n"
     "is printed. Suspend and shutdown wait while the image is sent.\n"
     "\n"
     "  --no-backup  download even when the keyboard cannot be read for the backup\n"
     "\n"
     "Exit status: 0 downloaded, 1 no keyboard, no backup could be made, or the download failed,\n"
     "2 the file cannot be read or is not a valid image.\n"},
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
     "  oskelctl write --recent 1\n"
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
    {Command::Reset, "reset", "give every key its own function back and turn the lights off",
     "Usage: oskelctl reset [--keys | --lights]\n"
     "\n"
     "Writes the empty configuration to the keyboard: every key does what its label says again,\n"
     "on both levels, and the backlight is off (as Default in the backlight dialog). A way back\n"
     "from a mapping that makes typing hard; run it from another keyboard, or paste it with the\n"
     "mouse. To keep what the keyboard holds, run \"oskelctl read FILE\" first.\n"
     "\n"
     "  --keys    reset only the key settings\n"
     "  --lights  reset only the backlight\n"
     "\n"
     "Exit status: 0 reset, 1 no keyboard or a transfer failed.\n"},
    {Command::Import, "import", "turn the JSON of show --json back into a profile",
     "Usage: oskelctl import FILE.json -o PROFILE\n"
     "\n"
     "Reads the JSON that show --json prints (FILE.json, or - for standard input) and saves it\n"
     "as PROFILE. Keys may be named by index or by name (\"F2\"), functions by code or name,\n"
     "steps by text or key code. A fault is named by its place in the JSON, as\n"
     "  $.keys[3].steps.Delay: 70000 is out of range (0..65535)\n"
     "and nothing is written. The format is described by oskel-profile.schema.json.\n"
     "\n"
     "  -o, --output PROFILE  the profile to write (replaced when it exists)\n"
     "\n"
     "Exit status: 0 saved, 2 the JSON is not a profile or PROFILE cannot be saved.\n"},
    {Command::Diff, "diff", "say how two profiles differ",
     "Usage: oskelctl diff [--json] [--lang zh-CN|en-US] A B\n"
     "\n"
     "Compares the profiles A and B slot by slot as the keyboard would hold them, then their\n"
     "catalogues of combos, macros and emulations and their backlight, one line each:\n"
     "  F2, level 1: a macro of 12 steps in A, a single key B in B\n"
     "Either side may be - for the keyboard, which is then read.\n"
     "\n"
     "  --json       print the differences as a JSON array instead\n"
     "  --lang LANG  the language of the lines: zh-CN or en-US (default: from LANG)\n"
     "\n"
     "Exit status: 0 the same, 1 no keyboard or a transfer failed, 2 a profile cannot be read,\n"
     "3 they differ.\n"},
    {Command::Next, "next", "write the recent profile after the one written last",
     "Usage: oskelctl next [write options]\n"
     "\n"
     "Writes the profile that follows, in the recent list, the profile oskelctl wrote last\n"
     "(after the oldest comes the newest again; when none was written yet, the newest), and\n"
     "names it in a desktop notification. Takes the options of write. Bound to a desktop\n"
     "shortcut, it switches between the recent profiles with one key.\n"
     "\n"
     "Exit status: as write; 2 also when the recent list is empty.\n"},
    {Command::Previous, "previous", "write the recent profile before the one written last",
     "Usage: oskelctl previous [write options]\n"
     "\n"
     "As next, the other way round: the profile before the one written last (before the newest\n"
     "comes the oldest; when none was written yet, the oldest).\n"
     "\n"
     "Exit status: as write; 2 also when the recent list is empty.\n"},
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
           c == Command::Firmware || c == Command::Show || c == Command::Import ||
           c == Command::Diff;
}

// The commands that write a profile to the keyboard and take write's options.
bool writes(Command c) {
    return c == Command::Write || c == Command::Next || c == Command::Previous;
}

// A value given as "--name VALUE" or "--name=VALUE"; false with `error` when it is missing.
bool optionValue(std::string_view arg, std::string_view name, const std::vector<std::string>& args,
                 std::size_t& i, std::string& value, std::string& error) {
    if (arg == name) {
        if (i + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    }
    value = std::string(arg.substr(name.size() + 1));
    return true;
}

std::string hint(Command c) {
    const std::string name = commandName(c);
    return name.empty() ? " (see oskelctl --help)" : " (see oskelctl " + name + " --help)";
}

// Handles one option of the command; false with `error` set when it does not belong there.
bool applyOption(Options& o, std::string_view arg, const std::vector<std::string>& args,
                 std::size_t& i, std::string& error) {
    const Command c = o.command;
    if (arg == "--keys-only" && writes(c)) {
        o.keysOnly = true;
    } else if (arg == "--lights-only" && writes(c)) {
        o.lightsOnly = true;
    } else if (arg == "--verify" && writes(c)) {
        o.verify = true;
    } else if (arg == "--force" && writes(c)) {
        o.force = true;
    } else if (arg == "--no-backup" && c == Command::Firmware) {
        o.noBackup = true;
    } else if (arg == "--keys" && c == Command::Reset) {
        o.keysOnly = true;
    } else if (arg == "--lights" && c == Command::Reset) {
        o.lightsOnly = true;
    } else if (arg == "--json" && (c == Command::Show || c == Command::Diff || c == Command::Doctor)) {
        o.json = true;
    } else if ((arg == "--recent" || arg.starts_with("--recent=")) && c == Command::Write) {
        std::string value;
        if (!optionValue(arg, "--recent", args, i, value, error)) {
            return false;
        }
        const bool digits = !value.empty() && value.size() < 4 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        o.recent = digits ? std::stoi(value) : 0;
        if (o.recent < 1) {
            error = "--recent needs a number from 1 (the newest profile), not \"" + value + "\"";
            return false;
        }
    } else if ((arg == "-o" || arg == "--output" || arg.starts_with("--output=")) &&
               c == Command::Import) {
        if (!optionValue(arg, arg == "-o" ? "-o" : "--output", args, i, o.output, error)) {
            return false;
        }
        if (o.output.empty()) {
            error = "-o needs the profile to write";
            return false;
        }
    } else if ((arg == "--lang" || arg.starts_with("--lang=")) &&
               (c == Command::Show || c == Command::Verify || writes(c) || c == Command::Diff)) {
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
    if (o.recent > 0 && !o.path.empty()) {
        return "write takes a profile or --recent N, not both";
    }
    if (takesFile(o.command) && o.path.empty() && o.recent == 0) {
        return commandName(o.command) + " needs a file";
    }
    if (o.command == Command::Diff && o.second.empty()) {
        return "diff needs two profiles (- for the keyboard)";
    }
    if (o.command == Command::Import && o.output.empty()) {
        return "import needs -o PROFILE, the profile to write";
    }
    if (o.keysOnly && o.lightsOnly) {
        return o.command == Command::Reset ? "--keys and --lights exclude each other"
                                           : "--keys-only and --lights-only exclude each other";
    }
    if (writes(o.command) && !o.lang.empty() && !o.verify) {
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
        if (o.command == Command::Diff && !o.path.empty() && o.second.empty()) {
            o.second = arg;
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
        "3 the keyboard holds something other than the profile (verify, write --verify), or the\n"
        "profiles differ (diff).\n";
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
