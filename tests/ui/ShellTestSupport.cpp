// SPDX-License-Identifier: GPL-2.0-or-later
#include "ShellTestSupport.h"

#include <QResource>

#include "SkinResources.h"
#include "VirtualKeyboard.h"

TestKeyboard::TestKeyboard() {
    qputenv("XDG_RUNTIME_DIR", folder.path().toLocal8Bit());
}

TestKeyboard::~TestKeyboard() {
    stop();
}

bool TestKeyboard::start() {
    if (isRunning) {
        return true;
    }
    oskel::VirtualKeyboardOptions options;
    options.dir = (folder.path() + QStringLiteral("/oskel/hid")).toStdString();
    options.keepReports = false;
    keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
    isRunning = keyboard->start();
    return isRunning;
}

std::size_t TestKeyboard::reportCount() const {
    return keyboard ? keyboard->receivedCount() : 0;
}

void TestKeyboard::stop() {
    if (keyboard) {
        keyboard->stop();
    }
    isRunning = false;
}

bool loadTestSkin(SkinResources& resources) {
    static bool registered = QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
    return registered && resources.loadPictures();
}

namespace {
QtMessageHandler previousHandler = nullptr;

void dropMaskNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QStringLiteral("does not support setting window masks"))) {
        return;
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}
}  // namespace

void quietWindowMaskNotes() {
    if (previousHandler == nullptr) {
        previousHandler = qInstallMessageHandler(dropMaskNotes);
    }
}
