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

    bool decode(std::string_view data);
    std::string encode() const;
};

}  // namespace kesu::units
