#include "units/edit_box/edit_box_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

// The receive box of the main window, field by field in stored order.
RawBlock receiveBoxBlock(std::int64_t version) {
    RawBlock b;
    b.words({version, 1, 0, 0xFFFFFF, 1, 0, 1, 2, 0, 0}).half(0x2A);
    b.words({0, 0, 0, 100, 0, 0});
    b.counted(std::string(60, '\0')).counted("\r\n usage\r\n");
    if (version >= 2) b.counted("source").counted("column");
    return b;
}

TEST(EditBoxSettings, ReadsEveryFieldInStoredOrder) {
    EditBoxSettings s;
    RawBlock b;
    b.words({2, 3, 0x0000FF, 0x00FF00, 0, 77, 1, 3, 2, 4}).half('#');
    b.words({2, 1, -10, 10, 5, 6});
    b.counted("").counted("abc").counted("ds").counted("dc");
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.borderStyle, 3);
    EXPECT_EQ(s.textColour, 0x0000FFu);
    EXPECT_EQ(s.backColour, 0x00FF00u);
    EXPECT_FALSE(s.hideSelection);
    EXPECT_EQ(s.maxLength, 77);
    EXPECT_TRUE(s.multiLine);
    EXPECT_EQ(s.scrollBars, 3);
    EXPECT_EQ(s.alignment, 2);
    EXPECT_EQ(s.inputMode, 4);
    EXPECT_EQ(s.passwordChar, '#');
    EXPECT_EQ(s.letterCase, 2);
    EXPECT_EQ(s.upDownMode, 1);
    EXPECT_EQ(s.upDownMin, -10);
    EXPECT_EQ(s.upDownMax, 10);
    EXPECT_EQ(s.selStart, 5);
    EXPECT_EQ(s.selLength, 6);
    EXPECT_EQ(s.content, "abc");
    EXPECT_EQ(s.dataSource, "ds");
    EXPECT_EQ(s.dataColumn, "dc");
    // Written back, the block is byte for byte what was read.
    EXPECT_EQ(s.Save(), b.str());
}

TEST(EditBoxSettings, VersionsUpToTwoLoadAndNewerOnesFail) {
    EditBoxSettings s;
    ASSERT_TRUE(s.Load(receiveBoxBlock(1)));
    EXPECT_EQ(s.content, "\r\n usage\r\n");
    EXPECT_TRUE(s.dataSource.empty());
    EXPECT_EQ(s.scrollBars, 2);
    ASSERT_TRUE(s.Load(receiveBoxBlock(2)));
    EXPECT_EQ(s.dataColumn, "column");
    EXPECT_FALSE(s.Load(receiveBoxBlock(3)));
    // A damaged version word that reads negative is not an old version.
    EXPECT_FALSE(s.Load(receiveBoxBlock(-1)));
}

TEST(EditBoxSettings, TruncatedOrEmptyBlocksFail) {
    EditBoxSettings s;
    std::string full = receiveBoxBlock(2).str();
    EXPECT_FALSE(s.Load(std::string_view()));
    EXPECT_FALSE(s.Load(std::string_view(full).substr(0, 30)));
    // A counted text that claims more bytes than remain.
    EXPECT_FALSE(s.Load(std::string_view(full).substr(0, full.size() - 3)));
    EXPECT_TRUE(s.Load(full));
}

TEST(EditBoxSettings, OutOfRangeChoicesAreClampedOnLoad) {
    EditBoxSettings s;
    RawBlock b;
    b.words({2, 9, 0, 0, 1, -5, 0, 7, -2, 40}).half('*');
    b.words({6, 3, 0, 100, 0, 0});
    b.counted("").counted("").counted("").counted("");
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.borderStyle, 5);
    EXPECT_EQ(s.maxLength, 0);
    EXPECT_EQ(s.scrollBars, 3);
    EXPECT_EQ(s.alignment, 0);
    EXPECT_EQ(s.inputMode, 11);
    EXPECT_EQ(s.letterCase, 2);
    EXPECT_EQ(s.upDownMode, 2);
}

}  // namespace
}  // namespace kesu::units
