// The receive path at full speed: a far end streams 10 MB through a virtual cable into the running
// assistant (headless backends, the real runtime, units and handlers), in text display and in hex
// display. Reported: bytes per second from the wire into the receive box, every byte counted and
// the box content checked, and the time the refresh handler takes per tick.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/commands.h"
#include "app/form/main_window_form.h"
#include "app/handlers.h"
#include "app/program.h"
#include "app/state.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_ui.h"
#include "platform/virtual/virtual_serial.h"
#include "runtime/dispatch.h"
#include "runtime/library.h"
#include "runtime/sysfunc.h"
#include "runtime/windows.h"

namespace {

using namespace kesu;
namespace id = app::unit_id;

constexpr size_t kStreamBytes = 10 * 1000 * 1000;
// What arrives between two refreshes at about 3.5 MB/s.
constexpr size_t kChunk = 512 * 1024;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 26);
    return s;
}

platform::Control* ControlOf(uint32_t unitId) {
    Unit* unit = FindUnit(app::kMainWindowId, unitId);
    return unit ? unit->control() : nullptr;
}

template <class T>
T& Control(uint32_t unitId) {
    return *dynamic_cast<T*>(ControlOf(unitId));
}

// One whole run: start the assistant, open COM1, stream, check, shut down.
void StreamInto(benchmark::State& state, bool hexDisplay) {
    const std::string data = Pattern(kStreamBytes);
    double refreshSeconds = 0;
    int64_t refreshes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::VirtualSerialHub hub;
        hub.AddPair("COM1", "DEV1");
        hub.SetPaced(false);  // full speed: the bytes arrive as fast as the loop takes them
        platform::headless::HeadlessPlatform headless({.serial_ports = &hub});
        platform::ScopedInstall install(headless);
        auto& loop = headless.loop();
        auto states = std::make_unique<app::AssistantStates>();
        app::InstallAssistant();
        app::StartAssistant();
        Control<platform::headless::HeadlessButton>(id::kPortButton).UserClick();
        loop.ProcessPending();
        if (hexDisplay) {
            Control<platform::headless::HeadlessCheckBox>(id::kHexDisplay).UserClick();
            loop.ProcessPending();
        }
        auto far = hub.OpenNamed("DEV1");
        const size_t boxBefore = ControlOf(id::kReceiveBox)->Text().size();
        state.ResumeTiming();

        // The far end writes one refresh period's worth of bytes at a time; the window thread
        // takes them all (one DataArrived per byte), then the 150 ms refresh tick shows them.
        // Lockstep keeps the measurement independent of how the loop interleaves the two.
        for (size_t at = 0; at < data.size(); at += kChunk) {
            const size_t n = std::min(kChunk, data.size() - at);
            far->Write(reinterpret_cast<const uint8_t*>(data.data() + at), n);
            const auto target = static_cast<int64_t>(at + n);
            while (app::Assistant().receivedCount < target) loop.ProcessPending();
            const auto t0 = std::chrono::steady_clock::now();
            loop.AdvanceBy(150);
            refreshSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            ++refreshes;
        }

        state.PauseTiming();
        const std::string box = ControlOf(id::kReceiveBox)->Text();
        const size_t shown = box.size() - boxBefore;
        const size_t expected = hexDisplay ? 3 * kStreamBytes : kStreamBytes;
        bool ok = shown == expected;
        if (ok && !hexDisplay) ok = box.compare(boxBefore, std::string::npos, data) == 0;
        if (ok && hexDisplay) ok = box.compare(boxBefore, 9, "41 42 43 ") == 0;
        if (!ok) state.SkipWithError("the receive box does not hold every byte");
        app::StopAssistant();
        states.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStreamBytes));
    state.counters["refresh_us_per_tick"] = refreshes ? 1e6 * refreshSeconds / refreshes : 0;
}

void BM_ReceiveTextDisplay(benchmark::State& state) {
    StreamInto(state, false);
}
void BM_ReceiveHexDisplay(benchmark::State& state) {
    StreamInto(state, true);
}

BENCHMARK(BM_ReceiveTextDisplay)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ReceiveHexDisplay)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
