#include "units/button/button_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

TEST(ButtonSettings, ReadsStoredOrderAndRefusesNewerVersions) {
    RawBlock b;
    b.words({1, 1, 2, 0}).counted("PIC").counted("").counted("Go");
    ButtonSettings s;
    ASSERT_TRUE(s.Load(b));
    EXPECT_TRUE(s.defaultButton);
    EXPECT_EQ(s.hAlign, 2);
    EXPECT_EQ(s.vAlign, 0);
    EXPECT_EQ(s.picture, "PIC");
    EXPECT_EQ(s.caption, "Go");
    EXPECT_EQ(s.Save(), b.str());

    RawBlock newer;
    newer.words({2, 0, 1, 1}).counted("").counted("").counted("x");
    EXPECT_FALSE(s.Load(newer));
    // A failed read leaves the defaults, not half of the damaged block.
    EXPECT_EQ(s.caption, "\xB0\xB4\xC5\xA5");
}

TEST(ButtonSettings, ClampsAlignmentsAndFailsWhenCut) {
    RawBlock b;
    b.words({1, 0, 7, -3}).counted("").counted("").counted("Go");
    ButtonSettings s;
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.hAlign, 2);
    EXPECT_EQ(s.vAlign, 0);
    EXPECT_FALSE(s.Load(std::string_view(b.str()).substr(0, b.str().size() - 1)));
}

}  // namespace
}  // namespace kesu::units
