// A stand-in for the window thread in tests that run the real I/O thread: tasks posted from any
// thread wait in a queue until the test thread runs them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kesu::testing {

class WindowQueue {
  public:
    void Post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ++posted_;
        cv_.notify_all();
    }

    auto Poster() {
        return [this](std::function<void()> task) { Post(std::move(task)); };
    }

    // Runs tasks as they come until `done` holds; false when the deadline passed first.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            RunPending();
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            // Conditions that no task signals (bytes at the far end of a line) are looked at
            // again every few milliseconds.
            std::unique_lock lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !tasks_.empty(); });
        }
    }

    // Waits (without running anything) until at least `count` tasks were posted in total.
    bool WaitPosted(size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, deadline, [&] { return posted_ >= count; });
    }

    void RunPending() {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    // Runs the oldest waiting task, if any; true if one ran.
    bool RunOne() {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) return false;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }

    size_t posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    size_t posted_ = 0;
};

}  // namespace kesu::testing
