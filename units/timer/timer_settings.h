#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kesu::units {

// The stored settings of a timer: its period.
struct TimerSettings {
    static constexpr std::uint32_t kVersion = 1;

    std::int32_t interval = 0;  // milliseconds; 0 is stopped

    // Reads a stored block over the defaults; an empty block keeps them. False, with the
    // defaults kept, for a version above kVersion or a block that ends early. A negative period
    // is read as 0.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
