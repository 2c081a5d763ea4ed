#pragma once

// One behaviour suite for every UI backend. A backend's test file defines a
// driver (how a user acts on its controls and answers its dialogs, and how
// time passes) and instantiates the suite with it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/commands.h"
#include "app/form/main_window_form.h"
#include "app/program.h"
#include "platform/gbk.h"
#include "platform/platform.h"
#include "runtime/unit.h"
#include "runtime/windows.h"

namespace kesu::platform::testing {

class Driver {
  public:
    virtual ~Driver() = default;
    virtual Platform& P() = 0;
    virtual void Click(Control& c) = 0;
    virtual void Type(Edit& e, std::string_view gbk) = 0;
    virtual void Pick(ComboBox& c, int index) = 0;
    // Types into the edit field of a combo box, at its caret.
    virtual void TypeInto(ComboBox& c, std::string_view ascii) = 0;
    virtual void UserClose(Window& w) = 0;
    // The user drags the window to a new outer position, or its frame to a
    // new outer size.
    virtual void UserMove(Window& w, int left, int top) = 0;
    virtual void UserResize(Window& w, int width, int height) = 0;
    // The user clicks into the window, or switches from it to another
    // program; both return once the window system has made the change.
    virtual void UserActivate(Window& w) = 0;
    virtual void UserDeactivate(Window& w) = 0;
    // The pointer the user sees over the control itself.
    virtual Cursor CursorOf(Control& c) = 0;
    // The user clicks into a control, giving it the focus.
    virtual void UserFocus(Control& c) = 0;
    // Lets `ms` of the loop's time pass with the loop running.
    virtual void Wait(std::uint64_t ms) = 0;
    // The next box or file dialog is answered like this, whichever thread
    // opens it.
    virtual void AnswerBox(Answer a) = 0;
    virtual void AnswerFile(std::optional<std::string> path) = 0;
    // The next font dialog is confirmed with `pick` set in it, or cancelled.
    virtual void AnswerFont(std::optional<FontPick> pick) = 0;
    // Timing slack of the backend's clock in ticks (0 for a virtual clock).
    virtual int TickSlack() const = 0;

    // Input through the window system: a click at (x, y) of the window's
    // client area, true when `target` is what the click reached (a list it
    // opens is closed again); the Tab key in the window.
    virtual bool ClickReaches(Window& w, int x, int y, Control& target) = 0;
    virtual void Tab(Window& w) = 0;
};

using MakeDriver = std::unique_ptr<Driver> (*)();

struct Recorder {
    std::vector<Notify> seen;
    NotifyHandler Handler() {
        return [this](Notify n) { seen.push_back(n); };
    }
    int Count(Notify n) const {
        int k = 0;
        for (Notify s : seen) k += s == n;
        return k;
    }
};

class Conformance : public ::testing::TestWithParam<MakeDriver> {
  protected:
    void SetUp() override { d = GetParam()(); }
    void TearDown() override { d.reset(); }
    EventLoop& loop() { return d->P().Loop(); }
    Ui& ui() { return d->P().UserInterface(); }
    std::unique_ptr<Window> ShownWindow() {
        auto w = ui().CreateWindow();
        w->SetGeometry({10, 10, 400, 300});
        w->Show(WindowShow::Normal);
        return w;
    }
    // Lets the loop run until `done` holds, for what a backend delivers
    // late; false after a generous deadline.
    bool Eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) d->Wait(10);
        return done();
    }
    std::unique_ptr<Driver> d;
};

// ---- Event loop ----

