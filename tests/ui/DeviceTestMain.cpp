// SPDX-License-Identifier: GPL-2.0-or-later
// GoogleTest's main for the device dialog tests, with the Qt application they need.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "UsbKeyboard.h"

int main(int argc, char** argv) {
    // The USB door's keyboards are reached through umockdev's preload, there from the start.
    oskel::reexecUnderUmockdev(argv);
    // Without a display the dialogs still lay out and paint.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // What the program remembers between runs goes to a folder of this run, not the user's.
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    qputenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
