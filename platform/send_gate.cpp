#include "platform/send_gate.h"

namespace kesu::platform {

bool SendGate::Send(const Task& task, const std::function<void(Task)>& enqueue,
                    const std::function<void(const Task&)>& run) {
    auto ticket = std::make_shared<Ticket>();
    {
        std::lock_guard lock(mu_);
        if (closed_) return false;
        pending_.push_back(ticket);
    }
    // The wrapper refers to the sender's task and run function: the sender
    // waits below until the wrapper is done with them or has been abandoned,
    // and an abandoned wrapper touches neither.
    enqueue([this, ticket, &task, &run] {
        {
            std::lock_guard lock(mu_);
            if (ticket->phase != Ticket::Phase::Pending) return;
            ticket->phase = Ticket::Phase::Running;
        }
        run(task);
        {
            std::lock_guard lock(mu_);
            ticket->phase = Ticket::Phase::Done;
            std::erase(pending_, ticket);
        }
        cv_.notify_all();
    });
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] {
        return ticket->phase == Ticket::Phase::Done || ticket->phase == Ticket::Phase::Abandoned;
    });
    return ticket->phase == Ticket::Phase::Done;
}

void SendGate::Close() {
    {
        std::lock_guard lock(mu_);
        closed_ = true;
        for (auto& t : pending_) {
            if (t->phase == Ticket::Phase::Pending) t->phase = Ticket::Phase::Abandoned;
        }
        pending_.clear();
    }
    cv_.notify_all();
}

bool SendGate::Closed() const {
    std::lock_guard lock(mu_);
    return closed_;
}

}  // namespace kesu::platform
