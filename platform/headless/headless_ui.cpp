#include "platform/headless/headless_ui.h"

#include <algorithm>

namespace kesu::platform::headless {

// ---- Node ----

Node::Node(HeadlessUi& ui, Node* parent, const char* kind) : ui_(ui), kind_(kind) {
    ui_.nodes_.push_back(this);
    Reparent(parent);
}

Node::~Node() {
    std::erase(ui_.nodes_, this);
    if (ui_.focused_ == this) ui_.focused_ = nullptr;
    if (ui_.active_ && static_cast<Node*>(ui_.active_) == this) ui_.active_ = nullptr;
    if (parent_) std::erase(parent_->children_, this);
    // Children should be gone first; any left over are orphaned, not freed.
    for (Node* c : children_) c->parent_ = nullptr;
}

void Node::Reparent(Node* parent) {
    if (parent == this) return;
    if (parent_) std::erase(parent_->children_, this);
    parent_ = parent;
    // A new child goes to the bottom of the stacking order, as the classic
    // controls do in creation order.
    if (parent_) parent_->children_.push_back(this);
}

void Node::PlaceAfterNode(Node* sibling) {
    if (!parent_) return;
    auto& list = parent_->children_;
    std::erase(list, this);
    auto it = sibling ? std::find(list.begin(), list.end(), sibling) : list.end();
    if (it == list.end()) {
        list.insert(list.begin(), this);
    } else {
        list.insert(it + 1, this);
    }
}

bool Node::ShownWithAncestors() const {
    for (const Node* n = this; n; n = n->parent_) {
        if (!n->visible_) return false;
    }
    return true;
}

bool Node::UserCanReach() const {
    if (!ShownWithAncestors()) return false;
    for (const Node* n = this; n; n = n->parent_) {
        if (!n->enabled_) return false;
    }
    return true;
}

void Node::TakeFocus() {
    Node* old = ui_.focused_;
    if (old == this) return;
    ui_.focused_ = this;
    if (old) old->NotifyNode(Notify::FocusOut);
    // The old control's handler may have moved the focus on.
    if (ui_.focused_ == this) NotifyNode(Notify::FocusIn);
}

bool Node::IsFocusedNode() const {
    return ui_.focused_ == this;
}

Rect Node::WindowRect() const {
    Rect r = rect_;
    for (const Node* p = parent_; p && p->parent_; p = p->parent_) {
        r.left += p->rect_.left;
        r.top += p->rect_.top;
    }
    return r;
}

// ---- Window ----

Rect HeadlessWindow::ClientRect() const {
    FrameInsets f = FrameFor(style_);
    return Rect{0, 0, std::max(0, rect_.width - f.left - f.right),
                std::max(0, rect_.height - f.top - f.bottom)};
}

void HeadlessWindow::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Emit(v ? Notify::Shown : Notify::Hidden);
    // A hidden window cannot stay the active one; no other window takes
    // over by itself.
    if (!v && ui_.active_ == this) ui_.SetActive(nullptr);
}

void HeadlessWindow::SetGeometry(const Rect& r) {
    const Rect before = rect_;
    rect_ = r;
    EmitGeometryChange(before, r);
}

bool HeadlessWindow::UserMove(int left, int top) {
    if (!visible_) return false;
    SetGeometry(Rect{left, top, rect_.width, rect_.height});
    return true;
}

bool HeadlessWindow::UserResize(int width, int height) {
    if (!visible_) return false;
    SetGeometry(Rect{rect_.left, rect_.top, width, height});
    return true;
}

bool HeadlessWindow::UserActivate() {
    if (!visible_) return false;
    Activate();
    return true;
}

bool HeadlessWindow::UserDeactivate() {
    if (!visible_) return false;
    if (ui_.active_ == this) ui_.SetActive(nullptr);
    return true;
}

void HeadlessWindow::Show(WindowShow how) {
    state_ = how;
    SetVisible(true);
    Activate();
}

void HeadlessWindow::Activate() {
    ui_.SetActive(this);
}

bool HeadlessWindow::Active() const {
    return ui_.active_ == this;
}

