#include "units/combo_box/combo_box.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/headless/headless.h"
#include "tests/units/common/unit_harness.h"
#include "units/common/block_fields.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessComboBox;
using testing::UnitHarness;

// GBK items of the parity box, stored in reverse order.
const std::vector<std::string> kParityItems = {
    "4\xBF\xD5\xB0\xD7\xD0\xA3\xD1\xE9", "3\xB1\xEA\xD6\xBE\xD0\xA3\xD1\xE9",
    "2\xC5\xBC\xD0\xA3\xD1\xE9", "1\xC6\xE6\xD0\xA3\xD1\xE9", "0\xCE\xDE\xD0\xA3\xD1\xE9"};

class ComboBoxTest : public ::testing::Test {
  protected:
    std::uint32_t Load(const ComboBoxSettings& s) {
        std::uint32_t id = h_.Add(kUnitComboBox, s.Save(), {69, 25, 75, 25});
        EXPECT_TRUE(h_.Load());
        h_.ClearEvents();
        return id;
    }
    ComboBoxUnit& Unit(std::uint32_t id) { return h_.Get<ComboBoxUnit>(id); }
    HeadlessComboBox& Control(std::uint32_t id) {
        return dynamic_cast<HeadlessComboBox&>(Unit(id).combo());
    }
    PropertyValue Read(std::uint32_t id, int index) {
        PropertyValue v;
        EXPECT_EQ(Unit(id).GetProperty(index, v), 1);
        return v;
    }
    int AddItem(std::uint32_t id, const char* text, std::optional<std::int32_t> data = {}) {
        ArgRecord args[3] = {UnitHarness::Reference(id, kUnitComboBox), ArgRecord::Text(text),
                             data ? ArgRecord::Int(*data) : ArgRecord{}};
        ResultRecord r;
        AddItemCommand(&r, 3, args);
        return r.AsInt();
    }

    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

TEST_F(ComboBoxTest, ListIndexClampsWithoutEvents) {
    ComboBoxSettings s;
    s.listType = 2;
    s.items = {"a", "b", "c", "d", "e"};
    auto id = Load(s);
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, -1);
    Unit(id).SetProperty(ComboBoxUnit::kListIndex, NumberValue(99));
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, 4);
    EXPECT_EQ(Control(id).Text(), "e");
    Unit(id).SetProperty(ComboBoxUnit::kListIndex, NumberValue(-7));
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, -1);
    Unit(id).SetProperty(ComboBoxUnit::kListIndex, NumberValue(2));
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, 2);
    EXPECT_TRUE(h_.EventsOf(id).empty());
    // On an empty list every value selects nothing.
    Unit(id).ClearItems();
    Unit(id).SetProperty(ComboBoxUnit::kListIndex, NumberValue(3));
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, -1);
}

TEST_F(ComboBoxTest, SortedBoxShowsItsItemsInOrderAndAddItemReturnsThePlace) {
    ComboBoxSettings s;
    s.listType = 2;
    s.sorted = true;
    s.items = kParityItems;
    s.itemData = {40, 30, 20, 10, 0};
    s.listIndex = 0;
    auto id = Load(s);
    EXPECT_EQ(Control(id).Item(0), kParityItems[4]);
    EXPECT_EQ(Control(id).Text(), kParityItems[4]);
    // Each stored data value follows its own item into its sorted place.
    EXPECT_EQ(Control(id).ItemData(0), 0u);
    EXPECT_EQ(Control(id).ItemData(4), 40u);
    EXPECT_EQ(AddItem(id, "25", 77), 2);
    EXPECT_EQ(Control(id).Item(2), "25");
    EXPECT_EQ(Control(id).ItemData(2), 77u);
    EXPECT_EQ(AddItem(id, "9"), 6);
    EXPECT_EQ(Control(id).ItemData(6), 0u);
}

