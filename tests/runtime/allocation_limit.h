// Test support: a ceiling on single allocations of the value model in the
// current run, so that a test can make an allocation fail. While a limit is
// set, every allocation larger than it fails as exhaustion does; 0 removes it,
// and a fresh runtime state starts without one.
#pragma once

#include <cstddef>

#include "runtime/runtime_state.h"

namespace kesu {

inline void SetAllocationLimitForTesting(size_t maxBytes) {
    Runtime().memory.allocationLimit.store(maxBytes);
}

}  // namespace kesu
