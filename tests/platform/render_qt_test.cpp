// Renders a window with Chinese captions offscreen into a PNG: the CJK font
// mapping, colours and the disabled look must produce legible pixels.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include "platform/gbk.h"
#include "platform/qt/qt_platform.h"

namespace kesu::platform::qt {
namespace {

TEST(QtRender, WindowWithChineseCaptionsBecomesAPng) {
    QtPlatform p;
    Ui& ui = p.UserInterface();
    auto w = ui.CreateWindow();
    w->SetText(Gbk("Kesu串口调试助手 V3.0"));
    w->SetStyle(WindowStyle{.min_button = true});
    w->SetGeometry({0, 0, 420, 260});
    Font song{.face = Gbk("宋体"), .height = -14};

    auto group = ui.CreateGroupBox(w.get());
    group->SetText(Gbk("串口设置"));
    group->SetGeometry({8, 8, 200, 120});
    group->SetFont(song);
    group->SetVisible(true);
    auto label = ui.CreateLabel(w.get());
    label->SetText(Gbk("RTS输出"));
    label->SetTextColour(0xFF0090);
    label->SetLabelStyle(LabelStyle{.h_align = HAlign::Centre});
    label->SetGeometry({16, 30, 90, 20});
    label->SetFont(song);
    label->SetVisible(true);
    auto combo = ui.CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDownList});
    combo->AddItem("COM1");
    combo->SetCurrent(0);
    combo->SetGeometry({110, 28, 90, 24});
    combo->SetVisible(true);
    auto open = ui.CreateButton(w.get());
    open->SetText(Gbk("打开串口"));
    open->SetFont(song);
    open->SetGeometry({16, 70, 90, 28});
    open->SetVisible(true);
    auto send = ui.CreateButton(w.get());
    send->SetText(Gbk("发送"));
    send->SetEnabled(false);
    send->SetGeometry({110, 70, 90, 28});
    send->SetVisible(true);
    auto check = ui.CreateCheckBox(w.get());
    check->SetText(Gbk("十六进制显示"));
    check->SetChecked(true);
    check->SetGeometry({16, 140, 180, 24});
    check->SetVisible(true);
    auto edit = ui.CreateEdit(w.get(), EditStyle{.multi_line = true, .vscroll = true});
    edit->SetText(Gbk("接收区：\r\n你好，世界\r\n") + "41 42 43 \r\n");
    edit->SetFont(song);
    edit->SetGeometry({216, 8, 190, 200});
    edit->SetVisible(true);
    w->Show(WindowShow::Normal);
    p.Loop().ProcessPending();

    std::string path = ::testing::TempDir() + "kesu_window.png";
    ASSERT_TRUE(SaveWindowPng(*w, path));
    QImage img(QString::fromStdString(path));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), w->ClientRect().width * static_cast<int>(img.devicePixelRatio()));
    // The caption of the label is drawn in its colour (0xFF0090 is RGB 90 00 FF).
    bool found_colour = false;
    for (int y = 30; y < 50 && !found_colour; ++y) {
        for (int x = 16; x < 106; ++x) {
            QColor c = img.pixelColor(x, y);
            if (c.blue() > 200 && c.red() > 100 && c.green() < 60) found_colour = true;
        }
    }
    EXPECT_TRUE(found_colour);
    EXPECT_EQ(FamilyFor(Gbk("宋体")), "WenQuanYi Micro Hei");

    edit.reset();
    check.reset();
    send.reset();
    open.reset();
    combo.reset();
    label.reset();
    group.reset();
}

}  // namespace
}  // namespace kesu::platform::qt
