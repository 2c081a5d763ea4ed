#include "units/check_box/check_box.h"

#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"

namespace kesu::units {

CheckBoxUnit::CheckBoxUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    DeclareSharedProperties(EverySharedProperty<CheckBoxUnit>(s_));
}

std::unique_ptr<CheckBoxUnit> CheckBoxUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<CheckBoxUnit> unit(new CheckBoxUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    const CheckBoxSettings& s = unit->s_;
    auto box = CurrentUi().CreateCheckBox(CreationParent(info));
    unit->box_ = box.get();
    box->SetText(s.caption);
    unit->Attach(std::move(box), info);
    platform::CheckBox& b = *unit->box_;
    b.SetFont(PlatformFont(s.font));
    b.SetTextColour(s.textColour);
    b.SetBackColour(s.backColour);
    b.SetAlignment(PlatformHAlign(s.hAlign), PlatformVAlign(s.vAlign));
    b.SetPicture(s.picture);
    unit->ApplyCheckStyle();
    b.SetChecked(s.checked);
    return unit;
}

void CheckBoxUnit::ApplyCheckStyle() {
    box_->SetCheckStyle({s_.pushLike, s_.flat, s_.textLeft});
}

void CheckBoxUnit::OnNotify(platform::Notify n) {
    if (n == platform::Notify::Toggled) {
        s_.checked = box_->IsChecked();
        return;
    }
    if (n == platform::Notify::Clicked) {
        // The control has already toggled its mark, so a handler reading
        // Checked sees the new state.
        RaiseEvent(kEventClicked);
        return;
    }
    VisualUnit::OnNotify(n);
}

int CheckBoxUnit::SetOwnProperty(int index, const PropertyValue& value) {
    std::int32_t v = IntOf(value);
    switch (index) {
        case kPicture:
            s_.picture = value.bytes;
            return 1;
        case kPushLike:
        case kFlat:
        case kTextLeft: {
            bool& field = index == kPushLike ? s_.pushLike : index == kFlat ? s_.flat : s_.textLeft;
            field = v == 1;
            ApplyCheckStyle();
            return 0;
        }
        case kCaption:
            return WriteCaption(s_.caption, value);
        case kHAlign:
        case kVAlign:
            (index == kHAlign ? s_.hAlign : s_.vAlign) = ClampChoice(v, 0, 2);
            box_->SetAlignment(PlatformHAlign(s_.hAlign), PlatformVAlign(s_.vAlign));
            return 0;
        case kChecked:
            // Only 1 marks the box; any other value clears it. No Clicked follows.
            s_.checked = v == 1;
            box_->SetChecked(s_.checked);
            return 0;
        default:
            return 0;
    }
}

int CheckBoxUnit::GetWordProperty(int index, int64_t& out) {
    // The mark as the program set it or the user changed it (the control tells every such
    // change first). It is read for every received byte: the display options are check boxes.
    if (index != kChecked) return 0;
    out = s_.checked ? 1 : 0;
    return 1;
}

int CheckBoxUnit::GetProperty(int index, PropertyValue& out) {
    using S = CheckBoxSettings;
    static const StoredField<S> kFields[] = {
        &S::picture, &S::pushLike,   &S::flat,       &S::caption,    &S::textLeft,
        &S::hAlign,  &S::vAlign,     &S::textColour, &S::backColour, &S::font,
        &S::checked, &S::dataSource, &S::dataColumn};
    static_assert(std::size(kFields) == kDataColumn + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int CheckBoxUnit::Save(std::string& block) {
    s_.checked = box_->IsChecked();
    block = s_.Save();
    return 1;
}

UnitOperation CheckBoxInterface(int code) {
    return StandardUnitInterface<CheckBoxUnit>(code);
}

UnitTypeDescriptor CheckBoxTypeDescriptor() {
    return DescribeUnitType("\xD1\xA1\xD4\xF1\xBF\xF2", "CheckBox", 0x80001040,
                            {kind::kBytes, kind::kLogical, kind::kLogical, kind::kText,
                             kind::kLogical, kind::kWord, kind::kWord, kind::kWord, kind::kWord,
                             kind::kFont, kind::kLogical, kind::kText, kind::kText});
}

}  // namespace kesu::units