TEST_P(Conformance, PostRunsInOrderAndSendRunsInlineOnTheUiThread) {
    std::vector<int> order;
    loop().Post([&] { order.push_back(1); });
    loop().Post([&] { order.push_back(2); });
    EXPECT_TRUE(loop().Send([&] { order.push_back(0); }));
    EXPECT_EQ(order, (std::vector<int>{0}));  // posted tasks wait for the loop
    loop().ProcessPending();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_P(Conformance, WorkerSendRunsOnUiThreadWhileItSitsInANestedLoop) {
    std::atomic<bool> ran_on_ui{false};
    std::atomic<bool> sent{false};
    int ui_value = 0;
    std::thread worker([&] {
        bool ok = loop().Send([&] {
            ran_on_ui = loop().IsUiThread();
            ui_value = 42;
        });
        // The task has finished when Send returns.
        EXPECT_EQ(ui_value, 42);
        sent = ok;
    });
    EXPECT_TRUE(loop().RunUntil([&] { return sent.load(); }));
    worker.join();
    EXPECT_TRUE(ran_on_ui);
}

TEST_P(Conformance, QuitEndsNestedLoopsAndRunReturnsTheCode) {
    bool nested_result = true;
    loop().Post([&] {
        loop().Post([&] { loop().Quit(7); });
        nested_result = loop().RunUntil([] { return false; });
    });
    EXPECT_EQ(loop().Run(), 7);
    EXPECT_FALSE(nested_result);
    EXPECT_FALSE(loop().QuitRequested());  // consumed by Run
}

// Run sleeps while nothing happens; a Quit from another thread wakes it and ends it.
TEST_P(Conformance, QuitFromAWorkerEndsASleepingRun) {
    std::thread worker;
    loop().Post([&] { worker = std::thread([&] { loop().Quit(3); }); });
    EXPECT_EQ(loop().Run(), 3);
    worker.join();
}

TEST_P(Conformance, SendAfterCloseFailsInsteadOfBlocking) {
    loop().Close();
    bool result = true;
    std::thread worker([&] { result = loop().Send([] {}); });
    worker.join();
    EXPECT_FALSE(result);
}

TEST_P(Conformance, TimersTickPeriodicallyAndReArmingRestartsThePhase) {
    int ticks = 0;
    int owner = 0;
    loop().SetTimer(&owner, 100, [&] { ++ticks; });
    d->Wait(80);
    EXPECT_EQ(ticks, 0);
    loop().SetTimer(&owner, 100, [&] { ++ticks; });  // the count starts again
    d->Wait(60);
    EXPECT_EQ(ticks, 0);
    d->Wait(60);
    EXPECT_NEAR(ticks, 1, d->TickSlack());
    d->Wait(300);
    EXPECT_NEAR(ticks, 4, d->TickSlack());
    loop().SetTimer(&owner, 0, [&] { ++ticks; });
    int before = ticks;
    d->Wait(300);
    EXPECT_EQ(ticks, before);
}

TEST_P(Conformance, TimersOfDifferentOwnersAreIndependent) {
    int a = 0, b = 0;
    int oa = 0, ob = 0;
    loop().SetTimer(&oa, 50, [&] { ++a; });
    loop().SetTimer(&ob, 120, [&] {
        ++b;
        loop().KillTimer(&ob);  // a handler may stop its own timer
    });
    d->Wait(530);
    loop().KillTimer(&oa);
    EXPECT_NEAR(a, 10, d->TickSlack() + 1);
    EXPECT_EQ(b, 1);
}

TEST_P(Conformance, IdleHookRunsWhenTheQueueEmptiesAndCountsPasses) {
    std::vector<int> passes;
    loop().SetIdleHook([&](int pass) {
        passes.push_back(pass);
        return pass < 2;
    });
    bool done = false;
    loop().Post([&] { done = true; });
    loop().RunUntil([&] { return done && passes.size() >= 3; });
    loop().SetIdleHook({});
    ASSERT_GE(passes.size(), 3u);
    EXPECT_EQ(passes[0], 0);
    EXPECT_EQ(passes[1], 1);
    EXPECT_EQ(passes[2], 2);
}

// ---- Edit ----

TEST_P(Conformance, EditKeepsEveryByteThroughSetAndAppend) {
    auto w = ShownWindow();
    auto e = ui().CreateEdit(w.get(), EditStyle{.multi_line = true, .vscroll = true});
    e->SetVisible(true);
    const std::string tricky = "a\r\nb\nc\rd" + Gbk("串口") + "\x81" + "\xff" + "z\x80";
    e->SetText(tricky);
    EXPECT_EQ(e->Text(), tricky);
    EXPECT_EQ(e->TextLength(), tricky.size());

    // A CR at the end of one piece and an LF at the start of the next are
    // one line break; a lead byte and its trail byte in two pieces are one
    // character. Nothing is lost either way.
    e->SetText("");
    const std::string pieces[] = {"x\r", "\ny", "\xB4", "\xAE", "\r", "", "\r\n"};
    std::string all;
    for (const std::string& p : pieces) {
        e->Append(p);
        all += p;
    }
    EXPECT_EQ(e->Text(), all);
    auto sel = e->Selection();
    EXPECT_EQ(sel.first, all.size());  // the caret follows the added text
}

TEST_P(Conformance, EditSelectionSnapsToCharactersAndLimitCutsWholeCharacters) {
    auto w = ShownWindow();
    auto e = ui().CreateEdit(w.get(), EditStyle{});
    e->SetVisible(true);
    e->SetText(Gbk("你好") + "ab");
    e->SetSelection(1, 100);  // inside the first character, past the end
    EXPECT_EQ(e->Selection(), (std::pair<std::size_t, std::size_t>{0, 6}));
    e->SetSelection(2, 4);
    e->ReplaceSelection("XY");
    EXPECT_EQ(e->Text(), Gbk("你") + "XYab");
    EXPECT_EQ(e->Selection(), (std::pair<std::size_t, std::size_t>{4, 4}));

    e->SetLimit(7);
    e->Append(Gbk("世界"));  // room for one byte: not half a character
    EXPECT_EQ(e->Text(), Gbk("你") + "XYab");
    e->SetSelection(0, 2);
    e->ReplaceSelection(Gbk("世界"));  // 2 removed, 4 offered, room for 3
    EXPECT_EQ(e->Text(), Gbk("世") + "XYab");
}

TEST_P(Conformance, EditNotifiesProgramAndUserChanges) {
    auto w = ShownWindow();
    auto e = ui().CreateEdit(w.get(), EditStyle{.multi_line = true});
    e->SetVisible(true);
    Recorder r;
    e->SetNotifyHandler(r.Handler());
    e->SetText("same");
    e->SetText("same");
    EXPECT_EQ(r.Count(Notify::TextChanged), 2);
    e->Append("1");
    e->Append("2");
    EXPECT_EQ(r.Count(Notify::TextChanged), 4);

    e->SetSelection(4, 4);
    d->Type(*e, Gbk("中") + "\r\n");
    EXPECT_EQ(e->Text(), "same" + Gbk("中") + "\r\n12");
    EXPECT_GE(r.Count(Notify::TextChanged), 5);
}

TEST_P(Conformance, TypedTextPassesFilterLetterCaseAndReadOnly) {
    auto w = ShownWindow();
    auto e = ui().CreateEdit(w.get(), EditStyle{.letter_case = LetterCase::Upper});
    e->SetVisible(true);
    d->Type(*e, "ab" + Gbk("串") + "c");
    EXPECT_EQ(e->Text(), "AB" + Gbk("串") + "C");

    auto digits = ui().CreateEdit(w.get(), EditStyle{});
    digits->SetVisible(true);
    digits->SetInputFilter(
        [](std::string_view ch) { return ch.size() == 1 && ch[0] >= '0' && ch[0] <= '9'; });
    d->Type(*digits, "2a9");
    EXPECT_EQ(digits->Text(), "29");

    digits->SetReadOnly(true);
    d->Type(*digits, "5");
    EXPECT_EQ(digits->Text(), "29");
    digits->SetText("77");  // the program may still write
    EXPECT_EQ(digits->Text(), "77");
}

// ---- Buttons ----

TEST_P(Conformance, ButtonClicksOnlyWhenEnabledAndCheckBoxTogglesFirst) {
    auto w = ShownWindow();
    auto b = ui().CreateButton(w.get());
    b->SetGeometry({10, 10, 100, 30});
    b->SetVisible(true);
    b->SetText(Gbk("打开串口"));
    EXPECT_EQ(b->Text(), Gbk("打开串口"));
    Recorder r;
    b->SetNotifyHandler(r.Handler());
    d->Click(*b);
    EXPECT_EQ(r.Count(Notify::Clicked), 1);
    b->SetEnabled(false);
    EXPECT_FALSE(b->IsEnabled());
    d->Click(*b);
    EXPECT_EQ(r.Count(Notify::Clicked), 1);

    auto c = ui().CreateCheckBox(w.get());
    c->SetGeometry({10, 50, 100, 24});
    c->SetVisible(true);
    std::vector<bool> seen;
    c->SetNotifyHandler([&](Notify n) {
        if (n == Notify::Clicked) seen.push_back(c->IsChecked());
    });
    d->Click(*c);
    d->Click(*c);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    c->SetChecked(true);  // no notification for the program's own change
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(c->IsChecked());
}

TEST_P(Conformance, AControlMayBeDestroyedByItsOwnNotification) {
    auto w = ShownWindow();
    auto b = ui().CreateButton(w.get());
    b->SetVisible(true);
    int clicks = 0;
    b->SetNotifyHandler([&](Notify n) {
        if (n != Notify::Clicked) return;
        ++clicks;
        b.reset();  // as a unit does when its handler unloads the window
    });
    d->Click(*b);
    loop().ProcessPending();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b, nullptr);

    // The same for a window closing itself on the user's request.
    auto doomed = ShownWindow();
    auto child = ui().CreateEdit(doomed.get(), EditStyle{});
    child->SetVisible(true);
    doomed->SetNotifyHandler([&](Notify n) {
        if (n != Notify::CloseRequested) return;
        child.reset();
        doomed.reset();
    });
    d->UserClose(*doomed);
    loop().ProcessPending();
    EXPECT_EQ(doomed, nullptr);
}

