// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDialogProgress.h"

#include <QCloseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "DeviceOperations.h"
#include "DeviceSkin.h"
#include "DeviceTexts.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "SkinSetup.h"

namespace {

QRect barArea() {
    return deviceBarArea(DeviceWindow::Progress);
}

}  // namespace

CTravoDialogProgress::CTravoDialogProgress(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(deviceRegionCount(DeviceWindow::Progress), parent), config(document) {
    setUpDeviceSkin(*this, DeviceWindow::Progress);
    showLanguageOf(config.language);
    setWindowTitle(skinCaption(SkinWindowId::Progress, ProgressRegion::Title, config.language));
}

CTravoDialogProgress::~CTravoDialogProgress() {
    // Only when the dialog is torn down without ending (its parent went away): the worker must
    // not post to or touch anything after this.
    if (worker.active()) {
        worker.requestStop(&config.keyboard);
        worker.join();
    }
}

int CTravoDialogProgress::barWidth() const {
    return deviceBarWidth(DeviceWindow::Progress, percent);
}

void CTravoDialogProgress::showEvent(QShowEvent* e) {
    SkinDialog::showEvent(e);
    if (!started) {
        started = true;
        startOperation();
    }
}

void CTravoDialogProgress::startOperation() {
    percent = 1;
    notifyGuard.emplace(config.notifyWindow, notifyTarget());
    if (!isProgressOperation(operation)) {
        return;  // nothing to run: the dialog waits for Cancel
    }
    KeyboardConfig& document = config;
    const int op = operation;
    verification.enabled = verifyAfterWrite;
    WriteVerification* check = &verification;
    worker.start(
        [&document, op, check](DeviceWorker& w) { runProgressOperation(document, op, w, check); });
}

void CTravoDialogProgress::command(int regionId) {
    if (regionId == ProgressRegion::Close || regionId == ProgressRegion::Cancel) {
        cancelOperation();
    }
}

void CTravoDialogProgress::accept() {}

void CTravoDialogProgress::reject() {
    cancelOperation();
}

void CTravoDialogProgress::closeEvent(QCloseEvent* e) {
    e->ignore();
    cancelOperation();
}

void CTravoDialogProgress::cancelOperation() {
    percent = 0;
    update(barArea());
    if (!worker.active()) {
        finish(Rejected);
        return;
    }
    // The worker posts WM_TRANSFER_DONE as it ends; the dialog closes then.
    stopping = true;
    worker.requestStop(&config.keyboard);
}

void CTravoDialogProgress::deviceMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    if (message == WM_TRANSFER_PROGRESS && !stopping) {
        percent = progressPercent(wParam);
        update(barArea());
    } else if (message == WM_TRANSFER_VERIFYING && !stopping) {
        showVerifying();
    } else if (message == WM_TRANSFER_DONE) {
        worker.join();
        if (stopping) {
            finish(Rejected);
        } else if (wParam == static_cast<std::uintptr_t>(kTransferSucceeded)) {
            finish(Accepted);
        } else {
            finish(wParam == static_cast<std::uintptr_t>(kTransferDiffers) ? kProgressDiffers
                                                                           : kProgressFailed);
        }
    }
}

// The title says what the bar now counts: the records read back.
void CTravoDialogProgress::showVerifying() {
    readingBack = true;
    percent = 0;
    SkinRegion& title = regionById(ProgressRegion::Title);
    title.label = {{"zh-CN", QString::fromUtf16(deviceTexts::kVerifying.zh)},
                   {"en-US", QString::fromUtf16(deviceTexts::kVerifying.en)}};
    update();
}

void CTravoDialogProgress::finish(int result) {
    stopping = false;
    notifyGuard.reset();
    SkinDialog::done(result);
}

void CTravoDialogProgress::paintOverlay(QPainter& painter, const QRect&) {
    paintDeviceBar(painter, DeviceWindow::Progress, percent, look().lit);
}
