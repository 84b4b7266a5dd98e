// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QResource>
#include <QThread>

#include "KeyTables.h"
#include "SkinResources.h"

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

namespace {

// A picture of the small dialogs' size, so bar and regions have something to copy from.
QPixmap standIn(QColor colour) {
    QPixmap picture(366, 250);
    picture.fill(colour);
    return picture;
}

// The pictures of the two device dialogs only: decoding every window's pictures would cost
// each test process most of a second.
constexpr int kDevicePictures[] = {128, 129, 130, 139, 140, 141};

bool loadRealPictures(SkinResources& resources) {
    const QString rcc = QStringLiteral(OSKEL_RES_RCC);
    if (!QFileInfo(rcc).isFile() || !QResource::registerResource(rcc)) {
        return false;
    }
    for (int id : kDevicePictures) {
        QPixmap picture(SkinResources::pictureName(id));
        if (picture.isNull()) {
            return false;
        }
        resources.setPicture(id, picture);
    }
    return true;
}

bool loadOnce() {
    static SkinResources resources;
    SkinResources::setCurrent(&resources);
    if (loadRealPictures(resources)) {
        return true;
    }
    for (int id : kDevicePictures) {
        const bool lit = id == 130 || id == 141;
        const bool hover = id == 129 || id == 140;
        resources.setPicture(id, standIn(lit     ? QColor(255, 111, 0)
                                         : hover ? QColor(70, 70, 70)
                                                 : QColor(40, 40, 40)));
    }
    return false;
}

}  // namespace

bool useWindowPictures() {
    static const bool real = loadOnce();
    return real;
}

DeviceDialogTest::DeviceDialogTest(oskel::VirtualKeyboardOptions options, KeyboardDoor door)
    : previousRuntime(qgetenv("XDG_RUNTIME_DIR")),
      previousNoHidraw(qgetenv("OSKEL_NO_HIDRAW")) {
    useWindowPictures();
    UiSeam::install(&seam);
    // The waits only let a real keyboard settle; the tests need none unless they say so.
    config.settleTimes = {std::chrono::milliseconds(0), std::chrono::milliseconds(0),
                          std::chrono::milliseconds(0)};
    if (!runtime.isValid()) {
        problem = "no temporary folder";
        return;
    }
    // The library looks for keyboards under the runtime folder: this test's own.
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (door == KeyboardDoor::Usb) {
        // The testbed's /sys holds the only hidraw devices the library sees.
        qunsetenv("OSKEL_NO_HIDRAW");
        testbed = std::make_unique<oskel::UsbTestbed>();
        usbKeyboard = std::make_unique<oskel::UsbKeyboard>(*testbed, options);
        board = usbKeyboard.get();
        if (!testbed->ok() || !usbKeyboard->plug()) {
            problem = "USB door: " + usbKeyboard->error();
            return;
        }
    } else {
        options.dir = QDir(runtime.path()).filePath("oskel/hid").toStdString();
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        board = keyboard.get();
        if (!keyboard->start()) {
            problem = "virtual keyboard: " + keyboard->error();
            return;
        }
    }
    buildKeyTables(config);
    config.clear();
    config.language = "en-US";
    if (!config.keyboard.__createDev() || !config.keyboard.isOpen()) {
        problem = "the virtual keyboard was not found";
    }
}

DeviceDialogTest::~DeviceDialogTest() {
    config.keyboard.__closeDev();
    if (keyboard) {
        keyboard->stop();
    }
    usbKeyboard.reset();
    testbed.reset();
    if (previousNoHidraw.isNull()) {
        qunsetenv("OSKEL_NO_HIDRAW");
    } else {
        qputenv("OSKEL_NO_HIDRAW", previousNoHidraw);
    }
    UiSeam::install(nullptr);
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
}