// ---- Combo box ----

TEST_P(Conformance, SortedComboInsertsInPlaceAndSelectionClamps) {
    auto w = ShownWindow();
    auto c =
        ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDownList, .sorted = true});
    c->SetVisible(true);
    EXPECT_EQ(c->AddItem("COM3"), 0);
    EXPECT_EQ(c->AddItem("COM1"), 0);
    EXPECT_EQ(c->AddItem("com2"), 1);
    EXPECT_EQ(c->Count(), 3);
    EXPECT_EQ(c->Item(2), "COM3");
    c->SetCurrent(2);
    EXPECT_EQ(c->Text(), "COM3");
    c->SetCurrent(9);
    EXPECT_EQ(c->Current(), -1);
    c->SetItemData(1, 0xABCD);
    EXPECT_EQ(c->ItemData(1), 0xABCDu);
    c->ClearItems();
    EXPECT_EQ(c->Count(), 0);
}

TEST_P(Conformance, PickingAnItemNotifiesInOrderWithTheTextAlreadySet) {
    auto w = ShownWindow();
    auto c = ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDown});
    c->SetVisible(true);
    for (const char* s : {"9600", "115200"}) c->AddItem(s);
    std::vector<Notify> order;
    std::string text_at_selection;
    c->SetNotifyHandler([&](Notify n) {
        order.push_back(n);
        if (n == Notify::SelectionEnded) text_at_selection = c->Text();
        // A refill while the list opens, as a port scan does.
        if (n == Notify::DropDown && c->Count() == 2) c->AddItem("1843200");
    });
    d->Pick(*c, 1);
    std::vector<Notify> want{Notify::DropDown, Notify::ClosedUp, Notify::SelectionEnded};
    std::erase_if(order, [](Notify n) { return n == Notify::FocusIn || n == Notify::FocusOut; });
    EXPECT_EQ(order, want);
    EXPECT_EQ(text_at_selection, "115200");
    EXPECT_EQ(c->Current(), 1);
    EXPECT_EQ(c->Count(), 3);
    c->SetText("57600");
    EXPECT_EQ(c->Text(), "57600");
}

