#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::units {

// The stored settings of a button.
struct ButtonSettings {
    static constexpr std::uint32_t kVersion = 1;

    bool defaultButton = false;
    std::int32_t hAlign = 1;  // 0 left, 1 centre, 2 right
    std::int32_t vAlign = 1;  // 0 top, 1 centre, 2 bottom
    std::string picture;
    std::string font;
    std::string caption = "\xB0\xB4\xC5\xA5";  // "按钮"

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
