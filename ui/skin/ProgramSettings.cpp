// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProgramSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

#include "ConfigFile.h"

namespace {

const QString kVerifyAfterWrite = QStringLiteral("verifyAfterWrite");
const QString kLastFolder = QStringLiteral("lastFolder");

// A handful of short values; a file far larger is not the program's settings.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

// Beside the recent list, named here rather than taken from the application object, so tests
// and tools that make no QApplication of the program's name still read the same file.
QString settingsPath() {
    const std::string folder = configfile::folder();
    return folder.empty() ? QString() : QString::fromStdString(folder + "/Oskel.conf");
}

// The settings, or none when something other than a settings file stands at its name (a FIFO
// would hang QSettings, /dev/zero would fill the memory): the defaults then apply, nothing is
// stored, and the thing is left as it is. QSettings is only ever given the one checked file.
std::unique_ptr<QSettings> settings() {
    const QString path = settingsPath();
    if (path.isEmpty() || configfile::check(path.toStdString(), kMaxSettingsBytes,
                                            "the settings file") == configfile::Status::Refused) {
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

}  // namespace

namespace programSettings {

bool verifyAfterWrite() {
    const auto s = settings();
    return s == nullptr || s->value(kVerifyAfterWrite, true).toBool();
}

void setVerifyAfterWrite(bool on) {
    const auto s = settings();
    if (s == nullptr) {
        return;
    }
    s->setValue(kVerifyAfterWrite, on);
    s->sync();
}

QString profileFolder() {
    const auto s = settings();
    const QString last = s != nullptr ? s->value(kLastFolder).toString() : QString();
    // A folder removed or unmounted since would leave the dialog in some unrelated place.
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return QDir::homePath();
}

void rememberProfileFolder(const QString& profilePath) {
    // Losing the folder only costs the user a few clicks next time; nothing to report.
    const auto s = settings();
    if (s == nullptr) {
        return;
    }
    s->setValue(kLastFolder, QFileInfo(profilePath).absolutePath());
    s->sync();
}

QString file() {
    return settingsPath();
}

}  // namespace programSettings
