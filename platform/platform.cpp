#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kesu::platform {

namespace {
std::atomic<Platform*> g_current{nullptr};
// Counts installs, so that a thread can tell whether what it knows of the current backend is
// still about the one installed.
std::atomic<uint64_t> g_installs{1};
}  // namespace

Platform& Current() {
    Platform* p = g_current.load(std::memory_order_acquire);
    if (p == nullptr) {
        std::fputs("kesu: no platform backend installed\n", stderr);
        std::abort();
    }
    return *p;
}

bool HasCurrent() {
    return g_current.load(std::memory_order_acquire) != nullptr;
}

Platform* Install(Platform* p) {
    Platform* previous = g_current.exchange(p, std::memory_order_acq_rel);
    g_installs.fetch_add(1, std::memory_order_acq_rel);
    return previous;
}

bool OnUiThreadOfCurrent() {
    // Every property access and every event asks this; the answer for a thread changes only
    // when another backend is installed, so each thread keeps it until then.
    struct Known {
        uint64_t installs = 0;
        bool ui = false;
    };
    thread_local Known known;
    const uint64_t installs = g_installs.load(std::memory_order_acquire);
    if (known.installs != installs) {
        Platform* p = g_current.load(std::memory_order_acquire);
        known.ui = p == nullptr || p->Loop().IsUiThread();
        known.installs = installs;
    }
    return known.ui;
}

}  // namespace kesu::platform
