// A pseudo-terminal pair for tests and benchmarks: the slave is the serial port under test, the
// master is the far end of its cable.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace kesu::testing {

class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            char name[128];
            if (::ptsname_r(master_, name, sizeof name) == 0) {
                slave_path_ = name;
            }
        }
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && !slave_path_.empty(); }
    int master() const { return master_; }
    const std::string& slave_path() const { return slave_path_; }

    // Writes everything (blocking), as the device at the far end sending.
    bool Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads until `count` bytes came or the deadline passed.
    std::string Receive(size_t count,
                        std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + deadline;
        char buffer[4096];
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd in{master_, POLLIN, 0};
            if (::poll(&in, 1, 20) > 0 && (in.revents & POLLIN)) {
                ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n <= 0) break;
                got.append(buffer, static_cast<size_t>(n));
            }
        }
        return got;
    }

    // The far end goes away, as when a USB adapter is pulled.
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    std::string slave_path_;
};

}  // namespace kesu::testing
