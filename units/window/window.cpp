#include "units/window/window.h"

#include <algorithm>
#include <utility>

#include "platform/gbk.h"
#include "platform/platform.h"
#include "runtime/menus.h"
#include "runtime/windows.h"
#include "units/common/type_descriptor.h"

namespace kesu::units {

namespace {

constexpr uint32_t kWindowTypeFlags = 0x800000D0;
constexpr int32_t kMaxFrameStyle = 6;
constexpr int32_t kMaxPictureLayout = 3;
constexpr int32_t kMaxIconOption = 2;
constexpr int32_t kMaxWindowState = 3;
constexpr int32_t kMaxSetting28 = 29;
constexpr std::size_t kTrayTipBytes = 62;

// The window type's names in GBK: 窗口 and its English name.
constexpr char kChineseName[] = "\xB4\xB0\xBF\xDA";

int32_t Logical(const PropertyValue& v) {
    return v.number != 0 ? 1 : 0;
}
int32_t Clamped(const PropertyValue& v, int32_t hi) {
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int32_t>(v.number), 0, hi));
}
std::string TextOf(const PropertyValue& v) {
    return v.bytes.substr(0, v.bytes.find('\0'));
}

// The first 62 bytes of a tip, never half a double-byte character.
std::string TrayTip(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + platform::GbkUnitLength(text, end);
        if (next > kTrayTipBytes) break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

platform::WindowStyle StyleOf(const WindowSettings& s) {
    const FrameDecoration d = ComputeFrameDecoration(s);
    platform::WindowStyle style;
    style.caption = d.title_bar;
    style.system_menu = d.system_menu;
    style.min_button = d.min_button;
    style.max_button = d.max_button;
    style.sizable = d.resizable;
    style.tool_window = d.tool_window;
    return style;
}

}  // namespace

std::unique_ptr<WindowUnit> WindowUnit::Create(const UnitCreateInfo& info) {
    WindowSettings settings;
    if (!ParseWindowSettings(info.data, settings)) return nullptr;
    platform::Ui& ui = platform::Current().UserInterface();
    std::unique_ptr<platform::Window> window = ui.CreateWindow();
    if (!window) return nullptr;
    std::unique_ptr<platform::MenuBar> menu = info.menu ? std::move(*info.menu) : nullptr;
    return std::make_unique<WindowUnit>(info, settings, std::move(window), std::move(menu));
}

WindowUnit::WindowUnit(const UnitCreateInfo& info, const WindowSettings& settings,
                       std::unique_ptr<platform::Window> window,
                       std::unique_ptr<platform::MenuBar> menu)
    : Unit(info), settings_(settings), window_(std::move(window)) {
    platform::Ui& ui = platform::Current().UserInterface();
    if (menu) {
        // The bar is part of the frame: it is in place before the window takes its rectangle.
        menu->SetCommandHandler([this](int command) {
            if (!detached()) RaiseMenuCommand(window_id(), command);
        });
        window_->SetMenuBar(std::move(menu));
    }
    platform::Rect rect{info.left, info.top, info.width, info.height};
    if (settings_.window_state == 1) {
        // Start position 1 centres the window on the screen.
        const platform::Rect screen = ui.Screen();
        rect.left = screen.left + (screen.width - rect.width) / 2;
        rect.top = screen.top + (screen.height - rect.height) / 2;
    }
    window_->SetFont(ui.DefaultFont());
    window_->SetText(settings_.title);
    ApplyFrame();
    window_->SetGeometry(rect);
    window_->SetBackColour(settings_.back_colour);
    ApplyPicture();
    window_->SetIcon(settings_.icon);
    window_->SetAlwaysOnTop(settings_.always_on_top == 1);
    window_->SetEnabled((info.style & kStyleDisabled) == 0);
    window_->SetVisible(false);
    window_->SetNotifyHandler([this](platform::Notify n) { OnNotify(n); });
    ApplyTrayIcon();
}

WindowUnit::~WindowUnit() {
    if (window_) window_->SetNotifyHandler(nullptr);
}

// The icon exists while property 20 holds a picture. Where the desktop has no notification area
// there is none, and nothing else changes.
void WindowUnit::ApplyTrayIcon() {
    if (settings_.picture_setting.empty() || detached()) {
        tray_.reset();
        return;
    }
    if (!tray_) {
        tray_ = platform::Current().UserInterface().CreateTrayIcon();
        if (!tray_) return;
        tray_->SetClickHandler([this](platform::TrayClick how) {
            if (!detached()) RaiseEvent(kEventTrayIconClicked, {static_cast<int32_t>(how)});
        });
    }
    tray_->SetIcon(settings_.picture_setting);
    tray_->SetTip(TrayTip(settings_.text_30));
}

