#include "platform/qt/qt_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace kesu::platform::qt {

namespace {

// Qt hands a posted event to the UI thread under a lock of its own. Qt is not
// built with ThreadSanitizer, which cannot see that lock, so the hand-over of
// each posted task is told to it: everything the poster did before posting
// happens before the task runs, exactly for that event, and nothing else is
// assumed.
#if defined(__SANITIZE_THREAD__)
void HandOver(QEvent* e) {
    __tsan_release(e);
}
void TakeOver(QEvent* e) {
    __tsan_acquire(e);
}
#else
void HandOver(QEvent*) {}
void TakeOver(QEvent*) {}
#endif

// A posted task; an empty one only wakes the loop.
class TaskEvent final : public QEvent {
  public:
    static constexpr QEvent::Type kType = QEvent::User;

    explicit TaskEvent(Task t) : QEvent(kType), task(std::move(t)) { HandOver(this); }
    // A task dropped undelivered with its receiver goes on the UI thread too.
    ~TaskEvent() override { TakeOver(this); }

    Task task;
};

}  // namespace

bool QtLoop::Receiver::event(QEvent* e) {
    // Before anything of the event is read, whatever its kind.
    TakeOver(e);
    if (e->type() != TaskEvent::kType) return QObject::event(e);
    auto* posted = static_cast<TaskEvent*>(e);
    if (posted->task) loop_.Work(posted->task);
    if (loop_.outer_ && loop_.quit_.load()) loop_.outer_->exit();
    return true;
}

QtLoop::QtLoop() {
    clock_.start();
    idle_timer_.setSingleShot(true);
    idle_timer_.setInterval(0);
    QObject::connect(&idle_timer_, &QTimer::timeout, &receiver_, [this] { IdlePass(); });
    check_timer_.setInterval(5);
    QObject::connect(&check_timer_, &QTimer::timeout, &receiver_, [] {});
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &receiver_, [this] { OnAboutToBlock(); });
}

QtLoop::~QtLoop() {
    Close();
    for (auto& [owner, timer] : timers_) delete timer;
}

void QtLoop::Post(Task task) {
    QCoreApplication::postEvent(&receiver_, new TaskEvent(std::move(task)));
}

bool QtLoop::Send(Task task) {
    if (IsUiThread()) {
        Work(task);
        return true;
    }
    // Not a blocking-queued call: a blocked sender must be releasable when the
    // program shuts down, which Qt's own blocking invocation cannot do.
    return gate_.Send(
        task, [this](Task wrapper) { Post(std::move(wrapper)); }, [](const Task& t) { t(); });
}

bool QtLoop::IsUiThread() const {
    return std::this_thread::get_id() == ui_thread_;
}

void QtLoop::SetTimer(const void* owner, std::uint32_t period_ms, Task on_tick) {
    KillTimer(owner);
    if (period_ms == 0 || owner == nullptr) return;
    auto* timer = new QTimer();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(period_ms));
    QObject::connect(timer, &QTimer::timeout, &receiver_,
                     [this, t = std::move(on_tick)] { Work(t); });
    timers_[owner] = timer;
    timer->start();
}

void QtLoop::KillTimer(const void* owner) {
    auto it = timers_.find(owner);
    if (it == timers_.end()) return;
    // The tick handler itself may kill its timer: stop it now, free it later.
    it->second->stop();
    it->second->disconnect();
    it->second->deleteLater();
    timers_.erase(it);
}

void QtLoop::SetIdleHook(std::function<bool(int)> hook) {
    idle_hook_ = std::move(hook);
}

void QtLoop::OnAboutToBlock() {
    if (!idle_hook_ || idle_active_ || !work_since_idle_) return;
    idle_active_ = true;
    idle_pass_ = 0;
    // The loop is about to look for events: the burst starts here, before it does, rather than
    // in a round of its own.
    IdlePass();
}

void QtLoop::IdlePass() {
    // The first passes of a burst run back to back in one round: after each piece of work a
    // burst is mostly just these, and a round of the loop apiece would cost more than they do.
    // Later passes, which a window asking for more idle time gets, take a round each, so that
    // what arrives meanwhile is served between them.
    constexpr int kFirstPasses = 3;
    do {
        work_since_idle_ = false;
        std::function<bool(int)> hook = idle_hook_;
        const bool more = hook && hook(idle_pass_);
        // Other work in between ends the burst; the next one starts at pass 0.
        if (!more || work_since_idle_ || quit_.load()) {
            idle_active_ = false;
            return;
        }
        ++idle_pass_;
    } while (idle_pass_ < kFirstPasses);
    idle_timer_.start();
}

void QtLoop::AfterWork() {
    work_since_idle_ = true;
}

int QtLoop::Run() {
    // The outer loop has no condition to re-check, only Quit to wait for, which wakes it: it is
    // the toolkit's own loop and sleeps until there is something to do. Should the toolkit end
    // its loops on its own (after QCoreApplication::exit no QEventLoop runs again), rounds of
    // events take over until Quit.
    while (!quit_.load()) {
        QEventLoop loop;
        outer_ = &loop;
        const bool ended_at_once = loop.exec() == -1;
        outer_ = nullptr;
        if (ended_at_once && !quit_.load()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
    }
    quit_.store(false);
    return quit_code_.load();
}

bool QtLoop::RunUntil(const std::function<bool()>& done) {
    if (done()) return true;
    if (quit_.load()) return false;
    if (depth_++ == 0) check_timer_.start();
    // Each round handles what has arrived, or waits for something to arrive;
    // every piece of work, and the check timer, ends a round.
    while (!done() && !quit_.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (--depth_ == 0) check_timer_.stop();
    return done();
}

void QtLoop::ProcessPending() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtLoop::Quit(int code) {
    quit_code_.store(code);
    quit_.store(true);
    // Wakes the UI thread so that its loops see the request.
    QCoreApplication::postEvent(&receiver_, new TaskEvent({}));
}

bool QtLoop::QuitRequested() const {
    return quit_.load();
}

void QtLoop::Close() {
    gate_.Close();
}

bool QtLoop::Closed() const {
    return gate_.Closed();
}

std::uint64_t QtLoop::NowMs() const {
    return static_cast<std::uint64_t>(clock_.elapsed());
}

}  // namespace kesu::platform::qt
