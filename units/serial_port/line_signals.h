#pragma once

// The numbers a serial port's program exchanges with it about the modem lines: the action and
// the line of the SetLineSignal method, and the argument of the LineEvent event.

#include <cstdint>

namespace kesu::units {

enum class SignalAction : std::int32_t { kClear = 1, kSet = 2 };
enum class SignalLine : std::int32_t { kDtr = 1, kRts = 2, kBreak = 3 };

// What a LineEvent reports (kNone is never raised).
enum class LineEvent : std::int32_t {
    kNone = 0,
    kBreak = 1,
    kCtsOn = 2,
    kDsrOn = 3,
    kLineError = 4,
    kRing = 5,
    kRlsdOn = 6,
    kEventChar = 7,
    kCtsOff = 8,
    kDsrOff = 9,
    kRlsdOff = 10,
};

}  // namespace kesu::units
