#include "MainWindowDialogs.h"

// Each folder's dialogs are compiled in when the folder is part of the build.
#if defined(OSKEL_HAVE_UI_DEVICE) && __has_include("device/CTravoDialogProgress.h")
#include "device/CTravoDialogProgress.h"
#define OSKEL_PROGRESS_DIALOG 1
#endif
#if defined(OSKEL_HAVE_UI_DEVICE) && __has_include("device/CTravoDialogFirmwareUpdate.h")
#include "device/CTravoDialogFirmwareUpdate.h"
#define OSKEL_FIRMWARE_DIALOG 1
#endif
#if defined(OSKEL_HAVE_UI_KEYEDIT) && __has_include("keyedit/CTravoDialogKeyMapSettings.h")
#include "keyedit/CTravoDialogKeyMapSettings.h"
#define OSKEL_KEY_SETTINGS_DIALOG 1
#endif
#if defined(OSKEL_HAVE_UI_BACKLIGHT) && __has_include("backlight/CTravoDialogBkLightSettings.h")
#include "backlight/CTravoDialogBkLightSettings.h"
#define OSKEL_BACKLIGHT_DIALOG 1
#endif

DeviceOutcome runProgressDialog(QWidget* parent, int operation) {
#if defined(OSKEL_PROGRESS_DIALOG)
    CTravoDialogProgress dialog(parent);
    dialog.operation = operation;
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        return DeviceOutcome::Done;
    }
    return dialog.failed() ? DeviceOutcome::Failed : DeviceOutcome::Cancelled;
#else
    (void)parent;
    (void)operation;
    return DeviceOutcome::Missing;
#endif
}

void runKeySettingsDialog(QWidget* parent) {
#if defined(OSKEL_KEY_SETTINGS_DIALOG)
    CTravoDialogKeyMapSettings dialog(parent);
    dialog.exec();
#else
    (void)parent;
#endif
}

void runBacklightDialog(QWidget* parent) {
#if defined(OSKEL_BACKLIGHT_DIALOG)
    CTravoDialogBkLightSettings dialog(parent);
    dialog.exec();
#else
    (void)parent;
#endif
}

void runFirmwareDialog(QWidget* parent) {
#if defined(OSKEL_FIRMWARE_DIALOG)
    CTravoDialogFirmwareUpdate dialog(parent);
    dialog.exec();
#else
    (void)parent;
#endif
}
