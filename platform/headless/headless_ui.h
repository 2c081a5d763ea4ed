#pragma once

// In-memory windows and controls. Their whole state is readable, and the
// User* methods act like a user would: they do nothing on a disabled or
// hidden control and emit the notifications a real control would, in the
// same order.

#include <string>
#include <string_view>
#include <vector>

#include "platform/headless/headless_buttons.h"
#include "platform/headless/headless_combo_box.h"
#include "platform/headless/headless_edit.h"
#include "platform/headless/headless_label.h"
#include "platform/headless/headless_node.h"
#include "platform/headless/headless_window.h"
#include "platform/ui.h"

namespace kesu::platform::headless {

class HeadlessMenuBar;
class HeadlessTrayIcon;

// ---- The user's pointer and keyboard ----
// A click or a pointer is a point in a window's client area and reaches what
// a window system would deliver it to: the topmost visible, enabled control
// there (children in the stacking order of their parent, topmost first), or
// the window itself where none is. A hidden or disabled control swallows
// nothing: the point goes to what lies beneath it. Keys go to the control
// with the focus.
class HeadlessUi final : public Ui {
  public:
    HeadlessUi() = default;
    ~HeadlessUi() override = default;

    std::unique_ptr<Window> CreateWindow() override;
    std::unique_ptr<Edit> CreateEdit(Control* parent, const EditStyle& style) override;
    std::unique_ptr<Button> CreateButton(Control* parent) override;
    std::unique_ptr<CheckBox> CreateCheckBox(Control* parent) override;
    std::unique_ptr<GroupBox> CreateGroupBox(Control* parent) override;
    std::unique_ptr<ComboBox> CreateComboBox(Control* parent, const ComboStyle& style) override;
    std::unique_ptr<Label> CreateLabel(Control* parent) override;
    std::unique_ptr<MenuBar> CreateMenuBar(const std::vector<MenuEntry>& entries) override;
    std::unique_ptr<TrayIcon> CreateTrayIcon() override;
    Rect Screen() const override { return screen_; }
    Font DefaultFont() const override;
    int TextHeight(const Font& font, std::string_view gbk) const override;

    void SetScreen(const Rect& r) { screen_ = r; }
    // Whether the desktop has a notification area (it has by default).
    void SetTrayAvailable(bool available) { tray_available_ = available; }
    // The notification-area icons that exist, oldest first.
    const std::vector<HeadlessTrayIcon*>& TrayIcons() const { return trays_; }
    // How many menu bars exist, whether a window holds them or not.
    int MenuBarCount() const { return menu_bars_; }

    // Every live control, in creation order.
    const std::vector<Node*>& All() const { return nodes_; }
    // The live control with this name and type, or null.
    template <class T>
    T* Find(const std::string& name) const {
        for (Node* n : nodes_) {
            if (n->AsControl().Name() == name) {
                if (auto* t = dynamic_cast<T*>(n)) return t;
            }
        }
        return nullptr;
    }
    Node* Focused() const { return focused_; }

    // What lies under the pointer at (x, y) of `window`'s client area: a
    // control, the window itself, or null for a hidden window.
    Node* UserPointAt(HeadlessWindow& window, int x, int y);
    // The user clicks there: the window becomes active and what lies under
    // the point reacts as to a click (a button is pressed, a check box
    // toggles, an edit takes the caret, a combo box's arrow or a drop-down
    // list opens the list, a drop-down's field takes the caret). Returns
    // what the click reached, like UserPointAt.
    Node* UserClickAt(HeadlessWindow& window, int x, int y);
    // Keys typed into the control with the focus (an edit, or a combo box's
    // field): false when the focus is on nothing that takes them.
    bool UserKeys(std::string_view gbk);
    // Ctrl+A in the control with the focus.
    bool UserSelectAll();
    // The Tab key (Shift+Tab backwards): the focus moves to the next control
    // that takes it in stacking order, the topmost first and a control's
    // children right after it, round to the first.
    bool UserTab(bool backwards = false);
    HeadlessWindow* ActiveWindow() const { return active_; }

  private:
    friend class Node;
    friend class HeadlessWindow;
    friend class HeadlessMenuBar;
    friend class HeadlessTrayIcon;
    static Node* NodeOf(Control* c) { return Node::FromControl(c); }
    // Moves the activation: Deactivated for the window losing it first.
    void SetActive(HeadlessWindow* w);

    Rect screen_{0, 0, 1280, 800};
    std::vector<Node*> nodes_;
    Node* focused_ = nullptr;
    HeadlessWindow* active_ = nullptr;
    bool tray_available_ = true;
    std::vector<HeadlessTrayIcon*> trays_;
    int menu_bars_ = 0;
};

}  // namespace kesu::platform::headless
