// SPDX-License-Identifier: GPL-2.0-or-later
// The macro recorder with the real keystroke capture on a private Xvfb (the dialog itself runs
// offscreen):
//   - BM_KeyToPaintedRow: a key typed through XTest until the record list has painted its row,
//     500 events with "Auto delay" (one row each); counters give the median and the worst in ms.
//   - BM_BurstOf250Keys: 250 keys pressed and released as fast as XTest sends them; the counter
//     `rows` must be exactly 500.
//
//   build/bench/ui/bench_ui_recorder
#include <benchmark/benchmark.h>
#include <linux/input-event-codes.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QResource>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "CTravoDialogKeyMapSettings.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "SkinResources.h"
// Xlib last: its macros would clash with the names above.
#include "XTestClient.h"
#include "XvfbServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMacroTab = KeySettingsRegion::FirstTab + 1;
constexpr int kRecordMacro = KeySettingsRegion::MacroRecord;
constexpr int kFirstRecordRow = KeySettingsRegion::FirstMacroStepRow;

// The first paint of the record list after the row it waits for is in the list.
class RowPaints : public QObject {
public:
    RowPaints(QRect rows, const StepList& macro) : rows(rows), macro(macro) {}
    void expect(int rowCount) {
        awaited = rowCount;
        painted = false;
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (!painted && e->type() == QEvent::Paint && macro.count() >= awaited &&
            static_cast<QPaintEvent*>(e)->region().intersects(rows)) {
            painted = true;
            at = Clock::now();
        }
        return false;
    }
    bool painted = false;
    Clock::time_point at{};

private:
    QRect rows;
    const StepList& macro;
    int awaited = 0;
};

// The X server, the pictures and a dialog recording into a macro with "Auto delay".
struct Recording {
    Recording() {
        if (server.start().empty()) {
            problem = "Xvfb is not installed or did not start";
            return;
        }
        qputenv("DISPLAY", server.display().c_str());
        keys = std::make_unique<oskeltest::XTestClient>(server.display());
        QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
        SkinResources::setCurrent(&resources);
        if (!resources.loadPictures()) {
            problem = "OskelRES.rcc has not been built";
            return;
        }
        buildKeyTables(config);
        config.clear();
        config.language = "en-US";
        config.currentKey = 30;
        StepList entry(9);
        entry.items.push_back(u"m");
        StepList macro(9);
        macro.IsAutoInterval = true;
        entry.children.push_back(macro);
        config.predefinedMacros = entry;
        dialog = std::make_unique<CTravoDialogKeyMapSettings>(config);
        dialog->show();
        click(kMacroTab);
        const QRect first = toQRect(dialog->regionById(kFirstRecordRow).rect);
        const QRect last = toQRect(dialog->regionById(kFirstRecordRow + 8).rect);
        paints = std::make_unique<RowPaints>(first.united(last), dialog->workingMacro());
        dialog->installEventFilter(paints.get());
    }
    ~Recording() {
        dialog.reset();
        SkinResources::setCurrent(nullptr);
    }
    void click(int regionId) {
        dialog->clickAt(toQRect(dialog->regionById(regionId).rect).center());
    }
    bool start() {
        click(kRecordMacro);
        return dialog->regionById(kRecordMacro).lit;
    }
    void stop() { dialog->clickAt(QPoint(8, 40)); }
    int rows() const { return dialog->workingMacro().count(); }

    template <typename Done>
    bool waitUntil(Done done, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        return true;
    }

    oskeltest::XvfbServer server;
    std::unique_ptr<oskeltest::XTestClient> keys;
    SkinResources resources;
    KeyboardConfig config;
    std::unique_ptr<CTravoDialogKeyMapSettings> dialog;
    std::unique_ptr<RowPaints> paints;
    std::string problem;
};

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_KeyToPaintedRow(benchmark::State& state) {
    Recording r;
    if (!r.problem.empty()) {
        state.SkipWithError(r.problem.c_str());
        return;
    }
    if (!r.start()) {
        state.SkipWithError("the capture did not start");
        return;
    }
    std::vector<double> samples;
    bool press = true;
    for (auto _ : state) {
        r.paints->expect(r.rows() + 1);
        const auto typed = Clock::now();
        r.keys->key(KEY_A, press);
        press = !press;
        if (!r.waitUntil([&] { return r.paints->painted; }, 5000)) {
            state.SkipWithError("a key never reached the record list");
            break;
        }
        const double ms = milliseconds(r.paints->at - typed);
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    r.stop();
    if (samples.empty()) {
        return;
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["worst_ms"] = samples.back();
    state.counters["rows"] = r.rows();
}
BENCHMARK(BM_KeyToPaintedRow)->Iterations(500)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BurstOf250Keys(benchmark::State& state) {
    Recording r;
    if (!r.problem.empty()) {
        state.SkipWithError(r.problem.c_str());
        return;
    }
    int rows = 0;
    for (auto _ : state) {
        if (!r.start()) {
            state.SkipWithError("the capture did not start");
            break;
        }
        for (int i = 0; i < 250; ++i) {
            r.keys->key(KEY_A + i % 9, true);
            r.keys->key(KEY_A + i % 9, false);
        }
        r.waitUntil([&] { return r.rows() >= 500; }, 10000);
        // Anything still on its way would show now.
        QElapsedTimer settle;
        settle.start();
        r.waitUntil([&] { return settle.elapsed() > 300; }, 1000);
        rows = r.rows();
        r.stop();
    }
    state.counters["rows"] = rows;
    state.counters["lost"] = 500 - rows;
}
BENCHMARK(BM_BurstOf250Keys)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
