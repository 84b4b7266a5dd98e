// SPDX-License-Identifier: GPL-2.0-or-later
// Host time per report of the key transfers: all 216 slots holding a long macro (the largest
// profile there is), written to and read back from the in-process virtual keyboard, and one
// version exchange; each through both doors of the keyboard: its socket (/0) and its USB device
// in a umockdev testbed, reached through libudev and hidapi's hidraw backend (/1).
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchKeyboard.h"
#include "OskelHWI.h"
#include "UsbKeyboard.h"

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

// The keyboard behind the USB door, alone in a private runtime folder.
class BenchUsbKeyboard {
public:
    BenchUsbKeyboard() {
        char pattern[] = "/tmp/oskel-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        ::unsetenv("OSKEL_NO_HIDRAW");
        oskel::VirtualKeyboardOptions options;
        options.keepReports = false;
        keyboard = std::make_unique<oskel::UsbKeyboard>(testbed, options);
        started = testbed.ok() && keyboard->plug();
    }
    ~BenchUsbKeyboard() {
        keyboard.reset();
        ::rmdir(folder.c_str());
    }

    std::string folder;
    oskel::UsbTestbed testbed;
    std::unique_ptr<oskel::UsbKeyboard> keyboard;
    bool started = false;
};

// The virtual keyboard behind door 0 (socket) or 1 (USB), opened and filled with 216 long
// macros.
class Bench {
public:
    explicit Bench(int door) {
        if (door == 1) {
            usb = std::make_unique<BenchUsbKeyboard>();
        } else {
            socket = std::make_unique<BenchKeyboard>();
        }
        const bool started = usb ? usb->started : socket->started;
        ready = started && device.__createDev() && device.openError() == 0;
        const auto macro = longMacro();
        for (int level = 0; level < kLevelCount; ++level) {
            for (int key = 1; key <= kKeyCount; ++key) {
                device.setKeyConfiguration(level, key, macro.data(),
                                           static_cast<int>(macro.size()));
            }
        }
    }
    ~Bench() { device.__closeDev(); }

    std::unique_ptr<BenchKeyboard> socket;
    std::unique_ptr<BenchUsbKeyboard> usb;
    CTravoHWI device;
    bool ready = false;
};

void BM_WriteAllSlotsLongMacros(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
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
BENCHMARK(BM_WriteAllSlotsLongMacros)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadAllSlotsLongMacros(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
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
BENCHMARK(BM_ReadAllSlotsLongMacros)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One report each way: the version request and its answer.
void BM_VersionExchange(benchmark::State& state) {
    Bench bench(static_cast<int>(state.range(0)));
    if (!bench.ready) {
        state.SkipWithError("virtual keyboard did not start");
        return;
    }
    char16_t version[64];
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state) {
        if (!bench.device.ReadKeyboardVersion(version)) {
            state.SkipWithError("version read failed");
            break;
        }
    }
    perReport(state, 2, threadCpuSeconds() - cpuStart);
}
BENCHMARK(BM_VersionExchange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The USB door is reached through umockdev's preload, there from the start.
    oskel::reexecUnderUmockdev(argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
