#include "units/label/label.h"

#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"

namespace kesu::units {

LabelUnit::LabelUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    DeclareSharedProperties(EverySharedProperty<LabelUnit>(s_));
}

std::unique_ptr<LabelUnit> LabelUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<LabelUnit> unit(new LabelUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    auto label = CurrentUi().CreateLabel(CreationParent(info));
    unit->label_ = label.get();
    unit->Attach(std::move(label), info);
    unit->Apply();
    return unit;
}

void LabelUnit::Apply() {
    platform::LabelStyle style;
    style.h_align = PlatformHAlign(s_.hAlign);
    style.v_align = PlatformVAlign(s_.vAlign);
    style.word_wrap = s_.wordWrap;
    style.effect = static_cast<platform::TextEffect>(s_.textEffect);
    // Style 6 is the graded frame the canvas draws itself, instead of a plain one.
    const bool graded = s_.borderStyle == LabelSettings::kGradedFrame;
    if (graded) style.frame = {s_.frameWidth, s_.frameColours};
    style.gradient = {static_cast<platform::Gradient>(s_.gradientMode), s_.gradientColours};
    style.picture_layout = static_cast<platform::PictureLayout>(s_.pictureLayout);
    label_->SetLabelStyle(style);
    label_->SetFont(PlatformFont(s_.font));
    label_->SetTextColour(s_.textColour);
    label_->SetBackColour(s_.backColour);
    label_->SetBorder(graded ? platform::Border::None : PlatformBorder(s_.borderStyle));
    label_->SetPicture(s_.picture);
    label_->SetText(s_.caption);
}

int LabelUnit::SetOwnProperty(int index, const PropertyValue& value) {
    std::int32_t v = IntOf(value);
    std::uint32_t colour = ColourOf(value);
    switch (index) {
        case kCaption:
            s_.caption = TextOf(value);
            break;
        case kTextEffect:
            s_.textEffect = ClampChoice(v, 0, 3);
            break;
        case kBorderStyle:
            s_.borderStyle = ClampChoice(v, 0, LabelSettings::kGradedFrame);
            break;
        case kFrameWidth:
            s_.frameWidth = std::max(v, 5);
            break;
        case kFrameColour1:
        case kFrameColour2:
        case kFrameColour3:
            s_.frameColours[index - kFrameColour1] = colour;
            break;
        case kPicture:
            s_.picture = value.bytes;
            break;
        case kPictureLayout:
            s_.pictureLayout = ClampChoice(v, 0, 2);
            break;
        case kGradientMode:
            s_.gradientMode = ClampChoice(v, 0, 8);
            break;
        case kGradientColour1:
        case kGradientColour2:
        case kGradientColour3:
            s_.gradientColours[index - kGradientColour1] = colour;
            break;
        case kHAlign:
            s_.hAlign = ClampChoice(v, 0, 2);
            break;
        case kWordWrap:
            s_.wordWrap = v != 0;
            break;
        case kVAlign:
            s_.vAlign = ClampChoice(v, 0, 2);
            break;
        default:
            return 0;
    }
    Apply();
    return 0;
}

void LabelUnit::ShowSharedProperty(Shared /*which*/) {
    Apply();
}

int LabelUnit::GetProperty(int index, PropertyValue& out) {
    // The three-colour groups are arrays in the settings and are read by position.
    if (index >= kFrameColour1 && index <= kFrameColour3) {
        out = NumberValue(s_.frameColours[static_cast<std::size_t>(index - kFrameColour1)]);
        return 1;
    }
    if (index >= kGradientColour1 && index <= kGradientColour3) {
        out = NumberValue(s_.gradientColours[static_cast<std::size_t>(index - kGradientColour1)]);
        return 1;
    }
    using S = LabelSettings;
    static const StoredField<S> kFields[] = {&S::caption,
                                             &S::textEffect,
                                             &S::borderStyle,
                                             &S::frameWidth,
                                             {},
                                             {},
                                             {},
                                             &S::font,
                                             &S::textColour,
                                             &S::backColour,
                                             &S::picture,
                                             &S::pictureLayout,
                                             &S::gradientMode,
                                             {},
                                             {},
                                             {},
                                             &S::hAlign,
                                             &S::wordWrap,
                                             &S::vAlign,
                                             &S::dataSource,
                                             &S::dataColumn};
    static_assert(std::size(kFields) == kDataColumn + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int LabelUnit::Save(std::string& block) {
    block = s_.Save();
    return 1;
}

UnitOperation LabelInterface(int code) {
    return StandardUnitInterface<LabelUnit>(code);
}

UnitTypeDescriptor LabelTypeDescriptor() {
    return DescribeUnitType(
        "\xB1\xEA\xC7\xA9", "Label", 0x84012040,
        {kind::kText, kind::kWord, kind::kWord, kind::kWord, kind::kWord,  kind::kWord,
         kind::kWord, kind::kFont, kind::kWord, kind::kWord, kind::kBytes, kind::kWord,
         kind::kWord, kind::kWord, kind::kWord, kind::kWord, kind::kWord,  kind::kLogical,
         kind::kWord, kind::kText, kind::kText});
}

}  // namespace kesu::units
