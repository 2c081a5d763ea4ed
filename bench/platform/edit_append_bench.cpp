// Appending received text to a multi-line edit on the Qt backend, offscreen:
// the receive box gets one piece per 150 ms refresh, at 115200 baud shown as
// hex (three characters per byte, 5184 bytes a piece), until it holds 10 MB.
// Reported: the time per append at the start and at the end of the fill, and
// the time per append into a box already holding a given amount of text.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/gbk.h"
#include "platform/qt/qt_platform.h"

namespace {

using namespace kesu::platform;

constexpr std::size_t kPiece = 5184;
constexpr std::size_t kTotal = 10u << 20;

std::string HexPiece() {
    std::string s;
    while (s.size() + 5 <= kPiece) {
        s += (s.size() / 3) % 16 == 15 ? "0A\r\n" : "41 ";
    }
    s.resize(kPiece, ' ');
    return s;
}

struct Box {
    std::unique_ptr<Window> window;
    std::unique_ptr<Edit> edit;
    explicit Box(Platform& p) {
        window = p.UserInterface().CreateWindow();
        window->SetGeometry({0, 0, 640, 480});
        edit = p.UserInterface().CreateEdit(window.get(),
                                            EditStyle{.multi_line = true, .vscroll = true});
        edit->SetGeometry({8, 8, 600, 420});
        edit->SetFont(Font{.face = Gbk("宋体"), .height = -14});  // as the receive box has it
        edit->SetVisible(true);
        window->Show(WindowShow::Normal);
    }
    ~Box() {
        edit.reset();
        window.reset();
    }
};

qt::QtPlatform& Backend() {
    static qt::QtPlatform p;
    return p;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One fill from empty to 10 MB; the first and the last 100 appends are
// averaged, each append followed by the loop's pending work (repaint).
void BM_FillTo10MB(benchmark::State& state) {
    Platform& p = Backend();
    const std::string piece = HexPiece();
    const std::size_t appends = kTotal / kPiece;
    for (auto _ : state) {
        Box box(p);
        double first = 0, last = 0;
        for (std::size_t i = 0; i < appends; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            box.edit->Append(piece);
            p.Loop().ProcessPending();
            double dt = Seconds(std::chrono::steady_clock::now() - t0);
            if (i < 100) first += dt;
            if (i + 100 >= appends) last += dt;
        }
        state.counters["first_100_us_per_append"] = first / 100 * 1e6;
        state.counters["last_100_us_per_append"] = last / 100 * 1e6;
        state.counters["text_MB"] = static_cast<double>(box.edit->TextLength()) / (1 << 20);
    }
}
BENCHMARK(BM_FillTo10MB)->Iterations(1)->Unit(benchmark::kMillisecond);

// Appends `piece` again and again to a box first filled with copies of it
// up to `fill` bytes.
void AppendInto(benchmark::State& state, const std::string& piece, std::size_t fill) {
    Platform& p = Backend();
    Box box(p);
    std::string bulk;
    while (bulk.size() < fill) bulk += piece;
    box.edit->SetText(bulk);
    p.Loop().ProcessPending();
    for (auto _ : state) {
        box.edit->Append(piece);
        p.Loop().ProcessPending();
    }
}

// Appends into a box that already holds `range(0)` MB.
void BM_AppendAtSize(benchmark::State& state) {
    AppendInto(state, HexPiece(), static_cast<std::size_t>(state.range(0)) << 20);
}
BENCHMARK(BM_AppendAtSize)->Arg(0)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

// The same for a device that sends letters and never a line break (base64, say): nothing in the
// text marks where a character starts, and the box is one long paragraph. Sizes in KB: the
// toolkit lays out a whole paragraph again for every change to it, so this stays flat only
// because the box shows the paragraph in blocks of its own.
void BM_AppendLettersAtSize(benchmark::State& state) {
    AppendInto(state, std::string(kPiece, 'A'), static_cast<std::size_t>(state.range(0)) << 10);
}
BENCHMARK(BM_AppendLettersAtSize)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// Hex display of a continuous stream: blanks between the bytes but no line
// break, ever. Sizes in KB, up to the 10 MB of a long capture.
void BM_AppendHexRunAtSize(benchmark::State& state) {
    std::string piece;
    while (piece.size() < kPiece) piece += "A5 ";
    AppendInto(state, piece, static_cast<std::size_t>(state.range(0)) << 10);
}
BENCHMARK(BM_AppendHexRunAtSize)->Arg(16)->Arg(256)->Arg(10240)->Unit(benchmark::kMicrosecond);

// One character typed into the middle of a 1 MB paragraph, of hex (arg 0)
// or of letters (arg 1). Soft breaks after it may move: hex soon finds a
// blank where the old and the new breaks meet again, letters only at the end
// of the paragraph, so there everything after the change is shown anew.
void BM_InsertIntoLongRun(benchmark::State& state) {
    Platform& p = Backend();
    std::string bulk;
    while (bulk.size() < (1u << 20)) bulk += state.range(0) == 0 ? "A5 " : "AAA";
    Box box(p);
    box.edit->SetText(bulk);
    p.Loop().ProcessPending();
    std::size_t at = bulk.size() / 2;
    for (auto _ : state) {
        box.edit->SetSelection(at, at);
        box.edit->ReplaceSelection("B");
        p.Loop().ProcessPending();
        at += 1;
    }
}
BENCHMARK(BM_InsertIntoLongRun)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
