#pragma once

// Test support for the big-number library: allocation-failure injection.

#include <cstdint>

namespace kesu::bignum::testing {

// Lets `count` more digit-group allocations on this thread succeed and makes
// every one after them fail; a negative count switches the failures off.
void FailAllocationsAfter(int64_t count);

}  // namespace kesu::bignum::testing
