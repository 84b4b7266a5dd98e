// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString programFileIn(const QString& programDir, const QString& name) {
    const QString beside = QDir(programDir).filePath(name);
    if (QFileInfo(beside).isFile()) {
        return beside;
    }
    const QString installed =
        QDir::cleanPath(QDir(programDir).filePath(QStringLiteral("../share/oskel/") + name));
    if (QFileInfo(installed).isFile()) {
        return installed;
    }
    return beside;
}

QString programFile(const QString& name) {
    return programFileIn(QCoreApplication::applicationDirPath(), name);
}
