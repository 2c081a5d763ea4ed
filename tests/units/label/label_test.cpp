#include "units/label/label.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/units/edit_box/unit_harness.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessLabel;
using testing::UnitHarness;

class LabelTest : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

TEST_F(LabelTest, PaintsItsStoredCaptionLookAndFollowsWrites) {
    LabelSettings s;
    s.caption = "RTS\xCA\xE4\xB3\xF6";
    s.textColour = 0xFF0090;
    s.hAlign = 1;
    s.vAlign = 1;
    s.textEffect = 2;
    s.font = FontToBytes(DefaultInterfaceFont());
    auto id = h_.Add(kUnitLabel, s.encode(), {10, 43, 50, 25});
    ASSERT_TRUE(h_.Load());
    auto& unit = h_.Get<LabelUnit>(id);
    auto& canvas = dynamic_cast<HeadlessLabel&>(unit.label());
    EXPECT_EQ(canvas.Text(), s.caption);
    EXPECT_EQ(canvas.TextColour(), 0xFF0090u);
    EXPECT_EQ(canvas.BackColour(), platform::kButtonFace);
    EXPECT_EQ(canvas.GetLabelStyle().h_align, platform::HAlign::Centre);
    EXPECT_EQ(canvas.GetLabelStyle().v_align, platform::VAlign::Centre);
    EXPECT_EQ(canvas.GetLabelStyle().effect, platform::TextEffect::Sunken);
    EXPECT_EQ(canvas.GetFont().face, "\xCB\xCE\xCC\xE5");

    unit.SetProperty(LabelUnit::kCaption, TextValue("ms/\xD0\xD0"));
    unit.SetProperty(LabelUnit::kWordWrap, NumberValue(1));
    unit.SetProperty(LabelUnit::kHAlign, NumberValue(9));
    unit.SetProperty(LabelUnit::kBackColour, NumberValue(0xFFFFFF));
    EXPECT_EQ(canvas.Text(), "ms/\xD0\xD0");
    EXPECT_TRUE(canvas.GetLabelStyle().word_wrap);
    EXPECT_EQ(canvas.GetLabelStyle().h_align, platform::HAlign::Right);
    EXPECT_EQ(canvas.BackColour(), 0xFFFFFFu);

    PropertyValue v;
    unit.SetProperty(LabelUnit::kFrameWidth, NumberValue(2));
    unit.GetProperty(LabelUnit::kFrameWidth, v);
    EXPECT_EQ(v.number, 5);
    unit.SetProperty(LabelUnit::kGradientColour2, NumberValue(0x123456));
    unit.GetProperty(LabelUnit::kGradientColour2, v);
    EXPECT_EQ(v.number, 0x123456);
    unit.SetProperty(LabelUnit::kBorderStyle, NumberValue(6));
    EXPECT_EQ(canvas.GetBorder(), platform::Border::Single);
    unit.SetProperty(LabelUnit::kTextEffect, NumberValue(-1));
    EXPECT_EQ(canvas.GetLabelStyle().effect, platform::TextEffect::Plain);
    EXPECT_EQ(LabelTypeDescriptor().properties.size(), 8u + LabelUnit::kDataColumn + 1);
}

}  // namespace
}  // namespace kesu::units
