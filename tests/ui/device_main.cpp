// GoogleTest's main for the device dialog tests, with the Qt application they need.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Without a display the dialogs still lay out and paint.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
