#include "units/common/visual_unit.h"

#include "platform/platform.h"

namespace kesu::units {

platform::Control* CreationParent(const UnitCreateInfo& info) {
    return info.parent ? info.parent->control() : nullptr;
}

platform::Ui& CurrentUi() {
    return platform::Current().UserInterface();
}

VisualUnit::~VisualUnit() {
    // Notifications of a control being torn down must not reach a half-destroyed unit.
    if (control_) control_->SetNotifyHandler(nullptr);
}

void VisualUnit::Attach(std::unique_ptr<platform::Control> control, const UnitCreateInfo& info) {
    control_ = std::move(control);
    control_->SetGeometry({info.left, info.top, info.width, info.height});
    control_->SetEnabled((info.style & kStyleDisabled) == 0);
    control_->SetVisible((info.style & kStyleVisible) != 0);
    control_->SetNotifyHandler([this](platform::Notify n) { OnNotify(n); });
}

void VisualUnit::OnNotify(platform::Notify n) {
    if (n == platform::Notify::FocusIn) RaiseEvent(kEventGotFocus);
    if (n == platform::Notify::FocusOut) RaiseEvent(kEventLostFocus);
}

int VisualUnit::WriteCaption(std::string& field, const PropertyValue& value) {
    field = TextOf(value);
    control_->SetText(field);
    return 0;
}

int VisualUnit::SetProperty(int index, const PropertyValue& value) {
    auto is = [index](const auto& shared) { return shared.field && shared.index == index; };
    if (is(shared_.font)) {
        *shared_.font.field = value.bytes;
        ShowSharedProperty(Shared::kFont);
    } else if (is(shared_.textColour)) {
        *shared_.textColour.field = ColourOf(value);
        ShowSharedProperty(Shared::kTextColour);
    } else if (is(shared_.backColour)) {
        *shared_.backColour.field = ColourOf(value);
        ShowSharedProperty(Shared::kBackColour);
    } else if (is(shared_.dataSource)) {
        *shared_.dataSource.field = TextOf(value);
        ShowSharedProperty(Shared::kDataSource);
    } else if (is(shared_.dataColumn)) {
        *shared_.dataColumn.field = TextOf(value);
        ShowSharedProperty(Shared::kDataColumn);
    } else {
        return SetOwnProperty(index, value);
    }
    return 0;
}

void VisualUnit::ShowSharedProperty(Shared which) {
    switch (which) {
        case Shared::kFont:
            control_->SetFont(PlatformFont(*shared_.font.field));
            break;
        case Shared::kTextColour:
            control_->SetTextColour(*shared_.textColour.field);
            break;
        case Shared::kBackColour:
            control_->SetBackColour(*shared_.backColour.field);
            break;
        case Shared::kDataSource:
        case Shared::kDataColumn:
            break;
    }
}

platform::Font VisualUnit::PlatformFont(std::string_view stored) {
    if (stored.size() != sizeof(FontRecord)) return CurrentUi().DefaultFont();
    FontRecord r = FontFromBytes(stored);
    platform::Font f;
    f.face = FontFace(r);
    f.height = r.height;
    f.weight = r.weight;
    f.italic = r.italic != 0;
    f.underline = r.underline != 0;
    f.strike_out = r.strike_out != 0;
    f.charset = r.char_set;
    f.escapement = r.escapement;
    return f;
}

platform::Border VisualUnit::PlatformBorder(std::int32_t style) {
    switch (style) {
        case 1:
            return platform::Border::Sunken;
        case 2:
            return platform::Border::Raised;
        case 3:
            return platform::Border::Static;
        case 4:
            return platform::Border::SunkenRaised;
        case 5:
            return platform::Border::Single;
        default:
            return platform::Border::None;
    }
}

platform::HAlign VisualUnit::PlatformHAlign(std::int32_t align) {
    switch (align) {
        case 1:
            return platform::HAlign::Centre;
        case 2:
            return platform::HAlign::Right;
        default:
            return platform::HAlign::Left;
    }
}

platform::VAlign VisualUnit::PlatformVAlign(std::int32_t align) {
    switch (align) {
        case 0:
            return platform::VAlign::Top;
        case 2:
            return platform::VAlign::Bottom;
        default:
            return platform::VAlign::Centre;
    }
}

}  // namespace kesu::units
