// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProgramSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace {

const QString kVerifyAfterWrite = QStringLiteral("verifyAfterWrite");
const QString kLastFolder = QStringLiteral("lastFolder");

// Named here rather than taken from the application object, so tests and tools that make no
// QApplication of the program's name still read the same file.
std::unique_ptr<QSettings> settings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("oskel"), QStringLiteral("Oskel"));
}

}  // namespace

namespace programSettings {

bool verifyAfterWrite() {
    return settings()->value(kVerifyAfterWrite, true).toBool();
}

void setVerifyAfterWrite(bool on) {
    const auto s = settings();
    s->setValue(kVerifyAfterWrite, on);
    s->sync();
}

QString profileFolder() {
    const QString last = settings()->value(kLastFolder).toString();
    // A folder removed or unmounted since would leave the dialog in some unrelated place.
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return QDir::homePath();
}

void rememberProfileFolder(const QString& profilePath) {
    // Losing the folder only costs the user a few clicks next time; nothing to report.
    const auto s = settings();
    s->setValue(kLastFolder, QFileInfo(profilePath).absolutePath());
    s->sync();
}

QString file() {
    return settings()->fileName();
}

}  // namespace programSettings
