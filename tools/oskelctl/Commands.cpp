// SPDX-License-Identifier: GPL-2.0-or-later
#include "Commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Descriptions.h"
#include "DeviceAccess.h"
#include "DeviceProgress.h"
#include "FirmwareCheck.h"
#include "KeyNames.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "Profile.h"
#include "ProfileCommands.h"
#include "ProfileJson.h"
#include "ProgressBar.h"
#include "RecentProfiles.h"
#include "SwitchCommands.h"
#include "Terminal.h"
#include "TransferFlows.h"
#include "Verification.h"

namespace {

constexpr int kSlotCount = kKeyCount * kLevelCount;
// An Intel HEX image for the keyboard's controller is well under a megabyte; anything far
// beyond is not one, and the download call takes the length as an int.
constexpr std::size_t kMaxFirmwareFileSize = 64 * 1024 * 1024;
// The keyboard stores the key records it received before it answers for them again; the program
// waits as long before it closes its progress dialog.
constexpr std::chrono::milliseconds kKeyStoreTime{2000};

std::atomic<bool> interrupted{false};

void fail(const std::string& line) {
    std::fprintf(stderr, "oskelctl: %s\n", line.c_str());
}

void say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
}

void noKeyboard() {
    fail("Keyboard is not connected! Plug the keyboard in and try again.");
}

// A transfer that broke off: `task` failed ("writing the backlight") and the user is to
// `retry` ("write again") once the keyboard is back.
void stoppedAnswering(const std::string& task, const std::string& retry) {
    fail(task +
         " failed: the keyboard stopped answering; check the cable, unplug and replug the "
         "keyboard, then " +
         retry);
}

// After a failed exchange: another program holding the keyboard is told apart from a keyboard
// that stopped answering.
bool saidBusy(const CTravoHWI& keyboard) {
    if (!keyboard.keyboardBusy()) {
        return false;
    }
    fail(
        "another program is using the keyboard (the Oskel program, or another oskelctl); try "
        "again when it is done");
    return true;
}

bool stopIfInterrupted() {
    if (interrupted) {
        fail("interrupted; the keyboard may hold a partial transfer: run the command again");
    }
    return interrupted;
}

// Why the keyboard that was found cannot be opened, and what to do: the program says the same.
std::string accessAdvice(CTravoHWI& keyboard, int error) {
    return adviseOnOpenError(error, keyboard.detectedDevicePath(), "en-US",
                             defaultRulePlaces(runningProgramDir()))
        .text;
}

// Opens the keyboard, saying why when it cannot be used.
bool openKeyboard(CTravoHWI& keyboard) {
    if (!keyboard.__createDev()) {
        noKeyboard();
        return false;
    }
    const int error = keyboard.openError();
    if (error == 0) {
        return true;
    }
    fail(accessAdvice(keyboard, error));
    return false;
}

// The one document, as the main window has it: tables built, configuration cleared.
KeyboardConfig& freshConfig() {
    KeyboardConfig& config = keyboardConfig();
    buildKeyTables(config);
    config.clear();
    return config;
}

bool loadProfileOrSay(KeyboardConfig& config, const std::string& path) {
    std::string why;
    if (!config.loadProfile(path, &why)) {
        fail("cannot read the profile " + path + ": " + why);
        return false;
    }
    return true;
}

int runDetect() {
    CTravoHWI& keyboard = keyboardConfig().keyboard;
    if (!keyboard.DetectDevice()) {
        noKeyboard();
        return kExitDevice;
    }
    say("Keyboard attached: " + keyboard.detectedDevicePath());
    // Opening tells whether this user may use it; the keyboard itself is not talked to.
    keyboard.__createDev();
    const int error = keyboard.openError();
    keyboard.__closeDev();
    if (error != 0) {
        fail(accessAdvice(keyboard, error));
    }
    return kExitOk;
}

int runVersion() {
    KeyboardConfig& config = freshConfig();
    if (!openKeyboard(config.keyboard)) {
        return kExitDevice;
    }
    char16_t version[64] = {};
    if (!config.keyboard.ReadKeyboardVersion(version)) {
        if (!saidBusy(config.keyboard)) {
            stoppedAnswering("reading the firmware version", "try again");
        }
        return kExitDevice;
    }
    if (version[0] == u'\0') {
        fail(
            "reading the firmware version failed: the keyboard answered with an empty "
            "version; unplug and replug it, then try again");
        return kExitDevice;
    }
    say(printable(version));
    return kExitOk;
}