TEST_P(Conformance, ComboEditFieldKeepsBytesSelectionAndLimit) {
    auto w = ShownWindow();
    auto c = ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDown});
    c->SetVisible(true);
    c->SetText(Gbk("串口") + "12");
    EXPECT_EQ(c->Text(), Gbk("串口") + "12");
    c->SetEditSelection(1, 4);  // starts inside the first character
    EXPECT_EQ(c->EditSelection(), (std::pair<std::size_t, std::size_t>{0, 4}));
    c->ReplaceEditSelection("X");
    EXPECT_EQ(c->Text(), "X12");
    EXPECT_EQ(c->EditSelection(), (std::pair<std::size_t, std::size_t>{1, 1}));
    c->SetLimit(4);
    c->SetEditSelection(3, 3);
    c->ReplaceEditSelection(Gbk("中"));  // one byte of room: nothing fits
    EXPECT_EQ(c->Text(), "X12");
    c->ReplaceEditSelection("34");  // one of two fits
    EXPECT_EQ(c->Text(), "X123");
    c->AddItem("COM7");
    c->SetCurrent(0);
    EXPECT_EQ(c->Text(), "COM7");
    c->SetCurrent(-1);
    EXPECT_EQ(c->Text(), "");

    auto list = ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDownList});
    list->SetVisible(true);
    list->AddItem(Gbk("无校验"));
    list->SetCurrent(0);
    list->SetText("ignored");  // a drop-down list has no edit field
    EXPECT_EQ(list->Text(), Gbk("无校验"));
}

TEST_P(Conformance, TypingIntoAComboStopsAtItsLimit) {
    auto w = ShownWindow();
    auto c = ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDown});
    c->SetVisible(true);
    Recorder r;
    c->SetNotifyHandler(r.Handler());
    c->SetLimit(3);
    d->TypeInto(*c, "1152");
    EXPECT_EQ(c->Text(), "115");
    EXPECT_EQ(r.Count(Notify::EditChanged), 3);
    c->SetText("9600000");  // the program is not held to the limit
    EXPECT_EQ(c->Text(), "9600000");
}