void WindowUnit::ApplyFrame() {
    const platform::WindowStyle style = StyleOf(settings_);
    if (window_->Style() != style) window_->SetStyle(style);
}

void WindowUnit::SetVisible(bool visible) {
    if (!visible) {
        window_->SetVisible(false);
        return;
    }
    platform::WindowShow how = platform::WindowShow::Normal;
    if (!shown_once_) {
        if (settings_.window_state == 2) how = platform::WindowShow::Minimised;
        // A fixed frame cannot be maximised at the start: its size is the template's.
        if (settings_.window_state == 3 && ComputeFrameDecoration(settings_).resizable) {
            how = platform::WindowShow::Maximised;
        }
    } else {
        how = window_->State();
    }
    shown_once_ = true;
    window_->Show(how);
}

void WindowUnit::BringToFront() {
    if (window_->State() == platform::WindowShow::Minimised) {
        window_->Show(platform::WindowShow::Normal);
    } else {
        window_->Activate();
    }
}

void WindowUnit::OnDestroy() {
    tray_.reset();
    window_->SetNotifyHandler(nullptr);
    window_->SetVisible(false);
}

// Layouts 0 to 3: at the top left, stretched, tiled, centred.
void WindowUnit::ApplyPicture() {
    window_->SetBackPicture(settings_.back_picture,
                            static_cast<platform::PictureLayout>(settings_.picture_layout));
}

void WindowUnit::ApplyWindowState() {
    if (!window_->IsVisible()) return;
    switch (settings_.window_state) {
        case 0:
            window_->Show(platform::WindowShow::Normal);
            break;
        case 1: {
            window_->Show(platform::WindowShow::Normal);
            const platform::Rect screen = platform::Current().UserInterface().Screen();
            platform::Rect r = window_->Geometry();
            const int left = screen.left + (screen.width - r.width) / 2;
            const int top = screen.top + (screen.height - r.height) / 2;
            if (left != r.left || top != r.top) {
                r.left = left;
                r.top = top;
                window_->SetGeometry(r);
            }
            break;
        }
        case 2:
            window_->Show(platform::WindowShow::Minimised);
            break;
        case 3:
            window_->Show(platform::WindowShow::Maximised);
            break;
        default:
            break;
    }
}

bool WindowUnit::RequestClose() {
    EventResult answer;
    const bool handled = RaiseEvent(kEventCloseQuery, {}, &answer);
    if (handled && answer.has_value && answer.value == 0) return false;
    // The window and every unit go; this object is deleted only after the caller has returned.
    DestroyLoadedWindow(window_id());
    return true;
}

void WindowUnit::OnNotify(platform::Notify n) {
    // The notifications that are events of the window as they are.
    static constexpr std::pair<platform::Notify, int> kEvents[] = {
        {platform::Notify::Moved, kEventMoved},
        {platform::Notify::Resized, kEventResized},
        {platform::Notify::Activated, kEventActivated},
        {platform::Notify::Deactivated, kEventDeactivated},
        {platform::Notify::Shown, kEventShown},
        {platform::Notify::Hidden, kEventHidden},
        {platform::Notify::FocusIn, kEventGotFocus},
        {platform::Notify::FocusOut, kEventLostFocus},
    };
    if (n == platform::Notify::CloseRequested) {
        RequestClose();
        return;
    }
    for (const auto& [notify, event] : kEvents) {
        if (notify == n) {
            RaiseEvent(event);
            return;
        }
    }
}

