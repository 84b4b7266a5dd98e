// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Shared by the shell's benchmarks: a private runtime folder with a virtual keyboard, and a
// watch for the main window's paint events.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <cstdlib>
#include <memory>
#include <string>

#include "VirtualKeyboard.h"

inline std::unique_ptr<oskel::VirtualKeyboard> startPrivateKeyboard() {
    char folder[] = "/tmp/oskel-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        return nullptr;
    }
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    oskel::VirtualKeyboardOptions options;
    options.dir = std::string(folder) + "/oskel/hid";
    options.keepReports = false;
    auto keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
    return keyboard->start() ? std::move(keyboard) : nullptr;
}

// Counts paint events of one widget and the area they covered.
class PaintWatch : public QObject {
public:
    int paints = 0;
    QRegion last;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            last = static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
    // Runs the event loop until a paint after `before` arrived; false after 2 s.
    bool waitForPaint(int before) {
        QElapsedTimer clock;
        clock.start();
        while (paints == before && clock.elapsed() < 2000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return paints != before;
    }
};

inline long long area(const QRegion& region) {
    long long a = 0;
    for (const QRect& r : region) {
        a += static_cast<long long>(r.width()) * r.height();
    }
    return a;
}
