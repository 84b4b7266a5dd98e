// SPDX-License-Identifier: GPL-2.0-or-later
#include "Commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>

#include "Descriptions.h"
#include "DeviceAccess.h"
#include "DeviceProgress.h"
#include "DeviceSteps.h"
#include "Doctor.h"
#include "FirmwareCheck.h"
#include "KeyNames.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "Profile.h"
#include "ProfileJson.h"
#include "ProgressBar.h"
#include "RecentProfiles.h"
#include "Terminal.h"
#include "Verification.h"

namespace {

// An Intel HEX image for the keyboard's controller is well under a megabyte; anything far
// beyond is not one, and the download call takes the length as an int.
constexpr std::size_t kMaxFirmwareFileSize = 64 * 1024 * 1024;

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

bool stopIfInterrupted() {
    if (interrupted) {
        fail("interrupted; the keyboard may hold a partial transfer: run the command again");
    }
    return interrupted;
}

// What the terminal shows of each device step: its progress bar (none without a label) and what
// its failure tells the user.
struct StepTexts {
    const char* bar;
    int total;
    int offset;
    const char* task;
    const char* retry;
};

// In the order of DeviceStep.
constexpr StepTexts kStepTexts[] = {
    {"Writing keys     ", kSlotCount, 1, "writing the key settings", "write again"},
    {nullptr, 0, 0, "writing the backlight", "write again"},
    {"Verifying keys   ", kSlotCount, 1, "reading the keyboard back", "verify again"},
    {"Reading keys     ", kSlotCount, 1, "reading the key settings",
     "read again (nothing was saved)"},
    {nullptr, 0, 0, "reading the backlight", "read again (nothing was saved)"},
    {"Downloading firmware", kProgressScale, 0, "the firmware download", "download again"},
};
static_assert(std::size(kStepTexts) == static_cast<std::size_t>(DeviceStep::Firmware) + 1);

const StepTexts& textsOf(DeviceStep step) {
    return kStepTexts[static_cast<std::size_t>(step)];
}

// Why a device step did not end well, on standard error: the interrupt, another program holding
// the keyboard, or the keyboard that stopped answering `task` (retry: what to do once it is back).
void sayWhyItEnded(StepsOutcome outcome, const char* task, const char* retry) {
    switch (outcome) {
        case StepsOutcome::Stopped:
            stopIfInterrupted();
            break;
        case StepsOutcome::Busy:
            fail(
                "another program is using the keyboard (the Oskel program, or another oskelctl); "
                "try again when it is done");
            break;
        case StepsOutcome::Failed:
            stoppedAnswering(task, retry);
            break;
        case StepsOutcome::Done:
        case StepsOutcome::Differs:
            break;
    }
}

// The device steps on a terminal: a bar for each step that reports progress, the interrupt as
// the stop.
class TerminalSteps : public StepObserver {
public:
    explicit TerminalSteps(KeyboardConfig& config, bool readBackBar = true)
        : config(config), readBackBar(readBackBar) {}

    WindowHandle stepStarting(DeviceStep step) override {
        const StepTexts& texts = textsOf(step);
        if (texts.bar == nullptr) {
            return nullptr;
        }
        const bool shown =
            ProgressBar::wantedOnStderr() && (step != DeviceStep::ReadBack || readBackBar);
        bar.emplace(texts.bar, texts.total, texts.offset, shown);
        notify.emplace(config.notifyWindow, &*bar);
        return &*bar;
    }
    void stepEnded(DeviceStep step, bool succeeded) override {
        notify.reset();
        if (bar) {
            bar->finish();
            bar.reset();
        }
        if (succeeded && (step == DeviceStep::WriteKeys || step == DeviceStep::WriteLights)) {
            ++writesDone;
        }
    }
    bool stopRequested() override { return interrupted; }

    // How many of the write steps went through.
    int writesDone = 0;

private:
    KeyboardConfig& config;
    bool readBackBar;
    std::optional<ProgressBar> bar;
    std::optional<ScopedNotifyWindow<WindowHandle>> notify;
};

// Tells why a sequence ended early; true when it did.
bool saidHowItFailed(const StepsResult& result) {
    if (result.outcome == StepsOutcome::Done || result.outcome == StepsOutcome::Differs) {
        return false;
    }
    const StepTexts& texts = textsOf(result.step);
    sayWhyItEnded(result.outcome, texts.task, texts.retry);
    return true;
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
        sayWhyItEnded(config.keyboard.keyboardBusy() ? StepsOutcome::Busy : StepsOutcome::Failed,
                      "reading the firmware version", "try again");
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

std::string languageOf(const Options& o) {
    return o.lang.empty() ? languageFromEnvironment() : o.lang;
}

// The exit code of a read-back that ran, after one line per key and colour that differs.
int reportComparison(KeyboardConfig& config, const Options& o, const Comparison& result) {
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
    TerminalSteps steps(config);
    const StepsResult result = verifyAgainstDocument(config, {}, steps);
    if (saidHowItFailed(result)) {
        return kExitDevice;
    }
    const int code = reportComparison(config, o, result.differences);
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
    WriteRequest request;
    request.keys = !o.lightsOnly;
    request.lights = !o.keysOnly;
    request.verify = o.verify;
    TerminalSteps steps(config, request.keys);
    const StepsResult result = writeToKeyboard(config, request, config.settleTimes, steps);
    if (steps.writesDone == int(request.keys) + int(request.lights)) {
        say(o.keysOnly     ? "Wrote the key settings of " + o.path + "."
            : o.lightsOnly ? "Wrote the backlight of " + o.path + "."
                           : "Wrote the key settings and the backlight of " + o.path + ".");
    }
    if (saidHowItFailed(result)) {
        return kExitDevice;
    }
    if (!o.verify) {
        return kExitOk;
    }
    const int code = reportComparison(config, o, result.differences);
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
    // As the program does: the keys, a pause, the colours, the keyboard held throughout.
    TerminalSteps steps(config);
    if (saidHowItFailed(loadFromKeyboard(config, config.settleTimes, steps))) {
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
    TerminalSteps steps(config);
    if (saidHowItFailed(downloadFirmware(config, text, steps))) {
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
    const bool chinese = isChinese(config.language);
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
            return runWrite(o);
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
        case Command::Doctor:
            return runDoctor(o);
        case Command::None:
            break;
    }
    return kExitBadInput;
}
