// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program's standard dialogs behind one seam: file choosers, message boxes, the colour
// chooser and opening a document with the desktop. Windows call ui() instead of the Qt dialogs,
// so GUI tests install a UiSeam of their own that gives fixed answers and records what was asked.

#include <QColor>
#include <QString>
#include <optional>

class QWidget;
class QUrl;

enum class UiAnswer { Ok, Yes, No, Cancel };

enum class UiIcon { None, Information, Warning };

class UiSeam {
public:
    virtual ~UiSeam() = default;

    // The chosen path, or empty when the user cancelled. The dialog (Qt's own, in the language
    // of the installed Qt translation) starts in `folder`; `filter` is a Qt name filter list
    // ("pro (*.pro);;All Files (*)"); a name typed without suffix gets `defaultSuffix`. The save
    // dialog asks before overwriting an existing file; the open dialog takes existing files only.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter, const QString& defaultSuffix);
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter, const QString& defaultSuffix = {});

    // A message with one OK button. An empty title leaves the caption to the platform.
    virtual void message(QWidget* parent, const QString& text, const QString& title = {},
                         UiIcon icon = UiIcon::None);

    // Yes / No, with Cancel too when `withCancel`. Closing the box answers Cancel (or No).
    virtual UiAnswer question(QWidget* parent, const QString& text, bool withCancel,
                              const QString& title = {});

    // The colour chooser (Qt's own, never the desktop's) opened on `initial` with its custom
    // colours shown; no value on Cancel.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial);

    // Hands a file or link to the desktop (the help file). False when nothing could open it.
    virtual bool openUrl(const QUrl& url);

    // The seam in use: the installed one, else the real dialogs.
    static UiSeam& current();
    // Installs a replacement (tests); null returns to the real dialogs. Not owned.
    static void install(UiSeam* seam);
};

// A message holding commands to type into a terminal (lines indented by four spaces) as rich
// text: the commands in a fixed-width block that never wraps, the rest as paragraphs with its
// line breaks. Empty for a message without commands, which is shown as plain text.
QString messageMarkup(const QString& text);

inline UiSeam& ui() {
    return UiSeam::current();
}
