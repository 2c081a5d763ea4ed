#include "units/edit_box/edit_box.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "runtime/value.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using platform::headless::HeadlessEdit;
using testing::UnitHarness;

constexpr int kChanged = EditBoxUnit::kEventChanged;

class EditBoxTest : public ::testing::Test {
  protected:
    // Adds an edit box with the given settings and loads the window.
    std::uint32_t Load(const EditBoxSettings& s, platform::Rect place = {10, 10, 200, 60}) {
        std::uint32_t id = h_.Add(kUnitEditBox, s.Save(), place);
        EXPECT_TRUE(h_.Load());
        h_.ClearEvents();
        return id;
    }
    EditBoxUnit& Box(std::uint32_t id) { return h_.Get<EditBoxUnit>(id); }
    HeadlessEdit& Control(std::uint32_t id) { return dynamic_cast<HeadlessEdit&>(Box(id).edit()); }
    PropertyValue Read(std::uint32_t id, int index) {
        PropertyValue v;
        EXPECT_EQ(Box(id).GetProperty(index, v), 1);
        return v;
    }
    int Write(std::uint32_t id, int index, PropertyValue v) {
        return Box(id).SetProperty(index, v);
    }
    void AddText(std::uint32_t id, std::initializer_list<const char*> pieces) {
        std::vector<ArgRecord> args{UnitHarness::Reference(id, kUnitEditBox)};
        for (const char* p : pieces) args.push_back(ArgRecord::Text(p));
        ResultRecord r;
        AddTextCommand(&r, static_cast<int>(args.size()), args.data());
    }

    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    UnitHarness h_;
};

// The box that gets the first focus when its window shows hears about it once, although the
// control reports the focus change and the loader announces it as well.
TEST_F(EditBoxTest, FirstFocusAtLoadRaisesGotFocusOnce) {
    std::uint32_t id = h_.Add(kUnitEditBox, EditBoxSettings{}.Save(), {10, 10, 200, 60});
    ASSERT_TRUE(h_.Load());
    EXPECT_TRUE(Control(id).HasFocus());
    EXPECT_EQ(h_.Count(id, kEventGotFocus), 1);
}

TEST_F(EditBoxTest, ContentWritesFireExactlyOneChanged) {
    EditBoxSettings s;
    s.content = "start";
    auto id = Load(s);
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "start");
    Write(id, EditBoxUnit::kContent, TextValue("next"));
    EXPECT_EQ(h_.Count(id, kChanged), 1);
    // The same text again still announces one change.
    Write(id, EditBoxUnit::kContent, TextValue("next"));
    EXPECT_EQ(h_.Count(id, kChanged), 2);
    Write(id, EditBoxUnit::kContent, TextValue(""));
    EXPECT_EQ(h_.Count(id, kChanged), 3);
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "");
}

TEST_F(EditBoxTest, AddTextAppendsEveryPieceAtTheEndWhateverTheCaret) {
    EditBoxSettings s;
    s.multiLine = true;
    s.content = "0123456789";
    auto id = Load(s);
    ASSERT_TRUE(Control(id).UserSelect(3, 5));
    AddText(id, {"ab", "\xD6\xD0", "c"});
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes,
              "0123456789ab\xD6\xD0"
              "c");
    EXPECT_EQ(h_.Count(id, kChanged), 3);
    // The caret ends after the last piece and the view follows it.
    EXPECT_EQ(Read(id, EditBoxUnit::kSelStart).number, 15);
    EXPECT_EQ(Read(id, EditBoxUnit::kSelLength).number, 0);
    EXPECT_EQ(Control(id).ScrolledTo(), 15u);
    // An empty piece changes nothing and announces nothing.
    AddText(id, {""});
    EXPECT_EQ(h_.Count(id, kChanged), 3);
}

TEST_F(EditBoxTest, TextStaysByteExactThroughTheControl) {
    EditBoxSettings s;
    s.multiLine = true;
    auto id = Load(s);
    const std::string mixed = "a\r\nb\nc\rd\xB0\xA1\x80\xFF";
    Write(id, EditBoxUnit::kContent, TextValue(mixed));
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, mixed);
    // A CR ending one piece and an LF starting the next make one CR LF.
    Write(id, EditBoxUnit::kContent, TextValue(""));
    AddText(id, {"line\r", "\nnext\n", "\r\n"});
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "line\r\nnext\n\r\n");
}

