// Position mapping in the text of a large receive box: what a click or a key
// in the middle of 10 MB costs the model before the toolkit does anything.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/edit_text.h"

namespace {

using kesu::platform::EditText;

EditText LargeBox() {
    EditText t(true, 4096);
    std::string line;
    for (int i = 0; i < 16; ++i) line += "41 42 43 ";
    line += "\r\n";
    std::string bulk;
    while (bulk.size() < (10u << 20)) bulk += line;
    t.Assign(bulk);
    return t;
}

// The byte under a view position a third of the way in, and back.
void BM_MapTheMiddleOf10MB(benchmark::State& state) {
    EditText t = LargeBox();
    const std::size_t v = t.ViewLength() / 3;
    for (auto _ : state) {
        std::size_t b = t.ViewToByte(v);
        benchmark::DoNotOptimize(t.ByteToView(b));
    }
}
BENCHMARK(BM_MapTheMiddleOf10MB)->Unit(benchmark::kMicrosecond);

// A character typed into the middle, then the caret placed after it: every
// edit drops what the model knew past the change.
void BM_TypeIntoTheMiddleOf10MB(benchmark::State& state) {
    EditText t = LargeBox();
    std::size_t at = t.Size() / 3;
    for (auto _ : state) {
        t.Replace(at, at, "x");
        benchmark::DoNotOptimize(t.ByteToView(at + 1));
        benchmark::DoNotOptimize(t.ViewToByte(t.ViewLength() / 3));
        ++at;
    }
}
BENCHMARK(BM_TypeIntoTheMiddleOf10MB)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
