#pragma once

// In-memory windows and controls. Their whole state is readable, and the
// User* methods act like a user would: they do nothing on a disabled or
// hidden control and emit the notifications a real control would, in the
// same order.

#include <optional>
#include <string>
#include <vector>

#include "platform/combo_items.h"
#include "platform/edit_text.h"
#include "platform/ui.h"

namespace kesu::platform::headless {

class HeadlessUi;

// The part every control shares: geometry, tree, stacking, flags, looks.
class Node {
  public:
    Node(HeadlessUi& ui, Node* parent, const char* kind);
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const char* Kind() const { return kind_; }
    Node* ParentNode() const { return parent_; }
    // Children in stacking order, topmost first.
    const std::vector<Node*>& ChildNodes() const { return children_; }
    virtual Control& AsControl() = 0;
    virtual void NotifyNode(Notify n) = 0;
    // The mouse pointer shown over the control.
    Cursor GetCursor() const { return cursor_; }

    // The user clicks into the control (focus moves to it); false when the
    // user could not reach it.
    bool UserFocus() {
        if (!UserCanReach()) return false;
        TakeFocus();
        return true;
    }
    // The control's rectangle in its window's client area.
    Rect WindowRect() const;
    // Whether the keyboard's Tab key stops at controls of this kind.
    virtual bool TakesFocus() const { return false; }

  protected:
    friend class HeadlessUi;
    void Reparent(Node* parent);
    void PlaceAfterNode(Node* sibling);
    bool ShownWithAncestors() const;
    // A user can reach the control: it and its ancestors are visible and it
    // is enabled.
    bool UserCanReach() const;
    void TakeFocus();
    bool IsFocusedNode() const;
    static Node* FromControl(Control* c) { return c ? dynamic_cast<Node*>(c) : nullptr; }

    HeadlessUi& ui_;
    Node* parent_ = nullptr;
    std::vector<Node*> children_;
    const char* kind_;
    Rect rect_;
    bool visible_ = false;
    bool enabled_ = true;
    Font font_;
    Colour text_colour_ = kBlack;
    Colour back_colour_ = kButtonFace;
    Border border_ = Border::None;
    Cursor cursor_ = Cursor::Default;
};

// Implements the common Control methods over a Node for any control kind.
template <class Base>
class NodeControl : public Base, public Node {
  public:
    NodeControl(HeadlessUi& ui, Node* parent, const char* kind) : Node(ui, parent, kind) {}
    Control& AsControl() override { return *this; }
    void NotifyNode(Notify n) override { this->Emit(n); }

    void SetGeometry(const Rect& r) override { rect_ = r; }
    Rect Geometry() const override { return rect_; }
    void SetParent(Control* parent) override { Reparent(FromControl(parent)); }
    void PlaceAfter(Control* sibling) override { PlaceAfterNode(FromControl(sibling)); }
    void SetVisible(bool v) override { visible_ = v; }
    bool IsVisible() const override { return ShownWithAncestors(); }
    void SetEnabled(bool e) override { enabled_ = e; }
    bool IsEnabled() const override { return enabled_; }
    void SetFont(const Font& f) override { font_ = f; }
    Font GetFont() const override { return font_; }
    void SetTextColour(Colour c) override { text_colour_ = c; }
    void SetBackColour(Colour c) override { back_colour_ = c; }
    void SetBorder(Border b) override { border_ = b; }
    void SetText(std::string_view gbk) override { text_ = std::string(gbk); }
    std::string Text() const override { return text_; }
    void SetFocus() override { TakeFocus(); }
    bool HasFocus() const override { return IsFocusedNode(); }
    void SetCursor(Cursor c) override { cursor_ = c; }

    // Inspection for tests.
    Colour TextColour() const { return text_colour_; }
    Colour BackColour() const { return back_colour_; }
    Border GetBorder() const { return border_; }
    bool VisibleFlag() const { return visible_; }
    void EmitNotify(Notify n) { this->Emit(n); }

  protected:
    std::string text_;
};

class HeadlessWindow final : public NodeControl<Window> {
  public:
    explicit HeadlessWindow(HeadlessUi& ui) : NodeControl(ui, nullptr, "window") {}
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

  private:
    WindowStyle style_;
    WindowShow state_ = WindowShow::Normal;
    bool on_top_ = false;
    std::string back_picture_;
    PictureLayout picture_layout_ = PictureLayout::Stretched;
    std::string icon_;
};

class HeadlessEdit final : public NodeControl<Edit> {
  public:
    HeadlessEdit(HeadlessUi& ui, Node* parent, const EditStyle& style);
    EditStyle Style() const override { return style_; }
    void SetReadOnly(bool ro) override { style_.read_only = ro; }
    void SetPassword(bool on, char c) override {
        style_.password = on;
        style_.password_char = c;
    }
    void SetText(std::string_view gbk) override;
    std::string Text() const override { return text_model_.Bytes(); }
    std::size_t TextLength() const override { return text_model_.Size(); }
    void SetLimit(std::size_t bytes) override { limit_ = bytes; }
    std::size_t Limit() const override { return limit_; }
    void SetSelection(std::size_t start, std::size_t end) override;
    std::pair<std::size_t, std::size_t> Selection() const override {
        return {sel_start_, sel_end_};
    }
    void ReplaceSelection(std::string_view gbk) override;
    void Append(std::string_view gbk) override;
    void ScrollToCaret() override { scrolled_to_ = sel_end_; }
    void SetInputFilter(InputFilter f) override { filter_ = std::move(f); }

