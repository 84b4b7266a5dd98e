// SPDX-License-Identifier: GPL-2.0-or-later
// Hostile input: how the XML engine and the profile loader fare on texts made to be slow or
// large. Run: build/bench/core/bench_hostile (numbers go in the notes; nothing here asserts).
#include <benchmark/benchmark.h>

#include <string>

#include "XmlDocument.h"

namespace {

// End tags that match no open element, inside `depth` open ones: each is looked up among the
// open elements, which must not cost a walk of them all.
void BM_LoneEndTags(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int depth = static_cast<int>(state.range(1));
    std::u16string text;
    for (int i = 0; i < depth; ++i) {
        text += u"<e>";
    }
    for (int i = 0; i < count; ++i) {
        text += u"</zz>";
    }
    for (int i = 0; i < depth; ++i) {
        text += u"</e>";
    }
    for (auto _ : state) {
        XmlDocument doc;
        benchmark::DoNotOptimize(doc.setText(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}

BENCHMARK(BM_LoneEndTags)
    ->Args({100000, 1})
    ->Args({100000, 1000})
    ->Args({100000, 20000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