TEST_F(EditBoxTest, LimitCutsAppendsButNotWholeTextWrites) {
    EditBoxSettings s;
    s.multiLine = true;
    s.maxLength = 6;
    auto id = Load(s);
    AddText(id, {"abcd", "\xD6\xD0\xCE\xC4"});
    // The second piece fits only with its first character; half a character never enters.
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "abcd\xD6\xD0");
    EXPECT_EQ(h_.Count(id, kChanged), 2);
    AddText(id, {"x"});
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "abcd\xD6\xD0");
    EXPECT_EQ(h_.Count(id, kChanged), 2);
    // A whole-text write is not bound by the typing limit, and the limit stays.
    const std::string longer(20, 'z');
    Write(id, EditBoxUnit::kContent, TextValue(longer));
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, longer);
    EXPECT_EQ(Control(id).Limit(), 6u);
    // Negative limits read back as 0, which is the platform's default limit.
    Write(id, EditBoxUnit::kMaxLength, NumberValue(-5));
    EXPECT_EQ(Read(id, EditBoxUnit::kMaxLength).number, 0);
    EXPECT_EQ(Control(id).Limit(), kDefaultTextLimit);
}

TEST_F(EditBoxTest, SelectionProperties) {
    EditBoxSettings s;
    s.content = "hello world";
    s.selStart = 2;
    s.selLength = 3;
    auto id = Load(s);
    EXPECT_EQ(Read(id, EditBoxUnit::kSelText).bytes, "llo");
    Write(id, EditBoxUnit::kSelStart, NumberValue(-1));
    EXPECT_EQ(Read(id, EditBoxUnit::kSelStart).number, 11);
    EXPECT_EQ(Read(id, EditBoxUnit::kSelLength).number, 0);
    Write(id, EditBoxUnit::kSelLength, NumberValue(-1));
    EXPECT_EQ(Read(id, EditBoxUnit::kSelStart).number, 0);
    EXPECT_EQ(Read(id, EditBoxUnit::kSelLength).number, 11);
    Write(id, EditBoxUnit::kSelStart, NumberValue(-7));
    EXPECT_EQ(Read(id, EditBoxUnit::kSelStart).number, 0);
    Write(id, EditBoxUnit::kSelStart, NumberValue(6));
    Write(id, EditBoxUnit::kSelLength, NumberValue(5));
    EXPECT_EQ(Read(id, EditBoxUnit::kSelText).bytes, "world");
    h_.ClearEvents();
    Write(id, EditBoxUnit::kSelText, TextValue("there"));
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "hello there");
    EXPECT_EQ(h_.Count(id, kChanged), 1);
    // Past the end, the selection stops at the end of the text.
    Write(id, EditBoxUnit::kSelStart, NumberValue(50));
    EXPECT_EQ(Read(id, EditBoxUnit::kSelStart).number, 11);
}

TEST_F(EditBoxTest, ColoursReachTheControl) {
    EditBoxSettings s;
    s.textColour = 0xFF0000;
    s.backColour = 0xFF000000;
    auto id = Load(s);
    EXPECT_EQ(Control(id).TextColour(), 0xFF0000u);
    EXPECT_EQ(Control(id).BackColour(), platform::kButtonFace);
    Write(id, EditBoxUnit::kTextColour, NumberValue(0xFF));
    Write(id, EditBoxUnit::kBackColour, NumberValue(0x00FF00));
    EXPECT_EQ(Control(id).TextColour(), 0xFFu);
    EXPECT_EQ(Control(id).BackColour(), 0x00FF00u);
    EXPECT_EQ(Read(id, EditBoxUnit::kTextColour).number, 0xFF);
    Write(id, EditBoxUnit::kBorderStyle, NumberValue(9));
    EXPECT_EQ(Read(id, EditBoxUnit::kBorderStyle).number, 5);
    EXPECT_EQ(Control(id).GetBorder(), platform::Border::Single);
}

