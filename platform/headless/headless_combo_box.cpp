#include "platform/headless/headless_combo_box.h"

#include <algorithm>

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

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

}  // namespace kesu::platform::headless
