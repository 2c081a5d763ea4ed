#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::units {

// The stored settings of a check box.
struct CheckBoxSettings {
    static constexpr std::uint32_t kVersion = 2;

    bool pushLike = false;
    bool flat = false;
    bool textLeft = false;
    std::int32_t hAlign = 0;
    std::int32_t vAlign = 1;
    std::uint32_t textColour = 0;
    std::uint32_t backColour = platform::kButtonFace;
    bool checked = false;
    std::string picture;
    std::string font;
    std::string caption = "\xD1\xA1\xD4\xF1\xBF\xF2";  // "选择框"
    std::string dataSource;
    std::string dataColumn;

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
