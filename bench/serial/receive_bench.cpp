// Bytes from a serial device to the engine's data events on the window thread: sustained
// throughput with every byte checked (none lost, none out of order), and the processor time the
// whole process spends per megabyte received.
//
//   bench_serial_receive --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/posix/serial_posix.h"
#include "platform/virtual/virtual_serial.h"
#include "tests/platform/serial/pty.h"
#include "tests/units/serial_port/window_queue.h"
#include "units/serial_port/comm_port.h"

namespace {

using kesu::units::CommPort;

uint8_t Pattern(uint64_t i) {
    return static_cast<uint8_t>((i * 131 + (i >> 8)) & 0xFF);
}

std::string PatternBlock(uint64_t from, size_t count) {
    std::string out(count, '\0');
    for (size_t k = 0; k < count; ++k) out[k] = static_cast<char>(Pattern(from + k));
    return out;
}

// Counts data events and checks each byte against the pattern.
class CountingPort : public CommPort {
  public:
    explicit CountingPort(kesu::testing::WindowQueue& window) : CommPort(window.Poster()) {}
    ~CountingPort() override { Shutdown(); }
    uint64_t received = 0;
    uint64_t wrong = 0;
    uint64_t line_events = 0;

  protected:
    void FireLineEvent(int) override { ++line_events; }
    void FireDataEvent(uint8_t byte) override {
        if (byte != Pattern(received)) ++wrong;
        ++received;
    }
};

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr size_t kBlock = 64 * 1024;

// Runs the window thread until `total` bytes have been delivered while `send` feeds the device.
template <class Send>
void Measure(benchmark::State& state, kesu::testing::WindowQueue& window, CountingPort& port,
             Send send) {
    const uint64_t total = static_cast<uint64_t>(state.range(0));
    double cpu = 0;
    uint64_t delivered = 0;
    for (auto _ : state) {
        const uint64_t start = port.received;
        const double cpu_before = ProcessCpuSeconds();
        std::thread writer([&] {
            for (uint64_t sent = 0; sent < total; sent += kBlock) {
                send(PatternBlock(start + sent, std::min<uint64_t>(kBlock, total - sent)));
            }
        });
        if (!window.RunUntil([&] { return port.received >= start + total; },
                             std::chrono::seconds(60))) {
            writer.join();
            state.SkipWithError("bytes were lost");
            return;
        }
        writer.join();
        cpu += ProcessCpuSeconds() - cpu_before;
        delivered += total;
    }
    if (port.wrong != 0) state.SkipWithError("bytes arrived changed or out of order");
    state.SetBytesProcessed(static_cast<int64_t>(delivered));
    state.counters["cpu_ms_per_MB"] = cpu * 1000.0 / (static_cast<double>(delivered) / 1e6);
    state.counters["ns_per_byte"] = benchmark::Counter(
        static_cast<double>(delivered), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["lost"] = static_cast<double>(port.received - delivered);
}

void BM_PseudoTerminalToDataEvents(benchmark::State& state) {
    kesu::testing::Pty pty;
    kesu::testing::WindowQueue window;
    CountingPort port(window);
    auto device = kesu::platform::OpenPosixSerial(pty.slave_path());
    if (!pty.ok() || !device) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    device->SetEventMask(0x1F9);
    port.Attach(std::move(device));
    port.StartThread();
    // Let the I/O thread pass its starting purge before anything is sent.
    window.RunUntil([] { return false; }, std::chrono::milliseconds(50));
    Measure(state, window, port, [&](const std::string& block) { pty.Send(block); });
}
BENCHMARK(BM_PseudoTerminalToDataEvents)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_VirtualPortToDataEvents(benchmark::State& state) {
    kesu::platform::VirtualSerialHub hub;
    hub.SetPaced(false);
    hub.AddPair("HOST", "FAR");
    auto far = hub.OpenNamed("FAR");
    auto device = hub.OpenNamed("HOST");
    device->SetEventMask(0x1F9);
    kesu::testing::WindowQueue window;
    CountingPort port(window);
    port.Attach(std::move(device));
    port.StartThread();
    window.RunUntil([] { return false; }, std::chrono::milliseconds(50));
    Measure(state, window, port, [&](const std::string& block) {
        far->Write(reinterpret_cast<const uint8_t*>(block.data()), block.size());
    });
}
BENCHMARK(BM_VirtualPortToDataEvents)->Arg(8 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
