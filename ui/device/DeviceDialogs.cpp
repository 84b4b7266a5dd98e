#include "DeviceDialogs.h"

#include <QCoreApplication>
#include <QString>

#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDialogProgress.h"
#include "DeviceOperations.h"
#include "DeviceTexts.h"
#include "KeyboardConfig.h"
#include "UiSeam.h"

ProgressResult runDeviceProgress(QWidget* parent, int operation) {
    return runDeviceProgress(parent, operation, keyboardConfig());
}

ProgressResult runDeviceProgress(QWidget* parent, int operation, KeyboardConfig& config) {
    CTravoDialogProgress dialog(config, parent);
    dialog.operation = operation;
    const int code = dialog.exec();
    const ProgressResult result = code == QDialog::Accepted ? ProgressResult::Done
                                  : code == CTravoDialogProgress::kProgressFailed
                                      ? ProgressResult::Failed
                                      : ProgressResult::Cancelled;
    const QString text = progressResultText(result, operation, config);
    if (!text.isEmpty()) {
        // The caption is the program's name, as every message box of the main window has.
        ui().message(parent, text, QCoreApplication::applicationName());
    }
    return result;
}

QString progressResultText(ProgressResult result, int operation, const KeyboardConfig& config) {
    switch (result) {
        case ProgressResult::Done:
            return QString::fromUtf16(deviceTexts::kOk);
        case ProgressResult::Failed:
            return (operation == LoadFromKeyboard ? deviceTexts::kReadFailed
                                                  : deviceTexts::kWriteFailed)
                .chineseOrEnglish(config.language);
        case ProgressResult::Cancelled:
            break;
    }
    return {};
}

void runFirmwareUpdateDialog(QWidget* parent) {
    runFirmwareUpdateDialog(parent, keyboardConfig());
}

void runFirmwareUpdateDialog(QWidget* parent, KeyboardConfig& config) {
    CTravoDialogFirmwareUpdate dialog(config, parent);
    dialog.exec();
}
