// SPDX-License-Identifier: GPL-2.0-or-later
#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <memory>

#include "LanguageText.h"

namespace {

// Owned by the application, so it never outlives it; the pointer clears itself then.
QPointer<QTranslator> installed;

void removeInstalled() {
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
}

// The qtbase file of a language other than English; empty for English.
QString fileFor(const std::string& language) {
    if (isChinese(language)) {
        return QStringLiteral("qtbase_zh_CN");
    }
    return {};
}

}  // namespace

namespace qtTranslations {

QString installedFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool use(const std::string& language, const QString& folder) {
    removeInstalled();
    const QString file = fileFor(language);
    if (file.isEmpty()) {
        return language == "en-US";
    }
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    // A file that loads but holds no texts would leave buttons in English anyway; it is
    // treated as missing so the answer says so.
    if (!translator->load(file, folder) || translator->isEmpty() ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    installed = translator.release();
    return true;
}

}  // namespace qtTranslations