TEST_F(ComboBoxTest, UnsortedAddItemAppendsAndItemsKeepTheStoredList) {
    ComboBoxSettings s;
    s.items = {"COM1"};
    auto id = Load(s);
    EXPECT_EQ(AddItem(id, "COM3"), 1);
    EXPECT_EQ(AddItem(id, "COM2"), 2);
    ArgRecord clear[1] = {UnitHarness::Reference(id, kUnitComboBox)};
    ResultRecord r;
    ClearItemsCommand(&r, 1, clear);
    EXPECT_EQ(Control(id).Count(), 0);
    // Items reads the stored list in its stored form, untouched by the methods.
    std::string stored = Read(id, ComboBoxUnit::kItems).bytes;
    BlockReader in(stored);
    std::vector<std::string> items;
    ReadTextList(in, items);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(items, (std::vector<std::string>{"COM1"}));
}

TEST_F(ComboBoxTest, ItemsWritesRebuildTheListAndRefuseDamagedLists) {
    ComboBoxSettings s;
    s.items = {"old"};
    auto id = Load(s);
    BlockWriter list;
    WriteTextList(list, {"x", "y"});
    std::string good = list.Take();
    EXPECT_EQ(Unit(id).SetProperty(ComboBoxUnit::kItems, TextValue(good.substr(0, 9))), 0);
    EXPECT_EQ(Read(id, ComboBoxUnit::kItems).bytes.size(), 4u + 4 + 3);
    EXPECT_EQ(Unit(id).SetProperty(ComboBoxUnit::kItems, TextValue(good)), 1);
    EXPECT_EQ(Read(id, ComboBoxUnit::kItems).bytes, good);
    // Through the runtime the unit is rebuilt from the new list.
    BlockWriter three;
    WriteTextList(three, {"a", "b", "c"});
    std::string bytes = three.Take();
    std::uint8_t* set = MakeByteSet(bytes.data(), bytes.size());
    WriteUnitProperty(testing::kWindowId, id, 8 + ComboBoxUnit::kItems, 0,
                      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(set)),
                      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(set) >> 32));
    MemFree(set);
    EXPECT_EQ(Control(id).Count(), 3);
    EXPECT_EQ(Control(id).Item(2), "c");
}

TEST_F(ComboBoxTest, ContentSetAfterTheSelection) {
    ComboBoxSettings s;
    s.listType = 1;
    s.items = {"110", "300", "600", "1200", "2400", "4800", "9600"};
    s.listIndex = 6;
    s.content = "115200";
    auto id = Load(s);
    EXPECT_EQ(Read(id, ComboBoxUnit::kListIndex).number, 6);
    EXPECT_EQ(Read(id, ComboBoxUnit::kContent).bytes, "115200");
    Unit(id).SetProperty(ComboBoxUnit::kContent, TextValue("57600"));
    EXPECT_EQ(Read(id, ComboBoxUnit::kContent).bytes, "57600");
}

TEST_F(ComboBoxTest, DropDownListIgnoresContentWrites) {
    ComboBoxSettings s;
    s.listType = 2;
    s.items = {"8"};
    s.listIndex = 0;
    auto id = Load(s);
    Unit(id).SetProperty(ComboBoxUnit::kContent, TextValue("x"));
    EXPECT_EQ(Read(id, ComboBoxUnit::kContent).bytes, "8");
}

TEST_F(ComboBoxTest, DroppingDownFiresBeforeTheListOpens) {
    ComboBoxSettings s;
    s.listType = 2;
    auto id = Load(s);
    bool openDuringHandler = true;
    testing::EventHook() = [&](const testing::RecordedEvent& e) {
        if (e.event != ComboBoxUnit::kEventDroppingDown) return;
        openDuringHandler = Control(id).DroppedDown();
        // The handler fills the list the user is about to see.
        Unit(id).AddItem("COM1", 0);
    };
    ASSERT_TRUE(Control(id).UserDropDown());
    EXPECT_FALSE(openDuringHandler);
    EXPECT_TRUE(Control(id).DroppedDown());
    EXPECT_EQ(Control(id).Count(), 1);
}

