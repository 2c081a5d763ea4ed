// A program's whole run: start-up, the message loop with its idle time, closing windows, the
// normal end, the shutdown order, and ending the program from the UI thread and from a worker.
#include <thread>

#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

constexpr uint32_t kA = 0x16010001;

void Cleanup() {
    Log().push_back("cleanup");
}

int Entry() {
    RuntimeService(service::kInitialise);
    RegisterCleanupRoutine(Cleanup);
    LoadStartupWindow(kMain);
    RunMessageLoop();
    Log().push_back("loop returned");
    return 0;
}

class LifecycleTest : public FrameTest {
  protected:
    // Starts like a program: the image and handlers are installed, the entry routine does the rest.
    int Run() {
        Install();
        loop().SetAutoAdvance(true);
        return RunProgram(Entry);
    }
};

TEST_F(LifecycleTest, ClosingTheLastWindowEndsTheRunInOrder) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(2, 0)};
    w.records.push_back(Record(kA, kProbeType));
    image.windows.push_back(w);
    loop().ScheduleAt(500, [this] { Native()->UserClose(); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(loop().NowMs(), 500u);
    // Destroyed, units released, the loop ends; then the clean-up routine once, then the
    // libraries with code 6.
    const int destroyed = LogIndex("handler 0");
    const int returned = LogIndex("loop returned");
    const int cleanup = LogIndex("cleanup");
    const int library = LogIndex("library 6");
    EXPECT_NE(LogIndex("library 1"), -1);
    EXPECT_LT(destroyed, LogIndex("destroy 16010001"));
    EXPECT_LT(LogIndex("destroy 16010001"), returned);
    EXPECT_LT(returned, cleanup);
    EXPECT_LT(cleanup, library);
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "cleanup"), 1);
    EXPECT_TRUE(ShutdownInProgress());
}

