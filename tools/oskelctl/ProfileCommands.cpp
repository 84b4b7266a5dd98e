// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileCommands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Commands.h"
#include "DeviceAccess.h"
#include "DeviceProgress.h"
#include "Json.h"
#include "KeyNames.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "ProfileImport.h"
#include "ProgressBar.h"
#include "Terminal.h"
#include "Verification.h"

namespace {

// The largest profile makes JSON of about this size; a file far beyond it is not one of ours.
constexpr std::size_t kMaxJsonBytes = std::size_t{1} << 30;
constexpr int kSlotCount = kKeyCount * kLevelCount;

void fail(const std::string& line) {
    std::fprintf(stderr, "oskelctl: %s\n", line.c_str());
}

void say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
}

std::string languageOf(const Options& o) {
    return o.lang.empty() ? languageFromEnvironment() : o.lang;
}

// A document of its own with the key tables built and nothing assigned.
std::unique_ptr<KeyboardConfig> emptyConfig() {
    auto config = std::make_unique<KeyboardConfig>();
    buildKeyTables(*config);
    config->clear();
    return config;
}

bool loadInto(KeyboardConfig& config, const std::string& path) {
    std::string why;
    if (!config.loadProfile(path, &why)) {
        fail("cannot read the profile " + path + ": " + why);
        return false;
    }
    if (config.profileCutShort) {
        fail("warning: the profile " + path +
             " is incomplete: it was cut short, so the keys after the cut count as empty");
    }
    return true;
}

// Opens the program's keyboard and reads back what it holds; the exit code.
int readKeyboard(KeyboardConfig& config, KeyboardImage& held) {
    CTravoHWI& keyboard = config.keyboard;
    if (!keyboard.__createDev()) {
        fail("Keyboard is not connected! Plug the keyboard in and try again.");
        return kExitDevice;
    }
    if (const int error = keyboard.openError(); error != 0) {
        fail(adviseOnOpenError(error, keyboard.detectedDevicePath(), "en-US",
                               defaultRulePlaces(runningProgramDir()))
                 .text);
        return kExitDevice;
    }
    ProgressBar bar("Reading keys     ", kSlotCount, 1, ProgressBar::wantedOnStderr());
    ScopedNotifyWindow notify(config.notifyWindow, &bar);
    const bool ok = readKeyboardImage(config, &bar, {}, held);
    notify.release();
    bar.finish();
    if (!ok) {
        if (commandInterrupted()) {
            fail("interrupted; nothing was compared");
        } else if (keyboard.keyboardBusy()) {
            fail(
                "another program is using the keyboard (the Oskel program, or another "
                "oskelctl); try again when it is done");
        } else {
            fail(
                "reading the keyboard back failed: the keyboard stopped answering; check the "
                "cable, unplug and replug the keyboard, then compare again");
        }
        return kExitDevice;
    }
    return kExitOk;
}

const char* const kCatalogueNames[] = {"combos", "macros", "emulations"};

}  // namespace

bool readTextFile(const std::string& path, std::size_t limit, std::string& text, std::string& why) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    auto done = [&](bool ok) {
        if (!standardInput) {
            ::close(fd);
        }
        return ok;
    };
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        why = std::strerror(EISDIR);
        return done(false);
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            why = std::strerror(errno);
            return done(false);
        }
        if (n == 0) {
            return done(true);
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > limit) {
            why = "the file is far too large";
            return done(false);
        }
    }
}

int runImport(const Options& o) {
    std::string text;
    std::string why;
    const std::string source = o.path == "-" ? "standard input" : o.path;
    if (!readTextFile(o.path, kMaxJsonBytes, text, why)) {
        fail("cannot read " + source + ": " + why);
        return kExitBadInput;
    }
    const auto config = emptyConfig();
    ImportFault fault;
    if (!profileFromJson(text, *config, fault)) {
        fail(source + " is not a profile: " + fault.path + ": " + fault.reason +
             "; nothing was written");
        return kExitBadInput;
    }
    text = {};
    if (!config->saveProfile(o.output, &why)) {
        fail("cannot save the profile " + o.output + ": " + why);
        return kExitBadInput;
    }
    say("Saved " + source + " as " + o.output + ".");
    return kExitOk;
}

