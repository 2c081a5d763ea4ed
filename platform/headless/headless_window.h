#pragma once

// An in-memory top-level window.

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/headless/headless_node.h"

namespace kesu::platform::headless {

class HeadlessMenuBar;

class HeadlessWindow final : public NodeControl<Window> {
  public:
    explicit HeadlessWindow(HeadlessUi& ui);
    ~HeadlessWindow() override;
    void SetStyle(const WindowStyle& s) override { style_ = s; }
    WindowStyle Style() const override { return style_; }
    Rect ClientRect() const override;
    void Show(WindowShow how) override;
    WindowShow State() const override { return state_; }
    void Activate() override;
    void SetAlwaysOnTop(bool on_top) override { on_top_ = on_top; }
    void SetVisible(bool v) override;
    void SetGeometry(const Rect& r) override;
    void SetBackPicture(std::string_view bytes, PictureLayout layout) override {
        back_picture_ = std::string(bytes);
        picture_layout_ = layout;
    }
    std::string BackPicture() const override { return back_picture_; }
    void SetIcon(std::string_view bytes) override { icon_ = std::string(bytes); }
    std::string Icon() const override { return icon_; }
    void SetMenuBar(std::unique_ptr<MenuBar> bar) override;
    MenuBar* GetMenuBar() const override;

    bool AlwaysOnTop() const { return on_top_; }
    PictureLayout BackPictureLayout() const { return picture_layout_; }
    bool Active() const;
    // The user presses the close box: only CloseRequested is emitted.
    bool UserClose();
    // The user minimises, maximises or restores the window.
    void UserShow(WindowShow how) { state_ = how; }
    // The user drags the window's title bar or its frame: Moved and Resized
    // as for the program's change. False for a hidden window.
    bool UserMove(int left, int top);
    bool UserResize(int width, int height);
    // The user clicks into the window, or switches from it to another
    // program's window. False for a hidden window.
    bool UserActivate();
    bool UserDeactivate();
    // The user opens the menu along the captions (mnemonic marks left out)
    // and chooses the last one; false when an entry on the way is missing,
    // hidden or disabled, or the last one opens a pop-up or is a separator.
    bool UserChooseMenu(std::initializer_list<std::string_view> captions);
    // The user presses a key combination ("Ctrl+O") in the window: the menu
    // entry with that shortcut is chosen when it is visible and enabled.
    bool UserShortcut(std::string_view keys);

  private:
    WindowStyle style_;
    std::unique_ptr<HeadlessMenuBar> menu_;
    WindowShow state_ = WindowShow::Normal;
    bool on_top_ = false;
    std::string back_picture_;
    PictureLayout picture_layout_ = PictureLayout::Stretched;
    std::string icon_;
};

}  // namespace kesu::platform::headless
