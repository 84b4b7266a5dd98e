// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDialogFirmwareUpdate.h"

#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "DeviceDialogs.h"
#include "DeviceOperations.h"
#include "DeviceSkin.h"
#include "DeviceTexts.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "SkinResources.h"
#include "SkinSetup.h"
#include "UiSeam.h"

namespace {

// The version text is at most 62 characters; the library wants room for 63.
constexpr int kVersionBufferSize = 64;

QRect barArea() {
    return deviceBarArea(DeviceWindow::Firmware);
}

}  // namespace

CTravoDialogFirmwareUpdate::CTravoDialogFirmwareUpdate(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(deviceRegionCount(DeviceWindow::Firmware), parent), config(document) {
    setUpDeviceSkin(*this, DeviceWindow::Firmware);
    showLanguageOf(config.language);
    setWindowTitle(skinCaption(SkinWindowId::Firmware, FirmwareRegion::Title, config.language));
    percent = 0;
    notifyGuard.emplace(config.notifyWindow, notifyTarget());
    versionBox = makeTextBox(FirmwareRegion::VersionBox);
    fileBox = makeTextBox(FirmwareRegion::FileBox);
}

CTravoDialogFirmwareUpdate::~CTravoDialogFirmwareUpdate() {
    // Torn down with a download running (the program is ending): let the download finish rather
    // than leave the keyboard with half an image.
    worker.join();
}

QLineEdit* CTravoDialogFirmwareUpdate::makeTextBox(int controlId) {
    auto* box = new QLineEdit(this);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setGeometry(deviceControlRect(DeviceWindow::Firmware, controlId));
    box->setFont(skinFont(13));
    applyTextBoxTheme(*box);
    // A read-only line edit draws no caret, so focus shows nothing.
    box->setFocusPolicy(Qt::ClickFocus);
    return box;
}

int CTravoDialogFirmwareUpdate::barWidth() const {
    return deviceBarWidth(DeviceWindow::Firmware, percent);
}

void CTravoDialogFirmwareUpdate::command(int regionId) {
    switch (regionId) {
        case FirmwareRegion::GetVersion:
            readVersion();
            break;
        case FirmwareRegion::OpenFile:
            chooseFile();
            break;
        case FirmwareRegion::Update:
            startDownload();
            break;
        case FirmwareRegion::Close:
        case FirmwareRegion::Cancel:
            closeUnlessDownloading();
            break;
        default:
            break;
    }
}

void CTravoDialogFirmwareUpdate::readVersion() {
    // The download holds the keyboard; a version read would only wait for it on this thread.
    if (downloading()) {
        return;
    }
    char16_t version[kVersionBufferSize] = {};
    if (config.keyboard.ReadKeyboardVersion(version)) {
        version[kVersionBufferSize - 1] = u'\0';
        versionBox->setText(QString::fromUtf16(version));
    } else {
        tell(withAccessAdvice(deviceTexts::kVersionReadFailed.exactly(config.language), config));
    }
}

void CTravoDialogFirmwareUpdate::chooseFile() {
    const QString path = ui().openFileName(this, QString(), QString(), QString());
    if (!path.isEmpty()) {
        chosenPath = path;
    }
    fileBox->setText(chosenPath);
}

void CTravoDialogFirmwareUpdate::startDownload(bool withBackup) {
    if (downloading()) {
        return;
    }
    config.firmwarePath = chosenPath.toStdU16String();
    KeyboardConfig& document = config;
    // A file that cannot be opened is told before anything is read from the keyboard.
    backup.wanted = withBackup && QFile::exists(chosenPath);
    backup.result = {};
    restoring = false;
    FirmwareBackup* copy = &backup;
    worker.start([&document, copy](DeviceWorker&) { runFirmwareDownload(document, copy); });
    percent = 1;
    update(barArea());
}

void CTravoDialogFirmwareUpdate::closeUnlessDownloading() {
    if (downloading()) {
        tell(deviceTexts::kDownloadRunning.chineseOrEnglish(config.language));
        return;
    }
    percent = 0;
    notifyGuard.reset();
    SkinDialog::done(Rejected);
}

void CTravoDialogFirmwareUpdate::accept() {}

void CTravoDialogFirmwareUpdate::reject() {
    closeUnlessDownloading();
}

void CTravoDialogFirmwareUpdate::closeEvent(QCloseEvent* e) {
    e->ignore();
    closeUnlessDownloading();
}

void CTravoDialogFirmwareUpdate::deviceMessage(unsigned message, std::uintptr_t wParam,
                                               std::intptr_t) {
    if (message == WM_TRANSFER_PROGRESS) {
        percent = progressPercent(wParam);
        update(barArea());
    } else if (message == WM_FIRMWARE_NO_BACKUP) {
        worker.join();
        if (ui().question(this, deviceTexts::kNoBackup.chineseOrEnglish(config.language), false) ==
            UiAnswer::Yes) {
            startDownload(false);
        }
    } else if (message == WM_TRANSFER_DONE) {
        worker.join();
        if (restoring) {
            restoreDone(static_cast<int>(wParam));
        } else {
            downloadDone(static_cast<int>(wParam));
        }
    }
}

void CTravoDialogFirmwareUpdate::downloadDone(int outcome) {
    showOutcome(outcome);
    if (outcome != FirmwareDownloaded || !backup.result.ok) {
        return;
    }
    // The outcome message asks the user to replug the keyboard; once that is done the keys it
    // held can go back.
    if (ui().question(this, deviceTexts::kRestoreBackup.chineseOrEnglish(config.language), false) !=
        UiAnswer::Yes) {
        return;
    }
    if (!config.keyboard.isOpen()) {
        config.keyboard.__createDev();
    }
    restoring = true;
    KeyboardConfig& document = config;
    const std::string path = backup.result.path;
    worker.start([&document, path](DeviceWorker& self) { runBackupRestore(document, path, self); });
    percent = 1;
    update(barArea());
}

void CTravoDialogFirmwareUpdate::restoreDone(int outcome) {
    restoring = false;
    if (outcome == kTransferSucceeded) {
        tell(QString::fromUtf16(deviceTexts::kOk));
    } else {
        tell(deviceTexts::kRestoreFailed.chineseOrEnglish(config.language)
                 .arg(QString::fromStdString(backup.result.path)));
    }
}

void CTravoDialogFirmwareUpdate::showOutcome(int outcome) {
    switch (outcome) {
        case FirmwareDownloaded:
            tell(deviceTexts::kFirmwareDownloaded.exactly(config.language));
            break;
        case FirmwareCannotOpen:
            tell(deviceTexts::kFirmwareCannotOpen.exactly(config.language));
            break;
        // No room for the file is a failed download too; the user must not be left guessing.
        case FirmwareNoMemory:
        case FirmwareDownloadFailed:
        default:
            tell(withAccessAdvice(deviceTexts::kFirmwareFailed.exactly(config.language), config));
            break;
    }
}

void CTravoDialogFirmwareUpdate::tell(const QString& text) {
    if (!text.isEmpty()) {
        ui().message(this, text);
    }
}

void CTravoDialogFirmwareUpdate::paintOverlay(QPainter& painter, const QRect&) {
    paintDeviceBar(painter, DeviceWindow::Firmware, percent, look().lit);
}