TEST_F(LifecycleTest, CloseQueryAnsweringFalseKeepsTheWindow) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(1, 0)};
    image.windows.push_back(w);
    int asked = 0;
    Script(0) = [&](auto) {
        ++asked;
        // Refuse the first request with a logical false; answer nothing to the second.
        return asked == 1 ? EventResult{true, 0} : EventResult{};
    };
    loop().ScheduleAt(100, [this] {
        Native()->UserClose();
        EXPECT_NE(Win(), nullptr);
        EXPECT_TRUE(Native()->IsVisible());
    });
    loop().ScheduleAt(200, [this] { Native()->UserClose(); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(loop().NowMs(), 200u);
}

TEST_F(LifecycleTest, ClosingOneOfTwoWindowsKeepsTheLoopRunning) {
    image.windows.push_back(Window(kMain));
    image.windows.push_back(Window(kOther));
    loop().ScheduleAt(10, [] { LoadWindowAndWait(kOther, nullptr, false); });
    loop().ScheduleAt(20, [this] { Native(kMain)->UserClose(); });
    loop().ScheduleAt(30, [this] {
        EXPECT_EQ(LogIndex("loop returned"), -1);
        Native(kOther)->UserClose();
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(loop().NowMs(), 30u);
}

TEST_F(LifecycleTest, IdleEventCarriesElapsedTimeAndAsksForMore) {
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(7, 0)};
    image.windows.push_back(w);
    std::vector<uint32_t> elapsed;
    Script(0) = [&](std::span<const uint32_t> args) {
        elapsed.push_back(args[0]);
        // Ask for more twice, then stop; then close the window.
        if (elapsed.size() == 3) DestroyLoadedWindow(kMain);
        return EventResult{true, elapsed.size() < 3 ? 1 : 0};
    };
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(elapsed.size(), 3u);
    EXPECT_EQ(elapsed[0], 0u);  // the virtual clock stands still while idle
}

TEST_F(LifecycleTest, IdleEventWithoutHandlerIsNotRaisedAgainInTheBurst) {
    image.windows.push_back(Window(kMain));
    loop().ScheduleAt(50, [] { DestroyLoadedWindow(kMain); });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(LifecycleTest, IdleRoutinesRunLastRegisteredFirstWhileTheirWindowLives) {
    image.windows.push_back(Window(kMain));
    static std::vector<intptr_t> order;
    order.clear();
    static IdleRoutineRecord first, second, stale;
    loop().ScheduleAt(10, [this] {
        const auto handle = NotifyRuntime(notify::kWindowHandleById, kMain, 0);
        EXPECT_EQ(handle, reinterpret_cast<intptr_t>(Win()));
        EXPECT_EQ(NotifyRuntime(notify::kWindowHandleOf, handle, 0), handle);
        auto routine = [](intptr_t arg) { order.push_back(arg); };
        first = {handle, routine, 1};
        second = {handle + 1, routine, 2};  // a window that does not exist: dropped
        stale = {handle, routine, 3};       // the same window again: not added
        NotifyRuntime(notify::kAddIdleRoutine, reinterpret_cast<intptr_t>(&first), 0);
        NotifyRuntime(notify::kAddIdleRoutine, reinterpret_cast<intptr_t>(&second), 0);
        NotifyRuntime(notify::kAddIdleRoutine, reinterpret_cast<intptr_t>(&stale), 0);
    });
    loop().ScheduleAt(20, [this] {
        EXPECT_FALSE(order.empty());
        NotifyRuntime(notify::kRemoveIdleRoutine, reinterpret_cast<intptr_t>(Win()), 0);
        order.clear();
    });
    loop().ScheduleAt(30, [] {
        EXPECT_TRUE(order.empty());
        DestroyLoadedWindow(kMain);
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(std::count(order.begin(), order.end(), 2), 0);
}

TEST_F(LifecycleTest, RunMessageLoopWithoutWindowsReturnsAtOnce) {
    image.windows.push_back(Window(kMain));
    Start();
    RunMessageLoop();
    EXPECT_TRUE(MessageLoopRunning());
}

TEST_F(LifecycleTest, LoadWindowServiceAnswersZeroOrMinusOne) {
    image.windows.push_back(Window(kMain));
    Start();
    LoadWindowRecord request{kMain, 0, 0};
    EXPECT_EQ(NotifyRuntime(notify::kLoadWindow, reinterpret_cast<intptr_t>(&request), 0), 0);
    EXPECT_NE(Win(), nullptr);
    LoadWindowRecord missing{0x52010044, 0, 0};
    EXPECT_EQ(NotifyRuntime(notify::kLoadWindow, reinterpret_cast<intptr_t>(&missing), 0), -1);
    EXPECT_EQ(NotifyRuntime(notify::kTemplateCount, 0, 0), 1);
    // A unit reporting its own destruction leaves its slot empty.
    NotifyRuntime(notify::kUnitDestroyed, kMain, 0);
    EXPECT_EQ(Win(), nullptr);
    EXPECT_EQ(NotifyRuntime(notify::kWindowHandleById, kMain, 0), 0);
}

using LifecycleDeathTest = LifecycleTest;

TEST_F(LifecycleDeathTest, EndProgramFromWorkerIsCarriedOutByTheUiThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    image.windows.push_back(Window(kMain));
    EXPECT_EXIT(
        {
            SetProcessExit(nullptr);
            Start();
            RegisterCleanupRoutine([] {
                // The clean-up routine runs on the UI thread before the process ends.
                std::fprintf(stderr, "cleanup on %s\n",
                             OnUiThread() ? "the UI thread" : "a worker");
            });
            Load();
            std::thread worker([] { EndProgram(7); });
            loop().RunUntil([] { return false; });
            worker.join();
        },
        ::testing::ExitedWithCode(7), "cleanup on the UI thread");
}

TEST_F(LifecycleDeathTest, RuntimeErrorInAHandlerEndsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WindowTemplate w = Window(kMain);
    w.records[0].events = {Bind(0, 0)};
    image.windows.push_back(w);
    EXPECT_EXIT(
        {
            SetProcessExit(nullptr);
            Script(0) = [](auto) -> EventResult { RaiseRuntimeError(4); };
            Start();
            RegisterCleanupRoutine([] { std::fprintf(stderr, "cleaned up\n"); });
            Load();
        },
        ::testing::ExitedWithCode(255), "cleaned up");
}

}  // namespace
}  // namespace kesu::test
