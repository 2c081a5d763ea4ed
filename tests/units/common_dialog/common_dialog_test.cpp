#include "units/common_dialog/common_dialog.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "tests/units/common/raw_block.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using testing::RawBlock;

// GBK texts of the assistant's save dialog.
const std::string kTextFilter =
    "\xCE\xC4\xB1\xBE\xCE\xC4\xBC\xFE(*.TXT)|*.TXT|\xCB\xF9\xD3\xD0\xCE\xC4\xBC\xFE(*.*)|*.*";

std::unique_ptr<CommonDialogUnit> MakeDialog(const CommonDialogSettings& s) {
    std::string block = s.Save();
    UnitCreateInfo info;
    info.data = block;
    info.window_id = 0x52010001;
    info.unit_id = 0x16010001;
    return CommonDialogUnit::Create(info);
}

TEST(CommonDialogSettings, ReadsStoredOrderAndRefusesNewerVersions) {
    RawBlock b;
    b.words({1, 1, 2, 1, 0, 0, 1, 1, 0xFF, 1, 0, 1, 0, 12, 3, 99});
    b.counted("T").counted("F").counted("a|*.a").counted("D").counted("txt").counted("N");
    b.counted("H");
    CommonDialogSettings s;
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(s.dialogType, 1);
    EXPECT_EQ(s.filterIndex, 2);
    EXPECT_TRUE(s.createPrompt);
    EXPECT_FALSE(s.fileMustExist);
    EXPECT_FALSE(s.overwritePrompt);
    EXPECT_TRUE(s.pathMustExist);
    EXPECT_TRUE(s.noChangeDir);
    EXPECT_EQ(s.fontColour, 0xFFu);
    EXPECT_TRUE(s.fontBold);
    EXPECT_FALSE(s.fontItalic);
    EXPECT_TRUE(s.fontStrikeOut);
    EXPECT_FALSE(s.fontUnderline);
    EXPECT_EQ(s.fontSize, 12);
    EXPECT_EQ(s.helpCommand, 3);
    EXPECT_EQ(s.helpContext, 99);
    EXPECT_EQ(s.title, "T");
    EXPECT_EQ(s.fileName, "F");
    EXPECT_EQ(s.filter, "a|*.a");
    EXPECT_EQ(s.initialDir, "D");
    EXPECT_EQ(s.defaultExt, "txt");
    EXPECT_EQ(s.fontName, "N");
    EXPECT_EQ(s.helpFile, "H");
    EXPECT_EQ(s.Save(), b.str());
    RawBlock newer;
    newer.words({2});
    EXPECT_FALSE(s.Load(newer));
}

TEST(CommonDialog, FilterRules) {
    EXPECT_EQ(PreparedFilter("a|*.a|"), "a|*.a|||");
    EXPECT_EQ(PreparedFilter("a|*.a||"), "a|*.a||");
    EXPECT_EQ(PreparedFilter("a|*.a  \t"), "a|*.a||");
    EXPECT_EQ(PreparedFilter("   "), "");
    EXPECT_EQ(PreparedFilter(""), "");
}

TEST(CommonDialog, FileRequestFollowsTheProperties) {
    CommonDialogSettings s;
    s.dialogType = 1;
    s.title = "\xC7\xEB";
    s.filter = kTextFilter;
    s.defaultExt = "TXT";
    s.initialDir = "/tmp";
    s.fileName = "x";
    s.noChangeDir = true;
    s.fileMustExist = false;
    auto unit = MakeDialog(s);
    ASSERT_TRUE(unit);
    platform::FileDialogRequest r = unit->FileRequest();
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, "\xC7\xEB");
    EXPECT_EQ(r.default_ext, "TXT");
    EXPECT_EQ(r.initial_dir, "/tmp");
    EXPECT_EQ(r.file_name, "x");
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[0].patterns, "*.TXT");
    EXPECT_EQ(r.filters[1].patterns, "*.*");
    EXPECT_EQ(r.filter_index, 1);
    EXPECT_EQ(r.flags, platform::ofn::kHideReadOnly | platform::ofn::kOverwritePrompt |
                           platform::ofn::kPathMustExist | platform::ofn::kNoChangeDir);

    // FilterIndex -3 reads back 0 and selects the first filter.
    unit->SetProperty(CommonDialogUnit::kFilterIndex, NumberValue(-3));
    PropertyValue v;
    ASSERT_EQ(unit->GetProperty(CommonDialogUnit::kFilterIndex, v), 1);
    EXPECT_EQ(v.number, 0);
    EXPECT_EQ(unit->FileRequest().filter_index, 1);
    // A filter of blanks passes no filter at all, and the index is 0.
    unit->SetProperty(CommonDialogUnit::kFilter, TextValue("   "));
    EXPECT_TRUE(unit->FileRequest().filters.empty());
    EXPECT_EQ(unit->FileRequest().filter_index, 0);
}

