#include "units/check_box/check_box.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "runtime/properties.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessCheckBox;
using testing::UnitHarness;

class CheckBoxTest : public ::testing::Test {
  protected:
    std::uint32_t Load(const CheckBoxSettings& s, std::uint32_t state = state_flag::kVisible) {
        std::uint32_t id = h_.Add(kUnitCheckBox, s.Save(), {72, 17, 64, 25}, 0, state);
        EXPECT_TRUE(h_.Load());
        h_.ClearEvents();
        return id;
    }
    CheckBoxUnit& Unit(std::uint32_t id) { return h_.Get<CheckBoxUnit>(id); }
    HeadlessCheckBox& Control(std::uint32_t id) {
        return dynamic_cast<HeadlessCheckBox&>(Unit(id).check_box());
    }
    std::int64_t Checked(std::uint32_t id) {
        PropertyValue v;
        Unit(id).GetProperty(CheckBoxUnit::kChecked, v);
        return v.number;
    }

    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

TEST_F(CheckBoxTest, ClickTogglesBeforeClickedFires) {
    auto id = Load(CheckBoxSettings{});
    std::vector<std::int64_t> seen;
    testing::EventHook() = [&](const testing::RecordedEvent& e) {
        if (e.event == CheckBoxUnit::kEventClicked) seen.push_back(Checked(id));
    };
    ASSERT_TRUE(Control(id).UserClick());
    ASSERT_TRUE(Control(id).UserClick());
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 0}));
    EXPECT_EQ(h_.Count(id, CheckBoxUnit::kEventClicked), 2);
}

TEST_F(CheckBoxTest, CheckedWritesMarkOnlyForOneAndFireNothing) {
    auto id = Load(CheckBoxSettings{});
    Unit(id).SetProperty(CheckBoxUnit::kChecked, NumberValue(1));
    EXPECT_TRUE(Control(id).IsChecked());
    EXPECT_EQ(Checked(id), 1);
    Unit(id).SetProperty(CheckBoxUnit::kChecked, NumberValue(5));
    EXPECT_FALSE(Control(id).IsChecked());
    EXPECT_EQ(Checked(id), 0);
    EXPECT_EQ(h_.Count(id, CheckBoxUnit::kEventClicked), 0);
}

// The same rules hold when the program writes through the runtime's property entry, which
// hands a logical property's word to the unit as it was written.
TEST_F(CheckBoxTest, CheckedWrittenThroughTheRuntimeMarksOnlyForOne) {
    auto id = Load(CheckBoxSettings{});
    const int checked = int{kFirstTypeProperty} + CheckBoxUnit::kChecked;
    WriteProperty(testing::kWindowId, id, checked, 0, 1, 0);
    EXPECT_TRUE(Control(id).IsChecked());
    EXPECT_EQ(ReadProperty(testing::kWindowId, id, checked, 0), 1u);
    WriteProperty(testing::kWindowId, id, checked, 0, 5, 0);
    EXPECT_FALSE(Control(id).IsChecked());
    EXPECT_EQ(ReadProperty(testing::kWindowId, id, checked, 0), 0u);
    const int push_like = int{kFirstTypeProperty} + CheckBoxUnit::kPushLike;
    WriteProperty(testing::kWindowId, id, push_like, 0, 2, 0);
    EXPECT_EQ(ReadProperty(testing::kWindowId, id, push_like, 0), 0u);
    EXPECT_EQ(h_.Count(id, CheckBoxUnit::kEventClicked), 0);
}

TEST_F(CheckBoxTest, StartsFromItsStoredLookAndStaysDisabledUntilEnabled) {
    CheckBoxSettings s;
    s.caption = "\xB8\xDF\xB5\xE7\xC6\xBD";  // 高电平
    s.textColour = 0x00FF0090;
    s.checked = true;
    auto id = Load(s, state_flag::kVisible | state_flag::kDisabled | state_flag::kTabStop);
    EXPECT_EQ(Control(id).Text(), s.caption);
    EXPECT_EQ(Control(id).TextColour(), 0x00FF0090u);
    EXPECT_EQ(Control(id).BackColour(), platform::kButtonFace);
    EXPECT_TRUE(Control(id).IsChecked());
    EXPECT_FALSE(Control(id).UserClick());
    EXPECT_TRUE(Control(id).IsChecked());
    Unit(id).SetEnabled(true);
    EXPECT_TRUE(Control(id).UserClick());
    EXPECT_EQ(Checked(id), 0);
    // The saved block keeps the mark the user left.
    std::string block;
    ASSERT_EQ(Unit(id).Save(block), 1);
    CheckBoxSettings saved;
    ASSERT_TRUE(saved.Load(block));
    EXPECT_FALSE(saved.checked);
}

TEST_F(CheckBoxTest, PropertyWritesReachTheControl) {
    auto id = Load(CheckBoxSettings{});
    Unit(id).SetProperty(CheckBoxUnit::kCaption, TextValue("HEX"));
    Unit(id).SetProperty(CheckBoxUnit::kTextColour, NumberValue(0x800080));
    Unit(id).SetProperty(CheckBoxUnit::kBackColour, NumberValue(0xFFFFFF));
    EXPECT_EQ(Control(id).Text(), "HEX");
    EXPECT_EQ(Control(id).TextColour(), 0x800080u);
    EXPECT_EQ(Control(id).BackColour(), 0xFFFFFFu);
    PropertyValue v;
    Unit(id).SetProperty(CheckBoxUnit::kVAlign, NumberValue(-4));
    Unit(id).GetProperty(CheckBoxUnit::kVAlign, v);
    EXPECT_EQ(v.number, 0);
    Unit(id).SetProperty(CheckBoxUnit::kPushLike, NumberValue(2));
    Unit(id).GetProperty(CheckBoxUnit::kPushLike, v);
    EXPECT_EQ(v.number, 0);
    EXPECT_EQ(CheckBoxTypeDescriptor().properties.size(), 8u + CheckBoxUnit::kDataColumn + 1);
}

}  // namespace
}  // namespace kesu::units
