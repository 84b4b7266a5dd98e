// SPDX-License-Identifier: GPL-2.0-or-later
// Saving and loading the largest profile the program can make: all 216 key slots holding a
// 799-row macro and each catalogue 100 entries of 799 rows. pugixml parses and serialises the
// same file in the same run for comparison.
//
// Each benchmark also reports its peak memory: the growth of the process's peak resident size
// (VmHWM, reset through /proc/self/clear_refs) over the resident size before one run, as
// megabytes and as a multiple of the file size.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <string>

#include "KeyboardConfig.h"
#include "MaximalConfig.h"

namespace {

namespace fs = std::filesystem;

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return -1;
}

// Extra resident memory one run of `op` needs at its peak, in bytes.
double peakBytes(const std::function<void()>& op) {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKb("VmRSS");
    op();
    const long peak = statusKb("VmHWM");
    return (peak - before) * 1024.0;
}

struct Fixture {
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "oskel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        dir = pattern;
        path = (dir / "maximal.pro").string();
        source = std::make_unique<KeyboardConfig>();
        maximal::fill(*source);
        std::string why;
        if (!source->saveProfile(path, &why)) {
            std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), why.c_str());
            std::abort();
        }
        fileBytes = static_cast<double>(fs::file_size(path));
    }
    ~Fixture() { fs::remove_all(dir); }

    fs::path dir;
    std::string path;
    std::unique_ptr<KeyboardConfig> source;
    double fileBytes = 0;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void report(benchmark::State& state, double peak) {
    const Fixture& f = fixture();
    state.counters["file_MB"] = f.fileBytes / 1e6;
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_x_file"] = peak / f.fileBytes;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.fileBytes));
}

void BM_OskelSaveProfile(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string out = (f.dir / "save.pro").string();
    const double peak = peakBytes([&] { f.source->saveProfile(out); });
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.source->saveProfile(out));
    }
    report(state, peak);
}

void BM_OskelLoadProfile(benchmark::State& state) {
    Fixture& f = fixture();
    auto config = std::make_unique<KeyboardConfig>();
    config->clear();
    const double peak = peakBytes([&] { config->loadProfile(f.path); });
    for (auto _ : state) {
        benchmark::DoNotOptimize(config->loadProfile(f.path));
    }
    report(state, peak);
}

void BM_PugixmlParse(benchmark::State& state) {
    Fixture& f = fixture();
    const double peak = peakBytes([&] {
        pugi::xml_document doc;
        doc.load_file(f.path.c_str());
    });
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(f.path.c_str()));
    }
    report(state, peak);
}

void BM_PugixmlSerialise(benchmark::State& state) {
    Fixture& f = fixture();
    pugi::xml_document doc;
    doc.load_file(f.path.c_str());
    const std::string out = (f.dir / "pugi.xml").string();
    // One node per line without indentation, as the profile is laid out.
    const auto save = [&] { return doc.save_file(out.c_str(), "", pugi::format_indent); };
    const double peak = peakBytes(save);
    for (auto _ : state) {
        benchmark::DoNotOptimize(save());
    }
    report(state, peak);
}

BENCHMARK(BM_OskelSaveProfile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OskelLoadProfile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PugixmlSerialise)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
