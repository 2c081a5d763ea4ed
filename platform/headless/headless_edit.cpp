#include "platform/headless/headless_edit.h"

#include <algorithm>

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

HeadlessEdit::HeadlessEdit(HeadlessUi& ui, Node* parent, const EditStyle& style)
    : NodeControl(ui, parent, "edit"), style_(style), text_model_(style.multi_line) {
    back_colour_ = kWhite;
    border_ = Border::Sunken;
}

void HeadlessEdit::SetText(std::string_view gbk) {
    text_model_.Assign(gbk, false);
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
    text_model_.Replace(sel_start_, sel_end_, piece, false);
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

}  // namespace kesu::platform::headless
