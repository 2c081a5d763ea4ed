#pragma once

// The combo box unit: an item list with an edit field (simple and drop-down
// boxes) or without one (drop-down lists), its current selection, and the
// AddItem and ClearItems methods.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/image.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "units/combo_box/combo_box_settings.h"
#include "units/common/visual_unit.h"

namespace kesu::units {

class ComboBoxUnit : public VisualUnit {
  public:
    enum Property {
        kListType = 0,
        kContent,
        kMaxLength,
        kSelStart,
        kSelLength,
        kSelText,
        kSorted,
        kItemHeight,
        kTextColour,
        kBackColour,
        kFont,
        kListIndex,
        kItems,
        kItemData,
        kDataSource,
        kDataColumn,
        kBindingFlag,
    };
    static constexpr int kEventSelectionMade = 0;
    static constexpr int kEventEditChanged = 1;
    static constexpr int kEventDroppingDown = 2;
    static constexpr int kEventClosedUp = 3;
    static constexpr int kEventDoubleClicked = 4;

    static std::unique_ptr<ComboBoxUnit> Create(const UnitCreateInfo& info);
    ~ComboBoxUnit() override;

    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    // The AddItem method: the index the item landed at (its sorted place in a
    // sorted box), or -1 when the control refused it.
    int AddItem(std::string_view text, std::uint32_t data);
    void ClearItems();

    platform::ComboBox& combo() { return *combo_; }

  private:
    explicit ComboBoxUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;
    void ShowSharedProperty(Shared which) override;
    void OnNotify(platform::Notify n) override;
    void SetListIndex(std::int32_t index);
    bool HasEditField() const { return s_.listType != 2; }
    void SetEditSelection(std::int32_t start, std::int32_t length);

    ComboBoxSettings s_;
    platform::ComboBox* combo_ = nullptr;
    // Shared with tasks this unit posts to itself, so that a task arriving after
    // the unit is gone does nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

UnitOperation ComboBoxInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor ComboBoxTypeDescriptor();

// Command bodies of the methods: unit reference first.
void AddItemCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ClearItemsCommand(ResultRecord* result, int argCount, ArgRecord* args);
// Sets the tool tip of one item (arguments: the item's index, the text). Not one of the core
// library's methods: the assistant calls it on Linux to show which device a port item is.
void SetItemToolTipCommand(ResultRecord* result, int argCount, ArgRecord* args);

}  // namespace kesu::units
