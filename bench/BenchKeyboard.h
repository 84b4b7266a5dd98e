// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the benchmarks against the in-process virtual keyboard share: the keyboard in a private
// runtime folder (so no other keyboard, virtual or real, is found), and the host's CPU time.

#include <benchmark/benchmark.h>
#include <ftw.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>

#include "VirtualKeyboard.h"

class BenchKeyboard {
public:
    BenchKeyboard() {
        char pattern[] = "/tmp/oskel-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = folder + "/oskel/hid";
        options.keepReports = false;  // a long run would keep every report
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        started = keyboard->start();
    }
    ~BenchKeyboard() {
        keyboard->stop();
        ::nftw(
            folder.c_str(),
            [](const char* file, const struct stat*, int, struct FTW*) { return ::remove(file); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    BenchKeyboard(const BenchKeyboard&) = delete;
    BenchKeyboard& operator=(const BenchKeyboard&) = delete;

    std::string folder;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    bool started = false;
};

// CPU time of the calling thread: the host's own work, without the keyboard's thread.
inline double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The counters every transfer benchmark reports: the reports a round exchanges, the host's CPU
// time per report and per round, and the wall time per report (in the unit the library picks).
inline void perReport(benchmark::State& state, int reports, double cpuSeconds) {
    const double rounds = static_cast<double>(state.iterations());
    state.counters["reports"] = reports;
    state.counters["host_cpu_us_per_report"] = cpuSeconds * 1e6 / (rounds * reports);
    state.counters["host_cpu_ms_total"] = cpuSeconds * 1e3 / rounds;
    state.counters["per_report"] = benchmark::Counter(
        reports, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
