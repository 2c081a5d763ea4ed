#include "units/button/button.h"

#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"

namespace kesu::units {

ButtonUnit::ButtonUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    SharedProperties shared;
    shared.font = {kFont, &s_.font};
    DeclareSharedProperties(shared);
}

std::unique_ptr<ButtonUnit> ButtonUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<ButtonUnit> unit(new ButtonUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    const ButtonSettings& s = unit->s_;
    auto button = CurrentUi().CreateButton(CreationParent(info));
    unit->button_ = button.get();
    button->SetText(s.caption);
    unit->Attach(std::move(button), info);
    platform::Button& b = *unit->button_;
    b.SetFont(PlatformFont(s.font));
    b.SetDefault(s.defaultButton);
    b.SetAlignment(PlatformHAlign(s.hAlign), PlatformVAlign(s.vAlign));
    b.SetPicture(s.picture);
    return unit;
}

void ButtonUnit::OnNotify(platform::Notify n) {
    if (n == platform::Notify::Clicked) {
        RaiseEvent(kEventClicked);
        return;
    }
    VisualUnit::OnNotify(n);
}

int ButtonUnit::SetOwnProperty(int index, const PropertyValue& value) {
    switch (index) {
        case kPicture:
            s_.picture = value.bytes;
            return 1;
        case kDefaultButton:
            s_.defaultButton = value.number != 0;
            button_->SetDefault(s_.defaultButton);
            return 0;
        case kCaption:
            return WriteCaption(s_.caption, value);
        case kHAlign:
        case kVAlign:
            (index == kHAlign ? s_.hAlign : s_.vAlign) = ClampChoice(IntOf(value), 0, 2);
            button_->SetAlignment(PlatformHAlign(s_.hAlign), PlatformVAlign(s_.vAlign));
            return 0;
        default:
            return 0;
    }
}

int ButtonUnit::GetProperty(int index, PropertyValue& out) {
    using S = ButtonSettings;
    static const StoredField<S> kFields[] = {&S::picture, &S::defaultButton, &S::caption,
                                             &S::hAlign,  &S::vAlign,        &S::font};
    static_assert(std::size(kFields) == kFont + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int ButtonUnit::Save(std::string& block) {
    block = s_.Save();
    return 1;
}

UnitOperation ButtonInterface(int code) {
    return StandardUnitInterface<ButtonUnit>(code);
}

UnitTypeDescriptor ButtonTypeDescriptor() {
    return DescribeUnitType(
        "\xB0\xB4\xC5\xA5", "Button", 0x80000840,
        {kind::kBytes, kind::kLogical, kind::kText, kind::kWord, kind::kWord, kind::kFont});
}

}  // namespace kesu::units
