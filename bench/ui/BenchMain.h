// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The main of a window benchmark program. Apart from BenchSupport.h, which the start-up probe
// also uses without linking the benchmark library.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>

#include "BenchSupport.h"

// Runs the benchmarks of program `name` against a private virtual keyboard, offscreen without a
// display and on X11 with one; 1 when the keyboard did not start.
inline int runWindowBenchmarks(int& argc, char** argv, const char* name) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    }
    auto keyboard = startPrivateKeyboard();
    if (!keyboard) {
        std::fprintf(stderr, "%s: no virtual keyboard\n", name);
        return 1;
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
