// SPDX-License-Identifier: GPL-2.0-or-later
// Writing a full configuration and reading it back to verify it, through the document, against
// the in-process virtual keyboard: every one of the 216 slots holds a macro of 250 steps with
// their own pauses (19 reports a slot, as in bench/hwi), and every key a colour.
//
// Host time per report is the CPU time of the calling thread (the document's translation, the
// library's encoding and decoding, the comparison) over the reports exchanged; the keyboard's
// own work runs on its thread and is not counted. Run with the bench/hwi figures beside it:
//   build/bin/bench_verify --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "BenchKeyboard.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "TransferFlows.h"
#include "Verification.h"

namespace {

constexpr int kMacroSteps = 250;
constexpr int kReportsPerSlot = (4 * kMacroSteps - 3 + 52) / 53;  // 19
constexpr int kSlots = kSlotCount;
constexpr int kKeyWriteReports = 2 + kSlots * kReportsPerSlot;     // begin, records, end
constexpr int kKeyReadReports = 1 + kSlots * kReportsPerSlot + 1;  // request, records, end
constexpr int kLightWriteReports = 1 + 6 + 1;
constexpr int kLightReadReports = 1 + 6 + 1;

const char16_t* const kKeys[] = {u"A", u"B", u"C", u"Left CONTROL", u"Mouse Key Left"};

void fillFullConfiguration(KeyboardConfig& config) {
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            KeyAssignment& slot = config.slot(key, level);
            slot.mode = Macro;
            slot.steps = StepList(9);
            for (int i = 0; i < kMacroSteps; ++i) {
                if (i > 0) {
                    const std::string pause = "<" + std::to_string(20 + i) + " ms>";
                    slot.steps.items.emplace_back(pause.begin(), pause.end());
                }
                slot.steps.items.emplace_back(kKeys[i % 5]);
            }
            slot.steps.children.resize(slot.steps.items.size(), StepList(9));
            config.backlight[key] = {key, 255 - key, key * 2};
        }
    }
}

class Bench {
public:
    Bench() {
        buildKeyTables(config);
        config.clear();
        fillFullConfiguration(config);
        ready =
            keyboard.started && config.keyboard.__createDev() && config.keyboard.openError() == 0;
    }
    ~Bench() { config.keyboard.__closeDev(); }

    BenchKeyboard keyboard;
    KeyboardConfig config;
    bool ready = false;
};

// Runs `round` as often as the library asks and reports the host's CPU time per report.
void measure(benchmark::State& state, int reports,
             const std::function<bool(KeyboardConfig&)>& round) {
    Bench bench;
    if (!bench.ready) {
        state.SkipWithError("virtual keyboard did not start");
        return;
    }
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state) {
        if (!round(bench.config)) {
            state.SkipWithError("a transfer failed or the keyboard differs");
            break;
        }
    }
    perReport(state, reports, threadCpuSeconds() - cpuStart);
}

// What the program does on "WriteKeys": translate and send every slot.
void BM_WriteKeys(benchmark::State& state) {
    measure(state, kKeyWriteReports,
            [](KeyboardConfig& config) { return writeKeysToKeyboard(config, nullptr); });
}
BENCHMARK(BM_WriteKeys)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the program's verification after it: read back and compare the keys.
void BM_WriteKeysThenVerify(benchmark::State& state) {
    measure(state, kKeyWriteReports + kKeyReadReports, [](KeyboardConfig& config) {
        Comparison result;
        return writeKeysToKeyboard(config, nullptr) &&
               verifyWritten(config, nullptr, {true, false}, result) && result.agrees();
    });
}
BENCHMARK(BM_WriteKeysThenVerify)->Unit(benchmark::kMillisecond)->UseRealTime();

// oskelctl write --verify without its settle time: keys and colours, both read back.
void BM_WriteAllThenVerifyAll(benchmark::State& state) {
    measure(state, kKeyWriteReports + kLightWriteReports + kKeyReadReports + kLightReadReports,
            [](KeyboardConfig& config) {
                Comparison result;
                return writeKeysToKeyboard(config, nullptr) && writeBacklightToKeyboard(config) &&
                       verifyWritten(config, nullptr, {}, result) && result.agrees();
            });
}
BENCHMARK(BM_WriteAllThenVerifyAll)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
