#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/send_gate.h"

namespace kesu::platform::qt {

// Posts and sends are events posted to an object living on the UI thread. A
// nested loop of the program processes events until its condition holds or
// Quit is asked for; it is not a QEventLoop, which the toolkit could end on its
// own (after QCoreApplication::exit every QEventLoop returns at once).
class QtLoop final : public EventLoop {
  public:
    QtLoop();
    ~QtLoop() override;

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

    // Runs program code called back by Qt (a notification, a dialog answer)
    // with the bookkeeping every piece of work gets.
    template <class F>
    void Work(F&& f) {
        f();
        AfterWork();
    }
    bool Closed() const;

  private:
    // The object on the UI thread that posted tasks are delivered to.
    class Receiver final : public QObject {
      public:
        explicit Receiver(QtLoop& loop) : loop_(loop) {}
        bool event(QEvent* e) override;

      private:
        QtLoop& loop_;
    };

    void AfterWork();
    void OnAboutToBlock();
    void IdlePass();

    Receiver receiver_{*this};
    // The thread the receiver lives on, kept as a plain id: every property access asks whether
    // it runs there, and comparing ids is much cheaper than asking the toolkit.
    std::thread::id ui_thread_ = std::this_thread::get_id();
    QElapsedTimer clock_;
    SendGate gate_;
    std::atomic<bool> quit_{false};
    std::atomic<int> quit_code_{0};

    std::map<const void*, QTimer*> timers_;
    int depth_ = 0;                // nested loops of the program running
    QEventLoop* outer_ = nullptr;  // the loop of Run, while it runs
    std::function<bool(int)> idle_hook_;
    QTimer idle_timer_;
    // Wakes the nested loops now and then to re-check their conditions: a
    // worker may meet one without giving the UI thread any work. Run's loop,
    // which has no condition, runs without it.
    QTimer check_timer_;
    bool work_since_idle_ = true;
    bool idle_active_ = false;
    int idle_pass_ = 0;
};

}  // namespace kesu::platform::qt
