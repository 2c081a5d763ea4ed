#include "platform/headless/headless_loop.h"

#include <cstdio>
#include <limits>

namespace kesu::platform::headless {

HeadlessLoop::HeadlessLoop() : ui_thread_(std::this_thread::get_id()) {}

HeadlessLoop::~HeadlessLoop() {
    Close();
}

void HeadlessLoop::Post(Task task) {
    {
        std::lock_guard lock(mu_);
        queue_.push_back(std::move(task));
    }
    cv_.notify_all();
}

bool HeadlessLoop::Send(Task task) {
    if (IsUiThread()) {
        task();
        Did(false);
        return true;
    }
    return gate_.Send(
        task, [this](Task wrapper) { Post(std::move(wrapper)); }, [](const Task& t) { t(); });
}

bool HeadlessLoop::IsUiThread() const {
    return std::this_thread::get_id() == ui_thread_;
}

std::size_t HeadlessLoop::FindTimer(const void* owner) const {
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i].owner == owner && owner != nullptr) return i;
    }
    return timers_.size();
}

void HeadlessLoop::SetTimer(const void* owner, std::uint32_t period_ms, Task on_tick) {
    KillTimer(owner);
    if (period_ms == 0 || owner == nullptr) return;
    timers_.push_back(Timer{owner, period_ms, now_.load() + period_ms, next_seq_++,
                            std::make_shared<Task>(std::move(on_tick))});
}

void HeadlessLoop::KillTimer(const void* owner) {
    std::size_t i = FindTimer(owner);
    if (i < timers_.size()) timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(i));
}

void HeadlessLoop::ScheduleAt(std::uint64_t t, Task action) {
    timers_.push_back(Timer{nullptr, 0, t < now_.load() ? now_.load() : t, next_seq_++,
                            std::make_shared<Task>(std::move(action))});
}

void HeadlessLoop::SetIdleHook(std::function<bool(int)> hook) {
    idle_hook_ = std::move(hook);
}

void HeadlessLoop::Did(bool idle) {
    if (!idle) work_since_idle_ = true;
}

bool HeadlessLoop::RunOne() {
    Task task;
    {
        std::lock_guard lock(mu_);
        if (queue_.empty()) return false;
        task = std::move(queue_.front());
        queue_.pop_front();
    }
    task();
    ++tasks_run_;
    Did(false);
    return true;
}

void HeadlessLoop::RunReady() {
    while (RunOne()) {
    }
}

void HeadlessLoop::ProcessPending() {
    RunReady();
}

void HeadlessLoop::RunIdleBurst(const std::function<bool()>* done) {
    if (!idle_hook_ || !work_since_idle_) return;
    work_since_idle_ = false;
    for (int pass = 0; pass < idle_pass_limit_; ++pass) {
        // The hook may remove or replace itself.
        std::function<bool(int)> hook = idle_hook_;
        if (!hook || !hook(pass)) break;
        if (QuitRequested() || (done && *done && (*done)())) break;
        std::lock_guard lock(mu_);
        if (!queue_.empty()) break;
    }
}

bool HeadlessLoop::FireNextTimer(std::uint64_t limit) {
    std::size_t best = timers_.size();
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i].due > limit) continue;
        if (best == timers_.size() || timers_[i].due < timers_[best].due ||
            (timers_[i].due == timers_[best].due && timers_[i].seq < timers_[best].seq)) {
            best = i;
        }
    }
    if (best == timers_.size()) return false;
    Timer& t = timers_[best];
    if (t.due > now_.load()) now_.store(t.due);
    std::shared_ptr<Task> tick = t.tick;
    if (t.owner == nullptr) {
        timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(best));
    } else {
        // The next tick counts from this one; a handler that re-arms or
        // kills the timer replaces this entry. Ties keep the arming order.
        t.due += t.period;
    }
    (*tick)();
    Did(false);
    return true;
}

void HeadlessLoop::AdvanceTo(std::uint64_t t) {
    RunReady();
    while (FireNextTimer(t)) RunReady();
    if (t > now_.load()) now_.store(t);
    RunReady();
    RunIdleBurst(nullptr);
    RunReady();
}

void HeadlessLoop::AdvanceBy(std::uint64_t ms) {
    AdvanceTo(now_.load() + ms);
}

int HeadlessLoop::Run() {
    RunUntil([] { return false; });
    std::lock_guard lock(mu_);
    if (stalled_ && !quit_) return kStalled;
    quit_ = false;
    return quit_code_;
}

bool HeadlessLoop::RunUntil(const std::function<bool()>& done) {
    stalled_ = false;
    while (true) {
        if (done()) return true;
        if (QuitRequested()) return false;
        if (RunOne()) continue;
        if (idle_hook_ && work_since_idle_) {
            RunIdleBurst(&done);
            continue;
        }
        if (auto_advance_ && FireNextTimer(std::numeric_limits<std::uint64_t>::max())) continue;
        // Wait for a worker in short slices: the condition may also be met
        // by a worker that posts nothing (it sets a flag after its Send).
        auto deadline = std::chrono::steady_clock::now() + stall_timeout_;
        bool woke = false;
        while (!woke && std::chrono::steady_clock::now() < deadline) {
            std::unique_lock lock(mu_);
            woke = cv_.wait_for(lock, std::chrono::milliseconds(5),
                                [&] { return !queue_.empty() || quit_; });
            lock.unlock();
            if (!woke && done()) return true;
        }
        if (!woke) {
            stalled_ = true;
            std::fprintf(stderr, "headless loop: nothing left to do at %llu ms\n",
                         static_cast<unsigned long long>(now_.load()));
            return false;
        }
    }
}

void HeadlessLoop::Quit(int code) {
    {
        std::lock_guard lock(mu_);
        quit_ = true;
        quit_code_ = code;
    }
    cv_.notify_all();
}

bool HeadlessLoop::QuitRequested() const {
    std::lock_guard lock(mu_);
    return quit_;
}

void HeadlessLoop::Close() {
    gate_.Close();
}

std::uint64_t HeadlessLoop::NowMs() const {
    return now_.load();
}

bool HeadlessLoop::HasTimer(const void* owner) const {
    return FindTimer(owner) < timers_.size();
}

std::uint32_t HeadlessLoop::TimerPeriod(const void* owner) const {
    std::size_t i = FindTimer(owner);
    return i < timers_.size() ? timers_[i].period : 0;
}

std::uint64_t HeadlessLoop::TimerDue(const void* owner) const {
    std::size_t i = FindTimer(owner);
    return i < timers_.size() ? timers_[i].due : 0;
}

std::size_t HeadlessLoop::TimerCount() const {
    std::size_t n = 0;
    for (const Timer& t : timers_) n += t.owner != nullptr;
    return n;
}

std::size_t HeadlessLoop::QueuedTasks() const {
    std::lock_guard lock(mu_);
    return queue_.size();
}

}  // namespace kesu::platform::headless
