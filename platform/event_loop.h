#pragma once

// The user-interface thread's event loop. Every control, timer tick, idle
// call and user notification runs on the one thread that owns the loop; other
// threads reach it only through Post and Send.

#include <cstdint>
#include <functional>

namespace kesu::platform {

using Task = std::function<void()>;

class EventLoop {
  public:
    virtual ~EventLoop() = default;

    // Queues `task` to run on the UI thread after the tasks already queued.
    // Callable from any thread; never blocks and never runs the task inline.
    virtual void Post(Task task) = 0;

    // Runs `task` on the UI thread and waits until it has run. On the UI
    // thread it runs inline. A worker's Send is served while the UI thread sits
    // in a nested loop or a dialog as well. Returns false, without running the
    // task, when the loop has been closed (the program is shutting down), so a
    // worker never waits forever for a UI thread that will not come back.
    virtual bool Send(Task task) = 0;

    virtual bool IsUiThread() const = 0;

    // A periodic timer per owner: `on_tick` runs every `period_ms` on the UI
    // thread. Arming an owner that already has a timer replaces it and
    // restarts the count from now. A period of 0 stops the timer. Ticks go
    // through the queue, so a slow handler delays later ticks and missed ticks
    // are not replayed in a burst. Timers belong to the UI thread: arm and
    // kill them there.
    virtual void SetTimer(const void* owner, std::uint32_t period_ms, Task on_tick) = 0;
    virtual void KillTimer(const void* owner) = 0;

    // Called when the queue has run empty. The argument counts the passes of
    // the current idle burst (0, 1, 2, ...); the burst goes on while the hook
    // returns true and nothing else arrives, and the count restarts at 0 after
    // any other work. An empty function removes the hook.
    virtual void SetIdleHook(std::function<bool(int pass)> hook) = 0;

    // Runs the loop until Quit; returns the quit code and consumes the quit
    // request, so the loop can be run again afterwards.
    virtual int Run() = 0;

    // A nested loop (modal windows, a dialog shown on the UI thread): runs
    // until `done` returns true, checked before the first task and after each
    // piece of work. Returns true when `done` was met, false when Quit was
    // requested, in which case the request stays pending for the outer loop.
    virtual bool RunUntil(const std::function<bool()>& done) = 0;

    // Runs everything already queued, then returns.
    virtual void ProcessPending() = 0;

    // Ends Run (and every nested loop) with `code`. Callable from any thread.
    virtual void Quit(int code) = 0;
    virtual bool QuitRequested() const = 0;

    // Refuses further Sends and releases every worker blocked in Send with
    // false. Called once when the program shuts down.
    virtual void Close() = 0;

    // Milliseconds on a monotonic clock.
    virtual std::uint64_t NowMs() const = 0;
};

}  // namespace kesu::platform
