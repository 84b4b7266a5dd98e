// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceOperations.h"

#include <QFile>
#include <QString>
#include <climits>
#include <cstdint>
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

int writeKeySettings(KeyboardConfig& config, DeviceWorker& worker,
                     WriteVerification* verification) {
    if (worker.stopRequested() || !writeKeysToKeyboard(config, config.notifyWindow) ||
        !worker.pause(deviceSettleTimes().afterKeyWrite)) {
        return kTransferFailed;
    }
    if (verification == nullptr || !verification->enabled) {
        return kTransferSucceeded;
    }
    // The keyboard has had its time to store the records: read them back, as the library's
    // slots still hold what the write sent.
    post(config, WM_TRANSFER_VERIFYING, 0);
    if (worker.stopRequested() ||
        !verifyWritten(config, config.notifyWindow, {true, false}, verification->result) ||
        worker.stopRequested()) {
        return kTransferFailed;
    }
    return verification->result.agrees() ? kTransferSucceeded : kTransferDiffers;
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
    // An empty file, or one larger than the device library takes (the same bound as oskelctl's),
    // is no firmware image: nothing of it is read or sent.
    if (size <= 0 || static_cast<std::uint64_t>(size) > CTravoHWI::kMaxFirmwareBytes) {
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

void runProgressOperation(KeyboardConfig& config, int operation, DeviceWorker& worker,
                          WriteVerification* verification) {
    int outcome = kTransferFailed;
    switch (operation) {
        case WriteKeySettings:
            outcome = writeKeySettings(config, worker, verification);
            break;
        case LoadFromKeyboard:
            outcome = loadFromKeyboard(config, worker) ? kTransferSucceeded : kTransferFailed;
            break;
        case WriteBacklight:
            outcome = writeBacklight(config, worker) ? kTransferSucceeded : kTransferFailed;
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

LoadedPart LoadedPart::of(const KeyboardConfig& config) {
    return LoadedPart{config.assignments, config.backlight};
}

void LoadedPart::restoreInto(KeyboardConfig& config) const {
    config.assignments = assignments;
    config.backlight = backlight;
}
