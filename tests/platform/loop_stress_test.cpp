// Several workers post and send while the UI thread runs timers and sits in a
// nested loop: every send returns having run, every post runs once, and the
// UI-only state is touched by the UI thread alone (ThreadSanitizer checks).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"

namespace kesu::platform::headless {
namespace {

TEST(LoopStress, WorkersSendAndPostWhileTimersTickInANestedLoop) {
    HeadlessPlatform p;
    HeadlessLoop& loop = p.loop();
    loop.SetAutoAdvance(true);
    constexpr int kWorkers = 4;
    constexpr int kRounds = 300;

    long ui_counter = 0;  // UI thread only
    int ticks = 0;
    int owner = 0;
    loop.SetTimer(&owner, 10, [&] { ++ticks; });
    std::atomic<int> finished{0};
    std::atomic<int> failed_sends{0};

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                loop.Post([&] { ++ui_counter; });
                long seen = -1;
                if (!loop.Send([&] {
                        ++ui_counter;
                        seen = ui_counter;
                    })) {
                    ++failed_sends;
                }
                EXPECT_GT(seen, 0);
            }
            ++finished;
        });
    }
    // A modal loop inside a task, as a modal window or a dialog would run.
    bool inner_done = false;
    loop.Post([&] { inner_done = loop.RunUntil([&] { return finished.load() == kWorkers; }); });
    EXPECT_TRUE(loop.RunUntil([&] { return inner_done; }));
    for (auto& t : workers) t.join();
    loop.ProcessPending();
    loop.KillTimer(&owner);

    EXPECT_EQ(failed_sends.load(), 0);
    EXPECT_EQ(ui_counter, 2L * kWorkers * kRounds);
    EXPECT_GT(ticks, 0);
    EXPECT_FALSE(loop.Stalled());
}

TEST(LoopStress, CloseReleasesWorkersBlockedInSend) {
    HeadlessLoop loop;
    std::atomic<int> released{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&] {
            bool ran = true;
            int never = 0;
            ran = loop.Send([&] { never = 1; });
            EXPECT_FALSE(ran);
            EXPECT_EQ(never, 0);
            ++released;
        });
    }
    // Wait until all three are queued, then shut down without serving them.
    while (loop.QueuedTasks() < 3) std::this_thread::yield();
    loop.Close();
    for (auto& t : workers) t.join();
    EXPECT_EQ(released.load(), 3);
    loop.ProcessPending();  // the abandoned tasks must not run any more
}

}  // namespace
}  // namespace kesu::platform::headless