TEST_P(Conformance, SingleLineEditKeepsLineBreakBytesAndSetTextResetsTheCaret) {
    auto w = ShownWindow();
    auto e = ui().CreateEdit(w.get(), EditStyle{.align = HAlign::Right});
    e->SetVisible(true);
    e->SetText("x\r\ny");
    e->SetSelection(5, 5);
    e->SetText("x\r\ny");
    EXPECT_EQ(e->Selection(), (std::pair<std::size_t, std::size_t>{0, 0}));
    e->SetSelection(2, 2);  // between CR and LF: both are characters here
    e->ReplaceSelection("-");
    e->Append("\n");
    EXPECT_EQ(e->Text(), "x\r-\ny\n");
    EXPECT_EQ(e->Style().align, HAlign::Right);
}

TEST_P(Conformance, WindowAndLabelKeepTheirSettings) {
    auto w = ui().CreateWindow();
    WindowStyle style{.caption = true, .system_menu = true, .min_button = true};
    w->SetStyle(style);
    w->SetGeometry({20, 30, 500, 400});
    EXPECT_EQ(w->Style(), style);
    EXPECT_EQ(w->Geometry(), (Rect{20, 30, 500, 400}));
    FrameInsets f = FrameFor(style);
    EXPECT_EQ(w->ClientRect(), (Rect{0, 0, 500 - f.left - f.right, 400 - f.top - f.bottom}));
    w->Show(WindowShow::Normal);
    EXPECT_EQ(w->State(), WindowShow::Normal);

    auto l = ui().CreateLabel(w.get());
    l->SetText(Gbk("数据位"));
    l->SetLabelStyle(LabelStyle{.h_align = HAlign::Right,
                                .v_align = VAlign::Bottom,
                                .word_wrap = true,
                                .effect = TextEffect::Shadowed});
    LabelStyle got = l->GetLabelStyle();
    EXPECT_EQ(l->Text(), Gbk("数据位"));
    EXPECT_EQ(got.h_align, HAlign::Right);
    EXPECT_EQ(got.v_align, VAlign::Bottom);
    EXPECT_TRUE(got.word_wrap);
    EXPECT_EQ(got.effect, TextEffect::Shadowed);
    Font font{.face = Gbk("宋体"), .height = -12, .weight = 700, .underline = true};
    l->SetFont(font);
    EXPECT_EQ(l->GetFont(), font);
}

// ---- Windows, tree, focus ----

TEST_P(Conformance, CloseRequestLeavesTheWindowToItsOwner) {
    auto w = ShownWindow();
    w->SetText(Gbk("Kesu串口调试助手 V3.0"));
    EXPECT_EQ(w->Text(), Gbk("Kesu串口调试助手 V3.0"));
    Recorder r;
    w->SetNotifyHandler(r.Handler());
    d->UserClose(*w);
    EXPECT_EQ(r.Count(Notify::CloseRequested), 1);
    EXPECT_TRUE(w->IsVisible());
    w->SetVisible(false);
    EXPECT_FALSE(w->IsVisible());
}

TEST_P(Conformance, WindowReportsEachRealMoveAndResizeOnce) {
    auto w = ShownWindow();
    d->Wait(50);  // whatever showing brings has arrived
    // Nothing else is heard either: a new frame neither moves the window nor
    // takes its activation.
    std::vector<Notify> seen;
    w->SetNotifyHandler([&](Notify n) { seen.push_back(n); });
    w->SetGeometry({10, 10, 400, 300});         // where it is already
    w->SetStyle(WindowStyle{.sizable = true});  // another frame, the same outer rectangle
    w->SetGeometry({30, 40, 400, 300});
    w->SetGeometry({30, 40, 420, 320});
    w->SetGeometry({20, 20, 300, 200});
    w->SetGeometry({20, 20, 6, 6});  // smaller than its frame: no client area
    d->Wait(50);                     // echoes of the window system, if any, must not count again
    EXPECT_EQ(seen, (std::vector<Notify>{Notify::Moved, Notify::Resized, Notify::Moved,
                                         Notify::Resized, Notify::Resized}));
    EXPECT_EQ(w->Geometry(), (Rect{20, 20, 6, 6}));
    w->SetGeometry({20, 20, 300, 200});
    seen.clear();
    d->UserMove(*w, 60, 70);
    d->UserResize(*w, 350, 250);
    d->UserMove(*w, 60, 70);
    d->Wait(50);
    EXPECT_EQ(seen, (std::vector<Notify>{Notify::Moved, Notify::Resized}));
    EXPECT_EQ(w->Geometry(), (Rect{60, 70, 350, 250}));
    const FrameInsets f = FrameFor(w->Style());
    EXPECT_EQ(w->ClientRect(), (Rect{0, 0, 350 - f.left - f.right, 250 - f.top - f.bottom}));
}