TEST_F(ComboBoxTest, SelectionMadeComesAfterTheTextIsUpdated) {
    ComboBoxSettings s;
    s.items = {"4", "5", "6"};
    auto id = Load(s);
    std::string seen;
    testing::EventHook() = [&](const testing::RecordedEvent& e) {
        if (e.event == ComboBoxUnit::kEventSelectionMade) {
            seen = Read(id, ComboBoxUnit::kContent).bytes;
        }
    };
    ASSERT_TRUE(Control(id).UserPick(1));
    headless_.loop().ProcessPending();
    EXPECT_EQ(seen, "5");
    EXPECT_EQ(h_.EventsOf(id),
              (std::vector<int>{ComboBoxUnit::kEventDroppingDown, ComboBoxUnit::kEventClosedUp,
                                ComboBoxUnit::kEventSelectionMade}));
    h_.ClearEvents();
    ASSERT_TRUE(Control(id).UserType("x"));
    EXPECT_EQ(h_.EventsOf(id), (std::vector<int>{ComboBoxUnit::kEventEditChanged}));
}

TEST_F(ComboBoxTest, SelectionPostedBeforeTheUnitIsGoneIsDropped) {
    ComboBoxSettings s;
    s.items = {"4"};
    auto id = Load(s);
    ASSERT_TRUE(Control(id).UserPick(0));
    DestroyAllWindows();
    headless_.loop().ProcessPending();
    EXPECT_EQ(h_.Count(id, ComboBoxUnit::kEventSelectionMade), 0);
}

TEST_F(ComboBoxTest, EditSelectionRulesAndClamps) {
    ComboBoxSettings s;
    s.content = "abcdef";
    auto id = Load(s);
    Unit(id).SetProperty(ComboBoxUnit::kSelStart, NumberValue(-1));
    EXPECT_EQ(Read(id, ComboBoxUnit::kSelStart).number, 6);
    Unit(id).SetProperty(ComboBoxUnit::kSelLength, NumberValue(-1));
    EXPECT_EQ(Read(id, ComboBoxUnit::kSelText).bytes, "abcdef");
    Unit(id).SetProperty(ComboBoxUnit::kSelStart, NumberValue(1));
    Unit(id).SetProperty(ComboBoxUnit::kSelLength, NumberValue(2));
    EXPECT_EQ(Read(id, ComboBoxUnit::kSelText).bytes, "bc");
    Unit(id).SetProperty(ComboBoxUnit::kSelText, TextValue("XY"));
    EXPECT_EQ(Read(id, ComboBoxUnit::kContent).bytes, "aXYdef");
    Unit(id).SetProperty(ComboBoxUnit::kMaxLength, NumberValue(70000));
    EXPECT_EQ(Read(id, ComboBoxUnit::kMaxLength).number, 32767);
    Unit(id).SetProperty(ComboBoxUnit::kItemHeight, NumberValue(-3));
    EXPECT_EQ(Read(id, ComboBoxUnit::kItemHeight).number, 0);
}

TEST_F(ComboBoxTest, ListTypeChangesRecreateAndSwapTheDefaultBackground) {
    ComboBoxSettings s;
    s.listType = 0;
    s.backColour = 0xFF000000;
    auto id = Load(s);
    EXPECT_EQ(Unit(id).SetProperty(ComboBoxUnit::kListType, NumberValue(0)), 0);
    EXPECT_EQ(Unit(id).SetProperty(ComboBoxUnit::kListType, NumberValue(2)), 1);
    EXPECT_EQ(Read(id, ComboBoxUnit::kBackColour).number, 0xFFFFFF);
    EXPECT_EQ(Unit(id).SetProperty(ComboBoxUnit::kListType, NumberValue(0)), 1);
    EXPECT_EQ(Read(id, ComboBoxUnit::kBackColour).number, 0xFF000000);
    // Through the runtime the unit is rebuilt as a drop-down list.
    WriteUnitProperty(testing::kWindowId, id, 8 + ComboBoxUnit::kListType, 0, 2, 0);
    EXPECT_EQ(Unit(id).combo().Style().kind, platform::ComboKind::DropDownList);
    EXPECT_EQ(ComboBoxTypeDescriptor().properties.size(), 8u + ComboBoxUnit::kBindingFlag + 1);
}

}  // namespace
}  // namespace kesu::units
