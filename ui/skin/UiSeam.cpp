// SPDX-License-Identifier: GPL-2.0-or-later
#include "UiSeam.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace {

UiSeam* installedSeam = nullptr;

QMessageBox::Icon toQtIcon(UiIcon icon) {
    switch (icon) {
        case UiIcon::Information:
            return QMessageBox::Information;
        case UiIcon::Warning:
            return QMessageBox::Warning;
        case UiIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString UiSeam::saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                             const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, caption, folder, filter);
    // The desktop's own chooser would speak the desktop's language, not the program's.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString UiSeam::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                             const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, caption, folder, filter);
    // The desktop's own chooser would speak the desktop's language, not the program's.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString messageMarkup(const QString& text) {
    const QString kCommandIndent = QStringLiteral("    ");
    const QStringList lines =
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    if (std::none_of(lines.cbegin(), lines.cend(),
                     [&](const QString& l) { return l.startsWith(kCommandIndent); })) {
        return {};
    }
    QString html;
    QStringList paragraph;
    QStringList commands;
    const auto endParagraph = [&] {
        if (!paragraph.isEmpty()) {
            html += QStringLiteral("<p>") + paragraph.join(QStringLiteral("<br>")) +
                    QStringLiteral("</p>");
            paragraph.clear();
        }
    };
    const auto endCommands = [&] {
        if (!commands.isEmpty()) {
            html += QStringLiteral("<pre>") + commands.join(u'\n') + QStringLiteral("</pre>");
            commands.clear();
        }
    };
    for (const QString& line : lines) {
        if (line.startsWith(kCommandIndent)) {
            endParagraph();
            commands << line.mid(kCommandIndent.size()).toHtmlEscaped();
        } else if (line.trimmed().isEmpty()) {
            endParagraph();
            endCommands();
        } else {
            endCommands();
            paragraph << line.toHtmlEscaped();
        }
    }
    endParagraph();
    endCommands();
    return html;
}

void UiSeam::message(QWidget* parent, const QString& text, const QString& title, UiIcon icon) {
    QMessageBox box(toQtIcon(icon), title, text, QMessageBox::Ok, parent);
    // A wrapped command is easily mistyped: the commands get a block of their own.
    const QString markup = messageMarkup(text);
    if (!markup.isEmpty()) {
        box.setTextFormat(Qt::RichText);
        box.setText(markup);
    }
    // What a message says can be copied, a command or a device path above all.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

UiAnswer UiSeam::question(QWidget* parent, const QString& text, bool withCancel,
                          const QString& title) {
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel) {
        buttons |= QMessageBox::Cancel;
    }
    QMessageBox box(QMessageBox::Question, title, text, buttons, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return UiAnswer::Yes;
        case QMessageBox::No:
            return UiAnswer::No;
        default:
            return withCancel ? UiAnswer::Cancel : UiAnswer::No;
    }
}

// Qt's own chooser rather than the desktop's: the same on every desktop, with its custom colours
// and HTML field always shown, and fully usable from the keyboard.
std::optional<QColor> UiSeam::chooseColor(QWidget* parent, const QColor& initial) {
    QColorDialog dialog(initial, parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid()) {
        return std::nullopt;
    }
    return dialog.selectedColor();
}

bool UiSeam::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

UiSeam& UiSeam::current() {
    static UiSeam realDialogs;
    return installedSeam != nullptr ? *installedSeam : realDialogs;
}

void UiSeam::install(UiSeam* seam) {
    installedSeam = seam;
}
