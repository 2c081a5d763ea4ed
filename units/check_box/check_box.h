#pragma once

// The check box unit: a caption with a mark that a click toggles before
// Clicked fires; program writes of Checked change the mark silently.

#include <memory>
#include <string>

#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/check_box/check_box_settings.h"
#include "units/common/visual_unit.h"

namespace kesu::units {

class CheckBoxUnit final : public VisualUnit {
  public:
    enum Property {
        kPicture = 0,
        kPushLike,
        kFlat,
        kCaption,
        kTextLeft,
        kHAlign,
        kVAlign,
        kTextColour,
        kBackColour,
        kFont,
        kChecked,
        kDataSource,
        kDataColumn,
    };
    static constexpr int kEventClicked = 0;

    static std::unique_ptr<CheckBoxUnit> Create(const UnitCreateInfo& info);

    int GetProperty(int index, PropertyValue& out) override;
    int GetWordProperty(int index, int64_t& out) override;
    int Save(std::string& block) override;

    platform::CheckBox& check_box() { return *box_; }

  private:
    explicit CheckBoxUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;
    void OnNotify(platform::Notify n) override;
    void ApplyCheckStyle();

    CheckBoxSettings s_;
    platform::CheckBox* box_ = nullptr;
};

UnitOperation CheckBoxInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor CheckBoxTypeDescriptor();

}  // namespace kesu::units
