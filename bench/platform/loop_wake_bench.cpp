// What it costs the UI thread of the Qt backend to be woken for a task posted from another thread,
// as the I/O thread of an open port posts what it read each time the far end writes, with nothing
// else to do: the floor under the window thread's share at a given write rate. Reported: the UI
// thread's CPU time per posted task and as a share of a core.

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/qt/qt_platform.h"

namespace {

using namespace kesu::platform;

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

qt::QtPlatform& Backend() {
    static qt::QtPlatform p;
    return p;
}

// range(0): tasks a second, for five seconds.
void BM_WokenByPostedTasks(benchmark::State& state) {
    EventLoop& loop = Backend().Loop();
    const auto rate = static_cast<int>(state.range(0));
    const int total = rate * 5;
    for (auto _ : state) {
        const double cpu0 = ThreadCpuSeconds();
        // The outer loop, as the program runs it; the last task ends it.
        std::thread poster([&] {
            auto next = std::chrono::steady_clock::now();
            for (int i = 1; i <= total; ++i) {
                next += std::chrono::microseconds(1000000 / rate);
                std::this_thread::sleep_until(next);
                loop.Post([&loop, last = i == total] {
                    if (last) loop.Quit(0);
                });
            }
        });
        loop.Run();
        const double cpu = ThreadCpuSeconds() - cpu0;
        poster.join();
        state.counters["us_per_task"] = cpu / total * 1e6;
        state.counters["percent_of_a_core"] = cpu / 5 * 100;
    }
}
BENCHMARK(BM_WokenByPostedTasks)->Arg(10)->Arg(100)->Arg(1000)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
