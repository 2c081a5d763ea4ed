#pragma once

// Type descriptors of the visual units as the program image lists them: names,
// type flags and one property descriptor per property, the eight common
// properties first. The core library's descriptor list and the image builder
// take them from here, so a unit's property table is written once.

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "runtime/image.h"

namespace kesu::units {

// Property kinds: how the runtime converts a property's value.
namespace kind {
inline constexpr std::uint16_t kWord = 1001;  // integer, choice or colour
inline constexpr std::uint16_t kLogical = 1003;
inline constexpr std::uint16_t kText = 1005;
inline constexpr std::uint16_t kBytes = 1009;  // byte data (pictures, item data, text lists)
inline constexpr std::uint16_t kFont = 1013;
}  // namespace kind

// A descriptor with the common rows and then one row per kind, in index order.
UnitTypeDescriptor DescribeUnitType(std::string_view chineseName, std::string_view englishName,
                                    std::uint32_t flags,
                                    std::initializer_list<std::uint16_t> kinds);

}  // namespace kesu::units
