#include "units/window/window.h"

#include <algorithm>
#include <utility>

#include "platform/gbk.h"
#include "platform/platform.h"
#include "runtime/menus.h"
#include "runtime/windows.h"
#include "units/common/type_descriptor.h"
#include "units/common/values.h"
#include "units/common/visual.h"

namespace kesu::units {

namespace {

constexpr uint32_t kWindowTypeFlags = 0x800000D0;
constexpr int32_t kMaxFrameStyle = 6;
constexpr int32_t kMaxPictureLayout = 3;
constexpr int32_t kMaxIconOption = 2;
constexpr int32_t kMaxWindowState = 3;
constexpr int32_t kMaxFurther28 = 29;
constexpr std::size_t kTrayTipBytes = 62;

// The window type's names in GBK: 窗口 and its English name.
constexpr char kChineseName[] = "\xB4\xB0\xBF\xDA";

int32_t Logical(const PropertyValue& v) {
    return v.number != 0 ? 1 : 0;
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
    style.caption = d.titleBar;
    style.system_menu = d.systemMenu;
    style.min_button = d.minButton;
    style.max_button = d.maxButton;
    style.sizable = d.resizable;
    style.tool_window = d.toolWindow;
    return style;
}

}  // namespace

std::unique_ptr<WindowUnit> WindowUnit::Create(const UnitCreateInfo& info) {
    WindowSettings settings;
    if (!settings.Load(info.data)) return nullptr;
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
    if (settings_.windowState == 1) {
        // Start position 1 centres the window on the screen.
        const platform::Rect screen = ui.Screen();
        rect.left = screen.left + (screen.width - rect.width) / 2;
        rect.top = screen.top + (screen.height - rect.height) / 2;
    }
    window_->SetFont(ui.DefaultFont());
    window_->SetText(settings_.title);
    ApplyFrame();
    window_->SetGeometry(rect);
    window_->SetBackColour(settings_.backColour);
    ApplyPicture();
    window_->SetIcon(settings_.icon);
    window_->SetAlwaysOnTop(settings_.alwaysOnTop == 1);
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
    if (settings_.trayIcon.empty() || detached()) {
        tray_.reset();
        return;
    }
    if (!tray_) {
        tray_ = platform::Current().UserInterface().CreateTrayIcon();
        if (!tray_) return;
        tray_->SetClickHandler([this](platform::TrayClick how) {
            if (!detached())
                RaiseEvent(window_event::kTrayIconClicked, {static_cast<int32_t>(how)});
        });
    }
    tray_->SetIcon(settings_.trayIcon);
    tray_->SetTip(TrayTip(settings_.trayTip));
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
        if (settings_.windowState == 2) how = platform::WindowShow::Minimised;
        // A fixed frame cannot be maximised at the start: its size is the template's.
        if (settings_.windowState == 3 && ComputeFrameDecoration(settings_).resizable) {
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
    window_->SetBackPicture(settings_.backPicture,
                            static_cast<platform::PictureLayout>(settings_.pictureLayout));
}

void WindowUnit::ApplyWindowState() {
    if (!window_->IsVisible()) return;
    switch (settings_.windowState) {
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
    const bool handled = RaiseEvent(window_event::kCloseQuery, {}, &answer);
    if (handled && answer.has_value && answer.value == 0) return false;
    // The window and every unit go; this object is deleted only after the caller has returned.
    DestroyLoadedWindow(window_id());
    return true;
}

void WindowUnit::OnNotify(platform::Notify n) {
    // The notifications that are events of the window as they are.
    static constexpr std::pair<platform::Notify, int> kEvents[] = {
        {platform::Notify::Moved, window_event::kMoved},
        {platform::Notify::Resized, window_event::kResized},
        {platform::Notify::Activated, window_event::kActivated},
        {platform::Notify::Deactivated, window_event::kDeactivated},
        {platform::Notify::Shown, window_event::kShown},
        {platform::Notify::Hidden, window_event::kHidden},
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
        case kTitle:
            s.title = TextOf(v);
            window_->SetText(s.title);
            ApplyFrame();
            break;
        case kFrameStyle:
            s.frameStyle = ClampChoice(IntOf(v), 0, kMaxFrameStyle);
            ApplyFrame();
            break;
        case kBackColour:
            s.backColour = ColourOf(v);
            window_->SetBackColour(s.backColour);
            break;
        case kBackPicture:
            s.backPicture = v.bytes;
            ApplyPicture();
            break;
        case kPictureLayout:
            s.pictureLayout = ClampChoice(IntOf(v), 0, kMaxPictureLayout);
            ApplyPicture();
            break;
        case kIcon:
            s.icon = v.bytes;
            window_->SetIcon(s.icon);
            break;
        case kIconOption:
            s.iconOption = ClampChoice(IntOf(v), 0, kMaxIconOption);
            break;
        case kControlBox:
            s.controlBox = Logical(v);
            ApplyFrame();
            break;
        case kMaxButton:
            s.maxButton = Logical(v);
            ApplyFrame();
            break;
        case kMinButton:
            s.minButton = Logical(v);
            ApplyFrame();
            break;
        case kWindowState:
            s.windowState = ClampChoice(IntOf(v), 0, kMaxWindowState);
            ApplyWindowState();
            break;
        case kMovable:
            s.movable = Logical(v);
            break;
        case kTrayIcon:
            s.trayIcon = v.bytes;
            ApplyTrayIcon();
            break;
        case kFurther21:
        case kFurther22:
        case kFurther23:
        case kFurther24:
            s.further21To24[static_cast<std::size_t>(index - kFurther21)] = IntOf(v);
            break;
        case kFurther25:
            s.further25 = IntOf(v);
            break;
        case kFurther26:
            s.further26 = IntOf(v);
            break;
        case kFurther27:
            s.further27 = IntOf(v);
            break;
        case kFurther28:
            s.further28 = ClampChoice(IntOf(v), 0, kMaxFurther28);
            break;
        case kAlwaysOnTop:
            s.alwaysOnTop = Logical(v);
            window_->SetAlwaysOnTop(s.alwaysOnTop == 1);
            if (s.alwaysOnTop == 0) {
                // Leaving the top-most band must not pull the other top-most windows out of it.
                for (LoadedWindow* other : AllLoadedWindows()) {
                    auto* w = dynamic_cast<WindowUnit*>(other->window_unit());
                    if (w && w != this && w->settings_.alwaysOnTop == 1) {
                        w->window_->SetAlwaysOnTop(true);
                    }
                }
            }
            break;
        case kTrayTip:
            s.trayTip = TextOf(v);
            ApplyTrayIcon();
            break;
        case kFurtherText31:
            s.furtherText31 = TextOf(v);
            break;
        default:
            break;
    }
    return 0;
}

int WindowUnit::GetProperty(int index, PropertyValue& out) {
    const WindowSettings& s = settings_;
    switch (index) {
        case kTitle:
            out.bytes = s.title;
            break;
        case kFrameStyle:
            out.number = s.frameStyle;
            break;
        case kBackColour:
            out.number = s.backColour;
            break;
        case kBackPicture:
            out.bytes = s.backPicture;
            break;
        case kPictureLayout:
            out.number = s.pictureLayout;
            break;
        case kIcon:
            out.bytes = s.icon;
            break;
        case kIconOption:
            out.number = s.iconOption;
            break;
        case kControlBox:
            out.number = s.controlBox;
            break;
        case kMaxButton:
            out.number = s.maxButton;
            break;
        case kMinButton:
            out.number = s.minButton;
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
        case kMovable:
            out.number = s.movable;
            break;
        case kTrayIcon:
            out.bytes = s.trayIcon;
            break;
        case kFurther21:
        case kFurther22:
        case kFurther23:
        case kFurther24:
            out.number = s.further21To24[static_cast<std::size_t>(index - kFurther21)];
            break;
        case kFurther25:
            out.number = s.further25;
            break;
        case kFurther26:
            out.number = s.further26;
            break;
        case kFurther27:
            out.number = s.further27;
            break;
        case kFurther28:
            out.number = s.further28;
            break;
        case kAlwaysOnTop:
            out.number = s.alwaysOnTop;
            break;
        case kTrayTip:
            out.bytes = s.trayTip;
            break;
        case kFurtherText31:
            out.bytes = s.furtherText31;
            break;
        default:
            return 0;
    }
    return 1;
}

int WindowUnit::Save(std::string& block) {
    block = settings_.Save();
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