TEST_P(Conformance, AMoveHandlerMayDestroyTheWindow) {
    auto w = ShownWindow();
    w->SetNotifyHandler([&](Notify n) {
        if (n == Notify::Moved) w.reset();
    });
    d->UserMove(*w, 90, 90);
    EXPECT_EQ(w, nullptr);
    w = ShownWindow();
    w->SetNotifyHandler([&](Notify n) {
        if (n == Notify::Moved) w.reset();
    });
    w->SetGeometry({0, 0, 100, 100});  // moves and resizes: Resized has nobody to go to
    EXPECT_EQ(w, nullptr);
    d->Wait(50);
}

TEST_P(Conformance, ActivationReportsTheLosingWindowFirst) {
    auto a = ShownWindow();
    auto b = ShownWindow();
    d->UserActivate(*b);
    d->Wait(50);  // whatever showing brings has arrived
    std::vector<std::pair<char, Notify>> seen;
    auto record = [&](char who) {
        return [&seen, who](Notify n) {
            if (n == Notify::Activated || n == Notify::Deactivated) seen.emplace_back(who, n);
        };
    };
    a->SetNotifyHandler(record('a'));
    b->SetNotifyHandler(record('b'));
    using Seen = std::vector<std::pair<char, Notify>>;

    d->UserActivate(*a);
    d->UserActivate(*a);  // already active
    EXPECT_EQ(seen, (Seen{{'b', Notify::Deactivated}, {'a', Notify::Activated}}));

    seen.clear();
    d->UserDeactivate(*a);
    EXPECT_EQ(seen, (Seen{{'a', Notify::Deactivated}}));

    // The program's activation is reported too, once it has happened.
    seen.clear();
    b->Activate();
    EXPECT_TRUE(Eventually([&] { return !seen.empty(); }));
    d->Wait(50);
    EXPECT_EQ(seen, (Seen{{'b', Notify::Activated}}));

    // Hiding the active window takes the activation away from it.
    seen.clear();
    b->SetVisible(false);
    EXPECT_EQ(seen, (Seen{{'b', Notify::Deactivated}}));
    seen.clear();
    d->UserActivate(*a);
    EXPECT_EQ(seen, (Seen{{'a', Notify::Activated}}));

    // A window that goes away while active reports nothing more.
    a->SetNotifyHandler(record('x'));
    seen.clear();
    a.reset();
    b->Show(WindowShow::Normal);
    EXPECT_TRUE(Eventually([&] { return !seen.empty(); }));
    d->Wait(50);
    EXPECT_EQ(seen, (Seen{{'b', Notify::Activated}}));
}

TEST_P(Conformance, ControlsShowTheMousePointerTheyAreGiven) {
    auto w = ShownWindow();
    auto b = ui().CreateButton(w.get());
    auto l = ui().CreateLabel(w.get());
    b->SetVisible(true);
    l->SetVisible(true);
    EXPECT_EQ(d->CursorOf(*b), Cursor::Default);
    for (int i = 0; i <= static_cast<int>(Cursor::Hand); ++i) {
        const auto c = static_cast<Cursor>(i);
        b->SetCursor(c);
        EXPECT_EQ(d->CursorOf(*b), c) << i;
    }
    l->SetCursor(Cursor::Wait);
    w->SetCursor(Cursor::Cross);
    b->SetCursor(Cursor::Default);
    EXPECT_EQ(d->CursorOf(*l), Cursor::Wait);
    EXPECT_EQ(d->CursorOf(*w), Cursor::Cross);
    EXPECT_EQ(d->CursorOf(*b), Cursor::Default);
}

TEST_P(Conformance, ChildrenAreHiddenUntilShownAndFollowTheirParent) {
    auto w = ui().CreateWindow();
    w->SetGeometry({0, 0, 300, 200});
    auto g = ui().CreateGroupBox(w.get());
    auto l = ui().CreateLabel(w.get());
    l->SetParent(g.get());
    l->SetGeometry({5, 20, 80, 16});
    EXPECT_EQ(l->Geometry(), (Rect{5, 20, 80, 16}));
    l->SetVisible(true);
    EXPECT_FALSE(l->IsVisible());  // its group box and window are hidden
    g->SetVisible(true);
    w->Show(WindowShow::Normal);
    EXPECT_TRUE(l->IsVisible());
    g->SetVisible(false);
    EXPECT_FALSE(l->IsVisible());
    FrameInsets f = FrameFor(w->Style());
    EXPECT_EQ(w->ClientRect().width, 300 - f.left - f.right);
    l.reset();
    g.reset();
}

