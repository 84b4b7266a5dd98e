// SPDX-License-Identifier: GPL-2.0-or-later
// The backlight editor's speed: from the main window's backlight button to the first painted
// backlight dialog, and the repaint after one key's colour changed (with the area it covered),
// against an in-process virtual keyboard.
//
//   build/bench/ui/bench_ui_backlight        (offscreen without a display, else X11)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QResource>
#include <QTimer>
#include <chrono>

#include "BenchMain.h"
#include "BenchSupport.h"
#include "CTravoDialogBkLightSettings.h"
#include "CTravoDlg.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "SkinResources.h"
#include "UiSeam.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers every colour chooser at once with the next of two colours.
class AlternatingColours : public UiSeam {
public:
    std::optional<QColor> chooseColor(QWidget*, const QColor&) override {
        return (++asked % 2) != 0 ? QColor(255, 0, 0) : QColor(1, 3, 254);
    }
    int asked = 0;
};

void click(QWidget* w, QPoint p) {
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

QPoint centre(const SkinRect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Notes when the first backlight dialog paints, then closes it.
class FirstPaint : public QObject {
public:
    Clock::time_point painted;
    bool seen = false;
    bool eventFilter(QObject* object, QEvent* e) override {
        auto* dialog = qobject_cast<CTravoDialogBkLightSettings*>(object);
        if (dialog != nullptr && e->type() == QEvent::Paint && !seen) {
            seen = true;
            // Measured when the paint has been done, not when it was asked for.
            QTimer::singleShot(0, dialog, [this, dialog] {
                painted = Clock::now();
                dialog->reject();
            });
        }
        return false;
    }
};

bool openMainWindow(KeyboardConfig& config, SkinResources& resources, CTravoDlg& dlg,
                    benchmark::State& state) {
    SkinResources::setCurrent(&resources);
    QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
    if (!resources.loadPictures()) {
        state.SkipWithError("OskelRES.rcc missing");
        return false;
    }
    buildKeyTables(config);
    if (!dlg.initialise()) {
        state.SkipWithError("no keyboard");
        return false;
    }
    dlg.show();
    PaintWatch watch;
    dlg.installEventFilter(&watch);
    watch.waitForPaint(0);
    dlg.removeEventFilter(&watch);
    return true;
}

void BM_BacklightButtonToFirstPaint(benchmark::State& state) {
    KeyboardConfig& config = keyboardConfig();
    SkinResources resources;
    CTravoDlg dlg(config);
    if (!openMainWindow(config, resources, dlg, state)) {
        return;
    }
    const QPoint button = centre(dlg.regionById(MainRegion::Backlight).rect);
    double firstMs = 0;
    for (auto _ : state) {
        FirstPaint watch;
        qApp->installEventFilter(&watch);
        const Clock::time_point start = Clock::now();
        click(&dlg, button);  // returns when the dialog has closed again
        qApp->removeEventFilter(&watch);
        if (!watch.seen) {
            state.SkipWithError("the dialog never painted");
            break;
        }
        const std::chrono::duration<double> took = watch.painted - start;
        if (firstMs == 0) {
            firstMs = took.count() * 1000;  // includes decoding the picture on first use
        }
        state.SetIterationTime(took.count());
    }
    state.counters["first_open_ms"] = firstMs;
    config.keyboard.__closeDev();
    SkinResources::setCurrent(nullptr);
}
BENCHMARK(BM_BacklightButtonToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void BM_KeyColourRepaint(benchmark::State& state) {
    KeyboardConfig& config = keyboardConfig();
    SkinResources resources;
    CTravoDlg dlg(config);
    if (!openMainWindow(config, resources, dlg, state)) {
        return;
    }
    AlternatingColours colours;
    UiSeam::install(&colours);
    CTravoDialogBkLightSettings dialog(config, &dlg);
    PaintWatch watch;
    dialog.installEventFilter(&watch);
    dialog.open();
    watch.waitForPaint(0);
    const SkinRect key = dialog.keyRegion(54)->rect;
    long long pixels = 0;
    int n = 0;
    for (auto _ : state) {
        const int before = watch.paints;
        click(&dialog, centre(key));  // the chooser answers a colour different from the last
        watch.waitForPaint(before);
        pixels += area(watch.last);
        ++n;
    }
    state.counters["pixels_per_repaint"] =
        benchmark::Counter(static_cast<double>(pixels) / std::max(n, 1));
    state.counters["frame_pixels"] =
        static_cast<double>(keyFrameArea(key).width()) * keyFrameArea(key).height();
    state.counters["window_pixels"] = dialog.width() * dialog.height();
    dialog.reject();
    UiSeam::install(nullptr);
    config.keyboard.__closeDev();
    SkinResources::setCurrent(nullptr);
}
BENCHMARK(BM_KeyColourRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, "bench_ui_backlight");
}