bool HeadlessWindow::UserClose() {
    if (!visible_) return false;
    Emit(Notify::CloseRequested);
    return true;
}

// ---- Edit ----

HeadlessEdit::HeadlessEdit(HeadlessUi& ui, Node* parent, const EditStyle& style)
    : NodeControl(ui, parent, "edit"), style_(style), text_model_(style.multi_line) {
    back_colour_ = kWhite;
    border_ = Border::Sunken;
}

void HeadlessEdit::SetText(std::string_view gbk) {
    text_model_.Assign(gbk);
    sel_start_ = sel_end_ = 0;
    Emit(Notify::TextChanged);
}

void HeadlessEdit::SetSelection(std::size_t start, std::size_t end) {
    sel_start_ = text_model_.Snap(std::min(start, end));
    sel_end_ = text_model_.Snap(std::max(start, end));
}

void HeadlessEdit::Insert(std::string_view gbk) {
    std::string_view piece =
        EditText::CutToLimit(gbk, text_model_.Size(), sel_end_ - sel_start_, limit_);
    if (piece.empty() && sel_start_ == sel_end_) return;
    text_model_.Replace(sel_start_, sel_end_, piece);
    sel_start_ = sel_end_ = text_model_.Snap(sel_start_ + piece.size());
    Emit(Notify::TextChanged);
}

void HeadlessEdit::ReplaceSelection(std::string_view gbk) {
    Insert(gbk);
    ScrollToCaret();
}

void HeadlessEdit::Append(std::string_view gbk) {
    sel_start_ = sel_end_ = text_model_.Size();
    Insert(gbk);
    ScrollToCaret();
}

bool HeadlessEdit::UserType(std::string_view gbk) {
    if (!UserCanReach() || style_.read_only) return false;
    TakeFocus();
    std::string typed = EditText::Filter(gbk, filter_);
    typed = EditText::ApplyCase(typed, style_.letter_case == LetterCase::Lower,
                                style_.letter_case == LetterCase::Upper);
    if (!style_.multi_line) {
        // A single-line box takes no line breaks from the keyboard.
        std::erase(typed, '\r');
        std::erase(typed, '\n');
    }
    Insert(typed);
    ScrollToCaret();
    return true;
}

bool HeadlessEdit::UserSelect(std::size_t start, std::size_t end) {
    if (!UserCanReach()) return false;
    TakeFocus();
    SetSelection(start, end);
    return true;
}

// ---- Button and check box ----

bool HeadlessButton::UserClick() {
    if (!UserCanReach()) return false;
    TakeFocus();
    Emit(Notify::Clicked);
    return true;
}

bool HeadlessCheckBox::UserClick() {
    if (!UserCanReach()) return false;
    TakeFocus();
    checked_ = !checked_;
    Emit(Notify::Clicked);
    return true;
}

// ---- Combo box ----

HeadlessComboBox::HeadlessComboBox(HeadlessUi& ui, Node* parent, const ComboStyle& style)
    : NodeControl(ui, parent, "combo box"), style_(style), items_(style.sorted), edit_(false) {
    back_colour_ = kWhite;
}

void HeadlessComboBox::ClearItems() {
    items_.Clear();
    edit_.Assign("");
    sel_start_ = sel_end_ = 0;
}

void HeadlessComboBox::SetCurrent(int index) {
    items_.SetCurrent(index);
    if (style_.kind != ComboKind::DropDownList) {
        edit_.Assign(items_.Text(items_.Current()));
        sel_start_ = 0;
        sel_end_ = edit_.Size();
    }
}

void HeadlessComboBox::SetText(std::string_view gbk) {
    if (style_.kind == ComboKind::DropDownList) return;  // no edit field to hold it
    edit_.Assign(gbk);
    sel_start_ = sel_end_ = 0;
}

std::string HeadlessComboBox::Text() const {
    if (style_.kind == ComboKind::DropDownList) return items_.Text(items_.Current());
    return edit_.Bytes();
}

void HeadlessComboBox::SetEditSelection(std::size_t start, std::size_t end) {
    sel_start_ = edit_.Snap(std::min(start, end));
    sel_end_ = edit_.Snap(std::max(start, end));
}

