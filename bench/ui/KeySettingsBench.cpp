// SPDX-License-Identifier: GPL-2.0-or-later
// The key settings dialog's speed: from a click on a key of the main window to the dialog's first
// paint, and one hover repaint on the Function tab (with the area it repainted).
//
//   build/bench/ui/bench_ui_keysettings     (offscreen without a display, else X11)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QResource>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "BenchMain.h"
#include "BenchSupport.h"
#include "CTravoDialogKeyMapSettings.h"
#include "CTravoDlg.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "SkinResources.h"

namespace {

void sendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint p) {
    sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton);
}

// Median and worst of the samples, in the unit they were taken in.
void reportSamples(benchmark::State& state, std::vector<double> samples, const char* unit) {
    if (samples.empty()) {
        return;
    }
    std::sort(samples.begin(), samples.end());
    state.counters[std::string("median_") + unit] = samples[samples.size() / 2];
    state.counters[std::string("worst_") + unit] = samples.back();
}

// Ends the key settings dialog at its first paint and notes how long after the click it came.
class FirstPaint : public QObject {
public:
    QElapsedTimer clock;
    double elapsedMs = -1;
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* dialog = qobject_cast<CTravoDialogKeyMapSettings*>(o);
        if (dialog != nullptr && e->type() == QEvent::Paint && elapsedMs < 0) {
            // The paint itself counts: measured once it has been handled.
            QTimer::singleShot(0, dialog, [this, dialog] {
                elapsedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                dialog->reject();
            });
        }
        return false;
    }
};

bool loadSkin(SkinResources& resources) {
    SkinResources::setCurrent(&resources);
    QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
    return resources.loadPictures();
}

void BM_KeyClickToFirstPaint(benchmark::State& state) {
    KeyboardConfig& config = keyboardConfig();
    SkinResources resources;
    if (!loadSkin(resources)) {
        state.SkipWithError("OskelRES.rcc missing");
        return;
    }
    buildKeyTables(config);
    CTravoDlg dlg(config);
    if (!dlg.initialise()) {
        state.SkipWithError("no keyboard");
        return;
    }
    dlg.show();
    QApplication::processEvents();
    const QPoint key = toQRect(dlg.regions[11 + 30].rect).center();
    FirstPaint watch;
    qApp->installEventFilter(&watch);
    std::vector<double> samples;
    for (auto _ : state) {
        watch.elapsedMs = -1;
        watch.clock.start();
        click(&dlg, key);  // returns when the dialog has ended
        state.SetIterationTime(watch.elapsedMs / 1000.0);
        samples.push_back(watch.elapsedMs);
    }
    qApp->removeEventFilter(&watch);
    reportSamples(state, samples, "ms");
    config.keyboard.__closeDev();
    SkinResources::setCurrent(nullptr);
}
BENCHMARK(BM_KeyClickToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_TabHoverRepaint(benchmark::State& state) {
    KeyboardConfig& config = keyboardConfig();
    SkinResources resources;
    if (!loadSkin(resources)) {
        state.SkipWithError("OskelRES.rcc missing");
        return;
    }
    buildKeyTables(config);
    config.currentKey = 31;
    CTravoDialogKeyMapSettings dialog(config);
    PaintWatch watch;
    dialog.installEventFilter(&watch);
    dialog.show();
    watch.waitForPaint(0);
    dialog.selectTab(6);
    watch.waitForPaint(watch.paints);
    // Two neighbouring options: each move unhovers one and hovers the other.
    const QPoint options[2] = {toQRect(dialog.regionById(602).rect).center(),
                               toQRect(dialog.regionById(604).rect).center()};
    const auto move = [&](QPoint p) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(dialog.mapToGlobal(p)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &e);
    };
    move(options[0]);
    watch.waitForPaint(watch.paints);
    long long pixels = 0;
    int n = 0;
    std::vector<double> samples;
    QElapsedTimer clock;
    for (auto _ : state) {
        const int before = watch.paints;
        clock.start();
        move(options[++n % 2]);
        watch.waitForPaint(before);
        const double us = static_cast<double>(clock.nsecsElapsed()) / 1e3;
        state.SetIterationTime(us / 1e6);
        samples.push_back(us);
        pixels += area(watch.last);
    }
    reportSamples(state, samples, "us");
    state.counters["pixels_per_repaint"] =
        benchmark::Counter(static_cast<double>(pixels) / std::max(n, 1));
    state.counters["window_pixels"] = dialog.width() * dialog.height();
    SkinResources::setCurrent(nullptr);
}
BENCHMARK(BM_TabHoverRepaint)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, "bench_ui_keysettings");
}