TEST_F(EditBoxTest, ByteModeFiltersTypingAndNormalisesOnFocusLoss) {
    EditBoxSettings s;
    s.inputMode = 5;
    auto id = Load(s);
    ASSERT_TRUE(Control(id).UserFocus());
    for (const char* key : {"2", "a", "9"}) Control(id).UserType(key);
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "29");
    // Only the accepted keys changed the text.
    EXPECT_EQ(h_.Count(id, kChanged), 2);
    Write(id, EditBoxUnit::kContent, TextValue("300"));
    h_.ClearEvents();
    h_.Window().window().SetFocus();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "255");
    // The rewrite is announced, and the lost-focus event comes after it.
    EXPECT_EQ(h_.EventsOf(id), (std::vector<int>{kChanged, kEventLostFocus}));

    Write(id, EditBoxUnit::kContent, TextValue("0"));
    Control(id).UserFocus();
    h_.Window().window().SetFocus();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "");
    // Text that is already canonical is left alone.
    Write(id, EditBoxUnit::kContent, TextValue("42"));
    Control(id).UserFocus();
    h_.ClearEvents();
    h_.Window().window().SetFocus();
    EXPECT_EQ(h_.EventsOf(id), (std::vector<int>{kEventLostFocus}));
}

TEST_F(EditBoxTest, InputModeSwitchesReadOnlyAndPassword) {
    EditBoxSettings s;
    s.content = "secret";
    auto id = Load(s);
    Write(id, EditBoxUnit::kInputMode, NumberValue(2));
    EXPECT_TRUE(Control(id).Style().password);
    EXPECT_EQ(Control(id).Style().password_char, '*');
    Write(id, EditBoxUnit::kPasswordChar, TextValue("#x"));
    EXPECT_EQ(Control(id).Style().password_char, '#');
    EXPECT_EQ(Read(id, EditBoxUnit::kPasswordChar).bytes, "#");
    Write(id, EditBoxUnit::kInputMode, NumberValue(1));
    EXPECT_FALSE(Control(id).Style().password);
    EXPECT_TRUE(Control(id).Style().read_only);
    EXPECT_FALSE(Control(id).UserType("x"));
    Write(id, EditBoxUnit::kInputMode, NumberValue(40));
    EXPECT_EQ(Read(id, EditBoxUnit::kInputMode).number, 11);
}

TEST_F(EditBoxTest, UpperCaseBoxFoldsProgramTextButNotDoubleByteCharacters) {
    EditBoxSettings s;
    s.letterCase = 2;
    auto id = Load(s);
    Write(id, EditBoxUnit::kContent,
          TextValue("ab\xB0"
                    "a"));
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes,
              "AB\xB0"
              "a");
    AddText(id, {"x"});
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes,
              "AB\xB0"
              "aX");
}

TEST_F(EditBoxTest, RecreateIsAskedOnlyForRealChangesOfStyleProperties) {
    auto id = Load(EditBoxSettings{});
    EXPECT_EQ(Write(id, EditBoxUnit::kMultiLine, NumberValue(0)), 0);
    EXPECT_EQ(Write(id, EditBoxUnit::kAlignment, NumberValue(0)), 0);
    EXPECT_EQ(Write(id, EditBoxUnit::kAlignment, NumberValue(7)), 1);
    EXPECT_EQ(Read(id, EditBoxUnit::kAlignment).number, 2);
    EXPECT_EQ(Write(id, EditBoxUnit::kHideSelection, NumberValue(1)), 0);
    EXPECT_EQ(Write(id, EditBoxUnit::kHideSelection, NumberValue(0)), 1);
    EXPECT_EQ(Write(id, EditBoxUnit::kTextColour, NumberValue(5)), 0);
}

TEST_F(EditBoxTest, RecreatedBoxKeepsItsLiveTextAndNewStyle) {
    EditBoxSettings s;
    s.content = "kept";
    auto id = Load(s);
    AddText(id, {" and more"});
    // Through the runtime's property entry, which rebuilds the unit on a 1.
    WriteUnitProperty(testing::kWindowId, id, 8 + EditBoxUnit::kMultiLine, 0, 1, 0);
    EditBoxUnit& rebuilt = Box(id);
    EXPECT_TRUE(rebuilt.edit().Style().multi_line);
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "kept and more");
}

