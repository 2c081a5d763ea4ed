#include "platform/headless/headless_node.h"

#include <algorithm>

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

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

}  // namespace kesu::platform::headless
