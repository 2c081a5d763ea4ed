#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::units {

enum class DialogType : std::int32_t { kOpenFile = 0, kSaveFile = 1, kFont = 2, kHelp = 3 };

// The stored settings of a common dialog unit; every property is stored.
struct CommonDialogSettings {
    static constexpr std::uint32_t kVersion = 1;

    std::int32_t dialogType = 0;
    std::string title;
    std::string fileName;
    std::string filter;
    std::int32_t filterIndex = 0;
    std::string initialDir;
    std::string defaultExt;
    bool createPrompt = false;
    bool fileMustExist = true;
    bool overwritePrompt = true;
    bool pathMustExist = true;
    bool noChangeDir = false;
    std::uint32_t fontColour = 0;
    bool fontBold = false;
    bool fontItalic = false;
    bool fontStrikeOut = false;
    bool fontUnderline = false;
    std::string fontName;
    std::int32_t fontSize = 0;
    std::string helpFile;
    std::int32_t helpCommand = 0;
    std::int32_t helpContext = 0;

    // Reads a stored block over the defaults; false, with the defaults kept, for a version
    // above kVersion or a block that ends early. Choices are clamped to their ranges.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
