#include "units/label/label_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

TEST(LabelSettings, ReadsStoredOrderWithClampedValues) {
    // The assistant's label holding "RTS输出", then values out of range.
    RawBlock b;
    b.words({2, 0, 8, 0, 0x808080, 0xFFFFFF, 0x808080, 0xFF0090, 0xFF000000, 1, 0});
    b.words({1, 2, 3, 1, 1, 0});
    b.counted(std::string(60, '\0')).counted("").counted("RTS\xCA\xE4\xB3\xF6");
    b.counted("").counted("");
    LabelSettings s;
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.frameWidth, 8);
    EXPECT_EQ(s.textColour, 0xFF0090u);
    EXPECT_EQ(s.backColour, 0xFF000000u);
    EXPECT_EQ(s.gradientColours[2], 3u);
    EXPECT_EQ(s.hAlign, 1);
    EXPECT_EQ(s.vAlign, 1);
    EXPECT_FALSE(s.wordWrap);
    EXPECT_EQ(s.font.size(), 60u);
    EXPECT_EQ(s.caption, "RTS\xCA\xE4\xB3\xF6");
    EXPECT_EQ(s.Save(), b.str());

    RawBlock wild;
    wild.words({1, 9, 2, 8, 0, 0, 0, 0, 0, 5, 12, 0, 0, 0, 7, -1, 1});
    wild.counted("").counted("").counted("x");
    ASSERT_TRUE(s.Load(wild));
    EXPECT_EQ(s.textEffect, 3);
    EXPECT_EQ(s.frameWidth, 5);
    EXPECT_EQ(s.borderStyle, 6);
    EXPECT_EQ(s.pictureLayout, 2);
    EXPECT_EQ(s.gradientMode, 8);
    EXPECT_EQ(s.hAlign, 2);
    EXPECT_EQ(s.vAlign, 0);
    EXPECT_TRUE(s.wordWrap);
    EXPECT_FALSE(s.Load(RawBlock().words({3})));
}

}  // namespace
}  // namespace kesu::units
