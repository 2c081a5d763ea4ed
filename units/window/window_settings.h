#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace kesu::units {

// The stored settings of a window, in the order of its block, with the block's defaults. The
// comments give the property each field answers to. The further settings have no effect on the
// window; they are kept so that a saved block reloads unchanged, and are named after the
// property that reads them.
struct WindowSettings {
    static constexpr std::uint32_t kVersion = 6;

    std::int32_t frameStyle = 2;                       // 9
    std::int32_t pictureLayout = 1;                    // 12
    std::uint32_t backColour = platform::kButtonFace;  // 10
    std::int32_t maxButton = 0;                        // 16
    std::int32_t minButton = 0;                        // 17
    std::int32_t controlBox = 1;                       // 15
    std::int32_t windowState = 1;                      // 18, the start position while loading
    std::int32_t movable = 1;                          // 19
    std::int32_t iconOption = 0;                       // 14
    std::array<std::int32_t, 4> further21To24 = {0, 1, 0, 0};
    std::int32_t further25 = 1;    // version 2 and on
    std::int32_t further26 = 0;    // version 3 and on, with further28
    std::int32_t further28 = 0;    // a choice 0 to 29
    std::int32_t alwaysOnTop = 0;  // 29, version 4 and on
    std::int32_t further27 = 0;    // version 5 and on
    std::string trayTip;           // 30, version 6: the tip of the notification-area icon
    std::string backPicture;       // 11
    std::string trayIcon;          // 20: the picture of the notification-area icon
    std::string icon;              // 13
    std::string title;             // 8
    std::string furtherText31;

    // Reads a stored block of versions 1 to 6 over the defaults; an empty block keeps them, and
    // fields an older version lacks keep theirs. False, with the defaults kept, for a version
    // above kVersion or a block that ends inside a field (the window is then not created).
    bool Load(std::string_view block);
    // The block in version kVersion, or in an older version without the fields it lacks, as
    // older templates hold it.
    std::string Save(std::uint32_t version = kVersion) const;

    bool operator==(const WindowSettings&) const = default;
};

// The frame decorations a window shows, derived from its settings.
struct FrameDecoration {
    bool titleBar = false;
    bool systemMenu = false;
    bool maxButton = false;
    bool minButton = false;
    bool frame = false;      // any border at all
    bool resizable = false;  // a thick, sizable border
    bool toolWindow = false;
    bool sunkenEdge = false;

    bool operator==(const FrameDecoration&) const = default;
};

// Frame style 0 has no border and no title bar; otherwise a title bar appears when the title is
// not empty or the control box is on, and the border follows the frame style table.
FrameDecoration ComputeFrameDecoration(const WindowSettings& settings);

}  // namespace kesu::units