bool writeKeys(KeyboardConfig& config) {
    ProgressBar bar("Writing keys     ", kSlotCount, 1, ProgressBar::wantedOnStderr());
    ScopedNotifyWindow notify(config.notifyWindow, &bar);
    const bool ok = writeKeysToKeyboard(config, &bar);
    notify.release();
    bar.finish();
    if (!ok && !stopIfInterrupted() && !saidBusy(config.keyboard)) {
        stoppedAnswering("writing the key settings", "write again");
    }
    return ok;
}

bool writeLights(KeyboardConfig& config) {
    if (!writeBacklightToKeyboard(config)) {
        if (!stopIfInterrupted() && !saidBusy(config.keyboard)) {
            stoppedAnswering("writing the backlight", "write again");
        }
        return false;
    }
    return true;
}

std::string languageOf(const Options& o) {
    return o.lang.empty() ? languageFromEnvironment() : o.lang;
}

// Reads the keyboard back and compares it with the document: the exit code, after one line per
// key that differs.
int compareWithKeyboard(KeyboardConfig& config, const Options& o, VerifyParts parts,
                        bool justWritten) {
    Comparison result;
    ProgressBar bar("Verifying keys   ", kSlotCount, 1,
                    parts.keys && ProgressBar::wantedOnStderr());
    ScopedNotifyWindow notify(config.notifyWindow, &bar);
    const bool ok = justWritten ? verifyWritten(config, &bar, parts, result)
                                : verifyKeyboard(config, &bar, parts, result);
    notify.release();
    bar.finish();
    if (!ok) {
        if (!stopIfInterrupted() && !saidBusy(config.keyboard)) {
            stoppedAnswering("reading the keyboard back", "verify again");
        }
        return kExitDevice;
    }
    const std::string language = languageOf(o);
    for (const SlotDifference& d : result.keys) {
        say(printable(differenceText(config, d, layoutKeyName(d.key), language)));
    }
    for (const LightDifference& d : result.lights) {
        say(printable(differenceText(d, layoutKeyName(d.key), language)));
    }
    if (!result.agrees()) {
        fail("the keyboard does not hold " + o.path + ": " +
             std::to_string(result.keys.size() + result.lights.size()) +
             " difference(s) listed above");
        return kExitDiffers;
    }
    return kExitOk;
}

int runVerify(const Options& o) {
    KeyboardConfig& config = freshConfig();
    if (!loadProfileOrSay(config, o.path)) {
        return kExitBadInput;
    }
    if (!openKeyboard(config.keyboard)) {
        return kExitDevice;
    }
    const int code = compareWithKeyboard(config, o, {}, false);
    if (code == kExitOk) {
        say("The keyboard holds the key settings and the backlight of " + o.path + ".");
    }
    return code;
}

int runRecent() {
    for (const std::string& path : RecentProfiles().list()) {
        say(path);
    }
    return kExitOk;
}

int runWrite(const Options& o) {
    KeyboardConfig& config = freshConfig();
    if (!loadProfileOrSay(config, o.path)) {
        return kExitBadInput;
    }
    // What a cut-short file did not reach would go to the keyboard as empty keys.
    if (config.profileCutShort && !o.force) {
        fail("the profile " + o.path +
             " is incomplete: it was cut short, and the keys after the cut would be written "
             "empty; nothing was written (--force writes it anyway)");
        return kExitBadInput;
    }
    if (!openKeyboard(config.keyboard)) {
        return kExitDevice;
    }
    if (!o.lightsOnly && !writeKeys(config)) {
        return kExitDevice;
    }
    if (stopIfInterrupted()) {
        return kExitDevice;
    }
    if (!o.keysOnly && !writeLights(config)) {
        return kExitDevice;
    }
    say(o.keysOnly     ? "Wrote the key settings of " + o.path + "."
        : o.lightsOnly ? "Wrote the backlight of " + o.path + "."
                       : "Wrote the key settings and the backlight of " + o.path + ".");
    if (!o.verify) {
        return kExitOk;
    }
    if (!o.lightsOnly) {
        std::this_thread::sleep_for(kKeyStoreTime);
    }
    if (stopIfInterrupted()) {
        return kExitDevice;
    }
    const int code = compareWithKeyboard(config, o, {!o.lightsOnly, !o.keysOnly}, true);
    if (code == kExitOk) {
        say("Verified: the keyboard holds what was written.");
    }
    return code;
}

