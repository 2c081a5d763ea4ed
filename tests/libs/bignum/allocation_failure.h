#pragma once

// Test support for the big-number library: allocation-failure injection. The
// digit-group allocator of the library fails while the calling thread's
// countdown has run out; this sets the countdown.

#include <cstdint>

#include "libs/bignum/number.h"

namespace kesu::bignum::testing {

// Lets `count` more digit-group allocations on this thread succeed and makes
// every one after them fail; a negative count switches the failures off.
inline void FailAllocationsAfter(int64_t count) {
    detail::allocationsUntilFailure = count;
}

}  // namespace kesu::bignum::testing
