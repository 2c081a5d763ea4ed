// Costs of the value operations that every received byte goes through
// (a fresh text, a byte set, a canonical form, freeing), and of reading a
// program image at start-up.
#include <benchmark/benchmark.h>

#include "image_builder/image_builder.h"
#include "runtime/image.h"
#include "runtime/runtime_state.h"
#include "runtime/value.h"
#include "tests/runtime/sample_image.h"

namespace kesu {
namespace {

void BM_CopyTextAndFree(benchmark::State& state) {
    RuntimeState runtime;
    std::string text(static_cast<size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        char* t = CopyText(text.c_str());
        benchmark::DoNotOptimize(t);
        MemFree(t);
    }
}
BENCHMARK(BM_CopyTextAndFree)->Arg(3)->Arg(4096);

void BM_ByteSetOfOneByte(benchmark::State& state) {
    RuntimeState runtime;
    const uint8_t byte = 0x41;
    for (auto _ : state) {
        uint8_t* set = MakeByteSet(&byte, 1);
        benchmark::DoNotOptimize(set);
        MemFree(set);
    }
}
BENCHMARK(BM_ByteSetOfOneByte);

void BM_CanonicalInteger(benchmark::State& state) {
    RuntimeState runtime;
    ArgRecord r = ArgRecord::Int(123456);
    for (auto _ : state) benchmark::DoNotOptimize(CanonicalText(r));
}
BENCHMARK(BM_CanonicalInteger);

void BM_ReadSampleImage(benchmark::State& state) {
    const std::vector<uint8_t> bytes = tools::BuildProgramImage(test::SampleImage());
    for (auto _ : state) {
        ProgramImage image;
        benchmark::DoNotOptimize(ReadProgramImage(bytes, image).ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadSampleImage);

}  // namespace
}  // namespace kesu

BENCHMARK_MAIN();