TEST_P(Conformance, FocusMovesWithOutBeforeIn) {
    auto w = ShownWindow();
    auto a = ui().CreateEdit(w.get(), EditStyle{});
    auto b = ui().CreateButton(w.get());
    a->SetVisible(true);
    b->SetVisible(true);
    std::vector<std::string> log;
    a->SetNotifyHandler([&](Notify n) {
        if (n == Notify::FocusIn) log.push_back("a+");
        if (n == Notify::FocusOut) log.push_back("a-");
    });
    b->SetNotifyHandler([&](Notify n) {
        if (n == Notify::FocusIn) log.push_back("b+");
        if (n == Notify::FocusOut) log.push_back("b-");
    });
    a->SetFocus();
    b->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"a+", "a-", "b+"}));
    EXPECT_TRUE(b->HasFocus());
    EXPECT_FALSE(a->HasFocus());
}

TEST_P(Conformance, UserFocusChangesNotifyLikeProgramOnes) {
    auto w = ShownWindow();
    auto a = ui().CreateEdit(w.get(), EditStyle{});
    auto c = ui().CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDown});
    a->SetVisible(true);
    c->SetVisible(true);
    Recorder ra, rc;
    a->SetNotifyHandler(ra.Handler());
    c->SetNotifyHandler(rc.Handler());
    d->UserFocus(*a);
    d->UserFocus(*c);  // lands on the combo box's edit field
    loop().ProcessPending();
    EXPECT_EQ(ra.seen, (std::vector<Notify>{Notify::FocusIn, Notify::FocusOut}));
    EXPECT_EQ(rc.seen, (std::vector<Notify>{Notify::FocusIn}));
    EXPECT_TRUE(c->HasFocus());
}

TEST_P(Conformance, ClicksReachTheTopmostReachableControlAndTabFollowsTheStacking) {
    auto w = ShownWindow();
    // Made the way a window is loaded: the last first, then stacked with the
    // first on top, so that the frame drawn around the others lies beneath.
    auto frame = ui().CreateGroupBox(w.get());
    auto box = ui().CreateCheckBox(w.get());
    auto button = ui().CreateButton(w.get());
    auto edit = ui().CreateEdit(w.get(), EditStyle{});
    Control* order[] = {edit.get(), button.get(), box.get(), frame.get()};
    for (int i = 0; i < 4; ++i) order[i]->PlaceAfter(i == 0 ? nullptr : order[i - 1]);
    frame->SetGeometry({5, 5, 300, 200});
    edit->SetGeometry({20, 25, 100, 25});
    button->SetGeometry({20, 60, 100, 25});
    box->SetGeometry({20, 95, 100, 25});
    for (Control* c : order) c->SetVisible(true);
    Recorder clicks;
    button->SetNotifyHandler(clicks.Handler());

    EXPECT_TRUE(d->ClickReaches(*w, 70, 72, *button));
    EXPECT_EQ(clicks.Count(Notify::Clicked), 1);
    EXPECT_TRUE(button->HasFocus());
    EXPECT_TRUE(d->ClickReaches(*w, 70, 37, *edit));
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_TRUE(d->ClickReaches(*w, 200, 150, *frame));  // the frame's own empty part

    // The keyboard runs the same way, the first placed first, round again.
    d->Tab(*w);
    EXPECT_TRUE(button->HasFocus());
    d->Tab(*w);
    EXPECT_TRUE(box->HasFocus());
    d->Tab(*w);
    EXPECT_TRUE(edit->HasFocus());

    // Disabled and hidden controls take no click.
    button->SetEnabled(false);
    EXPECT_FALSE(d->ClickReaches(*w, 70, 72, *button));
    button->SetEnabled(true);
    button->SetVisible(false);
    EXPECT_FALSE(d->ClickReaches(*w, 70, 72, *button));
    EXPECT_EQ(clicks.Count(Notify::Clicked), 1);
}

// The assistant's own window, loaded by the runtime from its template: every control a user can
// use is reached by a click at its middle, whatever frames and boxes lie around it.
TEST_P(Conformance, EveryEnabledControlOfTheMainWindowTakesAClickAtItsCentre) {
    // No serial ports: the scan finds nothing.
    ScopedInstall install(d->P());
    app::AssistantStates states;
    app::InstallAssistant();
    app::StartAssistant();
    auto settle = [&] { app::JoinWorkers(); };
    settle();
    auto* window = dynamic_cast<Window*>(FindUnit(app::kMainWindowId, kWindowRecordId)->control());
    ASSERT_NE(window, nullptr);
    int reached = 0;
    for (const app::FormUnit& u : app::MainWindowForm().units) {
        Unit* unit = FindUnit(app::kMainWindowId, u.id);
        Control* c = unit ? unit->control() : nullptr;
        // A frame's middle may hold the controls drawn over it.
        if (!c || !c->IsVisible() || !c->IsEnabled() || u.type == kUnitGroupBox) continue;
        Rect r = c->Geometry();
        if (u.parent != 0) {
            const Rect outer = FindUnit(app::kMainWindowId, u.parent)->control()->Geometry();
            r.left += outer.left;
            r.top += outer.top;
        }
        // A button that asks for a file is answered with a cancel.
        d->AnswerFile(std::nullopt);
        EXPECT_TRUE(d->ClickReaches(*window, r.left + r.width / 2, r.top + r.height / 2, *c))
            << GbkToUtf8(u.name);
        settle();
        ++reached;
    }
    EXPECT_GT(reached, 30);
    app::StopAssistant();
}

