#pragma once

// The label unit: a caption painted with its font, colour, alignment, word
// wrap and text effect on its background (a picture, a graded background or
// a colour), optionally inside a colour-graded frame.

#include <memory>
#include <string>

#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/common/visual_unit.h"
#include "units/label/label_settings.h"

namespace kesu::units {

class LabelUnit : public VisualUnit {
  public:
    enum Property {
        kCaption = 0,
        kTextEffect,
        kBorderStyle,
        kFrameWidth,
        kFrameColour1,
        kFrameColour2,
        kFrameColour3,
        kFont,
        kTextColour,
        kBackColour,
        kPicture,
        kPictureLayout,
        kGradientMode,
        kGradientColour1,
        kGradientColour2,
        kGradientColour3,
        kHAlign,
        kWordWrap,
        kVAlign,
        kDataSource,
        kDataColumn,
    };

    static std::unique_ptr<LabelUnit> Create(const UnitCreateInfo& info);

    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    platform::Label& label() { return *label_; }

  private:
    explicit LabelUnit(const UnitCreateInfo& info);
    int SetOwnProperty(int index, const PropertyValue& value) override;
    // Every write repaints the whole label.
    void ShowSharedProperty(Shared which) override;
    // Hands every stored drawing setting to the canvas, which repaints.
    void Apply();

    LabelSettings s_;
    platform::Label* label_ = nullptr;
};

UnitOperation LabelInterface(int code);
// The type's descriptor for the core library's list.
UnitTypeDescriptor LabelTypeDescriptor();

}  // namespace kesu::units
