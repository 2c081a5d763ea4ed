// A window holding one unit of each visual type, every one with settings other
// than its defaults, built into a program image, loaded by the runtime over
// the Qt backend offscreen and rendered to a PNG. The pixels are checked where
// the units' places say their colours must show; the picture itself is written
// next to the test (or to $KESU_UNITS_PNG) for a person to look at.

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "platform/qt/qt_platform.h"
#include "tests/platform/qt_widgets.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using testing::UnitHarness;

std::string Font(int height, int weight = 400) {
    FontRecord f = DefaultInterfaceFont();
    f.height = -height;
    f.weight = weight;
    return FontToBytes(f);
}

// 0x00BBGGRR to the colour the image holds.
QColor FromRef(std::uint32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TEST(VisualUnitsRender, OneUnitOfEachTypeRendersWhereItsPlaceSays) {
    platform::qt::QtPlatform qt;
    platform::ScopedInstall install(qt);
    UnitHarness h;

    GroupBoxSettings group;
    group.caption = "\xD0\xC5\xBA\xC5\xB2\xD9\xD7\xF7";  // 信号操作
    group.font = Font(15);
    group.textColour = 0x800000;
    auto groupId = h.Add(kUnitGroupBox, group.Save(), {8, 8, 300, 150});

    LabelSettings label;
    label.caption = "RTS\xCA\xE4\xB3\xF6";  // RTS输出
    label.textColour = 0xFF0090;
    label.backColour = 0xC0FFFF;
    label.hAlign = 1;
    label.textEffect = 3;
    label.font = Font(14, 700);
    auto labelId = h.Add(kUnitLabel, label.Save(), {10, 25, 90, 28}, groupId);

    CheckBoxSettings check;
    check.caption = "\xB8\xDF\xB5\xE7\xC6\xBD";  // 高电平
    check.textColour = 0xFF0090;
    check.checked = true;
    check.font = Font(14);
    auto checkId = h.Add(kUnitCheckBox, check.Save(), {110, 25, 100, 25}, groupId,
                         state_flag::kVisible | state_flag::kDisabled);

    ButtonSettings button;
    button.caption = "\xB4\xF2\xBF\xAA\xB4\xAE\xBF\xDA";  // 打开串口
    button.font = Font(14);
    auto buttonId = h.Add(kUnitButton, button.Save(), {10, 70, 120, 30}, groupId);

    ButtonSettings disabled;
    disabled.caption = "\xCA\xD6\xB6\xAF\xB7\xA2\xCB\xCD";  // 手动发送
    disabled.hAlign = 0;
    auto disabledId = h.Add(kUnitButton, disabled.Save(), {10, 110, 120, 30}, groupId,
                            state_flag::kVisible | state_flag::kDisabled);

    ComboBoxSettings combo;
    combo.listType = 2;
    combo.sorted = true;
    combo.items = {"2\xC5\xBC\xD0\xA3\xD1\xE9", "0\xCE\xDE\xD0\xA3\xD1\xE9"};  // 2偶校验, 0无校验
    combo.listIndex = 0;
    combo.font = Font(14);
    auto comboId = h.Add(kUnitComboBox, combo.Save(), {150, 70, 130, 25}, groupId);

    EditBoxSettings edit;
    edit.multiLine = true;
    edit.scrollBars = 2;
    edit.textColour = 0xFF0000;
    edit.backColour = 0xE0FFE0;
    edit.font = Font(13);
    edit.content = "\xBD\xD3\xCA\xD5\xC7\xF8\r\n41 42 43 \r\n";  // 接收区
    auto editId = h.Add(kUnitEditBox, edit.Save(), {320, 8, 260, 150});

    EditBoxSettings count;
    count.alignment = 2;
    count.textColour = 0x0000FF;
    count.font = Font(12, 700);
    count.content = "1234";
    count.upDownMode = 1;
    count.upDownMax = 9999;
    auto countId = h.Add(kUnitEditBox, count.Save(), {320, 170, 100, 25});

    LabelSettings graded;
    graded.caption.clear();
    graded.borderStyle = LabelSettings::kGradedFrame;
    graded.frameWidth = 6;
    graded.frameColours = {0x0000FF, 0xFF000000, 0xFF0000};
    graded.gradientMode = 1;
    graded.gradientColours = {0x00FFFF, 0xFF000000, 0xFFFFFF};
    auto gradedId = h.Add(kUnitLabel, graded.Save(), {430, 170, 150, 40});

    CommonDialogSettings dialog;
    dialog.dialogType = 1;
    dialog.title = "\xC7\xEB\xCA\xE4\xC8\xEB";
    auto dialogId = h.Add(kUnitCommonDlg, dialog.Save(), {0, 0, 0, 0}, 0, 0);

    ASSERT_TRUE(h.Load());
    qt.Loop().ProcessPending();

    platform::Window& window = h.Window().window();
    window.SetText("units");
    window.SetGeometry({0, 0, 606, 240});
    window.Show(platform::WindowShow::Normal);
    qt.Loop().ProcessPending();

    const char* env = std::getenv("KESU_UNITS_PNG");
    std::string path = env && *env ? env : (std::filesystem::current_path() / "units_window.png");
    ASSERT_TRUE(platform::qt::SaveWindowPng(window, path));
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    QWidget* top = platform::qt::WidgetOf(window);

    // A point of a unit, in the picture's coordinates (the picture holds the client area).
    auto at = [&](Unit& unit, int x, int y) {
        return platform::qt::WidgetOf(*unit.control())->mapTo(top, QPoint(x, y));
    };
    // The label's background at its lower right corner, clear of the caption.
    EXPECT_EQ(image.pixelColor(at(h.Get<LabelUnit>(labelId), 86, 25)), FromRef(label.backColour));
    // The edit box's background below its two lines of text.
    EXPECT_EQ(image.pixelColor(at(h.Get<EditBoxUnit>(editId), 120, 120)), FromRef(edit.backColour));
    // Some pixels of the label carry its caption colour.
    int captionPixels = 0;
    for (int x = 0; x < 90; ++x) {
        for (int y = 0; y < 28; ++y) {
            QColor c = image.pixelColor(at(h.Get<LabelUnit>(labelId), x, y));
            captionPixels += c == FromRef(label.textColour);
        }
    }
    EXPECT_GT(captionPixels, 10);
    // The graded label: its frame from red outside to blue inside, then its
    // background from yellow on the left to white on the right.
    auto& gradedUnit = h.Get<LabelUnit>(gradedId);
    EXPECT_EQ(image.pixelColor(at(gradedUnit, 0, 20)), FromRef(0x0000FF));
    EXPECT_EQ(image.pixelColor(at(gradedUnit, 5, 20)), FromRef(0xFF0000));
    EXPECT_EQ(image.pixelColor(at(gradedUnit, 6, 20)), FromRef(0x00FFFF));
    EXPECT_EQ(image.pixelColor(at(gradedUnit, 143, 20)), FromRef(0xFFFFFF));
    // The children sit inside the group box.
    QPoint groupOrigin = at(h.Get<GroupBoxUnit>(groupId), 0, 0);
    QPoint checkOrigin = at(h.Get<CheckBoxUnit>(checkId), 0, 0);
    EXPECT_EQ(checkOrigin - groupOrigin, QPoint(110, 25));
    EXPECT_FALSE(h.Get<CheckBoxUnit>(checkId).IsEnabled());
    EXPECT_EQ(h.Get<ComboBoxUnit>(comboId).combo().Text(), "0\xCE\xDE\xD0\xA3\xD1\xE9");
    EXPECT_TRUE(h.Get<ButtonUnit>(buttonId).IsVisible());
    EXPECT_FALSE(h.Get<ButtonUnit>(disabledId).IsEnabled());
    EXPECT_TRUE(h.Get<EditBoxUnit>(countId).IsVisible());
    EXPECT_FALSE(h.Get<CommonDialogUnit>(dialogId).IsVisible());
}

}  // namespace
}  // namespace kesu::units
