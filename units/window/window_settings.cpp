#include "units/window/window_settings.h"

#include <span>
#include <vector>

#include "runtime/image.h"

namespace kesu::units {

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}
std::vector<uint8_t> AsBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

// The block format itself is the program image's window data; these map it onto the window's
// properties.
bool ParseWindowSettings(std::string_view block, WindowSettings& s) {
    if (block.empty()) return true;
    WindowData d;
    if (!ReadWindowData(std::span(reinterpret_cast<const uint8_t*>(block.data()), block.size()),
                        d)) {
        return false;
    }
    s.frame_style = static_cast<int32_t>(d.borderStyle);
    s.picture_layout = static_cast<int32_t>(d.pictureMode);
    s.back_colour = d.backColor;
    s.max_button = static_cast<int32_t>(d.maxButton);
    s.min_button = static_cast<int32_t>(d.minButton);
    s.control_box = static_cast<int32_t>(d.systemMenu);
    s.window_state = static_cast<int32_t>(d.startPosition);
    s.movable = static_cast<int32_t>(d.movable);
    s.icon_option = static_cast<int32_t>(d.setting10);
    for (int i = 0; i < 4; ++i) s.further[i] = static_cast<int32_t>(d.settings11[i]);
    s.setting_25 = static_cast<int32_t>(d.setting15);
    s.setting_26 = static_cast<int32_t>(d.settings16[0]);
    s.setting_28 = static_cast<int32_t>(d.settings16[1]);
    s.always_on_top = static_cast<int32_t>(d.stayOnTop);
    s.setting_27 = static_cast<int32_t>(d.setting18);
    s.text_30 = d.text19;
    s.back_picture = AsText(d.backgroundPicture);
    s.picture_setting = AsText(d.pictureSetting);
    s.icon = AsText(d.icon);
    s.title = d.title;
    s.text_31 = d.text24;
    return true;
}

std::string SaveWindowSettings(const WindowSettings& s) {
    WindowData d;
    d.version = kWindowBlockVersion;
    d.borderStyle = static_cast<uint32_t>(s.frame_style);
    d.pictureMode = static_cast<uint32_t>(s.picture_layout);
    d.backColor = s.back_colour;
    d.maxButton = static_cast<uint32_t>(s.max_button);
    d.minButton = static_cast<uint32_t>(s.min_button);
    d.systemMenu = static_cast<uint32_t>(s.control_box);
    d.startPosition = static_cast<uint32_t>(s.window_state);
    d.movable = static_cast<uint32_t>(s.movable);
    d.setting10 = static_cast<uint32_t>(s.icon_option);
    for (int i = 0; i < 4; ++i) d.settings11[i] = static_cast<uint32_t>(s.further[i]);
    d.setting15 = static_cast<uint32_t>(s.setting_25);
    d.settings16[0] = static_cast<uint32_t>(s.setting_26);
    d.settings16[1] = static_cast<uint32_t>(s.setting_28);
    d.stayOnTop = static_cast<uint32_t>(s.always_on_top);
    d.setting18 = static_cast<uint32_t>(s.setting_27);
    d.text19 = s.text_30;
    d.backgroundPicture = AsBytes(s.back_picture);
    d.pictureSetting = AsBytes(s.picture_setting);
    d.icon = AsBytes(s.icon);
    d.title = s.title;
    d.text24 = s.text_31;
    const std::vector<uint8_t> bytes = WriteWindowData(d);
    return std::string(bytes.begin(), bytes.end());
}

FrameDecoration ComputeFrameDecoration(const WindowSettings& s) {
    FrameDecoration d;
    if (s.frame_style != 0) {
        d.frame = true;
        if (!s.title.empty() || s.control_box == 1) {
            d.title_bar = true;
            d.system_menu = s.control_box == 1;
        }
        switch (s.frame_style) {
            case 1:
                d.resizable = true;
                break;
            case 3:
                d.resizable = d.tool_window = true;
                break;
            case 4:
                d.tool_window = true;
                break;
            case 5:
                d.resizable = d.sunken_edge = true;
                break;
            case 6:
                d.sunken_edge = true;
                break;
            default:
                break;
        }
    }
    d.max_button = s.max_button == 1;
    d.min_button = s.min_button == 1;
    return d;
}

}  // namespace kesu::units
