#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace kesu::platform {

namespace {
std::atomic<Platform*> g_current{nullptr};
}

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
    return g_current.exchange(p, std::memory_order_acq_rel);
}

}  // namespace kesu::platform
