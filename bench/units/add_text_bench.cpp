// The edit box's AddText method as the receive path calls it: one piece per
// refresh (5184 bytes, a 150 ms refresh of 115200 baud shown as hex) into a
// multi-line box that already holds a given amount of text. The whole method
// runs: unit lookup, the limit check, the move to the end, the append and the
// Changed event. Its cost must not grow with the text already in the box.
// Run with QT_QPA_PLATFORM=offscreen for the Qt backend.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/headless/headless.h"
#include "platform/qt/qt_platform.h"
#include "tests/units/common/unit_harness.h"

namespace {

using namespace kesu;
using units::testing::UnitHarness;

constexpr std::size_t kPiece = 5184;

std::string HexPiece() {
    std::string s;
    while (s.size() + 5 <= kPiece) s += (s.size() / 3) % 16 == 15 ? "0A\r\n" : "41 ";
    s.resize(kPiece, ' ');
    return s;
}

template <class Backend>
void AddTextIntoFilledBox(benchmark::State& state) {
    Backend backend;
    platform::ScopedInstall install(backend);
    UnitHarness h;
    units::EditBoxSettings s;
    s.multiLine = true;
    s.scrollBars = 2;
    std::uint32_t id = h.Add(kUnitEditBox, s.Save(), {8, 8, 600, 400});
    if (!h.Load()) {
        state.SkipWithError("the window did not load");
        return;
    }
    std::string piece = HexPiece();
    std::string filler;
    while (filler.size() < static_cast<std::size_t>(state.range(0))) filler += piece;
    h.Get<units::EditBoxUnit>(id).SetProperty(units::EditBoxUnit::kContent,
                                              units::TextValue(filler));
    ArgRecord args[2] = {UnitHarness::Reference(id, kUnitEditBox), ArgRecord::Text(piece.c_str())};
    for (auto _ : state) {
        ResultRecord r;
        units::AddTextCommand(&r, 2, args);
        state.PauseTiming();
        // Keep the box at its size, so every round appends to the same amount of text.
        if (h.Get<units::EditBoxUnit>(id).edit().TextLength() > filler.size() + (64u << 20)) {
            h.Get<units::EditBoxUnit>(id).SetProperty(units::EditBoxUnit::kContent,
                                                      units::TextValue(filler));
        }
        h.ClearEvents();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPiece));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(0)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_TEMPLATE(AddTextIntoFilledBox, platform::headless::HeadlessPlatform)->Apply(Sizes);
BENCHMARK_TEMPLATE(AddTextIntoFilledBox, platform::qt::QtPlatform)->Apply(Sizes)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