// ---- Dialogs ----

TEST_P(Conformance, MessageBoxOnTheUiThreadReturnsTheChosenButton) {
    d->AnswerBox(Answer::No);
    Answer a = d->P().Dialog().MessageBox(
        {Gbk("确定吗？"), Gbk("信息："), mb::kYesNo | mb::kIconQuestion});
    EXPECT_EQ(a, Answer::No);
}

TEST_P(Conformance, BoxFromAWorkerLeavesTheUiThreadRunning) {
    auto w = ShownWindow();
    auto b = ui().CreateButton(w.get());
    b->SetVisible(true);
    int clicks = 0;
    b->SetNotifyHandler([&](Notify n) { clicks += n == Notify::Clicked; });
    int ticks = 0;
    int owner = 0;
    loop().SetTimer(&owner, 20, [&] { ++ticks; });
    std::atomic<int> answer{0};
    d->AnswerBox(Answer::Retry);
    std::thread worker([&] {
        answer = static_cast<int>(d->P().Dialog().MessageBox({"x", "y", mb::kRetryCancel}));
    });
    // While the worker waits for its answer, the window keeps working.
    loop().RunUntil([&] { return answer.load() != 0 && ticks >= 3; });
    d->Click(*b);
    worker.join();
    loop().KillTimer(&owner);
    EXPECT_EQ(static_cast<Answer>(answer.load()), Answer::Retry);
    EXPECT_EQ(clicks, 1);
    EXPECT_GE(ticks, 3);
}

TEST_P(Conformance, FileDialogAddsTheDefaultExtensionOrReportsCancel) {
    std::string dir = ::testing::TempDir();
    if (!dir.empty() && dir.back() == '/') dir.pop_back();
    FileDialogRequest req;
    req.save = true;
    req.title = Gbk("请输入要保存的文件名：");
    req.initial_dir = dir;
    req.default_ext = "TXT";
    req.filters = ParseFilterList(Gbk("文本文件(*.TXT)|*.TXT|所有文件(*.*)|*.*"));
    req.flags = ofn::kOverwritePrompt;
    d->AnswerFile(dir + "/kesu_saved_text");
    std::optional<std::string> got = d->P().Dialog().FileDialog(req);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, dir + "/kesu_saved_text.TXT");
    d->AnswerFile(std::nullopt);
    EXPECT_FALSE(d->P().Dialog().FileDialog(req).has_value());
}

TEST_P(Conformance, FileDialogFromAWorkerReturnsThePickedFile) {
    std::string path = ::testing::TempDir() + "kesu_open_me.txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    FileDialogRequest req;
    req.title = Gbk("请选择要打开的文件：");
    req.filters = ParseFilterList(Gbk("文本文件(*.TXT,*.INI)|*.TXT;*.INI|所有文件(*.*)|*.*"));
    req.flags = ofn::kFileMustExist | ofn::kPathMustExist;
    d->AnswerFile(path);
    std::optional<std::string> got;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        got = d->P().Dialog().FileDialog(req);
        done = true;
    });
    loop().RunUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(got, path);
    std::remove(path.c_str());
}

TEST_P(Conformance, FontDialogAnswersTheChosenFontOrCancel) {
    FontPick start;
    start.font.face = "WenQuanYi Micro Hei";
    start.font.height = -12;
    start.colour = 0x000000;
    FontPick pick = start;
    pick.font.height = -21;  // 16 points
    pick.font.weight = 700;
    pick.font.italic = true;
    pick.font.underline = true;
    pick.colour = 0x008000;
    d->AnswerFont(pick);
    std::optional<FontPick> got;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        got = d->P().Dialog().FontDialog(start);
        done = true;
    });
    loop().RunUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(got, pick);
    d->AnswerFont(std::nullopt);
    EXPECT_FALSE(d->P().Dialog().FontDialog(start).has_value());
}

}  // namespace kesu::platform::testing
