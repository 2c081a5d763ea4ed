#include "units/group_box/group_box.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessGroupBox;
using testing::UnitHarness;

class GroupBoxTest : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

TEST_F(GroupBoxTest, HoldsItsChildrenAndShowsItsCaption) {
    GroupBoxSettings g;
    g.caption = "\xD0\xC5\xBA\xC5\xB2\xD9\xD7\xF7";  // 信号操作
    g.hAlign = 1;
    auto group = h_.Add(kUnitGroupBox, g.Save(), {8, 206, 140, 74});
    CheckBoxSettings c;
    auto check = h_.Add(kUnitCheckBox, c.Save(), {72, 17, 64, 25}, group);
    LabelSettings l;
    auto label = h_.Add(kUnitLabel, l.Save(), {10, 17, 50, 25}, group);
    ASSERT_TRUE(h_.Load());

    auto& unit = h_.Get<GroupBoxUnit>(group);
    auto& box = dynamic_cast<HeadlessGroupBox&>(unit.group_box());
    EXPECT_EQ(box.Text(), g.caption);
    EXPECT_EQ(box.Alignment(), platform::HAlign::Centre);
    auto* checkNode =
        dynamic_cast<platform::headless::Node*>(h_.Get<CheckBoxUnit>(check).control());
    auto* labelNode = dynamic_cast<platform::headless::Node*>(h_.Get<LabelUnit>(label).control());
    EXPECT_EQ(checkNode->ParentNode(), &box);
    EXPECT_EQ(labelNode->ParentNode(), &box);
    // Places of children are within the group box.
    EXPECT_EQ(h_.Get<CheckBoxUnit>(check).Geometry(), (UnitRect{72, 17, 64, 25}));
    // Hiding the group box hides what it holds.
    unit.SetVisible(false);
    EXPECT_FALSE(h_.Get<CheckBoxUnit>(check).IsVisible());

    unit.SetProperty(GroupBoxUnit::kCaption, TextValue("x"));
    unit.SetProperty(GroupBoxUnit::kTextColour, NumberValue(0xFF));
    unit.SetProperty(GroupBoxUnit::kHAlign, NumberValue(-2));
    EXPECT_EQ(box.Text(), "x");
    EXPECT_EQ(box.TextColour(), 0xFFu);
    EXPECT_EQ(box.Alignment(), platform::HAlign::Left);
    std::string block;
    unit.Save(block);
    GroupBoxSettings saved;
    ASSERT_TRUE(saved.Load(block));
    EXPECT_EQ(saved.caption, "x");
    EXPECT_EQ(GroupBoxTypeDescriptor().properties.size(), 8u + GroupBoxUnit::kFont + 1);
}

}  // namespace
}  // namespace kesu::units
