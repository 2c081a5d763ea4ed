#pragma once

#include <memory>

#include "platform/ui.h"
#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/window/window_settings.h"

namespace kesu::units {

// The unit of a window itself: record 0 of every window template, the top-level frame that holds
// the other units. Its own properties are the frame, the title and the window settings; it turns
// the platform's close requests, moves, resizes, activation, showing, hiding and focus into the
// window's events.
class WindowUnit : public Unit {
  public:
    // The window's own properties, indices 8 to 31 (unit-relative 0 to 23).
    enum Property {
        kTitle = 0,
        kFrameStyle,
        kBackColour,
        kBackPicture,
        kPictureLayout,
        kIcon,
        kIconOption,
        kControlBox,
        kMaxButton,
        kMinButton,
        kWindowState,
        kMovable,
        kTrayIcon,  // property 20: no bytes, no icon
        kFurther21,
        kFurther22,
        kFurther23,
        kFurther24,
        kFurther25,
        kFurther26,
        kFurther27,
        kFurther28,
        kAlwaysOnTop,
        kTrayTip,  // property 30, of which 62 bytes are shown
        kFurtherText31,
    };
    // The window's events are the runtime's window_event numbers and the shared focus events,
    // since the runtime raises several of them itself.

    // Fails (null) for a stored block of a version above 6 or a truncated one.
    static std::unique_ptr<WindowUnit> Create(const UnitCreateInfo& info);
    WindowUnit(const UnitCreateInfo& info, const WindowSettings& settings,
               std::unique_ptr<platform::Window> window,
               std::unique_ptr<platform::MenuBar> menu = nullptr);
    ~WindowUnit() override;

    platform::Control* control() const override { return window_.get(); }
    platform::Window& window() const { return *window_; }
    const WindowSettings& settings() const { return settings_; }
    // The notification-area icon while the window shows one.
    platform::TrayIcon* tray_icon() const { return tray_.get(); }

    int SetProperty(int index, const PropertyValue& value) override;
    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    // Showing goes through the start position: minimised (2) or maximised (3) at the first show.
    void SetVisible(bool visible) override;
    void BringToFront() override;
    void OnDestroy() override;

    // A close request (the user's, or the program's): CloseQuery may refuse it with a logical
    // false; otherwise the window and its units are destroyed. True when the window closed.
    bool RequestClose();

  private:
    void ApplyFrame();
    void ApplyPicture();
    void ApplyWindowState();
    void ApplyTrayIcon();
    void OnNotify(platform::Notify n);

    WindowSettings settings_;
    std::unique_ptr<platform::Window> window_;
    std::unique_ptr<platform::TrayIcon> tray_;
    bool shown_once_ = false;
};

UnitOperation WindowInterface(int code);
// The window type as the core library lists it: names, flags and property kinds.
UnitTypeDescriptor WindowTypeDescriptor();

}  // namespace kesu::units
