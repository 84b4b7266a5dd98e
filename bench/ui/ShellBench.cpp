// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up to the first painted main window (after Qt itself is up) and one hover repaint of
// the main window, against an in-process virtual keyboard.
//
//   build/bench/ui/bench_ui_shell            (offscreen without a display, else X11)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QResource>
#include <memory>
#include <optional>

#include "BenchMain.h"
#include "BenchSupport.h"
#include "CTravoDlg.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "SkinResources.h"

namespace {

QPoint keyCentre(const CTravoDlg& dlg, int keyIndex) {
    const SkinRegion& r = dlg.regions[11 + keyIndex];
    return toQRect(r.rect).center();
}

void moveMouse(QWidget* w, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

// The program's start-up as a benchmark runs it: the pictures registered and loaded, the key
// tables built, the main window opened on the keyboard and shown. `problem` says what failed;
// the window's first paint is still to come. Ending it closes the window and the keyboard.
struct ShellStart {
    explicit ShellStart(KeyboardConfig& document) : config(document) {
        SkinResources::setCurrent(&resources);
        QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
        if (!resources.loadPictures()) {
            problem = "OskelRES.rcc missing";
            return;
        }
        buildKeyTables(config);
        dlg = std::make_unique<CTravoDlg>(config);
        dlg->installEventFilter(&watch);
        if (!dlg->initialise()) {
            problem = "no keyboard";
            return;
        }
        dlg->show();
    }
    ShellStart(const ShellStart&) = delete;
    ShellStart& operator=(const ShellStart&) = delete;
    ~ShellStart() {
        dlg.reset();
        config.keyboard.__closeDev();
        QResource::unregisterResource(QStringLiteral(OSKEL_RES_RCC));
        SkinResources::setCurrent(nullptr);
    }

    KeyboardConfig& config;
    SkinResources resources;
    PaintWatch watch;
    std::unique_ptr<CTravoDlg> dlg;
    const char* problem = nullptr;
};

void BM_StartUpToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        std::optional<ShellStart> start(std::in_place, keyboardConfig());
        if (start->problem == nullptr && !start->watch.waitForPaint(0)) {
            start->problem = "never painted";
        }
        if (start->problem != nullptr) {
            state.SkipWithError(start->problem);
            break;
        }
        state.PauseTiming();
        start.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

// The pictures the main window waits for at start-up, registered and decoded, for a screen of ratio
// range(0) / 100: 100 takes the 1x set, 200 the 2x set, 150 the 2x set scaled down.
void BM_StartPictures(benchmark::State& state) {
    QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
    for (auto _ : state) {
        SkinResources resources;
        resources.setPictureRatio(static_cast<double>(state.range(0)) / 100);
        bool complete = resources.loadPictures();
        for (int id : SkinResources::startPictures()) {
            complete = complete && resources.picture(id) != nullptr;
        }
        if (!complete) {
            state.SkipWithError("OskelRES.rcc missing");
            break;
        }
    }
    QResource::unregisterResource(QStringLiteral(OSKEL_RES_RCC));
}
// Decoding runs on helper threads: the CPU column counts every thread.
BENCHMARK(BM_StartPictures)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_HoverRepaint(benchmark::State& state) {
    ShellStart start(keyboardConfig());
    if (start.problem != nullptr) {
        state.SkipWithError(start.problem);
        return;
    }
    CTravoDlg& dlg = *start.dlg;
    PaintWatch& watch = start.watch;
    watch.waitForPaint(0);
    // W and E: both unassigned, so the information box keeps its text and only keys repaint.
    const QPoint keys[2] = {keyCentre(dlg, 30), keyCentre(dlg, 31)};
    moveMouse(&dlg, keys[0]);
    watch.waitForPaint(watch.paints);
    long long pixels = 0;
    int n = 0;
    for (auto _ : state) {
        const int before = watch.paints;
        moveMouse(&dlg, keys[++n % 2]);
        watch.waitForPaint(before);
        pixels += area(watch.last);
    }
    state.counters["pixels_per_repaint"] =
        benchmark::Counter(static_cast<double>(pixels) / std::max(n, 1));
    state.counters["window_pixels"] = dlg.width() * dlg.height();
}
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, "bench_ui_shell");
}
