// Throughput of the conversions the assistant runs on every send and receive:
// hexadecimal display, text to bytes, splitting and searching large texts,
// and the big-number arithmetic of the radix conversion.

#include <benchmark/benchmark.h>

#include <string>

#include "commands/core_commands.h"
#include "libs/bignum/number.h"
#include "runtime/runtime_state.h"
#include "runtime/sysfunc.h"
#include "runtime/value.h"

namespace kesu::commands {
namespace {

std::string LargeText(size_t bytes) {
    std::string text;
    text.reserve(bytes);
    // Mixed single-byte and GBK two-byte characters, with separators.
    static const char kPiece[] = "AB,\xD6\xD0\xCE\xC4 12 \xA3\xB1\xA3\xB2,xyz";
    while (text.size() < bytes) text += kPiece;
    return text;
}

void BM_ToHexText(benchmark::State& state) {
    RuntimeState runtime;
    int32_t value = 0;
    for (auto _ : state) {
        ArgRecord arg = ArgRecord::Int(value++ * 2654435761u);
        ResultRecord r = CallCoreCommand(ToHexText, 1, &arg);
        MemFree(r.AsText());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ToHexText);

void BM_ToBytesOfText(benchmark::State& state) {
    RuntimeState runtime;
    std::string text = LargeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        ArgRecord arg = ArgRecord::Text(text.c_str());
        ResultRecord r = CallCoreCommand(ToBytes, 1, &arg);
        MemFree(r.AsByteSet());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ToBytesOfText)->Arg(64)->Arg(1 << 20);

void BM_ToTextOfByteSet(benchmark::State& state) {
    RuntimeState runtime;
    std::string text = LargeText(static_cast<size_t>(state.range(0)));
    uint8_t* set = MakeByteSet(text.data(), text.size());
    for (auto _ : state) {
        ArgRecord arg = ArgRecord::ByteSet(set);
        ResultRecord r = CallCoreCommand(ToText, 1, &arg);
        MemFree(r.AsText());
    }
    MemFree(set);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ToTextOfByteSet)->Arg(1 << 20);

void BM_SplitText(benchmark::State& state) {
    RuntimeState runtime;
    std::string text = LargeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        ArgRecord args[3] = {ArgRecord::Text(text.c_str()), ArgRecord(), ArgRecord()};
        ResultRecord r = CallCoreCommand(SplitTextCommand, 3, args);
        FreeArray(kTypeText, r.AsArray());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SplitText)->Arg(1 << 20);

void BM_FindTextMiss(benchmark::State& state) {
    RuntimeState runtime;
    std::string text = LargeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        ArgRecord args[4] = {ArgRecord::Text(text.c_str()), ArgRecord::Text("never"), ArgRecord(),
                             ArgRecord::Int(state.range(1))};
        benchmark::DoNotOptimize(CallCoreCommand(FindTextCommand, 4, args));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_FindTextMiss)->Args({1 << 20, 0})->Args({1 << 20, 1});

void BM_ToHalfWidth(benchmark::State& state) {
    RuntimeState runtime;
    std::string text = LargeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        ArgRecord arg = ArgRecord::Text(text.c_str());
        ResultRecord r = CallCoreCommand(ToHalfWidthCommand, 1, &arg);
        MemFree(r.AsText());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ToHalfWidth)->Arg(1 << 20);

void BM_BignumMultiplyDivide(benchmark::State& state) {
    std::string digits(static_cast<size_t>(state.range(0)), '7');
    bignum::Number a = *bignum::Parse(digits + "." + digits.substr(0, 9));
    bignum::Number b = *bignum::Parse(digits.substr(0, digits.size() / 2) + ".123");
    for (auto _ : state) {
        bignum::Number p = bignum::Multiply(a, b);
        benchmark::DoNotOptimize(bignum::Divide(p, b, 20));
    }
}
BENCHMARK(BM_BignumMultiplyDivide)->Arg(60)->Arg(600);

}  // namespace
}  // namespace kesu::commands

BENCHMARK_MAIN();
