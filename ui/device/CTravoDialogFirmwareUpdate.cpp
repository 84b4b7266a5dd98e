#include "CTravoDialogFirmwareUpdate.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "DeviceOperations.h"
#include "DeviceSkin.h"
#include "DeviceTexts.h"
#include "KeyboardConfig.h"
#include "SkinResources.h"
#include "UiSeam.h"

namespace {

constexpr int kCloseButton = 89;
constexpr int kGetVersionButton = 90;
constexpr int kOpenFileButton = 91;
constexpr int kUpdateButton = 92;
constexpr int kCancelButton = 93;
constexpr int kVersionBoxId = 1001;
constexpr int kFileBoxId = 1002;
// The version text is at most 62 characters; the library wants room for 63.
constexpr int kVersionBufferSize = 64;

QRect barArea() {
    return deviceBarArea(DeviceWindow::Firmware);
}

}  // namespace

CTravoDialogFirmwareUpdate::CTravoDialogFirmwareUpdate(QWidget* parent)
    : CTravoDialogFirmwareUpdate(keyboardConfig(), parent) {}

CTravoDialogFirmwareUpdate::CTravoDialogFirmwareUpdate(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(deviceRegionCount(DeviceWindow::Firmware), parent), config(document) {
    setUpDeviceSkin(*this, DeviceWindow::Firmware);
    percent = 0;
    previousNotifyWindow = config.notifyWindow;
    ownTarget = notifyTarget();
    config.notifyWindow = ownTarget;
    versionBox = makeTextBox(kVersionBoxId);
    fileBox = makeTextBox(kFileBoxId);
}

CTravoDialogFirmwareUpdate::~CTravoDialogFirmwareUpdate() {
    // Torn down with a download running (the program is ending): let the download finish rather
    // than leave the keyboard with half an image.
    worker.join();
    if (ownTarget != nullptr && config.notifyWindow == ownTarget) {
        config.notifyWindow = previousNotifyWindow;
    }
}

QLineEdit* CTravoDialogFirmwareUpdate::makeTextBox(int controlId) {
    auto* box = new QLineEdit(this);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setGeometry(deviceControlRect(DeviceWindow::Firmware, controlId));
    box->setFont(skinFont(13));
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, QColor(255, 111, 0));
    const QBrush dark = SkinResources::current() != nullptr ? SkinResources::current()->darkBrush()
                                                            : QBrush(QColor(20, 20, 20));
    palette.setBrush(QPalette::Base, dark);
    palette.setBrush(QPalette::Window, dark);
    box->setPalette(palette);
    // A read-only line edit draws no caret, so focus shows nothing.
    box->setFocusPolicy(Qt::ClickFocus);
    return box;
}

int CTravoDialogFirmwareUpdate::barWidth() const {
    return std::clamp(percent, 0, 100) * barArea().width() / 100;
}

void CTravoDialogFirmwareUpdate::command(int regionId) {
    switch (regionId) {
        case kGetVersionButton:
            readVersion();
            break;
        case kOpenFileButton:
            chooseFile();
            break;
        case kUpdateButton:
            startDownload();
            break;
        case kCloseButton:
        case kCancelButton:
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
        tell(deviceTexts::kVersionReadFailed.exactly(config.language));
    }
}

void CTravoDialogFirmwareUpdate::chooseFile() {
    const QString path = ui().openFileName(this, QString(), QString());
    if (!path.isEmpty()) {
        chosenPath = path;
    }
    fileBox->setText(chosenPath);
}

void CTravoDialogFirmwareUpdate::startDownload() {
    if (downloading()) {
        return;
    }
    config.firmwarePath = chosenPath.toStdU16String();
    KeyboardConfig& document = config;
    worker.start([&document](DeviceWorker&) { runFirmwareDownload(document); });
    percent = 1;
    update(barArea());
}

void CTravoDialogFirmwareUpdate::closeUnlessDownloading() {
    if (downloading()) {
        tell(deviceTexts::kDownloadRunning.chineseOrEnglish(config.language));
        return;
    }
    percent = 0;
    if (ownTarget != nullptr && config.notifyWindow == ownTarget) {
        config.notifyWindow = previousNotifyWindow;
    }
    ownTarget = nullptr;
    SkinDialog::done(Rejected);
}

std::string CTravoDialogFirmwareUpdate::language() const {
    return config.language;
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
        const auto value = std::min<std::uintptr_t>(wParam, kProgressScale);
        percent = static_cast<int>(value * 100 / kProgressScale);
        update(barArea());
    } else if (message == WM_TRANSFER_DONE) {
        worker.join();
        showOutcome(static_cast<int>(wParam));
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
            tell(deviceTexts::kFirmwareFailed.exactly(config.language));
            break;
    }
}

void CTravoDialogFirmwareUpdate::tell(const QString& text) {
    if (!text.isEmpty()) {
        ui().message(this, text);
    }
}

void CTravoDialogFirmwareUpdate::paintOverlay(QPainter& painter, const QRect&) {
    const QRect area = barArea();
    const QRect bar(area.left(), area.top(), barWidth(), area.height());
    if (bar.width() > 0 && look().lit != nullptr) {
        painter.drawPixmap(bar, *look().lit, bar);
    }
}
