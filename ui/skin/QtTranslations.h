// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Qt's own texts (file dialogs, message-box buttons, the colour chooser) in the program's
// language, from the qtbase translations Qt is installed with.

#include <QString>
#include <string>

namespace qtTranslations {

// Where Qt's translation files are installed (/usr/share/qt6/translations on Debian).
QString installedFolder();

// Makes the dialogs opened from now on speak `language` ("zh-CN" or "en-US"), in place of the
// language set before. English is Qt's own; Chinese comes from qtbase_zh_CN.qm in `folder`.
// True when the dialogs speak `language`; false when its file is missing or unreadable, and
// the dialogs then speak English.
bool use(const std::string& language, const QString& folder = installedFolder());

}  // namespace qtTranslations
