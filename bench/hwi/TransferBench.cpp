// SPDX-License-Identifier: GPL-2.0-or-later
// Host time per report of the key transfers: all 216 slots holding a long macro, written to and
// read back from the in-process virtual keyboard.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchKeyboard.h"
#include "OskelHWI.h"

namespace {

// 250 steps with their own pauses: L = 997 step bytes, 19 reports a slot.
constexpr int kMacroSteps = 250;
constexpr int kReportsPerSlot = (4 * kMacroSteps - 3 + 52) / 53;
constexpr int kWriteReports = 2 + 216 * kReportsPerSlot;  // begin, records, end
constexpr int kReadReports = 216 * kReportsPerSlot + 1;   // records, end marker (+ request)

std::vector<int> longMacro() {
    std::vector<int> config = {2, 1, 3, 1, 0, kMacroSteps};
    for (int i = 0; i < kMacroSteps; ++i) {
        config.push_back(4 + i % 90);
        if (i + 1 < kMacroSteps) {
            config.push_back(20 + i);
        }
    }
    return config;
}

// The virtual keyboard, opened and filled with 216 long macros.
class Bench {
public:
    Bench() {
        ready = keyboard.started && device.__createDev() && device.openError() == 0;
        const auto macro = longMacro();
        for (int level = 0; level < kLevelCount; ++level) {
            for (int key = 1; key <= kKeyCount; ++key) {
                device.setKeyConfiguration(level, key, macro.data(),
                                           static_cast<int>(macro.size()));
            }
        }
    }
    ~Bench() { device.__closeDev(); }

    BenchKeyboard keyboard;
    CTravoHWI device;
    bool ready = false;
};

void BM_WriteAllSlotsLongMacros(benchmark::State& state) {
    Bench bench;
    if (!bench.ready) {
        state.SkipWithError("virtual keyboard did not start");
        return;
    }
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state) {
        if (!bench.device.writeKeyConfigurationToDev(nullptr)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    perReport(state, kWriteReports, threadCpuSeconds() - cpuStart);
}
BENCHMARK(BM_WriteAllSlotsLongMacros)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadAllSlotsLongMacros(benchmark::State& state) {
    Bench bench;
    if (!bench.ready || !bench.device.writeKeyConfigurationToDev(nullptr)) {
        state.SkipWithError("virtual keyboard did not start");
        return;
    }
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state) {
        if (!bench.device.readKeyDefinationFromDev(nullptr)) {
            state.SkipWithError("read failed");
            break;
        }
    }
    perReport(state, kReadReports, threadCpuSeconds() - cpuStart);
}
BENCHMARK(BM_ReadAllSlotsLongMacros)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
