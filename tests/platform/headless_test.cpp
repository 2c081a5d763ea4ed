// The headless backend's own promises, which the runtime's and the
// application's tests build on: a clock that moves only when told, timers in
// time order, scripted actions, stall detection, idle bursts, and user
// actions that respect what a user could reach.

#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <thread>

namespace kesu::platform::headless {
namespace {

class HeadlessTest : public ::testing::Test {
  protected:
    HeadlessPlatform p;
    HeadlessLoop& loop = p.loop();
    HeadlessUi& ui = p.ui();
};

TEST_F(HeadlessTest, TimersFireInTimeOrderWithTiesInArmingOrder) {
    std::vector<std::pair<char, std::uint64_t>> log;
    int a = 0, b = 0, c = 0;
    loop.SetTimer(&a, 30, [&] { log.push_back({'a', loop.NowMs()}); });
    loop.SetTimer(&b, 20, [&] { log.push_back({'b', loop.NowMs()}); });
    loop.SetTimer(&c, 60, [&] { log.push_back({'c', loop.NowMs()}); });
    loop.ProcessPending();  // runs queued work only: the clock stays
    EXPECT_EQ(loop.NowMs(), 0u);
    loop.AdvanceBy(60);
    std::vector<std::pair<char, std::uint64_t>> want{{'b', 20}, {'a', 30}, {'b', 40},
                                                     {'a', 60}, {'b', 60}, {'c', 60}};
    EXPECT_EQ(log, want);
    EXPECT_EQ(loop.NowMs(), 60u);
    EXPECT_EQ(loop.TimerCount(), 3u);
    EXPECT_EQ(loop.TimerDue(&c), 120u);
}

TEST_F(HeadlessTest, ReArmingInsideATickCountsFromThatTick) {
    int owner = 0;
    std::vector<std::uint64_t> at;
    loop.SetTimer(&owner, 100, [&] {
        at.push_back(loop.NowMs());
        if (at.size() == 1) {
            loop.SetTimer(&owner, 250, [&] { at.push_back(loop.NowMs()); });
        }
    });
    loop.AdvanceBy(1000);
    EXPECT_EQ(at, (std::vector<std::uint64_t>{100, 350, 600, 850}));
    EXPECT_EQ(loop.TimerPeriod(&owner), 250u);
}

TEST_F(HeadlessTest, ScheduledActionsInterleaveWithTimersAndTasks) {
    std::string log;
    int owner = 0;
    loop.SetTimer(&owner, 100, [&] { log += 't'; });
    loop.ScheduleAt(150, [&] {
        log += 's';
        loop.Post([&] { log += 'p'; });  // runs before the next tick
    });
    loop.ScheduleAt(0, [&] { log += '0'; });  // due at once
    loop.AdvanceBy(250);
    EXPECT_EQ(log, "0tspt");
}

TEST_F(HeadlessTest, AutoAdvanceRunsAWholeScenarioInVirtualTime) {
    loop.SetAutoAdvance(true);
    int ticks = 0;
    int owner = 0;
    loop.SetTimer(&owner, 100, [&] { ++ticks; });
    loop.ScheduleAt(5000, [&] { loop.Quit(3); });
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(loop.NowMs(), 5000u);
    EXPECT_EQ(ticks, 50);  // the tick at 5000 was armed before the quit
}

TEST_F(HeadlessTest, ALoopWithNothingLeftToDoReportsAStall) {
    loop.SetStallTimeout(std::chrono::milliseconds(20));
    EXPECT_FALSE(loop.RunUntil([] { return false; }));
    EXPECT_TRUE(loop.Stalled());
    EXPECT_EQ(loop.Run(), HeadlessLoop::kStalled);
    // A later run that ends normally clears the state.
    loop.Post([&] { loop.Quit(0); });
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_FALSE(loop.Stalled());
}

TEST_F(HeadlessTest, QuitFromAWorkerEndsRun) {
    std::thread worker([&] { loop.Quit(9); });
    EXPECT_EQ(loop.Run(), 9);
    worker.join();
}

TEST_F(HeadlessTest, IdleBurstsAreCappedAndRestartAfterWork) {
    std::vector<int> passes;
    loop.SetIdlePassLimit(5);
    loop.SetIdleHook([&](int pass) {
        passes.push_back(pass);
        return true;  // always wants more
    });
    loop.Post([] {});
    loop.AdvanceBy(1);
    EXPECT_EQ(passes, (std::vector<int>{0, 1, 2, 3, 4}));
    loop.AdvanceBy(1);  // no work in between: no new burst
    EXPECT_EQ(passes.size(), 5u);
    loop.Post([] {});
    loop.AdvanceBy(1);
    ASSERT_EQ(passes.size(), 10u);
    EXPECT_EQ(passes[5], 0);
}

TEST_F(HeadlessTest, StackingOrderFollowsPlaceAfter) {
    auto w = ui.CreateWindow();
    auto a = ui.CreateButton(w.get());
    auto b = ui.CreateButton(w.get());
    auto c = ui.CreateButton(w.get());
    auto* node = dynamic_cast<Node*>(w.get());
    auto order = [&] {
        std::string s;
        for (Node* n : node->ChildNodes())
            s += n == dynamic_cast<Node*>(a.get())   ? 'a'
                 : n == dynamic_cast<Node*>(b.get()) ? 'b'
                                                     : 'c';
        return s;
    };
    EXPECT_EQ(order(), "abc");
    c->PlaceAfter(nullptr);
    EXPECT_EQ(order(), "cab");
    c->PlaceAfter(a.get());
    EXPECT_EQ(order(), "acb");
    b.reset();
    EXPECT_EQ(order(), "ac");
    a.reset();
    c.reset();
}

TEST_F(HeadlessTest, UserActionsNeedAReachableControl) {
    auto w = ui.CreateWindow();
    auto g = ui.CreateGroupBox(w.get());
    auto b = ui.CreateButton(w.get());
    b->SetParent(g.get());
    auto& button = dynamic_cast<HeadlessButton&>(*b);
    b->SetVisible(true);
    g->SetVisible(true);
    EXPECT_FALSE(button.UserClick());  // the window is hidden
    w->Show(WindowShow::Normal);
    EXPECT_TRUE(button.UserClick());
    g->SetEnabled(false);  // a disabled container shuts out its children
    EXPECT_FALSE(button.UserClick());
    EXPECT_TRUE(b->IsEnabled());  // while their own state is unchanged
    auto& window = dynamic_cast<HeadlessWindow&>(*w);
    w->SetVisible(false);
    EXPECT_FALSE(window.UserClose());
    b->SetName("open");
    EXPECT_EQ(ui.Find<HeadlessButton>("open"), &button);
    EXPECT_EQ(ui.Find<HeadlessEdit>("open"), nullptr);
    b.reset();
    g.reset();
}

TEST_F(HeadlessTest, WindowReportsShowAndHideOncePerChange) {
    auto w = ui.CreateWindow();
    std::vector<Notify> seen;
    w->SetNotifyHandler([&](Notify n) {
        if (n == Notify::Shown || n == Notify::Hidden) seen.push_back(n);
    });
    w->Show(WindowShow::Normal);
    w->Show(WindowShow::Maximised);
    w->SetVisible(false);
    w->SetVisible(false);
    EXPECT_EQ(seen, (std::vector<Notify>{Notify::Shown, Notify::Hidden}));
    EXPECT_EQ(w->State(), WindowShow::Maximised);
    // Hiding took the activation with it.
    EXPECT_EQ(ui.ActiveWindow(), nullptr);
    w->Show(WindowShow::Normal);
    EXPECT_EQ(ui.ActiveWindow(), w.get());
}

TEST_F(HeadlessTest, ComboRefusesWhatTheUserCannotDo) {
    auto w = ui.CreateWindow();
    w->Show(WindowShow::Normal);
    auto list = ui.CreateComboBox(w.get(), ComboStyle{.kind = ComboKind::DropDownList});
    list->SetVisible(true);
    auto& l = dynamic_cast<HeadlessComboBox&>(*list);
    list->AddItem("COM1");
    list->AddItem("COM2");
    EXPECT_FALSE(l.UserType("x"));  // no edit field
    // The list is refilled with fewer items while it opens: the pick of a
    // vanished item only closes the list.
    list->SetNotifyHandler([&](Notify n) {
        if (n == Notify::DropDown) {
            list->ClearItems();
            list->AddItem("COM1");
        }
    });
    EXPECT_FALSE(l.UserPick(1));
    EXPECT_FALSE(l.DroppedDown());
    EXPECT_EQ(list->Current(), -1);
    EXPECT_FALSE(l.UserPick(5));
}

TEST_F(HeadlessTest, SingleLineBoxTakesNoLineBreaksFromTheKeyboard) {
    auto w = ui.CreateWindow();
    w->Show(WindowShow::Normal);
    auto e = ui.CreateEdit(w.get(), EditStyle{});
    e->SetVisible(true);
    auto& edit = dynamic_cast<HeadlessEdit&>(*e);
    EXPECT_TRUE(edit.UserType("a\r\nb"));
    EXPECT_EQ(e->Text(), "ab");
    e->SetText("x\r\ny");  // the program may put them there
    EXPECT_EQ(e->Text(), "x\r\ny");
    EXPECT_EQ(edit.Shown(), u"x\u240D\u240Ay");
}

TEST_F(HeadlessTest, DialogsAnswerAsScriptedAndRecordEverything) {
    HeadlessDialogs& d = p.dialogs();
    EXPECT_EQ(d.MessageBox({"q", "c", mb::kYesNo | mb::kDefButton2}), Answer::No);  // unscripted
    d.QueueAnswer(Answer::Retry);  // not a button of this box: closing it
    EXPECT_EQ(d.MessageBox({"q", "c", mb::kOkCancel}), Answer::Cancel);
    std::string seen;
    d.OnBox([&](const MessageBoxRequest& r) { seen = r.text; });
    d.MessageBox({"shown", "c", 0});
    EXPECT_EQ(seen, "shown");
    EXPECT_EQ(d.Boxes().size(), 3u);

    EXPECT_FALSE(d.FileDialog({}).has_value());  // unscripted: cancelled
    d.QueueFile("/tmp/a.log");
    FileDialogRequest save;
    save.save = true;
    save.default_ext = "TXT";
    EXPECT_EQ(d.FileDialog(save), "/tmp/a.log");
    ASSERT_EQ(d.FileRequests().size(), 2u);
    EXPECT_TRUE(d.FileRequests()[1].save);
    d.ClearRecords();
    EXPECT_TRUE(d.Boxes().empty());

    p.sound().Beep();
    p.Audio().Beep();
    EXPECT_EQ(p.sound().Beeps(), 2);
}

TEST(PlatformHolder, InstallsAndRestoresTheBackend) {
    EXPECT_FALSE(HasCurrent());
    HeadlessPlatform outer;
    {
        ScopedInstall a(outer);
        EXPECT_EQ(&Current(), &outer);
        HeadlessPlatform inner;
        {
            ScopedInstall b(inner);
            EXPECT_EQ(&Current(), &inner);
        }
        EXPECT_EQ(&Current(), &outer);
    }
    EXPECT_FALSE(HasCurrent());
}

}  // namespace
}  // namespace kesu::platform::headless
