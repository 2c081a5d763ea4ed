#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/unit.h"

namespace kesu::units {

// Indices of the window's own properties, relative to the first type-specific one.
enum WindowProperty : int {
    kWindowTitle = 0,
    kWindowFrameStyle = 1,
    kWindowBackColour = 2,
    kWindowBackPicture = 3,
    kWindowPictureLayout = 4,
    kWindowIcon = 5,
    kWindowIconOption = 6,
    kWindowControlBox = 7,
    kWindowMaxButton = 8,
    kWindowMinButton = 9,
    kWindowState = 10,
    kWindowMovable = 11,
    // Property 20: the picture of the window's notification-area icon; no bytes, no icon.
    kWindowPictureSetting = 12,  // first of the further settings, 20 to 28
    kWindowTrayIcon = kWindowPictureSetting,
    kWindowAlwaysOnTop = 21,
    // Property 30: the tip of the notification-area icon, of which 62 bytes are shown.
    kWindowTextSetting = 22,  // 30
    kWindowTrayTip = kWindowTextSetting,
    kWindowLastTextSetting = 23,  // 31
    kWindowPropertyCount = 24,
};

inline constexpr int32_t kWindowBlockVersion = 6;
inline constexpr uint32_t kSystemButtonFace = 0xFF000000;

// Everything the window keeps of its stored block, with the block's defaults. The settings the
// assistant does not use are kept only so that a saved block reloads unchanged.
struct WindowSettings {
    int32_t frame_style = 2;
    int32_t picture_layout = 1;
    uint32_t back_colour = kSystemButtonFace;
    int32_t max_button = 0;
    int32_t min_button = 0;
    int32_t control_box = 1;
    int32_t window_state = 1;  // the start position while loading
    int32_t movable = 1;
    int32_t icon_option = 0;
    int32_t further[4] = {0, 1, 0, 0};  // properties 21 to 24
    int32_t setting_25 = 1;
    int32_t setting_26 = 0;
    int32_t setting_28 = 0;  // a choice 0 to 29
    int32_t always_on_top = 0;
    int32_t setting_27 = 0;
    std::string text_30;
    std::string back_picture;
    std::string picture_setting;
    std::string icon;
    std::string title;
    std::string text_31;
};

// Reads a stored block over the defaults. An empty block keeps the defaults; a version above 6
// or a block that ends inside a field fails (the window is then not created).
bool ParseWindowSettings(std::string_view block, WindowSettings& settings);
// The newest format, which ParseWindowSettings reads back to equal settings.
std::string SaveWindowSettings(const WindowSettings& settings);

// The frame decorations a window shows, derived from its settings.
struct FrameDecoration {
    bool title_bar = false;
    bool system_menu = false;
    bool max_button = false;
    bool min_button = false;
    bool frame = false;      // any border at all
    bool resizable = false;  // a thick, sizable border
    bool tool_window = false;
    bool sunken_edge = false;

    bool operator==(const FrameDecoration&) const = default;
};

// Frame style 0 has no border and no title bar; otherwise a title bar appears when the title is
// not empty or the control box is on, and the border follows the frame style table.
FrameDecoration ComputeFrameDecoration(const WindowSettings& settings);

}  // namespace kesu::units
