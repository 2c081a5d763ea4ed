#pragma once

// A deterministic event loop for tests and tools. Its clock moves only when
// told (AdvanceBy, AdvanceTo, or automatically when auto-advance is on and the
// loop has nothing else to do); timers fire in time order, ties in the order
// they were armed. Everything runs on the thread that created the loop unless
// a test starts workers, whose Post and Send are served like on the real loop.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/send_gate.h"

namespace kesu::platform::headless {

class HeadlessLoop final : public EventLoop {
  public:
    HeadlessLoop();
    ~HeadlessLoop() override;

    void Post(Task task) override;
    bool Send(Task task) override;
    bool IsUiThread() const override;
    void SetTimer(const void* owner, std::uint32_t period_ms, Task on_tick) override;
    void KillTimer(const void* owner) override;
    void SetIdleHook(std::function<bool(int pass)> hook) override;
    int Run() override;
    bool RunUntil(const std::function<bool()>& done) override;
    void ProcessPending() override;
    void Quit(int code) override;
    bool QuitRequested() const override;
    void Close() override;
    std::uint64_t NowMs() const override;

    // Moves the clock forward, firing every timer that falls due on the way
    // (in time order, with queued work run between ticks), then runs what is
    // queued and one idle burst.
    void AdvanceBy(std::uint64_t ms);
    void AdvanceTo(std::uint64_t t);

    // A one-shot action at virtual time `t`: how tests script the user while
    // the program sits in its loop.
    void ScheduleAt(std::uint64_t t, Task action);
    void ScheduleAfter(std::uint64_t ms, Task action) {
        ScheduleAt(NowMs() + ms, std::move(action));
    }

    // With auto-advance, Run and RunUntil jump the clock to the next timer or
    // scheduled action whenever nothing else is left to do.
    void SetAutoAdvance(bool on) { auto_advance_ = on; }

    // How long Run and RunUntil wait, in real time, for a worker's Post or
    // Send when nothing else can happen. Then the loop counts as stalled and
    // returns (Run with kStalled), so a broken test fails instead of hanging.
    void SetStallTimeout(std::chrono::milliseconds t) { stall_timeout_ = t; }
    bool Stalled() const { return stalled_; }
    static constexpr int kStalled = -0x7FFF;

    // Idle passes per burst are capped so that a hook that always asks for
    // more cannot freeze virtual time.
    void SetIdlePassLimit(int passes) { idle_pass_limit_ = passes; }

    // Inspection.
    bool HasTimer(const void* owner) const;
    std::uint32_t TimerPeriod(const void* owner) const;  // 0 when none
    std::uint64_t TimerDue(const void* owner) const;     // 0 when none
    std::size_t TimerCount() const;
    std::size_t QueuedTasks() const;
    std::uint64_t TasksRun() const { return tasks_run_; }

  private:
    struct Timer {
        const void* owner;  // null for scheduled one-shots
        std::uint32_t period;
        std::uint64_t due;
        std::uint64_t seq;
        std::shared_ptr<Task> tick;
    };

    bool RunOne();
    void RunReady();
    void RunIdleBurst(const std::function<bool()>* done);
    // Fires the earliest timer due at or before `limit`; false if none.
    bool FireNextTimer(std::uint64_t limit);
    std::size_t FindTimer(const void* owner) const;
    void Did(bool idle);

    const std::thread::id ui_thread_;
    mutable std::mutex mu_;
    std::condition_variable cv_;  // new work or quit
    std::deque<Task> queue_;
    bool quit_ = false;
    int quit_code_ = 0;
    SendGate gate_;

    // UI thread only.
    std::vector<Timer> timers_;
    std::uint64_t next_seq_ = 1;
    std::atomic<std::uint64_t> now_{0};  // read by workers too
    std::function<bool(int)> idle_hook_;
    bool work_since_idle_ = true;
    bool auto_advance_ = false;
    bool stalled_ = false;
    int idle_pass_limit_ = 64;
    std::chrono::milliseconds stall_timeout_{10000};
    std::uint64_t tasks_run_ = 0;
};

}  // namespace kesu::platform::headless
