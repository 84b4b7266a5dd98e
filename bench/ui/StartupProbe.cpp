// SPDX-License-Identifier: GPL-2.0-or-later
// Measures what a user waits for: from launching Oskel to its first painted main window, the
// same start-up as the program's (Qt, OskelRES.rcc, fonts, key tables, the keyboard, the
// window), then one hover repaint of a key. Prints the times and ends.
//
//   oskel-startup-probe [--launched-at <CLOCK_REALTIME in ns>]
// Without --launched-at the clock starts at main(); bench/ui/startup.sh passes the launch time
// so loading the program and its libraries counts too.
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QMouseEvent>
#include <QResource>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "CTravoDlg.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "SkinResources.h"

namespace {

long long realtimeNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

double msSince(long long startNs) {
    return (realtimeNs() - startNs) / 1e6;
}

// Processor time the process has used, all threads: what the start-up costs whatever else the
// machine is doing.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
    const long long mainNs = realtimeNs();
    long long start = mainNs;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--launched-at") == 0) {
            start = std::atoll(argv[i + 1]);
        }
    }
    const double atMain = msSince(start);
    const double cpuBeforeRig = cpuMs();
    auto keyboard = startPrivateKeyboard();
    if (!keyboard) {
        std::fprintf(stderr, "oskel-startup-probe: no virtual keyboard\n");
        return 1;
    }
    const double rigCpu = cpuMs() - cpuBeforeRig;
    // The virtual keyboard is the test rig, not the program: its set-up does not count.
    start += realtimeNs() - mainNs;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    const double atQt = msSince(start);
    SkinResources resources;
    SkinResources::setCurrent(&resources);
    const QString rcc = QCoreApplication::applicationDirPath() + QStringLiteral("/OskelRES.rcc");
    if (!QResource::registerResource(rcc) &&
        !QResource::registerResource(QStringLiteral(OSKEL_RES_RCC))) {
        std::fprintf(stderr, "oskel-startup-probe: OskelRES.rcc missing\n");
        return 1;
    }
    if (!resources.loadPictures()) {
        std::fprintf(stderr, "oskel-startup-probe: pictures missing\n");
        return 1;
    }
    const double atPictures = msSince(start);
    KeyboardConfig& config = keyboardConfig();
    buildKeyTables(config);
    CTravoDlg dlg(config);
    PaintWatch watch;
    dlg.installEventFilter(&watch);
    const double atTables = msSince(start);
    if (!dlg.initialise()) {
        return 1;
    }
    const double atInit = msSince(start);
    dlg.show();
    watch.waitForPaint(0);
    const double firstPaint = msSince(start);
    const double firstPaintCpu = cpuMs() - rigCpu;
    std::printf("main() reached        %8.1f ms after launch\n", atMain);
    std::printf("Qt started            %8.1f ms\n", atQt);
    std::printf("pictures loaded       %8.1f ms\n", atPictures);
    std::printf("key tables built      %8.1f ms\n", atTables);
    std::printf("window initialised    %8.1f ms (keyboard opened, shaped, regions)\n", atInit);
    std::printf("first paint           %8.1f ms after launch (%s), %.1f ms of processor time\n",
                firstPaint, qPrintable(QGuiApplication::platformName()), firstPaintCpu);

    std::vector<double> repaints;
    QRegion painted;
    const QPoint keys[2] = {toQRect(dlg.regions[11 + 30].rect).center(),
                            toQRect(dlg.regions[11 + 31].rect).center()};
    for (int i = 0; i < 201; ++i) {
        const int before = watch.paints;
        QElapsedTimer clock;
        clock.start();
        QMouseEvent move(QEvent::MouseMove, QPointF(keys[i % 2]),
                         QPointF(dlg.mapToGlobal(keys[i % 2])), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&dlg, &move);
        watch.waitForPaint(before);
        if (i > 0) {  // the first move comes from an empty spot
            repaints.push_back(clock.nsecsElapsed() / 1e3);
            painted = watch.last;
        }
    }
    std::sort(repaints.begin(), repaints.end());
    std::printf("hover repaint         %8.1f us median, %.1f us max over %zu moves\n",
                repaints[repaints.size() / 2], repaints.back(), repaints.size());
    std::printf("hover repaint area    %lld pixels of %d (", area(painted),
                dlg.width() * dlg.height());
    for (const QRect& r : painted) {
        std::printf(" %dx%d+%d+%d", r.width(), r.height(), r.x(), r.y());
    }
    std::printf(" )\n");
    config.keyboard.__closeDev();
    return 0;
}
