// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceDialogs.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <cerrno>

#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDialogProgress.h"
#include "DeviceAccess.h"
#include "DeviceOperations.h"
#include "DeviceTexts.h"
#include "KeyboardConfig.h"
#include "KeyboardLayout.h"
#include "UiSeam.h"
#include "Verification.h"

namespace {

std::u16string keyName(int keyIndex) {
    const KeyLayoutEntry* entry = keyLayout(keyIndex);
    return entry != nullptr ? std::u16string(entry->name) : std::u16string();
}

}  // namespace

ProgressOutcome runProgressQuietly(QWidget* parent, int operation, KeyboardConfig& config,
                                   bool verifyAfterWrite) {
    CTravoDialogProgress dialog(config, parent);
    dialog.operation = operation;
    dialog.verifyAfterWrite = verifyAfterWrite;
    const int code = dialog.exec();
    ProgressOutcome outcome;
    outcome.result = code == QDialog::Accepted                        ? ProgressResult::Done
                     : code == CTravoDialogProgress::kProgressFailed  ? ProgressResult::Failed
                     : code == CTravoDialogProgress::kProgressDiffers ? ProgressResult::Differs
                                                                      : ProgressResult::Cancelled;
    outcome.text =
        outcome.result == ProgressResult::Failed && dialog.verifying()
            ? deviceTexts::kVerifyFailed.chineseOrEnglish(config.language)
            : progressResultText(outcome.result, operation, config, &dialog.differences());
    if (outcome.result == ProgressResult::Failed) {
        outcome.text = withAccessAdvice(outcome.text, config);
    }
    return outcome;
}

namespace {

void tell(QWidget* parent, const QString& text) {
    if (!text.isEmpty()) {
        // The caption is the program's name, as every message box of the main window has.
        ui().message(parent, text, QCoreApplication::applicationName());
    }
}

}  // namespace

ProgressResult runDeviceProgress(QWidget* parent, int operation, KeyboardConfig& config,
                                 bool verifyAfterWrite) {
    const ProgressOutcome outcome = runProgressQuietly(parent, operation, config, verifyAfterWrite);
    tell(parent, outcome.text);
    return outcome.result;
}

ProgressResult runWriteEverything(QWidget* parent, KeyboardConfig& config, bool verifyAfterWrite) {
    const ProgressOutcome keys =
        runProgressQuietly(parent, WriteKeySettings, config, verifyAfterWrite);
    if (keys.result == ProgressResult::Cancelled || keys.result == ProgressResult::Failed) {
        tell(parent, keys.text);
        return keys.result;
    }
    const ProgressOutcome lights = runProgressQuietly(parent, WriteBacklight, config, false);
    // The keys' differences matter more than the colours' "OK!"; a failed or cancelled
    // backlight write is said as such.
    const ProgressOutcome& last =
        lights.result == ProgressResult::Done && keys.result == ProgressResult::Differs ? keys
                                                                                        : lights;
    tell(parent, last.text);
    return last.result;
}

QString progressResultText(ProgressResult result, int operation, const KeyboardConfig& config,
                           const Comparison* differences) {
    switch (result) {
        case ProgressResult::Done:
            return QString::fromUtf16(deviceTexts::kOk);
        case ProgressResult::Differs:
            if (differences != nullptr) {
                return differencesText(*differences, config);
            }
            [[fallthrough]];
        case ProgressResult::Failed:
            return (operation == LoadFromKeyboard ? deviceTexts::kReadFailed
                                                  : deviceTexts::kWriteFailed)
                .chineseOrEnglish(config.language);
        case ProgressResult::Cancelled:
            break;
    }
    return {};
}

QString differencesText(const Comparison& differences, const KeyboardConfig& config, int lines) {
    const std::string& language = config.language;
    QStringList found;
    for (const SlotDifference& d : differences.keys) {
        found << QString::fromStdU16String(differenceText(config, d, keyName(d.key), language));
    }
    for (const LightDifference& d : differences.lights) {
        found << QString::fromStdU16String(differenceText(d, keyName(d.key), language));
    }
    QString text = deviceTexts::kDiffers.chineseOrEnglish(language).arg(found.size());
    for (int i = 0; i < found.size() && i < lines; ++i) {
        text += QLatin1Char('\n') + found[i];
    }
    if (found.size() > lines) {
        text += QLatin1Char('\n') +
                deviceTexts::kMoreDiffer.chineseOrEnglish(language).arg(found.size() - lines);
    }
    return text + QStringLiteral("\n\n") + deviceTexts::kDiffersAdvice.chineseOrEnglish(language);
}

QString keyboardAccessAdvice(KeyboardConfig& config) {
    const int error = config.keyboard.openError();
    if (error == 0 || error == ENODEV) {
        return {};
    }
    const AccessAdvice advice =
        adviseOnOpenError(error, config.keyboard.detectedDevicePath(), config.language,
                          defaultRulePlaces(QCoreApplication::applicationDirPath().toStdString()));
    return QString::fromStdString(advice.text);
}

QString withAccessAdvice(const QString& failure, KeyboardConfig& config) {
    if (!failure.isEmpty() && config.keyboard.keyboardBusy()) {
        return failure + QStringLiteral("\n\n") +
               deviceTexts::kKeyboardInUse.chineseOrEnglish(config.language);
    }
    const QString advice = keyboardAccessAdvice(config);
    if (advice.isEmpty() || failure.isEmpty()) {
        return failure;
    }
    return failure + QStringLiteral("\n\n") + advice;
}

void runFirmwareUpdateDialog(QWidget* parent, KeyboardConfig& config) {
    CTravoDialogFirmwareUpdate dialog(config, parent);
    dialog.exec();
}
