// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QResource>
#include <cstdio>

#include "CTravoDlg.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "ProgramFiles.h"
#include "SkinResources.h"
#include "UiSeam.h"

namespace {

// Message boxes and file choosers in the skin's colours: dark, with the orange accent.
void applyDarkTheme() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette p;
    const QColor window(32, 33, 36), base(toQColor(kDarkColor)), text(220, 220, 220),
        accent(toQColor(kAccentColor));
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(48, 49, 53));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Link, accent);
    p.setColor(QPalette::PlaceholderText, QColor(130, 130, 130));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    QApplication::setPalette(p);
}

}  // namespace

CTravoApp::CTravoApp() = default;

CTravoApp::~CTravoApp() {
    // Fonts and pictures belong to the Qt application: they go before it does.
    resources.reset();
    application.reset();
}

QString CTravoApp::resourceFilePath() {
    return programFile(QStringLiteral("OskelRES.rcc"));
}

bool CTravoApp::loadSkin(const QString& path, SkinResources& skin, QString* problem) {
    if (!QFileInfo(path).isFile() || !QResource::registerResource(path)) {
        *problem =
            QStringLiteral("缺少资源文件：%1\nThe resource file is missing or unreadable: %1")
                .arg(path);
        return false;
    }
    QString missing;
    if (!skin.loadPictures(&missing)) {
        *problem = QStringLiteral("资源文件 %1 中缺少图片 %2\nThe picture %2 is missing from %1")
                       .arg(path, missing);
        return false;
    }
    return true;
}

int CTravoApp::run(int& argc, char** argv) {
    // The keystroke capture grabs the keyboard through X11, so the program runs on X11
    // (XWayland under Wayland) unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Oskel"));
    // Hiding the main window in the notification area must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    applyDarkTheme();

    resources = std::make_unique<SkinResources>();
    SkinResources::setCurrent(resources.get());
    const QString file = resourceFilePath();
    QString problem;
    if (!loadSkin(file, *resources, &problem)) {
        std::fprintf(stderr, "Oskel: %s\n", problem.toLocal8Bit().constData());
        ui().message(nullptr, problem, QStringLiteral("Oskel"), UiIcon::Warning);
        return 1;
    }
    registeredFile = file;

    KeyboardConfig& config = keyboardConfig();
    buildKeyTables(config);
    {
        CTravoDlg mainWindow(config);
        mainWindow.runModal();
    }

    resources->freePictures();
    QResource::unregisterResource(registeredFile);
    SkinResources::setCurrent(nullptr);
    return 0;
}
