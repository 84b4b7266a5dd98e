// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceOperations.h"

#include <QFile>
#include <QString>
#include <climits>
#include <memory>
#include <new>

#include "DeviceSteps.h"
#include "DeviceWorker.h"

namespace {

void post(KeyboardConfig& config, unsigned message, int wParam) {
    if (config.notifyWindow != nullptr) {
        config.notifyWindow->post(message, static_cast<std::uintptr_t>(wParam), 0);
    }
}

// The device dialogs' view of the device steps: progress goes to the document's notify window,
// a stop comes from the worker (none without one).
class DialogSteps : public StepObserver {
public:
    DialogSteps(KeyboardConfig& config, DeviceWorker* worker) : config(config), worker(worker) {}

    WindowHandle stepStarting(DeviceStep step) override {
        if (step == DeviceStep::ReadBack) {
            post(config, WM_TRANSFER_VERIFYING, 0);
        }
        return config.notifyWindow;
    }
    void stepEnded(DeviceStep step, bool succeeded) override {
        // The colour write posts no progress of its own: the bar fills once it is sent.
        if (step == DeviceStep::WriteLights && succeeded) {
            post(config, WM_TRANSFER_PROGRESS, kProgressScale);
        }
    }
    bool stopRequested() override { return worker != nullptr && worker->stopRequested(); }
    bool pause(std::chrono::milliseconds time) override {
        return worker != nullptr ? worker->pause(time) : StepObserver::pause(time);
    }

private:
    KeyboardConfig& config;
    DeviceWorker* worker;
};

int transferOutcome(const StepsResult& result) {
    switch (result.outcome) {
        case StepsOutcome::Done:
            return kTransferSucceeded;
        case StepsOutcome::Differs:
            return kTransferDiffers;
        default:
            return kTransferFailed;
    }
}

int writeKeySettings(KeyboardConfig& config, DeviceWorker& worker,
                     WriteVerification* verification) {
    DialogSteps steps(config, &worker);
    WriteRequest request;
    request.verify = verification != nullptr && verification->enabled;
    request.settle = true;
    StepsResult result = writeToKeyboard(config, request, config.settleTimes, steps);
    if (request.verify) {
        verification->result = std::move(result.differences);
    }
    return transferOutcome(result);
}

int writeBacklight(KeyboardConfig& config, DeviceWorker& worker) {
    DialogSteps steps(config, &worker);
    WriteRequest request;
    request.keys = false;
    request.lights = true;
    // The wait is for the user to see the full bar.
    request.settle = config.notifyWindow != nullptr;
    return transferOutcome(writeToKeyboard(config, request, config.settleTimes, steps));
}

int downloadFirmwareFile(KeyboardConfig& config) {
    if (config.firmwarePath.empty()) {
        return FirmwareCannotOpen;
    }
    QFile file(QString::fromStdU16String(config.firmwarePath));
    if (!file.open(QIODevice::ReadOnly)) {
        return FirmwareCannotOpen;
    }
    const qint64 size = file.size();
    // The device library takes the length as an int and needs a non-empty text; an empty or
    // oversized file is no firmware image, and nothing of it is sent.
    if (size <= 0 || size >= INT_MAX) {
        return FirmwareDownloadFailed;
    }
    std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    if (!text) {
        return FirmwareNoMemory;
    }
    if (file.read(text.get(), size) != size) {
        return FirmwareCannotOpen;
    }
    text[static_cast<std::size_t>(size)] = '\0';
    DialogSteps steps(config, nullptr);  // the download runs to its end
    return downloadFirmware(config, std::string_view(text.get(), static_cast<std::size_t>(size)),
                            steps)
                   .succeeded()
               ? FirmwareDownloaded
               : FirmwareDownloadFailed;
}

}  // namespace

void runProgressOperation(KeyboardConfig& config, int operation, DeviceWorker& worker,
                          WriteVerification* verification) {
    int outcome = kTransferFailed;
    switch (operation) {
        case WriteKeySettings:
            outcome = writeKeySettings(config, worker, verification);
            break;
        case LoadFromKeyboard: {
            DialogSteps steps(config, &worker);
            outcome = transferOutcome(loadFromKeyboard(config, config.settleTimes, steps));
            break;
        }
        case WriteBacklight:
            outcome = writeBacklight(config, worker);
            break;
        default:
            break;
    }
    post(config, WM_TRANSFER_DONE, outcome);
}

int runFirmwareDownload(KeyboardConfig& config) {
    const int outcome = downloadFirmwareFile(config);
    post(config, WM_TRANSFER_DONE, outcome);
    return outcome;
}
