// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceSteps.h"

#include <algorithm>
#include <climits>
#include <thread>

#include "TransferFlows.h"

namespace {

// Holds the keyboard's lock for one sequence.
class KeyboardHold {
public:
    explicit KeyboardHold(CTravoHWI& keyboard)
        : keyboard(keyboard), held(keyboard.holdKeyboard()) {}
    ~KeyboardHold() { keyboard.releaseKeyboard(); }
    KeyboardHold(const KeyboardHold&) = delete;
    KeyboardHold& operator=(const KeyboardHold&) = delete;

    bool taken() const { return held; }

private:
    CTravoHWI& keyboard;
    bool held;
};

// Runs the steps of one sequence and remembers how it ended.
class Sequence {
public:
    Sequence(KeyboardConfig& config, StepObserver& observer)
        : config(config), observer(observer), hold(config.keyboard) {}

    // Runs `exchange(window)` as `step` unless the sequence has already ended. False once it
    // has.
    template <typename Exchange>
    bool step(DeviceStep step, Exchange exchange) {
        if (ended) {
            return false;
        }
        result.step = step;
        if (observer.stopRequested()) {
            return end(StepsOutcome::Stopped);
        }
        if (!hold.taken()) {
            // The lock was never had: nothing is exchanged at all.
            return end(config.keyboard.keyboardBusy() ? StepsOutcome::Busy
                       : observer.stopRequested()     ? StepsOutcome::Stopped
                                                      : StepsOutcome::Failed);
        }
        const WindowHandle window = observer.stepStarting(step);
        const bool ok = exchange(window);
        observer.stepEnded(step, ok);
        if (observer.stopRequested()) {
            return end(StepsOutcome::Stopped);
        }
        if (!ok) {
            return end(config.keyboard.keyboardBusy() ? StepsOutcome::Busy : StepsOutcome::Failed);
        }
        return true;
    }

    // Waits `time` after the last step (the sequence keeps the keyboard meanwhile).
    bool pause(std::chrono::milliseconds time) {
        if (ended) {
            return false;
        }
        if (!observer.pause(time) || observer.stopRequested()) {
            return end(StepsOutcome::Stopped);
        }
        return true;
    }

    bool failed() const { return ended; }

    StepsResult finish(StepsOutcome success = StepsOutcome::Done) {
        if (!ended) {
            result.outcome = success;
        }
        return std::move(result);
    }

    StepsResult result;

private:
    bool end(StepsOutcome outcome) {
        ended = true;
        result.outcome = outcome;
        return false;
    }

    KeyboardConfig& config;
    StepObserver& observer;
    KeyboardHold hold;
    bool ended = false;
};

// The part of the document a load replaces, kept to put back after a failed or stopped load.
struct LoadedPart {
    decltype(KeyboardConfig::assignments) assignments;
    decltype(KeyboardConfig::backlight) backlight;

    explicit LoadedPart(const KeyboardConfig& config)
        : assignments(config.assignments), backlight(config.backlight) {}
    void restoreInto(KeyboardConfig& config) const {
        config.assignments = assignments;
        config.backlight = backlight;
    }
};

}  // namespace

bool StepObserver::pause(std::chrono::milliseconds time) {
    constexpr std::chrono::milliseconds kSlice{20};
    const auto until = std::chrono::steady_clock::now() + time;
    while (!stopRequested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSlice, until - now));
    }
    return false;
}

StepsResult writeToKeyboard(KeyboardConfig& config, const WriteRequest& request,
                            const SettleTimes& times, StepObserver& observer) {
    Sequence run(config, observer);
    if (request.keys) {
        run.step(DeviceStep::WriteKeys,
                 [&](WindowHandle window) { return writeKeysToKeyboard(config, window); });
    }
    if (request.lights) {
        run.step(DeviceStep::WriteLights,
                 [&](WindowHandle) { return writeBacklightToKeyboard(config); });
    }
    if (request.keys && (request.verify || request.settle)) {
        run.pause(times.afterKeyWrite);
    } else if (request.lights && request.settle && !request.verify) {
        run.pause(times.afterBacklightWrite);
    }
    if (!request.verify) {
        return run.finish();
    }
    // The library's key slots still hold what the write sent: that is what is compared.
    run.step(DeviceStep::ReadBack, [&](WindowHandle window) {
        return verifyWritten(config, window, {request.keys, request.lights},
                             run.result.differences);
    });
    return run.finish(run.result.differences.agrees() ? StepsOutcome::Done : StepsOutcome::Differs);
}

StepsResult loadFromKeyboard(KeyboardConfig& config, const SettleTimes& times,
                             StepObserver& observer) {
    // The key read leaves the document alone when it fails, but a failure or a stop after the
    // keys arrived would leave new keys with old colours: the copy puts everything back.
    const LoadedPart before(config);
    Sequence run(config, observer);
    run.step(DeviceStep::ReadKeys,
             [&](WindowHandle window) { return readKeysFromKeyboard(config, window); });
    run.pause(times.afterKeyRead);
    run.step(DeviceStep::ReadLights,
             [&](WindowHandle) { return readBacklightFromKeyboard(config); });
    StepsResult result = run.finish();
    if (!result.succeeded()) {
        before.restoreInto(config);
    }
    return result;
}

StepsResult verifyAgainstDocument(KeyboardConfig& config, VerifyParts parts,
                                  StepObserver& observer) {
    Sequence run(config, observer);
    run.step(DeviceStep::ReadBack, [&](WindowHandle window) {
        return verifyKeyboard(config, window, parts, run.result.differences);
    });
    return run.finish(run.result.differences.agrees() ? StepsOutcome::Done : StepsOutcome::Differs);
}

StepsResult downloadFirmware(KeyboardConfig& config, std::string_view text,
                             StepObserver& observer) {
    Sequence run(config, observer);
    run.step(DeviceStep::Firmware, [&](WindowHandle window) {
        // The library takes the length as an int.
        return !text.empty() && text.size() < static_cast<std::size_t>(INT_MAX) &&
               config.keyboard.WriteFirmwareToKeyboard(text.data(), static_cast<int>(text.size()),
                                                       window);
    });
    return run.finish();
}
