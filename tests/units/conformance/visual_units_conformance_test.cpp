// The units' behaviour over both user-interface backends: the same scenarios
// run on the headless controls and on the Qt widgets offscreen, and read back
// what a user would see (texts, marks, items, selections and colours).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/headless/headless.h"
#include "platform/qt/qt_platform.h"
#include "tests/platform/qt_user_input.h"
#include "tests/platform/qt_widgets.h"
#include "tests/units/common/unit_harness.h"

namespace kesu::units {
namespace {

using testing::UnitHarness;

// One backend as the scenarios use it.
class Side {
  public:
    virtual ~Side() = default;
    virtual platform::Platform& P() = 0;
    // Runs what the loop holds (posted notifications and the like).
    virtual void Pump() { P().Loop().ProcessPending(); }
    virtual void Click(platform::Control& c) = 0;
    virtual void Pick(platform::ComboBox& c, int index) = 0;
    // Keys typed one by one into a focused edit (ASCII only).
    virtual void Type(platform::Edit& e, std::string_view keys) = 0;
    // The colours the control shows, as 0x00BBGGRR.
    virtual std::uint32_t ShownText(platform::Control& c) = 0;
    virtual std::uint32_t ShownBack(platform::Control& c) = 0;
};

class HeadlessSide final : public Side {
  public:
    platform::Platform& P() override { return p_; }
    void Click(platform::Control& c) override {
        if (auto* b = dynamic_cast<platform::headless::HeadlessCheckBox*>(&c)) b->UserClick();
        if (auto* b = dynamic_cast<platform::headless::HeadlessButton*>(&c)) b->UserClick();
    }
    // The list is a popup window of its own; choosing a row in it is the combo box's own
    // reaction, so the row is chosen on the widget.
    void Pick(platform::ComboBox& c, int index) override {
        dynamic_cast<platform::headless::HeadlessComboBox&>(c).UserPick(index);
    }
    void Type(platform::Edit& e, std::string_view keys) override {
        auto& edit = dynamic_cast<platform::headless::HeadlessEdit&>(e);
        for (char k : keys) edit.UserType(std::string(1, k));
    }
    std::uint32_t ShownText(platform::Control& c) override {
        return Colours(c, [](auto& n) { return n.TextColour(); });
    }
    std::uint32_t ShownBack(platform::Control& c) override {
        return Colours(c, [](auto& n) { return n.BackColour(); });
    }

  private:
    template <class F>
    static std::uint32_t Colours(platform::Control& c, F get) {
        using namespace platform::headless;
        if (auto* n = dynamic_cast<HeadlessEdit*>(&c)) return get(*n);
        if (auto* n = dynamic_cast<HeadlessCheckBox*>(&c)) return get(*n);
        if (auto* n = dynamic_cast<HeadlessComboBox*>(&c)) return get(*n);
        if (auto* n = dynamic_cast<HeadlessButton*>(&c)) return get(*n);
        if (auto* n = dynamic_cast<HeadlessGroupBox*>(&c)) return get(*n);
        return 0xDEADBEEF;
    }
    platform::headless::HeadlessPlatform p_;
};

class QtSide final : public Side {
  public:
    platform::Platform& P() override { return p_; }
    void Click(platform::Control& c) override {
        kesu::testing::ClickCentreOf(platform::qt::WidgetOf(c));
        Pump();
    }
    // The list is a popup window of its own; choosing a row in it is the combo box's own
    // reaction, so the row is chosen on the widget.
    void Pick(platform::ComboBox& c, int index) override {
        auto* box = qobject_cast<QComboBox*>(platform::qt::WidgetOf(c));
        box->showPopup();
        box->setCurrentIndex(index);
        box->hidePopup();
        emit box->activated(index);
        Pump();
    }
    void Type(platform::Edit& e, std::string_view keys) override {
        // Keys go to the window and reach the edit through the focus.
        QWidget* w = platform::qt::WidgetOf(e);
        kesu::testing::ActivateAndWait(w->window());
        w->setFocus(Qt::MouseFocusReason);
        kesu::testing::TypeToWindow(w, std::u16string(keys.begin(), keys.end()));
        Pump();
    }
    std::uint32_t ShownText(platform::Control& c) override {
        QWidget* w = platform::qt::WidgetOf(c);
        return Ref(w->palette().color(IsTextField(w) ? QPalette::Text : QPalette::WindowText));
    }
    std::uint32_t ShownBack(platform::Control& c) override {
        QWidget* w = platform::qt::WidgetOf(c);
        return Ref(w->palette().color(IsTextField(w) ? QPalette::Base : QPalette::Window));
    }

