#include "units/group_box/group_box.h"

#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"

namespace kesu::units {

GroupBoxUnit::GroupBoxUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    SharedProperties shared;
    shared.font = {kFont, &s_.font};
    shared.textColour = {kTextColour, &s_.textColour};
    shared.backColour = {kBackColour, &s_.backColour};
    DeclareSharedProperties(shared);
}

std::unique_ptr<GroupBoxUnit> GroupBoxUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<GroupBoxUnit> unit(new GroupBoxUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    const GroupBoxSettings& s = unit->s_;
    auto box = CurrentUi().CreateGroupBox(CreationParent(info));
    unit->box_ = box.get();
    box->SetText(s.caption);
    unit->Attach(std::move(box), info);
    platform::GroupBox& b = *unit->box_;
    b.SetFont(PlatformFont(s.font));
    b.SetAlignment(PlatformHAlign(s.hAlign));
    b.SetTextColour(s.textColour);
    b.SetBackColour(s.backColour);
    return unit;
}

int GroupBoxUnit::SetOwnProperty(int index, const PropertyValue& value) {
    switch (index) {
        case kCaption:
            return WriteCaption(s_.caption, value);
        case kHAlign:
            s_.hAlign = ClampChoice(IntOf(value), 0, 2);
            box_->SetAlignment(PlatformHAlign(s_.hAlign));
            return 0;
        default:
            return 0;
    }
}

int GroupBoxUnit::GetProperty(int index, PropertyValue& out) {
    using S = GroupBoxSettings;
    static const StoredField<S> kFields[] = {&S::caption, &S::hAlign, &S::textColour,
                                             &S::backColour, &S::font};
    static_assert(std::size(kFields) == kFont + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int GroupBoxUnit::Save(std::string& block) {
    block = s_.Save();
    return 1;
}

UnitOperation GroupBoxInterface(int code) {
    return StandardUnitInterface<GroupBoxUnit>(code);
}

UnitTypeDescriptor GroupBoxTypeDescriptor() {
    return DescribeUnitType("\xB7\xD6\xD7\xE9\xBF\xF2", "GroupBox", 0x840140C0,
                            {kind::kText, kind::kWord, kind::kWord, kind::kWord, kind::kFont});
}

}  // namespace kesu::units
