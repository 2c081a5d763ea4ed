#pragma once

// An in-memory edit box, single or multi-line.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/edit_text.h"
#include "platform/headless/headless_node.h"

namespace kesu::platform::headless {

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

}  // namespace kesu::platform::headless
