// The hex text parser on what the window hands it on every change of the send box or a trigger
// box: 200 KB (the largest text file the load button reads) of short tokens, of one long token,
// and of a mixed text with full-width digits, line breaks and characters that are no digits.
#include <benchmark/benchmark.h>

#include <string>

#include "app/hex_text.h"
#include "app/program.h"
#include "runtime/image.h"
#include "runtime/library.h"

namespace {

using namespace kesu;

constexpr size_t kTextBytes = 200 * 1000;

std::string Repeated(const std::string& piece) {
    std::string text;
    while (text.size() + piece.size() <= kTextBytes) text += piece;
    return text;
}

void Parse(benchmark::State& state, const std::string& text) {
    app::AssistantStates states;
    app::InstallAssistant();
    ProgramImage image;
    if (!ReadProgramImage(app::MainWindowImage(), image) || !StartLibraries(image.libraries)) {
        state.SkipWithError("the program's libraries do not start");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(app::ParseHexText(text.c_str()));
    StopLibraries();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ParseShortTokens(benchmark::State& state) {
    Parse(state, Repeated("A5 "));
}
void BM_ParseOneLongToken(benchmark::State& state) {
    Parse(state, Repeated("0123456789abcdef"));
}
void BM_ParseMixedText(benchmark::State& state) {
    // ＡＢ, a line break inside a token, a Chinese character, an empty token.
    Parse(state, Repeated("02 2e \xA3\xC1\xA3\xC2 1FF 12\r\n34 \xD6\xD0  G1 "));
}

BENCHMARK(BM_ParseShortTokens)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOneLongToken)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseMixedText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
