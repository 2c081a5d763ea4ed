// A serial device wrapper for engine tests. While its gate is closed, the I/O thread's waits do
// not reach the real device, so several things that happen on the line meanwhile are reported by
// one wait, as one port event. It also counts wake-ups and purges.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/serial.h"

namespace kesu::testing {

class GatedDevice : public platform::SerialDevice {
  public:
    explicit GatedDevice(std::unique_ptr<platform::SerialDevice> inner, bool open = true)
        : inner_(std::move(inner)), open_(open) {}

    void OpenGate() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    // True once the I/O thread sits behind the closed gate.
    bool Parked() const {
        std::lock_guard lock(mutex_);
        return parked_;
    }

    std::atomic<int> waits{0};  // waits begun: the I/O thread has purged and is listening
    std::atomic<int> wakes{0};
    std::atomic<int> rx_purges{0};
    std::atomic<int> tx_purges{0};
    std::atomic<size_t> bytes_read{0};  // taken from the device by the I/O thread

    bool GetSettings(platform::LineSettings& out) override { return inner_->GetSettings(out); }
    bool SetSettings(const platform::LineSettings& s) override { return inner_->SetSettings(s); }
    bool SetTimeouts(const platform::SerialTimeouts& t) override { return inner_->SetTimeouts(t); }
    bool SetEventMask(uint32_t mask) override { return inner_->SetEventMask(mask); }

    platform::WaitStatus WaitEvent(uint32_t& events) override {
        ++waits;
        {
            std::unique_lock lock(mutex_);
            parked_ = !open_;
            cv_.wait(lock, [this] { return open_ || woken_; });
            parked_ = false;
            if (!open_) {
                woken_ = false;
                events = 0;
                return platform::WaitStatus::Interrupted;
            }
        }
        return inner_->WaitEvent(events);
    }

    void Wake() override {
        ++wakes;
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
            cv_.notify_all();
        }
        inner_->Wake();
    }

    bool ClearErrors(uint32_t& errors, size_t& count) override {
        return inner_->ClearErrors(errors, count);
    }
    size_t Read(uint8_t* buffer, size_t capacity) override {
        const size_t n = inner_->Read(buffer, capacity);
        bytes_read += n;
        return n;
    }
    bool Write(const uint8_t* data, size_t length) override { return inner_->Write(data, length); }
    void Cancel() override { inner_->Cancel(); }
    bool Purge(uint32_t directions) override {
        if (directions & platform::kPurgeRx) ++rx_purges;
        if (directions & platform::kPurgeTx) ++tx_purges;
        return inner_->Purge(directions);
    }
    bool SetLine(platform::Line line, bool on) override { return inner_->SetLine(line, on); }
    bool ModemStatus(uint32_t& status) override { return inner_->ModemStatus(status); }

  private:
    std::unique_ptr<platform::SerialDevice> inner_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool open_;
    bool woken_ = false;
    bool parked_ = false;
};

}  // namespace kesu::testing