TEST(CommonDialog, WritesClampAndStore) {
    auto unit = MakeDialog(CommonDialogSettings{});
    ASSERT_TRUE(unit);
    PropertyValue v;
    unit->SetProperty(CommonDialogUnit::kDialogType, NumberValue(9));
    unit->GetProperty(CommonDialogUnit::kDialogType, v);
    EXPECT_EQ(v.number, 3);
    unit->SetProperty(CommonDialogUnit::kHelpCommand, NumberValue(-1));
    unit->GetProperty(CommonDialogUnit::kHelpCommand, v);
    EXPECT_EQ(v.number, 0);
    unit->SetProperty(CommonDialogUnit::kFontSize, NumberValue(-12));
    unit->GetProperty(CommonDialogUnit::kFontSize, v);
    EXPECT_EQ(v.number, 0);
    // A written text ends at its first zero byte, as texts do.
    unit->SetProperty(CommonDialogUnit::kTitle, TextValue(std::string("ab\0cd", 5)));
    unit->GetProperty(CommonDialogUnit::kTitle, v);
    EXPECT_EQ(v.bytes, "ab");
    // The defaults of the flags.
    unit->GetProperty(CommonDialogUnit::kFileMustExist, v);
    EXPECT_EQ(v.number, 1);
    unit->GetProperty(CommonDialogUnit::kCreatePrompt, v);
    EXPECT_EQ(v.number, 0);
    // A flag asks for its dialog option only when it is exactly 1.
    unit->SetProperty(CommonDialogUnit::kCreatePrompt, NumberValue(5));
    unit->SetProperty(CommonDialogUnit::kFileMustExist, NumberValue(2));
    unit->GetProperty(CommonDialogUnit::kCreatePrompt, v);
    EXPECT_EQ(v.number, 0);
    EXPECT_EQ(
        unit->FileRequest().flags & (platform::ofn::kCreatePrompt | platform::ofn::kFileMustExist),
        0u);
}

class CommonDialogOpen : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
};

TEST_F(CommonDialogOpen, ConfirmStoresThePathAndCancelKeepsTheOldOne) {
    CommonDialogSettings s;
    s.filter = kTextFilter;
    s.fileName = "old.txt";
    auto unit = MakeDialog(s);
    ASSERT_TRUE(unit);
    headless_.dialogs().QueueFile(std::string("/data/new.TXT"));
    EXPECT_TRUE(unit->OpenDialog());
    PropertyValue v;
    unit->GetProperty(CommonDialogUnit::kFileName, v);
    EXPECT_EQ(v.bytes, "/data/new.TXT");

    headless_.dialogs().QueueFile(std::nullopt);
    EXPECT_FALSE(unit->OpenDialog());
    unit->GetProperty(CommonDialogUnit::kFileName, v);
    EXPECT_EQ(v.bytes, "/data/new.TXT");
    auto requests = headless_.dialogs().FileRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].save);
    // The second dialog starts from the name the first one chose.
    EXPECT_EQ(requests[1].file_name, "/data/new.TXT");
}

TEST_F(CommonDialogOpen, FontDialogConvertsSizesBothWays) {
    CommonDialogSettings s;
    s.dialogType = 2;
    s.fontSize = 12;
    s.fontBold = true;
    s.fontName = "Sans";
    s.fontColour = 0xFF;
    auto unit = MakeDialog(s);
    ASSERT_TRUE(unit);
    platform::FontPick initial = unit->InitialFont();
    EXPECT_EQ(initial.font.height, -16);
    EXPECT_EQ(initial.font.weight, 700);
    EXPECT_EQ(initial.font.face, "Sans");
    EXPECT_EQ(initial.colour, 0xFFu);

    // An unanswered font dialog ends like a cancel.
    EXPECT_FALSE(unit->OpenDialog());

    platform::FontPick chosen;
    chosen.font.face = "Serif";
    chosen.font.height = -21;
    chosen.font.weight = 400;
    chosen.font.italic = true;
    chosen.colour = 0x00FF00;
    headless_.dialogs().QueueFont(chosen);
    EXPECT_TRUE(unit->OpenDialog());
    auto requests = headless_.dialogs().FontRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], initial);
    PropertyValue v;
    unit->GetProperty(CommonDialogUnit::kFontSize, v);
    EXPECT_EQ(v.number, 16);  // 21 pixels at 96 dots per inch, rounded
    unit->GetProperty(CommonDialogUnit::kFontBold, v);
    EXPECT_EQ(v.number, 0);
    unit->GetProperty(CommonDialogUnit::kFontItalic, v);
    EXPECT_EQ(v.number, 1);
    unit->GetProperty(CommonDialogUnit::kFontName, v);
    EXPECT_EQ(v.bytes, "Serif");
    unit->GetProperty(CommonDialogUnit::kFontColour, v);
    EXPECT_EQ(v.number, 0x00FF00);

    headless_.dialogs().QueueFont(std::nullopt);
    EXPECT_FALSE(unit->OpenDialog());
    unit->GetProperty(CommonDialogUnit::kFontName, v);
    EXPECT_EQ(v.bytes, "Serif");
}

}  // namespace
}  // namespace kesu::units