  private:
    static bool IsTextField(QWidget* w) {
        return w->inherits("QLineEdit") || w->inherits("QPlainTextEdit") ||
               w->inherits("QComboBox");
    }
    static std::uint32_t Ref(const QColor& c) {
        return static_cast<std::uint32_t>(c.red() | c.green() << 8 | c.blue() << 16);
    }
    platform::qt::QtPlatform p_;
};

using SideFactory = std::unique_ptr<Side> (*)();

class VisualUnitsConformance : public ::testing::TestWithParam<SideFactory> {
  protected:
    VisualUnitsConformance()
        : side_(GetParam()()), install_(side_->P()), h_(std::make_unique<UnitHarness>()) {}
    ~VisualUnitsConformance() override { h_.reset(); }

    template <class T>
    T& Get(std::uint32_t id) {
        return h_->Get<T>(id);
    }
    static PropertyValue Read(Unit& u, int index) {
        PropertyValue v;
        EXPECT_EQ(u.GetProperty(index, v), 1);
        return v;
    }

    std::unique_ptr<Side> side_;
    platform::ScopedInstall install_;
    std::unique_ptr<UnitHarness> h_;
};

TEST_P(VisualUnitsConformance, EditBoxTextSelectionAndColours) {
    EditBoxSettings s;
    s.multiLine = true;
    s.scrollBars = 2;
    s.content = "\r\n usage\r\n";
    s.textColour = 0x0000FF;
    auto id = h_->Add(kUnitEditBox, s.Save(), {10, 10, 300, 120});
    ASSERT_TRUE(h_->Load());
    h_->ClearEvents();
    auto& box = Get<EditBoxUnit>(id);
    EXPECT_EQ(Read(box, EditBoxUnit::kContent).bytes, s.content);

    box.edit().SetSelection(3, 5);  // the caret somewhere in the middle
    ArgRecord args[4] = {UnitHarness::Reference(id, kUnitEditBox), ArgRecord::Text("a\r"),
                         ArgRecord::Text("\nb\n"), ArgRecord::Text("\xD6\xD0\xCE\xC4\r")};
    ResultRecord r;
    AddTextCommand(&r, 4, args);
    side_->Pump();
    const std::string expected = s.content + "a\r\nb\n\xD6\xD0\xCE\xC4\r";
    EXPECT_EQ(Read(box, EditBoxUnit::kContent).bytes, expected);
    EXPECT_EQ(h_->Count(id, EditBoxUnit::kEventChanged), 3);
    EXPECT_EQ(Read(box, EditBoxUnit::kSelStart).number, static_cast<std::int64_t>(expected.size()));

    box.SetProperty(EditBoxUnit::kSelStart, NumberValue(3));
    box.SetProperty(EditBoxUnit::kSelLength, NumberValue(5));
    EXPECT_EQ(Read(box, EditBoxUnit::kSelText).bytes, "usage");
    box.SetProperty(EditBoxUnit::kSelLength, NumberValue(-1));
    EXPECT_EQ(Read(box, EditBoxUnit::kSelLength).number,
              static_cast<std::int64_t>(expected.size()));

    EXPECT_EQ(side_->ShownText(box.edit()), 0x0000FFu);
    box.SetProperty(EditBoxUnit::kTextColour, NumberValue(0xFF0000));
    box.SetProperty(EditBoxUnit::kBackColour, NumberValue(0x00FFFF));
    EXPECT_EQ(side_->ShownText(box.edit()), 0xFF0000u);
    EXPECT_EQ(side_->ShownBack(box.edit()), 0x00FFFFu);

    h_->ClearEvents();
    box.SetProperty(EditBoxUnit::kContent, TextValue("x"));
    side_->Pump();
    EXPECT_EQ(h_->Count(id, EditBoxUnit::kEventChanged), 1);
}

TEST_P(VisualUnitsConformance, ByteBoxFiltersKeysAndNormalisesWhenLeft) {
    EditBoxSettings s;
    s.inputMode = 5;
    auto id = h_->Add(kUnitEditBox, s.Save(), {10, 10, 100, 25});
    ASSERT_TRUE(h_->Load());
    auto& box = Get<EditBoxUnit>(id);
    box.SetFocus();
    side_->Pump();
    h_->ClearEvents();
    side_->Type(box.edit(), "3a0-0");
    EXPECT_EQ(Read(box, EditBoxUnit::kContent).bytes, "300");
    EXPECT_EQ(h_->Count(id, EditBoxUnit::kEventChanged), 3);
    h_->Window().window().SetFocus();
    side_->Pump();
    EXPECT_EQ(Read(box, EditBoxUnit::kContent).bytes, "255");
    EXPECT_EQ(h_->EventsOf(id).back(), kEventLostFocus);
}

TEST_P(VisualUnitsConformance, CheckBoxMarksAndClicks) {
    CheckBoxSettings s;
    s.caption = "HEX\xCF\xD4\xCA\xBE";
    s.textColour = 0x800080;
    auto id = h_->Add(kUnitCheckBox, s.Save(), {10, 10, 100, 25});
    ASSERT_TRUE(h_->Load());
    h_->ClearEvents();
    auto& box = Get<CheckBoxUnit>(id);
    EXPECT_EQ(box.check_box().Text(), s.caption);
    EXPECT_EQ(side_->ShownText(box.check_box()), 0x800080u);
    box.SetProperty(CheckBoxUnit::kChecked, NumberValue(1));
    EXPECT_EQ(Read(box, CheckBoxUnit::kChecked).number, 1);
    box.SetProperty(CheckBoxUnit::kChecked, NumberValue(5));
    EXPECT_EQ(Read(box, CheckBoxUnit::kChecked).number, 0);
    side_->Pump();
    EXPECT_EQ(h_->Count(id, CheckBoxUnit::kEventClicked), 0);

    std::int64_t seen = -1;
    testing::EventHook() = [&](const testing::RecordedEvent& e) {
        if (e.event == CheckBoxUnit::kEventClicked) seen = Read(box, CheckBoxUnit::kChecked).number;
    };
    side_->Click(box.check_box());
    side_->Pump();
    EXPECT_EQ(h_->Count(id, CheckBoxUnit::kEventClicked), 1);
    EXPECT_EQ(seen, 1);
}

TEST_P(VisualUnitsConformance, ComboBoxItemsSelectionAndText) {
    ComboBoxSettings parity;
    parity.listType = 2;
    parity.sorted = true;
    parity.items = {"4b", "3B", "2c", "1a", "0z"};
    parity.listIndex = 0;
    auto sortedId = h_->Add(kUnitComboBox, parity.Save(), {10, 10, 100, 25});
    ComboBoxSettings baud;
    baud.listType = 1;
    baud.items = {"4800", "9600", "19200"};
    baud.listIndex = 1;
    baud.content = "115200";
    auto baudId = h_->Add(kUnitComboBox, baud.Save(), {10, 50, 100, 25});
    ASSERT_TRUE(h_->Load());
    h_->ClearEvents();

    auto& sorted = Get<ComboBoxUnit>(sortedId);
    std::vector<std::string> shown;
    for (int i = 0; i < sorted.combo().Count(); ++i) shown.push_back(sorted.combo().Item(i));
    EXPECT_EQ(shown, (std::vector<std::string>{"0z", "1a", "2c", "3B", "4b"}));
    EXPECT_EQ(Read(sorted, ComboBoxUnit::kContent).bytes, "0z");
    EXPECT_EQ(sorted.AddItem("2b", 5), 2);
    // Letters compare without regard to case: "3a" goes before "3B".
    EXPECT_EQ(sorted.AddItem("3a", 6), 4);
    EXPECT_EQ(sorted.combo().Item(5), "3B");
    EXPECT_EQ(sorted.combo().ItemData(4), 6u);
    sorted.SetProperty(ComboBoxUnit::kListIndex, NumberValue(99));
    EXPECT_EQ(Read(sorted, ComboBoxUnit::kListIndex).number, 6);
    sorted.SetProperty(ComboBoxUnit::kListIndex, NumberValue(-7));
    EXPECT_EQ(Read(sorted, ComboBoxUnit::kListIndex).number, -1);

    auto& rate = Get<ComboBoxUnit>(baudId);
    EXPECT_EQ(Read(rate, ComboBoxUnit::kListIndex).number, 1);
    EXPECT_EQ(Read(rate, ComboBoxUnit::kContent).bytes, "115200");
    rate.SetProperty(ComboBoxUnit::kSelStart, NumberValue(1));
    rate.SetProperty(ComboBoxUnit::kSelLength, NumberValue(3));
    EXPECT_EQ(Read(rate, ComboBoxUnit::kSelText).bytes, "152");

    std::string textInHandler;
    testing::EventHook() = [&](const testing::RecordedEvent& e) {
        if (e.event == ComboBoxUnit::kEventSelectionMade) {
            textInHandler = Read(rate, ComboBoxUnit::kContent).bytes;
        }
    };
    side_->Pick(rate.combo(), 2);
    side_->Pump();
    EXPECT_EQ(textInHandler, "19200");
    EXPECT_EQ(h_->Count(baudId, ComboBoxUnit::kEventSelectionMade), 1);
    EXPECT_EQ(Read(rate, ComboBoxUnit::kListIndex).number, 2);

    rate.ClearItems();
    EXPECT_EQ(rate.combo().Count(), 0);
    EXPECT_EQ(Read(rate, ComboBoxUnit::kListIndex).number, -1);
}

TEST_P(VisualUnitsConformance, CaptionsAndGroupChildren) {
    GroupBoxSettings g;
    g.caption = "\xBD\xD3\xCA\xD5\xC7\xF8";
    auto group = h_->Add(kUnitGroupBox, g.Save(), {5, 5, 200, 100});
    ButtonSettings b;
    b.caption = "\xB4\xF2\xBF\xAA";
    auto button = h_->Add(kUnitButton, b.Save(), {10, 20, 80, 25}, group);
    ASSERT_TRUE(h_->Load());
    h_->ClearEvents();
    auto& unit = Get<ButtonUnit>(button);
    EXPECT_EQ(unit.button().Text(), b.caption);
    unit.SetProperty(ButtonUnit::kCaption, TextValue(" \xB9\xD8\xB1\xD5"));
    EXPECT_EQ(unit.button().Text(), " \xB9\xD8\xB1\xD5");
    EXPECT_EQ(unit.Geometry(), (UnitRect{10, 20, 80, 25}));
    EXPECT_TRUE(unit.IsVisible());
    Get<GroupBoxUnit>(group).SetVisible(false);
    EXPECT_FALSE(unit.IsVisible());
    Get<GroupBoxUnit>(group).SetVisible(true);
    side_->Click(unit.button());
    side_->Pump();
    EXPECT_EQ(h_->Count(button, ButtonUnit::kEventClicked), 1);
}

std::unique_ptr<Side> MakeHeadless() {
    return std::make_unique<HeadlessSide>();
}
std::unique_ptr<Side> MakeQt() {
    return std::make_unique<QtSide>();
}

std::string BackendName(const ::testing::TestParamInfo<SideFactory>& info) {
    return info.param == &MakeQt ? "Qt" : "Headless";
}

INSTANTIATE_TEST_SUITE_P(Headless, VisualUnitsConformance, ::testing::Values(&MakeHeadless),
                         BackendName);
INSTANTIATE_TEST_SUITE_P(Qt, VisualUnitsConformance, ::testing::Values(&MakeQt), BackendName);

}  // namespace
}  // namespace kesu::units
