#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::units {

enum class ComboListType : std::int32_t { kSimple = 0, kDropDown = 1, kDropDownList = 2 };

// The stored settings of a combo box.
struct ComboBoxSettings {
    static constexpr std::uint32_t kVersion = 3;

    std::int32_t listType = 1;
    std::int32_t maxLength = 0;
    std::int32_t selStart = 0;
    std::int32_t selLength = 0;
    bool sorted = false;
    std::int32_t itemHeight = 1;
    std::uint32_t textColour = 0;
    std::uint32_t backColour = platform::kWhite;
    std::int32_t listIndex = -1;
    std::string font;
    std::vector<std::int32_t> itemData;
    std::string content;
    std::vector<std::string> items;
    std::string dataSource;
    std::string dataColumn;
    std::int32_t bindingFlag = 0;

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;

    // The item data as stored bytes (consecutive 32-bit values) and back; a
    // trailing part shorter than a word is dropped.
    static std::string packItemData(const std::vector<std::int32_t>& values);
    static std::vector<std::int32_t> unpackItemData(const std::string& bytes);
};

}  // namespace kesu::units
