#pragma once

// The stored settings of an edit box: its property values as the template holds
// them, with the defaults a block is read over.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kesu::units {

enum class EditInputMode : std::int32_t {
    kOrdinary = 0,
    kReadOnly = 1,
    kPassword = 2,
    kWholeNumber = 3,
    kDecimalNumber = 4,
    kByte = 5,
    kShort = 6,
    kInt = 7,
    kLong = 8,
    kSingle = 9,
    kDouble = 10,
    kDateTime = 11,
};

struct EditBoxSettings {
    static constexpr std::uint32_t kVersion = 2;

    std::int32_t borderStyle = 1;
    std::uint32_t textColour = 0;
    std::uint32_t backColour = platform::kWhite;
    bool hideSelection = true;
    std::int32_t maxLength = 0;
    bool multiLine = false;
    std::int32_t scrollBars = 0;
    std::int32_t alignment = 0;
    std::int32_t inputMode = 0;
    std::uint16_t passwordChar = '*';
    std::int32_t letterCase = 0;
    std::int32_t upDownMode = 0;
    std::int32_t upDownMin = 0;
    std::int32_t upDownMax = 100;
    std::int32_t selStart = 0;
    std::int32_t selLength = 0;
    std::string font;     // 60-byte font record or empty
    std::string content;  // GBK bytes
    std::string dataSource;
    std::string dataColumn;

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
