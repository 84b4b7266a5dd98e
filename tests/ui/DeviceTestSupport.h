// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the device dialog tests share: a private runtime folder with an in-process virtual
// keyboard, a document of the test's own with the keyboard opened, the window pictures, and a
// dialog seam that records the messages shown and answers the file chooser.

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "DeviceOperations.h"
#include "KeyboardConfig.h"
#include "UiSeam.h"
#include "UsbKeyboard.h"
#include "VirtualKeyboard.h"

class RecordingSeam : public UiSeam {
public:
    QStringList messages;
    // Answers of the open-file dialog, first in first out; empty: the user cancels.
    QStringList openAnswers;
    int openCalls = 0;

    // Answers of the questions and of the save-file dialog, first in first out; empty: Cancel.
    QList<UiAnswer> questionAnswers;
    QStringList saveAnswers;
    QStringList questions;

    QString openFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&) override {
        ++openCalls;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&) override {
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void message(QWidget*, const QString& text, const QString&, UiIcon) override {
        messages << text;
    }
    UiAnswer question(QWidget*, const QString& text, bool, const QString&) override {
        questions << text;
        return questionAnswers.isEmpty() ? UiAnswer::Cancel : questionAnswers.takeFirst();
    }
};

// Pumps events until `done` holds; false when `timeoutMs` passed first.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Loads the generated pictures once per process when the build made them; otherwise installs
// plain stand-ins of the right size so the dialogs still lay out and paint. True with the real
// pictures.
bool useWindowPictures();

// Which door of the keyboard a test goes through: its socket, or the USB device in a umockdev
// testbed that the library reaches through libudev and hidapi's hidraw backend.
enum class KeyboardDoor { Socket, Usb };

inline const char* doorName(KeyboardDoor door) {
    return door == KeyboardDoor::Usb ? "Usb" : "Socket";
}

class DeviceDialogTest {
public:
    explicit DeviceDialogTest(oskel::VirtualKeyboardOptions options = {},
                              KeyboardDoor door = KeyboardDoor::Socket);
    ~DeviceDialogTest();

    // False (with the reason in `problem`) when the private keyboard could not be set up.
    bool ready() const { return problem.empty(); }
    std::string problem;

    QTemporaryDir runtime;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;  // the socket door
    std::unique_ptr<oskel::UsbTestbed> testbed;        // the USB door
    std::unique_ptr<oskel::UsbKeyboard> usbKeyboard;
    oskel::EmulatedKeyboard* board = nullptr;  // the keyboard, whichever door
    std::unique_ptr<KeyboardConfig> owned = std::make_unique<KeyboardConfig>();
    KeyboardConfig& config = *owned;
    RecordingSeam seam;

private:
    QByteArray previousRuntime;
    QByteArray previousNoHidraw;
};
