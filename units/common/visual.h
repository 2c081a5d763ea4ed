#pragma once

// Rules shared by every visual unit: clamping of choices and the frame styles of
// units that have a border property. Colours and their special values are the
// platform's (platform/ui.h).

#include <algorithm>
#include <cstdint>

namespace kesu::units {

inline std::int32_t ClampChoice(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    return std::clamp(v, lo, hi);
}

// Frame styles of the border property: 0 none, 1 sunken client edge, 2 modal
// frame, 3 static edge, 4 client edge and modal frame, 5 single line.
enum class BorderStyle : std::int32_t {
    kNone = 0,
    kSunken = 1,
    kModalFrame = 2,
    kStaticEdge = 3,
    kSunkenModalFrame = 4,
    kSingleLine = 5,
};
inline constexpr std::int32_t kMaxBorderStyle = 5;

}  // namespace kesu::units
