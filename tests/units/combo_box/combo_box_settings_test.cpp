#include "units/combo_box/combo_box_settings.h"

#include <gtest/gtest.h>

#include "tests/units/common/raw_block.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

RawBlock comboBlock(std::int64_t version) {
    RawBlock b;
    b.words({version, 2, 40, 1, 2, 1, 3, 0x10, 0x20, 4});
    b.counted("");
    RawBlock data;
    data.words({7, 8});
    b.counted(data.str());
    b.counted("115200");
    b.words({3}).counted("b").counted("a").counted("c");
    if (version >= 2) b.counted("src").counted("col");
    if (version >= 3) b.words({1});
    return b;
}

TEST(ComboBoxSettings, ReadsEveryVersionInStoredOrder) {
    ComboBoxSettings s;
    for (std::int64_t version : {1, 2, 3}) {
        ASSERT_TRUE(s.Load(comboBlock(version))) << version;
        EXPECT_EQ(s.listType, 2);
        EXPECT_EQ(s.maxLength, 40);
        EXPECT_EQ(s.selStart, 1);
        EXPECT_EQ(s.selLength, 2);
        EXPECT_TRUE(s.sorted);
        EXPECT_EQ(s.itemHeight, 3);
        EXPECT_EQ(s.textColour, 0x10u);
        EXPECT_EQ(s.backColour, 0x20u);
        EXPECT_EQ(s.listIndex, 4);
        EXPECT_EQ(s.itemData, (std::vector<std::int32_t>{7, 8}));
        EXPECT_EQ(s.content, "115200");
        EXPECT_EQ(s.items, (std::vector<std::string>{"b", "a", "c"}));
        EXPECT_EQ(s.dataSource, version >= 2 ? "src" : "");
        EXPECT_EQ(s.bindingFlag, version >= 3 ? 1 : 0);
    }
    EXPECT_EQ(s.Save(), comboBlock(3).str());
    EXPECT_FALSE(s.Load(comboBlock(4)));
}

TEST(ComboBoxSettings, DamagedItemListsFailWithoutHugeAllocations) {
    RawBlock b;
    b.words({3, 1, 0, 0, 0, 0, 1, 0, 0xFFFFFF, -1});
    b.counted("").counted("").counted("");
    RawBlock huge = b;
    huge.words({0x7FFFFFFF});
    ComboBoxSettings s;
    EXPECT_FALSE(s.Load(huge));
    RawBlock negative = b;
    negative.words({-2});
    EXPECT_FALSE(s.Load(negative));
    RawBlock cut = b;
    cut.words({2}).counted("one");
    EXPECT_FALSE(s.Load(cut));
}

TEST(ComboBoxSettings, ItemDataIgnoresAShortTail) {
    std::string packed = ComboBoxSettings::packItemData({1, -1});
    ASSERT_EQ(packed.size(), 8u);
    EXPECT_EQ(ComboBoxSettings::unpackItemData(packed + "xy"), (std::vector<std::int32_t>{1, -1}));
    EXPECT_TRUE(ComboBoxSettings::unpackItemData("abc").empty());
}

}  // namespace
}  // namespace kesu::units
