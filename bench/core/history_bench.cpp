// SPDX-License-Identifier: GPL-2.0-or-later
// Undo and redo over the maximal document: what recording, undoing and redoing a one-key change
// costs, and the same for Open of the maximal profile over an empty document; with the memory
// the history holds for the step (its own count of bytes, and the growth of the resident size
// when the step was recorded) and for its one copy of the document.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ConfigHistory.h"
#include "KeyboardConfig.h"
#include "MaximalConfig.h"

namespace {

namespace fs = std::filesystem;

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

struct ProfileFile {
    ProfileFile() {
        std::string pattern = (fs::temp_directory_path() / "oskel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        dir = pattern;
        path = (dir / "maximal.pro").string();
        KeyboardConfig source;
        maximal::fill(source);
        if (!source.saveProfile(path)) {
            std::abort();
        }
        bytes = static_cast<double>(fs::file_size(path));
    }
    ~ProfileFile() { fs::remove_all(dir); }
    fs::path dir;
    std::string path;
    double bytes = 0;
};

ProfileFile& profileFile() {
    static ProfileFile f;
    return f;
}

void report(benchmark::State& state, const ConfigHistory& history, double residentGrowth) {
    state.counters["step_KB"] = static_cast<double>(history.stepBytes()) / 1e3;
    state.counters["copy_MB"] = static_cast<double>(history.copyBytes()) / 1e6;
    state.counters["rss_growth_MB"] = residentGrowth / 1e6;
}

// One key of the maximal document changed from its macro to a single key, then undone and
// redone in turn (one iteration is an undo and a redo).
void BM_UndoRedoOneKey(benchmark::State& state) {
    auto config = std::make_unique<KeyboardConfig>();
    maximal::fill(*config);
    ConfigHistory history(*config);
    config->slot(5, 0) = KeyAssignment{Single, 4, StepList(9)};
    malloc_trim(0);
    const long before = residentKb();
    history.record(*config, {u"x", u"x"});
    const double growth = (residentKb() - before) * 1024.0;
    for (auto _ : state) {
        history.undo(*config);
        history.redo(*config);
    }
    report(state, history, growth);
}

// Recording the one-key change: the whole document is compared with the history's copy.
void BM_RecordOneKey(benchmark::State& state) {
    auto config = std::make_unique<KeyboardConfig>();
    maximal::fill(*config);
    ConfigHistory history(*config);
    int code = 0;
    for (auto _ : state) {
        config->slot(5, 0) = KeyAssignment{Single, ++code, StepList(9)};
        history.record(*config, {u"x", u"x"});
    }
    report(state, history, 0);
}

// Open of the maximal profile over an empty document, then undone and redone in turn.
void BM_UndoRedoOpenMaximal(benchmark::State& state) {
    ProfileFile& file = profileFile();
    auto config = std::make_unique<KeyboardConfig>();
    config->clear();
    ConfigHistory history(*config);
    if (!config->loadProfile(file.path)) {
        state.SkipWithError("the maximal profile did not load");
        return;
    }
    malloc_trim(0);
    const long before = residentKb();
    history.record(*config, {u"打开 maximal.pro", u"Open maximal.pro"});
    const double growth = (residentKb() - before) * 1024.0;
    for (auto _ : state) {
        history.undo(*config);
        history.redo(*config);
    }
    report(state, history, growth);
    state.counters["file_MB"] = file.bytes / 1e6;
}

// A hundred one-key changes on the maximal document: what the full history holds.
void BM_HundredOneKeySteps(benchmark::State& state) {
    auto config = std::make_unique<KeyboardConfig>();
    maximal::fill(*config);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ConfigHistory history(*config);
        ++round;
        state.ResumeTiming();
        for (int i = 1; i <= 100; ++i) {
            config->slot(1 + i % kKeyCount, i % 2).hwCode = round * 1000 + i;
            history.record(*config, {u"x", u"x"});
        }
        state.PauseTiming();
        report(state, history, 0);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_UndoRedoOneKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordOneKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UndoRedoOpenMaximal)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HundredOneKeySteps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
