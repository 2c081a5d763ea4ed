#include "units/label/label.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/units/common/unit_harness.h"

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
    auto id = h_.Add(kUnitLabel, s.Save(), {10, 43, 50, 25});
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
    EXPECT_EQ(canvas.GetBorder(), platform::Border::None);
    EXPECT_EQ(canvas.GetLabelStyle().frame.width, 5);
    unit.SetProperty(LabelUnit::kTextEffect, NumberValue(-1));
    EXPECT_EQ(canvas.GetLabelStyle().effect, platform::TextEffect::Plain);
    EXPECT_EQ(LabelTypeDescriptor().properties.size(), 8u + LabelUnit::kDataColumn + 1);
}

TEST_F(LabelTest, HandsFrameGradientAndPictureToTheCanvasAndFollowsWrites) {
    using platform::Gradient;
    using platform::LabelFrame;
    using platform::LabelGradient;
    using platform::PictureLayout;
    LabelSettings s;
    s.borderStyle = 6;
    s.frameWidth = 9;
    s.frameColours = {0x0000FF, 0xFF000000, 0xFF0000};
    s.gradientMode = 3;
    s.gradientColours = {0x111111, 0x222222, 0x333333};
    s.picture = std::string("\x89PNG\0\x01", 6);
    s.pictureLayout = 2;
    auto id = h_.Add(kUnitLabel, s.Save(), {10, 43, 50, 25});
    ASSERT_TRUE(h_.Load());
    auto& unit = h_.Get<LabelUnit>(id);
    auto& canvas = dynamic_cast<HeadlessLabel&>(unit.label());
    EXPECT_EQ(canvas.GetLabelStyle().frame, (LabelFrame{9, {0x0000FF, 0xFF000000, 0xFF0000}}));
    EXPECT_EQ(canvas.GetBorder(), platform::Border::None);
    EXPECT_EQ(canvas.GetLabelStyle().gradient,
              (LabelGradient{Gradient::TopLeftToBottomRight, {0x111111, 0x222222, 0x333333}}));
    EXPECT_EQ(canvas.GetLabelStyle().picture_layout, PictureLayout::Tiled);
    EXPECT_EQ(canvas.Picture(), s.picture);

    // Every write reaches the canvas, clamped as it is stored.
    unit.SetProperty(LabelUnit::kFrameWidth, NumberValue(12));
    unit.SetProperty(LabelUnit::kFrameColour2, NumberValue(0x00FF00));
    EXPECT_EQ(canvas.GetLabelStyle().frame, (LabelFrame{12, {0x0000FF, 0x00FF00, 0xFF0000}}));
    unit.SetProperty(LabelUnit::kGradientMode, NumberValue(99));
    unit.SetProperty(LabelUnit::kGradientColour3, NumberValue(0xFF000000));
    EXPECT_EQ(canvas.GetLabelStyle().gradient,
              (LabelGradient{Gradient::Box, {0x111111, 0x222222, 0xFF000000}}));
    unit.SetProperty(LabelUnit::kPictureLayout, NumberValue(-4));
    EXPECT_EQ(canvas.GetLabelStyle().picture_layout, PictureLayout::TopLeft);
    PropertyValue picture;
    picture.bytes = "GIF89a";
    unit.SetProperty(LabelUnit::kPicture, picture);
    EXPECT_EQ(canvas.Picture(), "GIF89a");
    unit.SetProperty(LabelUnit::kPicture, PropertyValue{});
    EXPECT_EQ(canvas.Picture(), "");

    // A plain border style takes the graded frame away; the frame settings stay stored.
    unit.SetProperty(LabelUnit::kBorderStyle, NumberValue(3));
    EXPECT_EQ(canvas.GetLabelStyle().frame.width, 0);
    EXPECT_EQ(canvas.GetBorder(), platform::Border::Static);
    unit.SetProperty(LabelUnit::kBorderStyle, NumberValue(6));
    EXPECT_EQ(canvas.GetLabelStyle().frame.width, 12);
    unit.SetProperty(LabelUnit::kGradientMode, NumberValue(0));
    EXPECT_EQ(canvas.GetLabelStyle().gradient.mode, Gradient::None);
}

}  // namespace
}  // namespace kesu::units
