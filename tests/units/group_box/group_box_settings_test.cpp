#include "units/group_box/group_box_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

TEST(GroupBoxSettings, ReadsStoredOrderAndRefusesNewerVersions) {
    RawBlock b;
    b.words({1, 5, 0xFF, 0xFFFFFF}).counted("").counted("\xBD\xD3\xCA\xD5\xC7\xF8");
    GroupBoxSettings s;
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.hAlign, 2);
    EXPECT_EQ(s.textColour, 0xFFu);
    EXPECT_EQ(s.backColour, 0xFFFFFFu);
    EXPECT_EQ(s.caption, "\xBD\xD3\xCA\xD5\xC7\xF8");
    RawBlock newer;
    newer.words({2, 0, 0, 0}).counted("").counted("x");
    EXPECT_FALSE(s.Load(newer));
    EXPECT_FALSE(s.Load(RawBlock().words({1, 0, 0})));
}

}  // namespace
}  // namespace kesu::units
