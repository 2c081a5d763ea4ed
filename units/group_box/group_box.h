#pragma once

// The group box unit: a captioned frame that holds other units; units whose
// parent is the group box are placed inside it.

#include <memory>
#include <string>

#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/common/visual_unit.h"
#include "units/group_box/group_box_settings.h"

namespace kesu::units {

class GroupBoxUnit : public VisualUnit {
  public:
    enum Property { kCaption = 0, kHAlign, kTextColour, kBackColour, kFont };

    static std::unique_ptr<GroupBoxUnit> Create(const UnitCreateInfo& info);

    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    platform::GroupBox& group_box() { return *box_; }

  private:
    explicit GroupBoxUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;

    GroupBoxSettings s_;
    platform::GroupBox* box_ = nullptr;
};

UnitOperation GroupBoxInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor GroupBoxTypeDescriptor();

}  // namespace kesu::units
