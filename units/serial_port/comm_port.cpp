#include "units/serial_port/comm_port.h"

#include <algorithm>
#include <chrono>

namespace kesu::units {

using platform::SerialDevice;

CommPort::CommPort(Poster post_to_window_thread) : queue_(std::make_shared<Queue>()) {
    queue_->post = std::move(post_to_window_thread);
    queue_->owner.store(this, std::memory_order_release);
}

CommPort::~CommPort() {
    Shutdown();
}

void CommPort::Shutdown() {
    queue_->owner.store(nullptr, std::memory_order_release);
    Close();
}

void CommPort::Attach(std::unique_ptr<SerialDevice> device) {
    std::lock_guard lifecycle(lifecycle_);
    CloseLocked();
    std::lock_guard lock(control_);
    device_ = std::move(device);
}

bool CommPort::StartThread() {
    std::lock_guard lifecycle(lifecycle_);
    std::lock_guard lock(control_);
    if (running_) {
        return true;
    }
    if (!device_) {
        return false;
    }
    stop_ = false;
    lost_ = false;
    write_requested_ = false;
    running_ = true;
    thread_ = std::thread([this] { ThreadMain(); });
    return true;
}

bool CommPort::IsRunning() const {
    std::lock_guard lock(control_);
    return running_;
}

void CommPort::StopThread() {
    {
        std::lock_guard lock(control_);
        if (!thread_.joinable()) {
            return;
        }
        stop_ = true;
        // A write in progress ends now rather than at its time-out, which for a peer that does
        // not read is Timeout milliseconds per byte.
        device_->Cancel();
        device_->Wake();
    }
    CallAttention();
    // Waiting for the thread to end, rather than polling for it, keeps the stopping thread off
    // the processor while a write in progress finishes.
    thread_.join();
    std::lock_guard lock(control_);
    running_ = false;
}

void CommPort::Close() {
    std::lock_guard lifecycle(lifecycle_);
    CloseLocked();
}

void CommPort::CancelWrite() {
    std::lock_guard lock(control_);
    if (device_) {
        device_->Cancel();
    }
}

void CommPort::CloseLocked() {
    StopThread();
    std::unique_ptr<SerialDevice> device;
    {
        std::lock_guard lock(control_);
        device = std::move(device_);
    }
    device.reset();
    std::lock_guard lock(queue_->mutex);
    queue_->queued.clear();
    queue_->generation.fetch_add(1, std::memory_order_release);
}

void CommPort::CallAttention() {
    queue_->attention.store(true, std::memory_order_release);
    // Taking the lock once orders the flag before a waiter's next look at it: either the waiter
    // sees it, or it is already asleep and the notification wakes it.
    { std::lock_guard lock(queue_->mutex); }
    queue_->room.notify_all();
}

int CommPort::Write(const uint8_t* data, int64_t length) {
    if (length <= 0) {
        // Nothing to send: the answer says only whether the port is open and running, and does
        // not wait for a write of another thread in progress.
        std::lock_guard lock(control_);
        return length == 0 && running_ && !stop_ && !lost_ ? 1 : 0;
    }
    std::lock_guard serial(write_serial_);
    std::unique_lock lock(control_);
    if (!running_ || stop_ || lost_) {
        return 0;
    }
    write_buffer_.assign(data, data + length);
    write_result_ = 1;
    write_done_ = false;
    write_requested_ = true;
    device_->Wake();
    lock.unlock();
    CallAttention();
    lock.lock();
    write_done_cv_.wait(lock, [this] { return write_done_; });
    const int result = write_result_;
    std::vector<uint8_t>().swap(write_buffer_);
    return result;
}

// ---- The I/O thread -----------------------------------------------------------------------------

void CommPort::ThreadMain() {
    SerialDevice& device = *device_;
    // The opener purges the port before it starts this thread. Purging again here would throw
    // away whatever arrived between the open and the moment this thread first ran, and how much
    // that is depends only on how busy the machine is: bytes a device sends right after the
    // open must be shown, not lost at random.
    for (;;) {
        uint32_t events = 0;
        const platform::WaitStatus status = device.WaitEvent(events);
        // Cleared before the requests are read, so a request made after this look raises it
        // again and a full queue cannot keep the thread from answering.
        queue_->attention.store(false, std::memory_order_release);
        bool write_now = false;
        {
            std::lock_guard lock(control_);
            if (stop_) {
                // A request that arrived together with the stop is answered, not left waiting.
                if (write_requested_) {
                    write_requested_ = false;
                    write_result_ = 0;
                    write_done_ = true;
                    write_done_cv_.notify_all();
                }
                return;
            }
            write_now = write_requested_;
            if (status == platform::WaitStatus::Vanished) {
                lost_ = true;
            }
        }
        if (status == platform::WaitStatus::Vanished) {
            // Reported once: the device never reports the loss again, and its later waits only
            // end when this thread is woken, so the thread does not spin on a dead device.
            Post(kNoteLineError);
        }
        if (status == platform::WaitStatus::Events) {
            // A write waiting to go out must not wait behind a full queue.
            HandleEvents(events, !write_now);
        }
        if (write_now) {
            WriteRequested();
        }
    }
}

void CommPort::HandleEvents(uint32_t events, bool may_wait) {
    using namespace platform;
    if (events & kEvBreak) Post(kNoteBreak);
    if (events & kEvErr) Post(kNoteLineError);
    if (events & kEvRxFlag) Post(kNoteEventChar);
    if (events & kEvRing) Post(kNoteRing);
    if (events & (kEvCts | kEvDsr | kEvRlsd)) {
        uint32_t status = 0;
        device_->ModemStatus(status);  // a failed read leaves every line off
        if (events & kEvCts) Post((status & kMsCtsOn) ? kNoteCtsOn : kNoteCtsOff);
        if (events & kEvDsr) Post((status & kMsDsrOn) ? kNoteDsrOn : kNoteDsrOff);
        if (events & kEvRlsd) Post((status & kMsRlsdOn) ? kNoteRlsdOn : kNoteRlsdOff);
    }
    ReadLoop(may_wait);
}

void CommPort::ReadLoop(bool may_wait) {
    uint8_t block[16384];
    for (;;) {
        {
            // A full queue waits for the window thread to take some; the bytes stay in the
            // device meanwhile. A stop or a write request ends the wait, and the next round
            // of the thread's loop comes back here.
            std::unique_lock lock(queue_->mutex);
            queue_->room.wait(lock, [this, may_wait] {
                return !may_wait || queue_->queued.bytes.size() < kQueueLimit ||
                       queue_->attention.load(std::memory_order_acquire);
            });
            if (queue_->queued.bytes.size() >= kQueueLimit) return;
        }
        uint32_t errors = 0;
        size_t count = 0;
        device_->ClearErrors(errors, count);
        if (errors & kReportedLineErrors) {
            Post(kNoteLineError);
        }
        if (count == 0) {
            return;
        }
        const size_t n = device_->Read(block, std::min(count, sizeof block));
        if (n == 0) {
            return;  // the count was stale; the next event brings the bytes
        }
        PostBytes(block, n);
    }
}

void CommPort::WriteRequested() {
    // Nothing is purged before a write. Received bytes the read loop has not taken yet must
    // survive it and still be delivered in order; and a device write ends once the driver holds
    // the bytes, not once they are on the line, so purging the transmit side would throw away
    // what the previous write left unsent.
    // The buffer is the requester's until write_requested_ was seen under the lock, and it waits
    // for write_done_ before touching it again, so the write itself needs no lock.
    const bool ok = device_->Write(write_buffer_.data(), write_buffer_.size());
    std::lock_guard lock(control_);
    write_requested_ = false;
    write_result_ = ok ? 1 : 0;
    write_done_ = true;
    write_done_cv_.notify_all();
}

// ---- The notification queue ---------------------------------------------------------------------

void CommPort::PostDrainLocked(const std::shared_ptr<Queue>& queue, bool& post_now) {
    post_now = !queue->drainPosted && !queue->queued.empty();
    if (post_now) {
        queue->drainPosted = true;
    }
}

void CommPort::Post(int code, int value) {
    bool post_now;
    {
        std::lock_guard lock(queue_->mutex);
        if (code == kNoteByte) {
            queue_->queued.bytes.push_back(static_cast<uint8_t>(value));
        } else {
            queue_->queued.lines.push_back({queue_->queued.bytes.size(), code});
        }
        PostDrainLocked(queue_, post_now);
    }
    if (post_now) {
        queue_->post([queue = queue_] { Drain(queue); });
    }
}

void CommPort::PostBytes(const uint8_t* bytes, size_t count) {
    bool post_now;
    {
        std::lock_guard lock(queue_->mutex);
        queue_->queued.bytes.insert(queue_->queued.bytes.end(), bytes, bytes + count);
        PostDrainLocked(queue_, post_now);
    }
    if (post_now) {
        queue_->post([queue = queue_] { Drain(queue); });
    }
}

void CommPort::Drain(const std::shared_ptr<Queue>& queue) {
    Queue& q = *queue;
    {
        std::lock_guard lock(q.mutex);
        q.drainPosted = false;
        // A handler that runs a nested event loop may let another drain run in the middle of
        // this one; that drain leaves the queue alone so entries keep their order, and this one
        // posts a fresh drain for what is left.
        if (q.draining) return;
        q.draining = true;
        const uint32_t generation = q.generation.load(std::memory_order_acquire);
        if (q.batchGeneration != generation) {
            // Taken before a close: its entries fire no events, and the places in it go too,
            // or the next batch would never be taken and the drain would post itself forever.
            q.batch.clear();
            q.nextByte = q.nextLine = 0;
            q.batchGeneration = generation;
        }
        if (q.nextByte == q.batch.bytes.size() && q.nextLine == q.batch.lines.size()) {
            // The batch is done; the queue's entries become the next one, and the queue keeps
            // the old batch's storage so that a steady stream does not allocate.
            q.batch.clear();
            std::swap(q.batch, q.queued);
            q.nextByte = 0;
            q.nextLine = 0;
            q.room.notify_all();
        }
    }
    const bool owner_left = !DeliverSlice(q);
    bool post_now = false;
    {
        std::lock_guard lock(q.mutex);
        q.draining = false;
        if (owner_left) {
            q.batch.clear();
            q.nextByte = q.nextLine = 0;
            PostDrainLocked(queue, post_now);
        } else if (q.nextByte < q.batch.bytes.size() || q.nextLine < q.batch.lines.size()) {
            post_now = !q.drainPosted;
            q.drainPosted = true;
        } else {
            PostDrainLocked(queue, post_now);
        }
    }
    if (post_now) {
        q.post([queue] { Drain(queue); });
    }
}

bool CommPort::DeliverSlice(Queue& q) {
    const auto start = std::chrono::steady_clock::now();
    const uint32_t generation = q.batchGeneration;
    const std::vector<uint8_t>& bytes = q.batch.bytes;
    const std::vector<LineNote>& lines = q.batch.lines;
    // Reading the clock costs more than delivering a byte, so it is read every so many events.
    constexpr unsigned kClockEvery = 256;
    unsigned until_clock = kClockEvery;
    for (;;) {
        // The unit's window (and the engine with it) may be gone after any event, or the port
        // closed: the rest of the batch is then dropped.
        CommPort* owner = q.owner.load(std::memory_order_acquire);
        if (owner == nullptr) return false;
        if (q.generation.load(std::memory_order_acquire) != generation) return false;
        if (q.nextLine < lines.size() && lines[q.nextLine].before <= q.nextByte) {
            owner->FireLineEvent(lines[q.nextLine++].code);
        } else if (q.nextByte < bytes.size()) {
            owner->FireDataEvent(bytes[q.nextByte++]);
        } else {
            return true;
        }
        if (--until_clock == 0) {
            until_clock = kClockEvery;
            if (std::chrono::steady_clock::now() - start >=
                std::chrono::microseconds(kSliceMicroseconds)) {
                return true;
            }
        }
    }
}

}  // namespace kesu::units
