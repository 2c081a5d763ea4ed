#pragma once

// The button unit: a push button with a caption, alignment, font and the
// default-button mark, raising Clicked when pressed.

#include <memory>
#include <string>

#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/button/button_settings.h"
#include "units/common/visual_unit.h"

namespace kesu::units {

class ButtonUnit : public VisualUnit {
  public:
    enum Property { kPicture = 0, kDefaultButton, kCaption, kHAlign, kVAlign, kFont };
    static constexpr int kEventClicked = 0;

    static std::unique_ptr<ButtonUnit> Create(const UnitCreateInfo& info);

    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    platform::Button& button() { return *button_; }

  private:
    explicit ButtonUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;
    void OnNotify(platform::Notify n) override;

    ButtonSettings s_;
    platform::Button* button_ = nullptr;
};

UnitOperation ButtonInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor ButtonTypeDescriptor();

}  // namespace kesu::units
