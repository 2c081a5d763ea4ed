#pragma once

// An in-memory combo box of any kind.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/combo_items.h"
#include "platform/edit_text.h"
#include "platform/headless/headless_node.h"

namespace kesu::platform::headless {

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
    void SetItemToolTip(int index, std::string_view gbk) override { items_.SetTip(index, gbk); }
    std::string ItemToolTip(int index) const override { return items_.Tip(index); }
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

}  // namespace kesu::platform::headless
