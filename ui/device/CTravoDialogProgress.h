// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The small modal dialog that runs one key or backlight transfer on a worker thread: a progress
// bar, the warning not to unplug the keyboard, and Cancel.
//
// The caller sets `operation` and runs the dialog modally. It ends with QDialog::Accepted when
// the operation finished, kProgressFailed when the keyboard did not take or give everything,
// kProgressDiffers when a verified key write found the keyboard holding something else, and
// QDialog::Rejected after Cancel. Cancel stops the worker and the dialog ends only once the worker
// has ended, so no worker outlives its dialog and two transfers never run at once.

#include <optional>

#include "DeviceOperations.h"
#include "DeviceProgress.h"
#include "DeviceWorker.h"
#include "OskelHWI.h"
#include "SkinDialog.h"

class KeyboardConfig;

class CTravoDialogProgress : public SkinDialog {
    Q_OBJECT

public:
    // The result of a transfer that failed.
    static constexpr int kProgressFailed = 2;
    // The result of a key write that the keyboard did not keep as it was sent.
    static constexpr int kProgressDiffers = 3;

    CTravoDialogProgress(KeyboardConfig& config, QWidget* parent);
    ~CTravoDialogProgress() override;

    // 1 write key settings, 3 load from the keyboard, 4 write backlight (ProgressOperation).
    int operation = 0;
    // The bar's fill in percent of its length, 0..100.
    int percent = 1;
    // A key write reads the keyboard back afterwards and compares.
    bool verifyAfterWrite = false;

    // True from the moment the write was sent and the read-back began.
    bool verifying() const { return readingBack; }
    // What the read-back found; valid once the dialog ended.
    const Comparison& differences() const { return verification.result; }

    // True when the dialog ended because the transfer failed.
    bool failed() const { return result() == kProgressFailed; }
    // True from the cancel click until the worker has ended.
    bool cancelling() const { return stopping; }
    // The bar's filled width in pixels for the current percent.
    int barWidth() const;

    // Enter does not end a transfer; Escape cancels as the cancel button does.
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void command(int regionId) override;
    void deviceMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void paintOverlay(QPainter& painter, const QRect& dirty) override;

private:
    void startOperation();
    void cancelOperation();
    void finish(int result);
    void showVerifying();

    KeyboardConfig& config;
    DeviceWorker worker;
    bool started = false;
    bool stopping = false;
    // This dialog's target in notifyWindow from the start of the transfer to its end.
    std::optional<ScopedNotifyWindow<WindowHandle>> notifyGuard;
    bool readingBack = false;
    WriteVerification verification;
};