int runDiff(const Options& o) {
    const bool keyboardA = o.path == "-";
    const bool keyboardB = o.second == "-";
    if (keyboardA && keyboardB) {
        fail("only one side of diff can be the keyboard");
        return kExitBadInput;
    }
    // A profile compared with the keyboard goes through the program's document, whose device
    // object turns it into the records the keyboard would be sent.
    std::unique_ptr<KeyboardConfig> own[2];
    KeyboardConfig* sides[2] = {};
    const std::string paths[2] = {o.path, o.second};
    for (int s = 0; s < 2; ++s) {
        if (paths[s] == "-") {
            continue;
        }
        if (keyboardA || keyboardB) {
            KeyboardConfig& config = keyboardConfig();
            buildKeyTables(config);
            config.clear();
            sides[s] = &config;
        } else {
            own[s] = emptyConfig();
            sides[s] = own[s].get();
        }
        if (!loadInto(*sides[s], paths[s])) {
            return kExitBadInput;
        }
    }
    KeyboardImage images[2];
    if (keyboardA || keyboardB) {
        const int profile = keyboardA ? 1 : 0;
        KeyboardConfig& config = *sides[profile];
        if (const int code = readKeyboard(config, images[1 - profile]); code != kExitOk) {
            return code;
        }
        images[profile] = imageToWrite(config);
    } else {
        images[0] = profileImage(*sides[0]);
        images[1] = profileImage(*sides[1]);
    }
    const KeyboardConfig& names = *sides[keyboardA ? 1 : 0];
    const Comparison comparison = compareImages(images[0], images[1]);
    const std::vector<CatalogueDifference> catalogues =
        keyboardA || keyboardB ? std::vector<CatalogueDifference>()
                               : compareCatalogues(*sides[0], *sides[1]);
    const bool equal = comparison.agrees() && catalogues.empty();
    const std::string language = o.json ? "en-US" : languageOf(o);

    Json differences = Json::array();
    for (const SlotDifference& d : comparison.keys) {
        const std::string text =
            printable(sideBySideText(names, d, layoutKeyName(d.key), language));
        if (o.json) {
            differences.push_back({{"what", "key"},
                                   {"key", d.key},
                                   {"name", utf16ToUtf8(layoutKeyName(d.key))},
                                   {"level", d.level},
                                   {"a", utf16ToUtf8(describeRecord(names, d.written, language))},
                                   {"b", utf16ToUtf8(describeRecord(names, d.held, language))},
                                   {"text", text}});
        } else {
            say(text);
        }
    }
    for (const LightDifference& d : comparison.lights) {
        const std::string text = printable(sideBySideText(d, layoutKeyName(d.key), language));
        if (o.json) {
            differences.push_back({{"what", "backlight"},
                                   {"key", d.key},
                                   {"name", utf16ToUtf8(layoutKeyName(d.key))},
                                   {"a", d.written},
                                   {"b", d.held},
                                   {"text", text}});
        } else {
            say(text);
        }
    }
    for (const CatalogueDifference& d : catalogues) {
        const std::string text = printable(catalogueDifferenceText(d, language));
        if (o.json) {
            Json entry{{"what", "catalogue"},
                       {"catalogue", kCatalogueNames[d.catalogue]},
                       {"entry", d.entry + 1}};
            entry["a"] = d.inA ? Json(utf16ToUtf8(d.nameA)) : Json();
            entry["b"] = d.inB ? Json(utf16ToUtf8(d.nameB)) : Json();
            entry["text"] = text;
            differences.push_back(std::move(entry));
        } else {
            say(text);
        }
    }
    if (o.json) {
        std::fputs(
            formatJson(Json{{"equal", equal}, {"differences", std::move(differences)}}).c_str(),
            stdout);
    }
    return equal ? kExitOk : kExitDiffers;
}
