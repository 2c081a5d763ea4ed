#include "units/common/selection.h"

#include <algorithm>

namespace kesu::units {

Selection SelectionForStart(std::int32_t start, std::size_t textLength) {
    if (start == -1) return {static_cast<std::int32_t>(textLength), 0};
    return {std::max(start, 0), 0};
}

Selection SelectionForLength(std::int32_t currentStart, std::int32_t length,
                             std::size_t textLength) {
    if (length == -1) return {0, static_cast<std::int32_t>(textLength)};
    return {currentStart, std::max(length, 0)};
}

}  // namespace kesu::units
