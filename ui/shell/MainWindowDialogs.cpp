// SPDX-License-Identifier: GPL-2.0-or-later
#include "MainWindowDialogs.h"

#include <QString>
#include <QWidget>

#include "CTravoDialogBkLightSettings.h"
#include "CTravoDialogKeyMapSettings.h"
#include "DeviceDialogs.h"
#include "KeyboardConfig.h"
#include "ProgramSettings.h"
#include "UiSeam.h"

void runProgressDialog(QWidget* parent, int operation, KeyboardConfig& config) {
    runDeviceProgress(parent, operation, config,
                      operation == WriteKeySettings && programSettings::verifyAfterWrite());
}

void runWriteEverythingDialogs(QWidget* parent, KeyboardConfig& config) {
    runWriteEverything(parent, config, programSettings::verifyAfterWrite());
}

void runKeySettingsDialog(QWidget* parent, KeyboardConfig& config) {
    CTravoDialogKeyMapSettings dialog(config, parent);
    dialog.exec();
}

void runBacklightDialog(QWidget* parent, KeyboardConfig& config) {
    CTravoDialogBkLightSettings dialog(config, parent);
    dialog.exec();
    // The colours may have changed; the window shows what the document now holds.
    if (parent != nullptr) {
        parent->update();
    }
}

void runFirmwareDialog(QWidget* parent, KeyboardConfig& config) {
    runFirmwareUpdateDialog(parent, config);
}

bool tellKeyboardAccessProblem(QWidget* parent, KeyboardConfig& config) {
    const QString advice = keyboardAccessAdvice(config);
    if (advice.isEmpty()) {
        return false;
    }
    ui().message(parent, advice, QStringLiteral("Oskel"));
    return true;
}
