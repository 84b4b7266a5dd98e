// SPDX-License-Identifier: GPL-2.0-or-later
#include "MainWindowDialogs.h"

#include "CTravoDialogBkLightSettings.h"
#include "CTravoDialogKeyMapSettings.h"
#include "KeyboardConfig.h"
#include "ProgramSettings.h"
#include "UiSeam.h"

#include <QString>
#include <QWidget>

// Each folder's dialogs are compiled in when the folder is part of the build.
#if defined(OSKEL_HAVE_UI_DEVICE) && __has_include("device/DeviceDialogs.h")
#include "device/DeviceDialogs.h"
#define OSKEL_DEVICE_DIALOGS 1
#endif

void runProgressDialog(QWidget* parent, int operation, KeyboardConfig& config) {
#if defined(OSKEL_DEVICE_DIALOGS)
    runDeviceProgress(parent, operation, config,
                      operation == WriteKeySettings && programSettings::verifyAfterWrite());
#else
    (void)parent;
    (void)operation;
    (void)config;
#endif
}

void runWriteEverythingDialogs(QWidget* parent, KeyboardConfig& config) {
#if defined(OSKEL_DEVICE_DIALOGS)
    runWriteEverything(parent, config, programSettings::verifyAfterWrite());
#else
    (void)parent;
    (void)config;
#endif
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
#if defined(OSKEL_DEVICE_DIALOGS)
    runFirmwareUpdateDialog(parent, config);
#else
    (void)parent;
    (void)config;
#endif
}

bool tellKeyboardAccessProblem(QWidget* parent, KeyboardConfig& config) {
#if defined(OSKEL_DEVICE_DIALOGS)
    const QString advice = keyboardAccessAdvice(config);
    if (advice.isEmpty()) {
        return false;
    }
    ui().message(parent, advice, QStringLiteral("Oskel"));
    return true;
#else
    (void)parent;
    (void)config;
    return false;
#endif
}