    // What the widget would show (see edit_text.h).
    std::u16string Shown() const { return text_model_.View(); }
    std::size_t ScrolledTo() const { return scrolled_to_; }
    // The user types (or pastes) `gbk` over the selection; false when the
    // box is unreachable or read-only.
    bool UserType(std::string_view gbk);
    // The user selects bytes [start, end).
    bool UserSelect(std::size_t start, std::size_t end);
    bool TakesFocus() const override { return true; }

  private:
    void Insert(std::string_view gbk);

    EditStyle style_;
    InputFilter filter_;
    EditText text_model_;
    std::size_t limit_ = 0;
    std::size_t sel_start_ = 0;
    std::size_t sel_end_ = 0;
    std::size_t scrolled_to_ = 0;
};

class HeadlessButton final : public NodeControl<Button> {
  public:
    HeadlessButton(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "button") {}
    void SetDefault(bool d) override { default_ = d; }
    void SetAlignment(HAlign h, VAlign v) override {
        h_ = h;
        v_ = v;
    }
    bool IsDefault() const { return default_; }
    bool TakesFocus() const override { return true; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }
    bool UserClick();

  private:
    bool default_ = false;
    std::string picture_;
    HAlign h_ = HAlign::Centre;
    VAlign v_ = VAlign::Centre;
};

class HeadlessCheckBox final : public NodeControl<CheckBox> {
  public:
    HeadlessCheckBox(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "check box") {}
    void SetChecked(bool c) override { checked_ = c; }
    bool IsChecked() const override { return checked_; }
    void SetAlignment(HAlign h, VAlign v) override {
        h_ = h;
        v_ = v;
    }
    void SetCheckStyle(const CheckStyle& s) override { style_ = s; }
    bool TakesFocus() const override { return true; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }
    bool UserClick();

  private:
    bool checked_ = false;
    std::string picture_;
    HAlign h_ = HAlign::Left;
    VAlign v_ = VAlign::Centre;
    CheckStyle style_;
};

class HeadlessGroupBox final : public NodeControl<GroupBox> {
  public:
    HeadlessGroupBox(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "group box") {}
    void SetAlignment(HAlign h) override { h_ = h; }
    HAlign Alignment() const { return h_; }

  private:
    HAlign h_ = HAlign::Left;
};

class HeadlessComboBox final : public NodeControl<ComboBox> {
  public:
    HeadlessComboBox(HeadlessUi& ui, Node* parent, const ComboStyle& style);
    ComboStyle Style() const override { return style_; }
    int AddItem(std::string_view gbk) override { return items_.Add(gbk); }
    void ClearItems() override;
    int Count() const override { return items_.Count(); }
    std::string Item(int index) const override { return items_.Text(index); }
    void SetItemData(int index, std::uint32_t data) override { items_.SetData(index, data); }
    std::uint32_t ItemData(int index) const override { return items_.Data(index); }
    void SetCurrent(int index) override;
    int Current() const override { return items_.Current(); }
    void SetText(std::string_view gbk) override;
    std::string Text() const override;
    void SetLimit(std::size_t bytes) override { limit_ = bytes; }
    void SetEditSelection(std::size_t start, std::size_t end) override;
    std::pair<std::size_t, std::size_t> EditSelection() const override {
        return {sel_start_, sel_end_};
    }
    void ReplaceEditSelection(std::string_view gbk) override;
    void SetItemHeight(int extra) override { item_height_ = extra; }

    bool DroppedDown() const { return dropped_; }
    bool TakesFocus() const override { return true; }
    int ItemHeight() const { return item_height_; }
    // The user opens the list: DropDown is emitted before it opens.
    bool UserDropDown();
    // The user picks item `index` (opening the list first if needed): the
    // edit text becomes the item, then ClosedUp and SelectionEnded follow.
    bool UserPick(int index);
    // The user closes the list without choosing.
    bool UserCloseUp();
    // The user types into the edit field: EditChanged.
    bool UserType(std::string_view gbk);

  private:
    ComboStyle style_;
    ComboItems items_;
    EditText edit_;
    std::size_t limit_ = 0;
    std::size_t sel_start_ = 0;
    std::size_t sel_end_ = 0;
    bool dropped_ = false;
    int item_height_ = 0;
};

class HeadlessLabel final : public NodeControl<Label> {
  public:
    HeadlessLabel(HeadlessUi& ui, Node* parent) : NodeControl(ui, parent, "label") {}
    void SetLabelStyle(const LabelStyle& s) override { style_ = s; }
    LabelStyle GetLabelStyle() const override { return style_; }
    void SetPicture(std::string_view bytes) override { picture_ = std::string(bytes); }
    std::string Picture() const override { return picture_; }

  private:
    LabelStyle style_;
    std::string picture_;
};

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
    Rect Screen() const override { return screen_; }
    Font DefaultFont() const override;
    int TextHeight(const Font& font, std::string_view gbk) const override;

    void SetScreen(const Rect& r) { screen_ = r; }

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
    static Node* NodeOf(Control* c) { return Node::FromControl(c); }
    // Moves the activation: Deactivated for the window losing it first.
    void SetActive(HeadlessWindow* w);

    Rect screen_{0, 0, 1280, 800};
    std::vector<Node*> nodes_;
    Node* focused_ = nullptr;
    HeadlessWindow* active_ = nullptr;
};

}  // namespace kesu::platform::headless