int WindowUnit::SetProperty(int index, const PropertyValue& v) {
    WindowSettings& s = settings_;
    switch (index) {
        case kWindowTitle:
            s.title = TextOf(v);
            window_->SetText(s.title);
            ApplyFrame();
            break;
        case kWindowFrameStyle:
            s.frame_style = Clamped(v, kMaxFrameStyle);
            ApplyFrame();
            break;
        case kWindowBackColour:
            s.back_colour = static_cast<uint32_t>(v.number);
            window_->SetBackColour(s.back_colour);
            break;
        case kWindowBackPicture:
            s.back_picture = v.bytes;
            ApplyPicture();
            break;
        case kWindowPictureLayout:
            s.picture_layout = Clamped(v, kMaxPictureLayout);
            ApplyPicture();
            break;
        case kWindowIcon:
            s.icon = v.bytes;
            window_->SetIcon(s.icon);
            break;
        case kWindowIconOption:
            s.icon_option = Clamped(v, kMaxIconOption);
            break;
        case kWindowControlBox:
            s.control_box = Logical(v);
            ApplyFrame();
            break;
        case kWindowMaxButton:
            s.max_button = Logical(v);
            ApplyFrame();
            break;
        case kWindowMinButton:
            s.min_button = Logical(v);
            ApplyFrame();
            break;
        case kWindowState:
            s.window_state = Clamped(v, kMaxWindowState);
            ApplyWindowState();
            break;
        case kWindowMovable:
            s.movable = Logical(v);
            break;
        case kWindowTrayIcon:
            s.picture_setting = v.bytes;
            ApplyTrayIcon();
            break;
        case kWindowPictureSetting + 1:
        case kWindowPictureSetting + 2:
        case kWindowPictureSetting + 3:
        case kWindowPictureSetting + 4:
            s.further[index - kWindowPictureSetting - 1] = static_cast<int32_t>(v.number);
            break;
        case kWindowPictureSetting + 5:
            s.setting_25 = static_cast<int32_t>(v.number);
            break;
        case kWindowPictureSetting + 6:
            s.setting_26 = static_cast<int32_t>(v.number);
            break;
        case kWindowPictureSetting + 7:
            s.setting_27 = static_cast<int32_t>(v.number);
            break;
        case kWindowPictureSetting + 8:
            s.setting_28 = Clamped(v, kMaxSetting28);
            break;
        case kWindowAlwaysOnTop:
            s.always_on_top = Logical(v);
            window_->SetAlwaysOnTop(s.always_on_top == 1);
            if (s.always_on_top == 0) {
                // Leaving the top-most band must not pull the other top-most windows out of it.
                for (LoadedWindow* other : AllLoadedWindows()) {
                    auto* w = dynamic_cast<WindowUnit*>(other->window_unit());
                    if (w && w != this && w->settings_.always_on_top == 1) {
                        w->window_->SetAlwaysOnTop(true);
                    }
                }
            }
            break;
        case kWindowTrayTip:
            s.text_30 = TextOf(v);
            ApplyTrayIcon();
            break;
        case kWindowLastTextSetting:
            s.text_31 = TextOf(v);
            break;
        default:
            break;
    }
    return 0;
}

int WindowUnit::GetProperty(int index, PropertyValue& out) {
    const WindowSettings& s = settings_;
    switch (index) {
        case kWindowTitle:
            out.bytes = s.title;
            break;
        case kWindowFrameStyle:
            out.number = s.frame_style;
            break;
        case kWindowBackColour:
            out.number = s.back_colour;
            break;
        case kWindowBackPicture:
            out.bytes = s.back_picture;
            break;
        case kWindowPictureLayout:
            out.number = s.picture_layout;
            break;
        case kWindowIcon:
            out.bytes = s.icon;
            break;
        case kWindowIconOption:
            out.number = s.icon_option;
            break;
        case kWindowControlBox:
            out.number = s.control_box;
            break;
        case kWindowMaxButton:
            out.number = s.max_button;
            break;
        case kWindowMinButton:
            out.number = s.min_button;
            break;
        case kWindowState:
            // The live state, whatever was written.
            switch (window_->State()) {
                case platform::WindowShow::Minimised:
                    out.number = 2;
                    break;
                case platform::WindowShow::Maximised:
                    out.number = 3;
                    break;
                default:
                    out.number = 0;
                    break;
            }
            break;
        case kWindowMovable:
            out.number = s.movable;
            break;
        case kWindowPictureSetting:
            out.bytes = s.picture_setting;
            break;
        case kWindowPictureSetting + 1:
        case kWindowPictureSetting + 2:
        case kWindowPictureSetting + 3:
        case kWindowPictureSetting + 4:
            out.number = s.further[index - kWindowPictureSetting - 1];
            break;
        case kWindowPictureSetting + 5:
            out.number = s.setting_25;
            break;
        case kWindowPictureSetting + 6:
            out.number = s.setting_26;
            break;
        case kWindowPictureSetting + 7:
            out.number = s.setting_27;
            break;
        case kWindowPictureSetting + 8:
            out.number = s.setting_28;
            break;
        case kWindowAlwaysOnTop:
            out.number = s.always_on_top;
            break;
        case kWindowTextSetting:
            out.bytes = s.text_30;
            break;
        case kWindowLastTextSetting:
            out.bytes = s.text_31;
            break;
        default:
            return 0;
    }
    return 1;
}

int WindowUnit::Save(std::string& block) {
    block = SaveWindowSettings(settings_);
    return 1;
}

UnitOperation WindowInterface(int code) {
    return StandardUnitInterface<WindowUnit>(code);
}

UnitTypeDescriptor WindowTypeDescriptor() {
    using namespace kind;
    return DescribeUnitType(kChineseName, "window", kWindowTypeFlags,
                            {kText,    kWord,    kWord, kBytes,   kWord,  kBytes,   kWord, kLogical,
                             kLogical, kLogical, kWord, kLogical, kBytes, kWord,    kWord, kWord,
                             kWord,    kWord,    kWord, kWord,    kWord,  kLogical, kText, kText});
}

}  // namespace kesu::units
