#include "DeviceOperations.h"

#include <QFile>
#include <QString>
#include <climits>
#include <memory>
#include <new>

#include "DeviceWorker.h"
#include "TransferFlows.h"

namespace {

void post(KeyboardConfig& config, unsigned message, int wParam) {
    if (config.notifyWindow != nullptr) {
        config.notifyWindow->post(message, static_cast<std::uintptr_t>(wParam), 0);
    }
}

bool writeKeySettings(KeyboardConfig& config, DeviceWorker& worker) {
    if (worker.stopRequested() || !writeKeysToKeyboard(config, config.notifyWindow)) {
        return false;
    }
    return worker.pause(deviceSettleTimes().afterKeyWrite);
}

// The key read leaves the document alone when it fails; the backlight read comes 2 s later, so
// a failure or a cancel after the keys arrived would leave new keys with old colours. The
// snapshot puts everything back instead.
bool loadFromKeyboard(KeyboardConfig& config, DeviceWorker& worker) {
    const LoadedPart before = LoadedPart::of(config);
    const bool loaded = !worker.stopRequested() &&
                        readKeysFromKeyboard(config, config.notifyWindow) &&
                        worker.pause(deviceSettleTimes().afterKeyRead) &&
                        readBacklightFromKeyboard(config) && !worker.stopRequested();
    if (!loaded) {
        before.restoreInto(config);
    }
    return loaded;
}

bool writeBacklight(KeyboardConfig& config, DeviceWorker& worker) {
    if (worker.stopRequested() || !writeBacklightToKeyboard(config)) {
        return false;
    }
    if (config.notifyWindow == nullptr) {
        return true;
    }
    post(config, WM_TRANSFER_PROGRESS, kProgressScale);
    return worker.pause(deviceSettleTimes().afterBacklightWrite);
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
    return config.keyboard.WriteFirmwareToKeyboard(text.get(), static_cast<int>(size),
                                                   config.notifyWindow)
               ? FirmwareDownloaded
               : FirmwareDownloadFailed;
}

}  // namespace

DeviceSettleTimes& deviceSettleTimes() {
    static DeviceSettleTimes times;
    return times;
}

void runProgressOperation(KeyboardConfig& config, int operation, DeviceWorker& worker) {
    bool done = false;
    switch (operation) {
        case WriteKeySettings:
            done = writeKeySettings(config, worker);
            break;
        case LoadFromKeyboard:
            done = loadFromKeyboard(config, worker);
            break;
        case WriteBacklight:
            done = writeBacklight(config, worker);
            break;
        default:
            break;
    }
    post(config, WM_TRANSFER_DONE, done ? kTransferSucceeded : kTransferFailed);
}

int runFirmwareDownload(KeyboardConfig& config) {
    const int outcome = downloadFirmwareFile(config);
    post(config, WM_TRANSFER_DONE, outcome);
    return outcome;
}

LoadedPart LoadedPart::of(const KeyboardConfig& config) {
    return LoadedPart{config.assignments, config.backlight};
}

void LoadedPart::restoreInto(KeyboardConfig& config) const {
    config.assignments = assignments;
    config.backlight = backlight;
}
