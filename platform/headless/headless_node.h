#pragma once

// What every in-memory control shares: its place in the tree and the
// stacking order, its flags and looks, and the template that implements the
// common Control methods over it.

#include <optional>
#include <string>
#include <vector>

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
    // The mouse pointer shown over the control: a system shape, or the
    // program's own picture when it set one.
    Cursor GetCursor() const { return cursor_; }
    const std::optional<CursorImage>& GetCursorImage() const { return cursor_image_; }

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
    std::optional<CursorImage> cursor_image_;
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
    void SetCursor(Cursor c) override {
        cursor_ = c;
        cursor_image_.reset();
    }
    void SetCursorImage(const CursorImage& image) override {
        cursor_ = Cursor::Default;
        cursor_image_ = image;
    }

    // Inspection for tests.
    Colour TextColour() const { return text_colour_; }
    Colour BackColour() const { return back_colour_; }
    Border GetBorder() const { return border_; }
    bool VisibleFlag() const { return visible_; }
    void EmitNotify(Notify n) { this->Emit(n); }

  protected:
    std::string text_;
};

}  // namespace kesu::platform::headless
