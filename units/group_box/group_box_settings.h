#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::units {

// The stored settings of a group box: version 1, caption alignment, text and
// background colour (32-bit each), then the font and the caption as counted
// byte strings.
struct GroupBoxSettings {
    static constexpr std::uint32_t kVersion = 1;

    std::int32_t hAlign = 0;  // caption: 0 left, 1 centre, 2 right
    std::uint32_t textColour = 0;
    std::uint32_t backColour = platform::kButtonFace;
    std::string font;
    std::string caption = "\xB7\xD6\xD7\xE9\xBF\xF2";  // "分组框"

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
