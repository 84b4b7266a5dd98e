// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The application: starts Qt, registers the skin pictures (OskelRES.rcc beside the program, or in
// share/oskel of its installation), creates the shared fonts and brush, builds the key tables
// and runs the main window modally.
// The program ends when the main window closes.

#include <QString>
#include <memory>

class QApplication;
class SkinResources;

class CTravoApp {
public:
    CTravoApp();
    ~CTravoApp();

    // The whole run: start-up, the main window, shutdown. The process's exit status: 0, or 1
    // when OskelRES.rcc or one of its pictures is missing (the user has been told which).
    int run(int& argc, char** argv);

    // Registers `path` as the skin resource file and loads every picture into `resources`.
    // False with a message for the user in `problem` when the file or a picture is missing.
    static bool loadSkin(const QString& path, SkinResources& resources, QString* problem);

    // OskelRES.rcc beside the program, or in share/oskel of its installation.
    static QString resourceFilePath();

private:
    std::unique_ptr<QApplication> application;
    std::unique_ptr<SkinResources> resources;
    QString registeredFile;
};
