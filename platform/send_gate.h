#pragma once

// The hand-over behind EventLoop::Send, shared by the backends: a worker's
// task is queued on the UI thread through the backend's own queue, and the
// worker waits until it has run, or until the gate closes at shutdown, in
// which case the task will never run and the worker is released.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/event_loop.h"

namespace kesu::platform {

class SendGate {
  public:
    // Queues a wrapper of `task` with `enqueue` and waits. The wrapper calls
    // `run(task)` on the UI thread unless the gate closed first. Returns
    // whether the task ran; false at once when the gate is already closed.
    bool Send(const Task& task, const std::function<void(Task)>& enqueue,
              const std::function<void(const Task&)>& run);

    // Releases every waiting sender with false and refuses further sends.
    void Close();
    bool Closed() const;

  private:
    struct Ticket {
        enum class Phase { Pending, Running, Done, Abandoned };
        Phase phase = Phase::Pending;
    };
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::vector<std::shared_ptr<Ticket>> pending_;
    bool closed_ = false;
};

}  // namespace kesu::platform
