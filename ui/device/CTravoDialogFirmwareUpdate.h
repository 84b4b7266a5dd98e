// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The firmware update dialog: reads the keyboard's firmware version, lets the user choose a
// firmware file and downloads it on a worker thread while a bar runs. The outcome is told in a
// message box and the dialog stays open until the user closes it.
//
// A download is never abandoned: while it runs, Update and Get Version do nothing, and closing
// asks the user to wait.

#include <QString>
#include <optional>

#include "DeviceOperations.h"
#include "DeviceProgress.h"
#include "DeviceWorker.h"
#include "OskelHWI.h"
#include "SkinDialog.h"

class KeyboardConfig;
class QLineEdit;

class CTravoDialogFirmwareUpdate : public SkinDialog {
    Q_OBJECT

public:
    CTravoDialogFirmwareUpdate(KeyboardConfig& config, QWidget* parent);
    ~CTravoDialogFirmwareUpdate() override;

    // The bar's fill in percent, 0..100.
    int percent = 0;
    // The file chosen with Open; empty at first.
    QString chosenPath;
    // 1001: the keyboard's firmware version; 1002: the chosen file. Both read-only.
    QLineEdit* versionBox = nullptr;
    QLineEdit* fileBox = nullptr;

    // True while a download runs.
    bool downloading() const { return worker.active(); }
    int barWidth() const;

    // Enter does nothing; Escape closes as the cancel button does.
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void command(int regionId) override;
    void deviceMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void paintOverlay(QPainter& painter, const QRect& dirty) override;

private:
    QLineEdit* makeTextBox(int controlId);
    void readVersion();
    void chooseFile();
    void startDownload(bool withBackup = true);
    void downloadDone(int outcome);
    void restoreDone(int outcome);
    void closeUnlessDownloading();
    void showOutcome(int outcome);
    void tell(const QString& text);

    KeyboardConfig& config;
    DeviceWorker worker;
    // The copy taken before the last download, and whether the worker now writes it back.
    FirmwareBackup backup;
    bool restoring = false;
    // This dialog's target in notifyWindow from its opening until it closes.
    std::optional<ScopedNotifyWindow<WindowHandle>> notifyGuard;
};
