#include "CTravoDialogProgress.h"

#include <QCloseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "DeviceOperations.h"
#include "DeviceSkin.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"

namespace {

QRect barArea() {
    return deviceBarArea(DeviceWindow::Progress);
}

}  // namespace

CTravoDialogProgress::CTravoDialogProgress(QWidget* parent)
    : CTravoDialogProgress(keyboardConfig(), parent) {}

CTravoDialogProgress::CTravoDialogProgress(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(deviceRegionCount(DeviceWindow::Progress), parent), config(document) {
    setUpDeviceSkin(*this, DeviceWindow::Progress);
    showLanguageOf(config.language);
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
    worker.start([&document, op](DeviceWorker& w) { runProgressOperation(document, op, w); });
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
    } else if (message == WM_TRANSFER_DONE) {
        worker.join();
        if (stopping) {
            finish(Rejected);
        } else {
            finish(wParam == static_cast<std::uintptr_t>(kTransferSucceeded) ? Accepted
                                                                             : kProgressFailed);
        }
    }
}

void CTravoDialogProgress::finish(int result) {
    stopping = false;
    notifyGuard.reset();
    SkinDialog::done(result);
}

void CTravoDialogProgress::paintOverlay(QPainter& painter, const QRect&) {
    paintDeviceBar(painter, DeviceWindow::Progress, percent, look().lit);
}