TEST_F(EditBoxTest, MousePointerShowsOnTheBoxAndSurvivesRecreation) {
    auto id = Load(EditBoxSettings{});
    EXPECT_EQ(Control(id).GetCursor(), platform::Cursor::Default);
    // Row 14, the hand, through the common property.
    uint8_t* row = MakeByteSet("\x0E\0\0\0", 4);
    const auto bits = reinterpret_cast<uintptr_t>(row);
    WriteUnitProperty(testing::kWindowId, id, 7, 0, static_cast<uint32_t>(bits),
                      static_cast<uint32_t>(bits >> 32));
    MemFree(row);
    // The hand is the program's own picture.
    EXPECT_EQ(Control(id).GetCursorImage(), ProgramHandCursor());
    WriteUnitProperty(testing::kWindowId, id, 8 + EditBoxUnit::kMultiLine, 0, 1, 0);
    ASSERT_TRUE(Box(id).edit().Style().multi_line);  // a new control
    EXPECT_EQ(Control(id).GetCursorImage(), ProgramHandCursor());
    // An identifier outside the table shows the default pointer.
    Box(id).SetCursorId(0x7F10);
    EXPECT_EQ(Control(id).GetCursor(), platform::Cursor::Default);
    Box(id).SetCursorId(0x7F85);
    EXPECT_EQ(Control(id).GetCursor(), platform::Cursor::SizeNS);
}

TEST_F(EditBoxTest, NewerBlockVersionFailsTheLoad) {
    std::string block = EditBoxSettings{}.Save();
    block[0] = 3;
    h_.Add(kUnitEditBox, block, {0, 0, 10, 10});
    EXPECT_FALSE(h_.Load());
}

TEST_F(EditBoxTest, SingleLineBoxGrowsToItsFontAndUserTypingAnnouncesChanges) {
    auto id = Load(EditBoxSettings{}, {0, 0, 80, 3});
    platform::Font font = headless_.ui().DefaultFont();
    int needed = headless_.ui().TextHeight(font, "\xCE\xE2") + 4;
    EXPECT_EQ(Control(id).Geometry().height, needed);
    // Loading gave the box the focus; taking it away and back raises both focus events.
    h_.Window().window().SetFocus();
    ASSERT_TRUE(Control(id).UserFocus());
    EXPECT_EQ(h_.EventsOf(id), (std::vector<int>{kEventLostFocus, kEventGotFocus}));
    Control(id).UserType("q");
    EXPECT_EQ(h_.Count(id, kChanged), 1);
}

TEST_F(EditBoxTest, UpDownCompanionStepsWithinItsRangeAndFollowsTheBox) {
    EditBoxSettings s;
    s.upDownMode = 1;
    s.upDownMin = 0;
    s.upDownMax = 100;
    s.content = "99";
    auto id = Load(s, {10, 10, 60, 24});
    auto* up = dynamic_cast<platform::headless::HeadlessButton*>(Box(id).up_arrow());
    auto* down = dynamic_cast<platform::headless::HeadlessButton*>(Box(id).down_arrow());
    ASSERT_TRUE(up && down);
    EXPECT_EQ(up->Geometry().left, 70);
    for (int i = 0; i < 3; ++i) up->UserClick();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "100");
    EXPECT_EQ(h_.Count(id, kChanged), 3);
    Write(id, EditBoxUnit::kContent, TextValue("x"));
    down->UserClick();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "0");
    // A reversed range still steps towards the end each arrow names.
    Write(id, EditBoxUnit::kUpDownMin, NumberValue(10));
    Write(id, EditBoxUnit::kUpDownMax, NumberValue(5));
    up->UserClick();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "5");
    up->UserClick();
    down->UserClick();
    EXPECT_EQ(Read(id, EditBoxUnit::kContent).bytes, "6");

    Box(id).SetGeometry({40, 50, 80, 30});
    EXPECT_EQ(down->Geometry(), (platform::Rect{120, 65, 16, 15}));
    Box(id).SetEnabled(false);
    EXPECT_FALSE(up->UserClick());
    Box(id).SetVisible(false);
    EXPECT_FALSE(down->IsVisible());
    // Another mode rebuilds the box.
    EXPECT_EQ(Write(id, EditBoxUnit::kUpDownMode, NumberValue(2)), 1);
}

TEST_F(EditBoxTest, DescriptorListsEveryProperty) {
    EXPECT_EQ(EditBoxTypeDescriptor().properties.size(), 8u + EditBoxUnit::kDataColumn + 1);
    EXPECT_EQ(EditBoxTypeDescriptor().properties[8 + EditBoxUnit::kFont].kind, kind::kFont);
}

}  // namespace
}  // namespace kesu::units