int runRead(const Options& o) {
    KeyboardConfig& config = freshConfig();
    if (!openKeyboard(config.keyboard)) {
        return kExitDevice;
    }
    {
        ProgressBar bar("Reading keys     ", kSlotCount, 1, ProgressBar::wantedOnStderr());
        ScopedNotifyWindow notify(config.notifyWindow, &bar);
        const bool ok = readKeysFromKeyboard(config, &bar);
        notify.release();
        bar.finish();
        if (!ok) {
            if (!stopIfInterrupted() && !saidBusy(config.keyboard)) {
                stoppedAnswering("reading the key settings", "read again (nothing was saved)");
            }
            return kExitDevice;
        }
    }
    if (stopIfInterrupted()) {
        return kExitDevice;
    }
    if (!readBacklightFromKeyboard(config)) {
        if (!stopIfInterrupted() && !saidBusy(config.keyboard)) {
            stoppedAnswering("reading the backlight", "read again (nothing was saved)");
        }
        return kExitDevice;
    }
    std::string why;
    if (!config.saveProfile(o.path, &why)) {
        fail("cannot save the profile " + o.path + ": " + why);
        return kExitBadInput;
    }
    say("Saved the keyboard's settings as " + o.path + ".");
    return kExitOk;
}

// Reads the whole file, a pipe or a device included, but never more than an image can be.
bool readWholeFile(const std::string& path, std::string& text, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        why = std::strerror(EISDIR);
        return false;
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
            break;
        }
        if (n == 0) {
            ::close(fd);
            return true;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFirmwareFileSize) {
            why = "the file is far too large for a firmware image";
            break;
        }
    }
    ::close(fd);
    return false;
}

int runFirmware(const Options& o) {
    std::string text;
    std::string why;
    if (!readWholeFile(o.path, text, why)) {
        fail("cannot read the firmware file " + o.path + ": " + why);
        return kExitBadInput;
    }
    if (std::string fault = checkFirmwareText(text); !fault.empty()) {
        fail(o.path + " is not a firmware image for the keyboard (" + fault +
             "); nothing was sent");
        return kExitBadInput;
    }
    KeyboardConfig& config = freshConfig();
    if (!openKeyboard(config.keyboard)) {
        return kExitDevice;
    }
    ProgressBar bar("Downloading firmware", kProgressScale, 0, ProgressBar::wantedOnStderr());
    ScopedNotifyWindow notify(config.notifyWindow, &bar);
    const bool ok =
        config.keyboard.WriteFirmwareToKeyboard(text.data(), static_cast<int>(text.size()), &bar);
    notify.release();
    bar.finish();
    if (!ok) {
        if (!stopIfInterrupted() && !saidBusy(config.keyboard)) {
            stoppedAnswering("the firmware download", "download again");
        }
        return kExitDevice;
    }
    say("Downloaded " + o.path + " into the keyboard.");
    return kExitOk;
}

std::string typeName(const KeyboardConfig& config, int mode, bool chinese) {
    if (mode < 0 || mode >= kAssignmentTypeCount) {
        return {};
    }
    return printable(chinese ? config.typeNamesZh[mode] : config.typeNamesEn[mode]);
}

int runShow(const Options& o) {
    KeyboardConfig& config = freshConfig();
    if (!loadProfileOrSay(config, o.path)) {
        return kExitBadInput;
    }
    if (config.profileCutShort) {
        fail("warning: the profile " + o.path +
             " is incomplete: it was cut short, so the keys after the cut are shown empty");
    }
    if (o.json) {
        std::fputs(profileToJson(config).c_str(), stdout);
        return kExitOk;
    }
    config.language = languageOf(o);
    const bool chinese = config.language == "zh-CN";
    int shown = 0;
    for (int k = 1; k <= kKeyCount; ++k) {
        for (int l = 0; l < kLevelCount; ++l) {
            const int mode = config.slot(k, l).mode;
            if (mode <= NotSet || mode >= kAssignmentTypeCount) {
                continue;
            }
            ++shown;
            say(std::to_string(k) + "\t" + printable(layoutKeyName(k)) + "\t" +
                std::to_string(l + 1) + "\t" + typeName(config, mode, chinese) + "\t" +
                printable(describeAssignment(config, k, l)));
        }
    }
    // Standard output stays a list a script can read; the note for a person goes beside it.
    if (shown == 0) {
        fail("no key is assigned in " + o.path);
    }
    return kExitOk;
}

}  // namespace

void interruptCommand() {
    interrupted = true;
    keyboardConfig().keyboard.cancelTransfer();
}

bool commandInterrupted() {
    return interrupted;
}

int runCommand(const Options& o) {
    switch (o.command) {
        case Command::Detect:
            return runDetect();
        case Command::Version:
            return runVersion();
        case Command::Write:
        case Command::Next:
        case Command::Previous:
            return runWriteChoosing(o, runWrite);
        case Command::Read:
            return runRead(o);
        case Command::Verify:
            return runVerify(o);
        case Command::Recent:
            return runRecent();
        case Command::Firmware:
            return runFirmware(o);
        case Command::Show:
            return runShow(o);
        case Command::Import:
            return runImport(o);
        case Command::Diff:
            return runDiff(o);
        case Command::None:
            break;
    }
    return kExitBadInput;
}
