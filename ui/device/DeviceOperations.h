// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the device workers do: the progress dialog's three operations and the firmware download.
//
// Each runs on a DeviceWorker thread while its dialog waits, and ends by posting
// WM_TRANSFER_DONE to the document's notifyWindow (when one is set).

#include "DeviceProgress.h"
#include "KeyboardConfig.h"
#include "Verification.h"

class DeviceWorker;

// WM_TRANSFER_DONE wParam of the progress operations.
constexpr int kTransferFailed = 0;
constexpr int kTransferSucceeded = 1;
constexpr int kTransferDiffers = 2;  // written, but the keyboard holds something else

// Posted when a key write has been sent and the keyboard is read back to compare; the read's
// progress follows.
constexpr unsigned WM_TRANSFER_VERIFYING = WM_USER + 105;

// Reading back after a key write: whether to, and what was found (filled by the worker, read
// once the dialog has joined it).
struct WriteVerification {
    bool enabled = false;
    Comparison result;
};

// Runs one progress operation (the device steps, with the document's settle times) on the
// calling (worker) thread, then posts WM_TRANSFER_DONE with kTransferSucceeded, kTransferFailed
// or, for a verified key write, kTransferDiffers. A stop request ends it early as a failure; a
// load that does not finish leaves the document as it was.
void runProgressOperation(KeyboardConfig& config, int operation, DeviceWorker& worker,
                          WriteVerification* verification = nullptr);

// Outcome codes of a firmware download, the wParam of the firmware worker's WM_TRANSFER_DONE.
enum FirmwareOutcome : int {
    FirmwareNoMemory = 0,        // no room for the file's contents
    FirmwareDownloaded = 1,      // every record reached the keyboard
    FirmwareDownloadFailed = 2,  // the text failed the check, or a report could not be sent
    FirmwareCannotOpen = 3,      // the file could not be opened or read
};

// Reads the file `firmwarePath` and downloads it with WriteFirmwareToKeyboard, then posts
// WM_TRANSFER_DONE with the outcome. Returns the outcome.
int runFirmwareDownload(KeyboardConfig& config);