void HeadlessComboBox::ReplaceEditSelection(std::string_view gbk) {
    if (style_.kind == ComboKind::DropDownList) return;
    std::string_view piece = EditText::CutToLimit(gbk, edit_.Size(), sel_end_ - sel_start_, limit_);
    edit_.Replace(sel_start_, sel_end_, piece);
    sel_start_ = sel_end_ = edit_.Snap(sel_start_ + piece.size());
}

bool HeadlessComboBox::UserDropDown() {
    if (!UserCanReach() || style_.kind == ComboKind::Simple) return false;
    TakeFocus();
    if (dropped_) return true;
    Emit(Notify::DropDown);
    dropped_ = true;
    return true;
}

bool HeadlessComboBox::UserPick(int index) {
    if (!UserCanReach() || !items_.Valid(index)) return false;
    if (style_.kind != ComboKind::Simple && !dropped_ && !UserDropDown()) return false;
    // The list may have changed while it opened (a handler of DropDown
    // refilling it); the user picks among what is there now.
    if (!items_.Valid(index)) {
        UserCloseUp();
        return false;
    }
    items_.SetCurrent(index);
    if (style_.kind != ComboKind::DropDownList) {
        edit_.Assign(items_.Text(index));
        sel_start_ = 0;
        sel_end_ = edit_.Size();
    }
    // The list closes first, then the choice is reported.
    if (dropped_) {
        dropped_ = false;
        Emit(Notify::ClosedUp);
    }
    Emit(Notify::SelectionEnded);
    return true;
}

bool HeadlessComboBox::UserCloseUp() {
    if (!dropped_) return false;
    dropped_ = false;
    Emit(Notify::ClosedUp);
    return true;
}

bool HeadlessComboBox::UserType(std::string_view gbk) {
    if (!UserCanReach() || style_.kind == ComboKind::DropDownList) return false;
    TakeFocus();
    std::string before = edit_.Bytes();
    ReplaceEditSelection(gbk);
    // Keys refused by the limit change nothing and report nothing.
    if (edit_.Bytes() != before) Emit(Notify::EditChanged);
    return true;
}

// ---- Ui ----

std::unique_ptr<Window> HeadlessUi::CreateWindow() {
    return std::make_unique<HeadlessWindow>(*this);
}

std::unique_ptr<Edit> HeadlessUi::CreateEdit(Control* parent, const EditStyle& style) {
    return std::make_unique<HeadlessEdit>(*this, NodeOf(parent), style);
}

std::unique_ptr<Button> HeadlessUi::CreateButton(Control* parent) {
    return std::make_unique<HeadlessButton>(*this, NodeOf(parent));
}

std::unique_ptr<CheckBox> HeadlessUi::CreateCheckBox(Control* parent) {
    return std::make_unique<HeadlessCheckBox>(*this, NodeOf(parent));
}

std::unique_ptr<GroupBox> HeadlessUi::CreateGroupBox(Control* parent) {
    return std::make_unique<HeadlessGroupBox>(*this, NodeOf(parent));
}

std::unique_ptr<ComboBox> HeadlessUi::CreateComboBox(Control* parent, const ComboStyle& style) {
    return std::make_unique<HeadlessComboBox>(*this, NodeOf(parent), style);
}

std::unique_ptr<Label> HeadlessUi::CreateLabel(Control* parent) {
    return std::make_unique<HeadlessLabel>(*this, NodeOf(parent));
}

namespace {

bool Contains(const Rect& r, int x, int y) {
    return x >= r.left && y >= r.top && x < r.left + r.width && y < r.top + r.height;
}

// The deepest reachable control under (x, y) of `parent`'s client area, or
// `parent` itself.
Node* NodeAt(Node& parent, int x, int y) {
    for (Node* child : parent.ChildNodes()) {
        const Rect r = child->AsControl().Geometry();
        if (!child->AsControl().IsVisible() || !child->AsControl().IsEnabled() ||
            !Contains(r, x, y)) {
            continue;
        }
        return NodeAt(*child, x - r.left, y - r.top);
    }
    return &parent;
}

// Width of a combo box's arrow at its right edge.
constexpr int kArrowWidth = 18;

void TabChain(Node& parent, std::vector<Node*>& chain) {
    for (Node* child : parent.ChildNodes()) {
        if (child->TakesFocus()) chain.push_back(child);
        TabChain(*child, chain);
    }
}

}  // namespace

