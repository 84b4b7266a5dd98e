#include "ProgramSettings.h"

#include <QSettings>
#include <memory>

namespace {

const QString kVerifyAfterWrite = QStringLiteral("verifyAfterWrite");

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

QString file() {
    return settings()->fileName();
}

}  // namespace programSettings
