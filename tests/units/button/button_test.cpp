#include "units/button/button.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/units/common/unit_harness.h"
#include "units/check_box/check_box.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessButton;
using testing::UnitHarness;

class ButtonTest : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

TEST_F(ButtonTest, CaptionWritesShowAtOnceAndClicksRaiseClicked) {
    ButtonSettings s;
    s.caption = "\xC7\xEB\xD1\xA1\xD4\xF1\xB6\xCB\xBF\xDA";  // 请选择端口
    auto id = h_.Add(kUnitButton, s.Save(), {16, 165, 125, 25});
    ASSERT_TRUE(h_.Load());
    auto& unit = h_.Get<ButtonUnit>(id);
    auto& control = dynamic_cast<HeadlessButton&>(unit.button());
    EXPECT_EQ(control.Text(), s.caption);

    unit.SetProperty(ButtonUnit::kCaption, TextValue(" \xB9\xD8\xB1\xD5"));
    EXPECT_EQ(control.Text(), " \xB9\xD8\xB1\xD5");
    PropertyValue v;
    unit.GetProperty(ButtonUnit::kCaption, v);
    EXPECT_EQ(v.bytes, " \xB9\xD8\xB1\xD5");

    h_.ClearEvents();
    ASSERT_TRUE(control.UserClick());
    EXPECT_EQ(h_.Count(id, ButtonUnit::kEventClicked), 1);
    // A disabled button cannot be clicked.
    unit.SetEnabled(false);
    EXPECT_FALSE(control.UserClick());
    EXPECT_EQ(h_.Count(id, ButtonUnit::kEventClicked), 1);
}

TEST_F(ButtonTest, StyleWritesClampAndReachTheControl) {
    auto id = h_.Add(kUnitButton, ButtonSettings{}.Save(), {0, 0, 60, 20});
    ASSERT_TRUE(h_.Load());
    auto& unit = h_.Get<ButtonUnit>(id);
    auto& control = dynamic_cast<HeadlessButton&>(unit.button());
    EXPECT_EQ(control.Text(), "\xB0\xB4\xC5\xA5");  // the default caption
    unit.SetProperty(ButtonUnit::kDefaultButton, NumberValue(3));
    EXPECT_TRUE(control.IsDefault());
    PropertyValue v;
    unit.GetProperty(ButtonUnit::kDefaultButton, v);
    EXPECT_EQ(v.number, 1);
    unit.SetProperty(ButtonUnit::kHAlign, NumberValue(8));
    unit.GetProperty(ButtonUnit::kHAlign, v);
    EXPECT_EQ(v.number, 2);
    // A picture is stored, and the unit asks to be rebuilt with it.
    EXPECT_EQ(unit.SetProperty(ButtonUnit::kPicture, TextValue("BM..")), 1);
    unit.GetProperty(ButtonUnit::kPicture, v);
    EXPECT_EQ(v.bytes, "BM..");
    EXPECT_EQ(ButtonTypeDescriptor().properties.size(), 8u + ButtonUnit::kFont + 1);
}

TEST_F(ButtonTest, StoredPicturesReachTheirControls) {
    ButtonSettings b;
    b.picture = std::string("BM\x00\x01", 4);
    CheckBoxSettings c;
    c.picture = "GIF89a";
    auto button = h_.Add(kUnitButton, b.Save(), {0, 0, 60, 20});
    auto box = h_.Add(kUnitCheckBox, c.Save(), {0, 30, 60, 20});
    auto plain = h_.Add(kUnitButton, ButtonSettings{}.Save(), {0, 60, 60, 20});
    ASSERT_TRUE(h_.Load());
    EXPECT_EQ(h_.Get<ButtonUnit>(button).button().Picture(), b.picture);
    EXPECT_EQ(h_.Get<CheckBoxUnit>(box).check_box().Picture(), c.picture);
    EXPECT_EQ(h_.Get<ButtonUnit>(plain).button().Picture(), "");
}

}  // namespace
}  // namespace kesu::units