Node* HeadlessUi::UserPointAt(HeadlessWindow& window, int x, int y) {
    if (!window.IsVisible()) return nullptr;
    const Rect client = window.ClientRect();
    if (!Contains(client, x, y)) return nullptr;
    return NodeAt(window, x, y);
}

Node* HeadlessUi::UserClickAt(HeadlessWindow& window, int x, int y) {
    Node* hit = UserPointAt(window, x, y);
    if (!hit) return nullptr;
    if (!window.Active()) window.UserActivate();
    // The activation's handlers may have changed the window; the click goes
    // where the point lies now.
    hit = UserPointAt(window, x, y);
    if (!hit) return nullptr;
    if (auto* b = dynamic_cast<HeadlessButton*>(hit)) {
        b->UserClick();
    } else if (auto* c = dynamic_cast<HeadlessCheckBox*>(hit)) {
        c->UserClick();
    } else if (auto* e = dynamic_cast<HeadlessEdit*>(hit)) {
        e->UserFocus();
    } else if (auto* box = dynamic_cast<HeadlessComboBox*>(hit)) {
        const Rect r = box->WindowRect();
        const bool on_arrow = x >= r.left + r.width - kArrowWidth;
        const ComboKind kind = box->Style().kind;
        if (box->DroppedDown()) {
            box->UserCloseUp();
        } else if (kind == ComboKind::DropDownList || (kind == ComboKind::DropDown && on_arrow)) {
            box->UserDropDown();
        } else {
            box->UserFocus();
        }
    }
    return hit;
}

bool HeadlessUi::UserKeys(std::string_view gbk) {
    if (auto* e = dynamic_cast<HeadlessEdit*>(focused_)) return e->UserType(gbk);
    if (auto* c = dynamic_cast<HeadlessComboBox*>(focused_)) return c->UserType(gbk);
    return false;
}

bool HeadlessUi::UserSelectAll() {
    if (auto* e = dynamic_cast<HeadlessEdit*>(focused_)) return e->UserSelect(0, e->TextLength());
    if (auto* c = dynamic_cast<HeadlessComboBox*>(focused_); c && c->UserFocus()) {
        c->SetEditSelection(0, c->Text().size());
        return true;
    }
    return false;
}

bool HeadlessUi::UserTab(bool backwards) {
    Node* top = focused_ ? focused_ : active_;
    while (top && top->ParentNode()) top = top->ParentNode();
    if (!top) return false;
    std::vector<Node*> chain;
    TabChain(*top, chain);
    std::erase_if(chain, [](Node* n) { return !n->UserCanReach(); });
    if (chain.empty()) return false;
    auto at = std::find(chain.begin(), chain.end(), focused_);
    std::size_t next = 0;
    if (at != chain.end()) {
        const std::size_t i = static_cast<std::size_t>(at - chain.begin());
        next = backwards ? (i + chain.size() - 1) % chain.size() : (i + 1) % chain.size();
    } else if (backwards) {
        next = chain.size() - 1;
    }
    chain[next]->TakeFocus();
    return true;
}

void HeadlessUi::SetActive(HeadlessWindow* w) {
    HeadlessWindow* old = active_;
    if (old == w) return;
    active_ = w;
    if (old) old->NotifyNode(Notify::Deactivated);
    // The old window's handler may have moved the activation on, or
    // destroyed the new window (which clears it).
    if (w && active_ == w) w->NotifyNode(Notify::Activated);
}

Font HeadlessUi::DefaultFont() const {
    Font f;
    f.height = -12;
    return f;
}

int HeadlessUi::TextHeight(const Font& font, std::string_view) const {
    // A fixed, font-size-driven metric keeps layouts reproducible.
    if (font.height < 0) return -font.height + 2;
    if (font.height > 0) return font.height;
    return 14;
}

}  // namespace kesu::platform::headless
