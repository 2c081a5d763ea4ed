#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::units {

// The stored settings of a label.
struct LabelSettings {
    static constexpr std::uint32_t kVersion = 2;
    // The border style of the colour-graded frame the label draws itself.
    static constexpr std::int32_t kGradedFrame = 6;

    std::int32_t textEffect = 0;  // 0 plain, 1 raised, 2 sunken, 3 shadowed
    std::int32_t frameWidth = 8;
    std::int32_t borderStyle = 0;  // 0..5 as for edit boxes, or kGradedFrame
    std::array<std::uint32_t, 3> frameColours{0x808080, 0xFFFFFF, 0x808080};
    std::uint32_t textColour = 0;
    std::uint32_t backColour = platform::kButtonFace;
    std::int32_t pictureLayout = 1;  // 0 top-left, 1 stretched, 2 tiled
    std::int32_t gradientMode = 0;   // 0 solid, 1..8 as platform::Gradient
    std::array<std::uint32_t, 3> gradientColours{0x808080, 0xFFFFFF, 0x808080};
    std::int32_t hAlign = 0;
    std::int32_t vAlign = 1;
    bool wordWrap = false;
    std::string font;
    std::string picture;
    std::string caption = "\xB1\xEA\xC7\xA9";  // "标签"
    std::string dataSource;
    std::string dataColumn;

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