namespace kesu::units {
namespace {

class CommonDialogMethod : public ::testing::Test {
  protected:
    std::uint32_t Load(const CommonDialogSettings& s) {
        std::uint32_t id = h_.Add(kUnitCommonDlg, s.Save(), {0, 0, 0, 0}, 0, 0);
        EXPECT_TRUE(h_.Load());
        return id;
    }
    bool Open(std::uint32_t id) {
        ArgRecord ref = testing::UnitHarness::Reference(id, kUnitCommonDlg);
        ResultRecord r;
        OpenDialogCommand(&r, 1, &ref);
        return r.AsBool();
    }

    platform::headless::HeadlessPlatform headless_;
    platform::ScopedInstall install_{headless_};
    testing::UnitHarness h_;
};

TEST_F(CommonDialogMethod, SaveDialogThroughTheCommandBody) {
    CommonDialogSettings s;
    s.dialogType = 1;
    s.title = "\xC7\xEB\xCA\xE4\xC8\xEB";
    s.filter = kTextFilter;
    s.defaultExt = "TXT";
    auto id = Load(s);
    headless_.dialogs().QueueFile(std::string("/tmp/out"));
    EXPECT_TRUE(Open(id));
    PropertyValue v;
    h_.Get<CommonDialogUnit>(id).GetProperty(CommonDialogUnit::kFileName, v);
    // The platform adds the default extension to a name typed without one.
    EXPECT_EQ(v.bytes, "/tmp/out.TXT");
    headless_.dialogs().QueueFile(std::nullopt);
    EXPECT_FALSE(Open(id));
    h_.Get<CommonDialogUnit>(id).GetProperty(CommonDialogUnit::kFileName, v);
    EXPECT_EQ(v.bytes, "/tmp/out.TXT");
    ASSERT_EQ(headless_.dialogs().FileRequests().size(), 2u);
    EXPECT_TRUE(headless_.dialogs().FileRequests()[0].save);
    EXPECT_EQ(headless_.dialogs().FileRequests()[0].title, s.title);
}

TEST_F(CommonDialogMethod, FontDialogThroughTheCommandBodyStoresTheChoice) {
    CommonDialogSettings s;
    s.dialogType = 2;
    s.fontName = "\xCB\xCE\xCC\xE5";  // 宋体
    s.fontSize = 9;
    auto id = Load(s);
    platform::FontPick chosen;
    chosen.font.face = s.fontName;
    chosen.font.height = -16;
    chosen.font.weight = 700;
    chosen.font.underline = true;
    chosen.colour = 0x0000FF;
    headless_.dialogs().QueueFont(chosen);
    EXPECT_TRUE(Open(id));
    auto& unit = h_.Get<CommonDialogUnit>(id);
    ASSERT_EQ(headless_.dialogs().FontRequests().size(), 1u);
    EXPECT_EQ(headless_.dialogs().FontRequests()[0].font.height, -12);
    PropertyValue v;
    unit.GetProperty(CommonDialogUnit::kFontSize, v);
    EXPECT_EQ(v.number, 12);
    unit.GetProperty(CommonDialogUnit::kFontBold, v);
    EXPECT_EQ(v.number, 1);
    unit.GetProperty(CommonDialogUnit::kFontUnderline, v);
    EXPECT_EQ(v.number, 1);
    unit.GetProperty(CommonDialogUnit::kFontColour, v);
    EXPECT_EQ(v.number, 0x0000FF);
    headless_.dialogs().QueueFont(std::nullopt);
    EXPECT_FALSE(Open(id));
    unit.GetProperty(CommonDialogUnit::kFontSize, v);
    EXPECT_EQ(v.number, 12);
}

TEST_F(CommonDialogMethod, HelpAnswersZeroWithoutAHelpFile) {
    CommonDialogSettings s;
    s.dialogType = 3;
    s.helpFile = "/nonexistent/help.hlp";
    auto id = Load(s);
    EXPECT_FALSE(Open(id));
    // Closing help needs no file.
    h_.Get<CommonDialogUnit>(id).SetProperty(CommonDialogUnit::kHelpCommand, NumberValue(5));
    EXPECT_TRUE(Open(id));
    EXPECT_EQ(CommonDialogTypeDescriptor().properties.size(),
              8u + CommonDialogUnit::kHelpContext + 1);
}

}  // namespace
}  // namespace kesu::units
