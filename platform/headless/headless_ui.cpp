#include "platform/headless/headless_ui.h"

#include <algorithm>

namespace kesu::platform::headless {

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
