#include "units/check_box/check_box_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

RawBlock checkBlock(std::int64_t version, std::int64_t checked) {
    RawBlock b;
    b.words({version, 1, 0, 1, 2, 0, 0x00FF0090, 0xFF000000, checked});
    b.counted("").counted("").counted("\xB8\xDF\xB5\xE7\xC6\xBD");
    if (version >= 2) b.counted("s").counted("c");
    return b;
}

TEST(CheckBoxSettings, ReadsBothVersionsInStoredOrder) {
    CheckBoxSettings s;
    ASSERT_TRUE(s.Load(checkBlock(1, 1)));
    EXPECT_TRUE(s.pushLike);
    EXPECT_FALSE(s.flat);
    EXPECT_TRUE(s.textLeft);
    EXPECT_EQ(s.hAlign, 2);
    EXPECT_EQ(s.vAlign, 0);
    EXPECT_EQ(s.textColour, 0x00FF0090u);
    EXPECT_EQ(s.backColour, 0xFF000000u);
    EXPECT_TRUE(s.checked);
    EXPECT_EQ(s.caption, "\xB8\xDF\xB5\xE7\xC6\xBD");
    EXPECT_TRUE(s.dataSource.empty());
    ASSERT_TRUE(s.Load(checkBlock(2, 1)));
    EXPECT_EQ(s.dataColumn, "c");
    EXPECT_EQ(s.Save(), checkBlock(2, 1).str());
    EXPECT_FALSE(s.Load(checkBlock(3, 1)));
}

TEST(CheckBoxSettings, OnlyAStoredOneMarksTheBox) {
    CheckBoxSettings s;
    ASSERT_TRUE(s.Load(checkBlock(2, 5)));
    EXPECT_FALSE(s.checked);
    ASSERT_TRUE(s.Load(checkBlock(2, 0)));
    EXPECT_FALSE(s.checked);
}

}  // namespace
}  // namespace kesu::units
