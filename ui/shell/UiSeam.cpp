// SPDX-License-Identifier: GPL-2.0-or-later
#include "UiSeam.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

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

void UiSeam::message(QWidget* parent, const QString& text, const QString& title, UiIcon icon) {
    QMessageBox box(toQtIcon(icon), title, text, QMessageBox::Ok, parent);
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
