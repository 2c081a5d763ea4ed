// The termios serial device. This file includes the kernel's termbits (for termios2) instead of
// <termios.h>: the two define the same names and cannot be mixed.
#include "platform/posix/serial_posix.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "platform/posix/marked_input.h"
#include "platform/posix/port_claim.h"

namespace kesu::platform {
namespace {

// Received bytes are taken from the tty in blocks of this size; the buffer stops taking more
// (and leaves the rest in the kernel) once it holds kBufferLimit unread bytes.
constexpr size_t kReadBlock = 64 * 1024;
constexpr size_t kBufferLimit = 1024 * 1024;
// How often modem lines and line-error counters are sampled while the event mask asks for them.
constexpr int kLineWatchMs = 20;
constexpr uint32_t kLineEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvBreak | kEvErr;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class PosixSerialDevice final : public SerialDevice {
  public:
    PosixSerialDevice(int fd, int wake_fd, int cancel_fd, std::optional<UucpLock> lock)
        : fd_(fd), wake_fd_(wake_fd), cancel_fd_(cancel_fd), lock_(std::move(lock)) {
        int status = 0;
        modem_lines_ = ::ioctl(fd_, TIOCMGET, &status) == 0;
        last_lines_ = status;
        serial_icounter_struct counts{};
        counters_ = ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
        last_counts_ = counts;
        applied_.rts = (status & TIOCM_RTS) ? LineControl::Enable : LineControl::Disable;
        applied_.dtr = (status & TIOCM_DTR) ? LineControl::Enable : LineControl::Disable;
    }

    ~PosixSerialDevice() override {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        ::close(wake_fd_);
        ::close(cancel_fd_);
    }

    bool GetSettings(LineSettings& out) override {
        termios2 tio{};
        if (::ioctl(fd_, TCGETS2, &tio) != 0) {
            return false;
        }
        LineSettings s = applied_;
        s.baud_rate = tio.c_ospeed;
        switch (tio.c_cflag & CSIZE) {
            case CS5:
                s.data_bits = 5;
                break;
            case CS6:
                s.data_bits = 6;
                break;
            case CS7:
                s.data_bits = 7;
                break;
            default:
                s.data_bits = 8;
                break;
        }
        if (!(tio.c_cflag & PARENB)) {
            s.parity = Parity::None;
        } else if (tio.c_cflag & CMSPAR) {
            s.parity = (tio.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
        } else {
            s.parity = (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
        }
        if (!(tio.c_cflag & CSTOPB)) {
            s.stop_bits = StopBits::One;
        } else if (applied_.stop_bits != StopBits::OneAndHalf) {
            s.stop_bits = StopBits::Two;
        }
        s.parity_check = (tio.c_iflag & INPCK) != 0;
        const bool crtscts = (tio.c_cflag & CRTSCTS) != 0;
        s.cts_flow = crtscts && applied_.cts_flow;
        if (crtscts && applied_.cts_flow && applied_.rts == LineControl::Handshake) {
            s.rts = LineControl::Handshake;
        } else if (int lines = 0; modem_lines_ && ::ioctl(fd_, TIOCMGET, &lines) == 0) {
            s.rts = (lines & TIOCM_RTS) ? LineControl::Enable : LineControl::Disable;
            if (applied_.dtr != LineControl::Handshake) {
                s.dtr = (lines & TIOCM_DTR) ? LineControl::Enable : LineControl::Disable;
            }
        }
        s.xon_out = (tio.c_iflag & IXON) != 0;
        s.xon_in = (tio.c_iflag & IXOFF) != 0;
        s.xon_char = tio.c_cc[VSTART];
        s.xoff_char = tio.c_cc[VSTOP];
        out = s;
        return true;
    }

    bool SetSettings(const LineSettings& s) override {
        if (s.baud_rate == 0 || s.data_bits < 5 || s.data_bits > 8 ||
            static_cast<int>(s.parity) > 4 || static_cast<int>(s.stop_bits) > 2) {
            return false;
        }
        termios2 tio{};
        if (::ioctl(fd_, TCGETS2, &tio) != 0) {
            return false;
        }
        MakeRaw(tio);
        tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
        tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        tio.c_ispeed = tio.c_ospeed = s.baud_rate;
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | kSizes[s.data_bits - 5];
        tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        switch (s.parity) {
            case Parity::None:
                break;
            case Parity::Odd:
                tio.c_cflag |= PARENB | PARODD;
                break;
            case Parity::Even:
                tio.c_cflag |= PARENB;
                break;
            case Parity::Mark:
                tio.c_cflag |= PARENB | CMSPAR | PARODD;
                break;
            case Parity::Space:
                tio.c_cflag |= PARENB | CMSPAR;
                break;
        }
        if (s.stop_bits == StopBits::One) {
            tio.c_cflag &= ~CSTOPB;
        } else {
            tio.c_cflag |= CSTOPB;
        }
        if (s.parity_check) {
            // Without PARMRK the tty turns every byte with a parity or framing error into 00;
            // with it the byte keeps its value and comes marked, and the marks are decoded here.
            tio.c_iflag |= INPCK | PARMRK;
        }
        // Output waits for CTS only when the setting names CTS. An RTS handshake without it
        // (RTS/DSR) cannot be had from Linux without also holding output on CTS, which might
        // never come: RTS is held on instead.
        if (s.cts_flow) {
            tio.c_cflag |= CRTSCTS;
        } else {
            tio.c_cflag &= ~CRTSCTS;
        }
        if (s.xon_out) {
            tio.c_iflag |= IXON;
        }
        if (s.xon_in) {
            tio.c_iflag |= IXOFF;
        }
        tio.c_cc[VSTART] = s.xon_char;
        tio.c_cc[VSTOP] = s.xoff_char;
        if (::ioctl(fd_, TCSETS2, &tio) != 0) {
            return false;
        }
        // A driver may round a rate it cannot produce; a large difference means the rate is not
        // available, which is a refusal, not a success at some other speed.
        termios2 back{};
        if (::ioctl(fd_, TCGETS2, &back) != 0) {
            return false;
        }
        const uint64_t want = s.baud_rate, got = back.c_ospeed;
        if ((got > want ? got - want : want - got) * 100 > want * 3) {
            return false;
        }
        applied_ = s;
        if (s.parity_check != marking_) {
            // Bytes already buffered were read under the old setting and stay as they are.
            decoder_.Reset();
            marking_ = s.parity_check;
        }
        // The levels of the control lines are best effort: pseudo-terminals have none, and the
        // settings themselves were applied. The driver moves RTS itself under CRTSCTS.
        if (!s.cts_flow) {
            SetModemBit(TIOCM_RTS, s.rts != LineControl::Disable);
        } else if (s.rts != LineControl::Handshake) {
            SetModemBit(TIOCM_RTS, s.rts == LineControl::Enable);
        }
        SetModemBit(TIOCM_DTR, s.dtr != LineControl::Disable);
        return true;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return true;
    }

    bool SetEventMask(uint32_t mask) override {
        mask_ = mask;
        latched_ = 0;
        return true;
    }

    WaitStatus WaitEvent(uint32_t& events) override {
        for (;;) {
            if (Buffered() > 0) {
                latched_ |= kEvRxChar;
            }
            if (uint32_t ready = latched_ & mask_; ready != 0) {
                latched_ &= ~ready;
                events = ready;
                return WaitStatus::Events;
            }
            events = 0;
            if (vanished_ && !vanish_reported_) {
                vanish_reported_ = true;
                return WaitStatus::Vanished;
            }
            pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
            const bool watch_tty = !vanished_ && Buffered() < kBufferLimit;
            const bool watch_lines =
                !vanished_ && (modem_lines_ || counters_) && (mask_ & kLineEvents) != 0;
            int r = ::poll(fds, watch_tty ? 2 : 1, watch_lines ? kLineWatchMs : -1);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                // poll itself failing leaves nothing sensible to wait on; report a wake-up so
                // the caller looks at its requests instead of spinning here.
                return WaitStatus::Interrupted;
            }
            if (fds[0].revents & POLLIN) {
                uint64_t count = 0;
                [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
                return WaitStatus::Interrupted;
            }
            if (watch_tty && fds[1].revents != 0) {
                Fill(fds[1].revents);
            }
            if (watch_lines) {
                SampleLines();
            }
        }
    }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
    }

    bool ClearErrors(uint32_t& errors, size_t& input_count) override {
        if (counters_ && !vanished_) {
            SampleCounters();
        }
        errors = errors_;
        errors_ = 0;
        // After a read that left the driver empty, the next bytes are for the wait to see; asking
        // again at once would only come back empty.
        if (Buffered() == 0 && !vanished_ && !drained_) {
            Fill(POLLIN);
        }
        // A byte that came with an error is reported here, just before the read that hands it
        // out, so its line error comes before the byte itself and after the bytes before it.
        if (!marks_.empty() && marks_.front() == taken_) {
            marks_.pop_front();
            errors |= applied_.parity == Parity::None ? kCeFrame : kCeRxParity;
        }
        input_count = Readable();
        return true;
    }

    size_t Read(uint8_t* buffer, size_t capacity) override {
        const size_t n = std::min(capacity, Readable());
        std::memcpy(buffer, rx_.data() + rx_head_, n);
        rx_head_ += n;
        taken_ += n;
        if (rx_head_ == rx_.size()) {
            rx_.clear();
            rx_head_ = 0;
        }
        return n;
    }

    bool Write(const uint8_t* data, size_t length) override {
        if (Cancelled()) {
            return false;
        }
        const uint64_t limit =
            uint64_t{timeouts_.write_multiplier} * length + timeouts_.write_constant;
        const int64_t deadline = limit == 0 ? -1 : NowMs() + static_cast<int64_t>(limit);
        size_t done = 0;
        while (done < length) {
            ssize_t n = ::write(fd_, data + done, length - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN) {
                return false;  // EIO once the device has gone
            }
            int wait_ms = -1;
            if (deadline >= 0) {
                const int64_t left = deadline - NowMs();
                if (left <= 0) {
                    return false;
                }
                wait_ms = static_cast<int>(std::min<int64_t>(left, 1 << 30));
            }
            pollfd fds[2] = {{fd_, POLLOUT, 0}, {cancel_fd_, POLLIN, 0}};
            if (::poll(fds, 2, wait_ms) < 0 && errno != EINTR) {
                return false;
            }
            if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) || fds[1].revents != 0) {
                return false;
            }
        }
        return true;
    }

    void Cancel() override {
        // The counter is never read back: once cancelled, the device stays cancelled.
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(cancel_fd_, &one, sizeof one);
    }

    bool Purge(uint32_t directions) override {
        bool ok = true;
        if (directions & kPurgeRx) {
            taken_ += Buffered();
            rx_.clear();
            rx_head_ = 0;
            marks_.clear();
            decoder_.Reset();
            ok = ::ioctl(fd_, TCFLSH, TCIFLUSH) == 0;
        }
        if (directions & kPurgeTx) {
            ok = ::ioctl(fd_, TCFLSH, TCOFLUSH) == 0 && ok;
        }
        return ok;
    }

    bool SetLine(Line line, bool on) override {
        if (!modem_lines_) {
            return false;  // pseudo-terminals have no lines, and break would be silently ignored
        }
        switch (line) {
            case Line::Dtr:
                return SetModemBit(TIOCM_DTR, on);
            case Line::Rts:
                return SetModemBit(TIOCM_RTS, on);
            case Line::Break:
                return ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
        }
        return false;
    }

    bool ModemStatus(uint32_t& status) override {
        int lines = 0;
        if (!modem_lines_ || ::ioctl(fd_, TIOCMGET, &lines) != 0) {
            return false;
        }
        status = ((lines & TIOCM_CTS) ? kMsCtsOn : 0) | ((lines & TIOCM_DSR) ? kMsDsrOn : 0) |
                 ((lines & TIOCM_RNG) ? kMsRingOn : 0) | ((lines & TIOCM_CAR) ? kMsRlsdOn : 0);
        return true;
    }

  private:
    static void MakeRaw(termios2& tio) {
        tio.c_iflag &= ~(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                         IMAXBEL | IGNPAR | INPCK);
        // Breaks are counted by the driver; without IGNBRK each would also arrive as a 0 byte.
        tio.c_iflag |= IGNBRK;
        tio.c_oflag &= ~OPOST;
        tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag |= CREAD | CLOCAL;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
    }

    size_t Buffered() const { return rx_.size() - rx_head_; }

    // The bytes a read may take now: those before the next byte that came with an error.
    size_t Readable() const {
        const size_t buffered = Buffered();
        if (marks_.empty()) {
            return buffered;
        }
        return std::min<uint64_t>(buffered, marks_.front() - taken_);
    }

    bool Cancelled() const {
        pollfd in{cancel_fd_, POLLIN, 0};
        return ::poll(&in, 1, 0) > 0;
    }

    bool SetModemBit(int bit, bool on) { return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0; }

    // Takes one block from the tty into the buffer. A hang-up or EIO (USB unplug, pseudo-terminal
    // master closed) marks the device vanished, after which the tty is no longer polled.
    void Fill(short revents) {
        if (rx_head_ > 0 && rx_head_ >= rx_.size() / 2) {
            rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(rx_head_));
            rx_head_ = 0;
        }
        size_t old = rx_.size();
        ssize_t n;
        if (marking_) {
            raw_.resize(kReadBlock);
            n = ::read(fd_, raw_.data(), kReadBlock);
            if (n > 0) {
                // Positions of the marked bytes count from the first byte ever buffered.
                const uint64_t base = taken_ - rx_head_;
                const size_t first_mark = errored_.size();
                decoder_.Feed(raw_.data(), static_cast<size_t>(n), rx_, errored_);
                for (size_t i = first_mark; i < errored_.size(); ++i) {
                    marks_.push_back(base + errored_[i]);
                }
                errored_.clear();
            }
        } else {
            rx_.resize(old + kReadBlock);
            n = ::read(fd_, rx_.data() + old, kReadBlock);
            rx_.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
        }
        drained_ = n < static_cast<ssize_t>(kReadBlock);
        if (n > 0) {
            if (rx_.size() > old) {
                latched_ |= kEvRxChar;
            }
            if (std::memchr(rx_.data() + old, applied_.event_char, rx_.size() - old)) {
                latched_ |= kEvRxFlag;
            }
            return;
        }
        const bool hung_up = n == 0 && (revents & POLLHUP);
        const bool failed = n < 0 && errno != EAGAIN && errno != EINTR;
        if (hung_up || failed || (revents & (POLLERR | POLLNVAL))) {
            vanished_ = true;
        }
    }

    void SampleLines() {
        if (counters_) {
            SampleCounters();
        }
        int lines = 0;
        if (!modem_lines_) {
            return;
        }
        if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
            if (errno == EIO || errno == ENODEV) {
                vanished_ = true;
            }
            return;
        }
        const int changed = lines ^ last_lines_;
        last_lines_ = lines;
        if (changed & TIOCM_CTS) latched_ |= kEvCts;
        if (changed & TIOCM_DSR) latched_ |= kEvDsr;
        if (changed & TIOCM_CAR) latched_ |= kEvRlsd;
        if ((changed & TIOCM_RNG) && (lines & TIOCM_RNG)) latched_ |= kEvRing;
    }

    // The driver's counters catch what sampling the lines would miss: short pulses, breaks and
    // line errors.
    void SampleCounters() {
        serial_icounter_struct now{};
        if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) {
            return;
        }
        const serial_icounter_struct& was = last_counts_;
        if (now.cts != was.cts) latched_ |= kEvCts;
        if (now.dsr != was.dsr) latched_ |= kEvDsr;
        if (now.dcd != was.dcd) latched_ |= kEvRlsd;
        if (now.rng != was.rng) latched_ |= kEvRing;
        if (now.brk != was.brk) {
            latched_ |= kEvBreak;
            errors_ |= kCeBreak;
        }
        uint32_t errors = 0;
        // While bytes come marked, each parity or framing error is reported with its byte; the
        // counters would report it a second time, and earlier than the byte.
        if (now.frame != was.frame && !marking_) errors |= kCeFrame;
        if (now.parity != was.parity && !marking_) errors |= kCeRxParity;
        if (now.overrun != was.overrun) errors |= kCeOverrun;
        if (now.buf_overrun != was.buf_overrun) errors |= kCeRxOver;
        if (errors != 0) {
            latched_ |= kEvErr;
            errors_ |= errors;
        }
        last_counts_ = now;
    }

    const int fd_;
    const int wake_fd_;
    const int cancel_fd_;
    std::optional<UucpLock> lock_;
    bool modem_lines_ = false;
    bool counters_ = false;
    bool vanished_ = false;
    bool drained_ = false;  // the last read left nothing in the driver
    bool vanish_reported_ = false;
    bool marking_ = false;  // PARMRK is on: received bytes pass through the decoder
    MarkedInputDecoder decoder_;
    std::vector<uint8_t> raw_;
    std::vector<size_t> errored_;
    std::deque<uint64_t> marks_;  // positions of buffered bytes that came with an error
    uint64_t taken_ = 0;          // position of the next byte a read hands out
    int last_lines_ = 0;
    serial_icounter_struct last_counts_{};
    uint32_t mask_ = 0;
    uint32_t latched_ = 0;
    uint32_t errors_ = 0;
    std::vector<uint8_t> rx_;
    size_t rx_head_ = 0;
    LineSettings applied_;
    SerialTimeouts timeouts_;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenPosixSerial(const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    auto refuse = [fd] {
        ::close(fd);
        return nullptr;
    };
    termios2 tio{};
    struct stat info {};
    // flock keeps out every cooperating program and every other SerialDevice of this process.
    if (::ioctl(fd, TCGETS2, &tio) != 0 || ::fstat(fd, &info) != 0 ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse();
    }
    // Programs that take no flock: whoever has the device open, or names it in a lock file.
    char resolved[PATH_MAX];
    const std::string device = ::realpath(path.c_str(), resolved) ? resolved : path;
    std::optional<UucpLock> lock;
    if (OpenedByOtherProcess(info.st_rdev) ||
        UucpLock::Take(device, lock) == UucpLock::Outcome::InUse) {
        return refuse();
    }
    // TIOCEXCL keeps out plain opens by other users from now on.
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return refuse();
    }
    const int wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int cancel_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd < 0 || cancel_fd < 0) {
        if (wake_fd >= 0) ::close(wake_fd);
        if (cancel_fd >= 0) ::close(cancel_fd);
        ::ioctl(fd, TIOCNXCL);
        return refuse();
    }
    auto device_object =
        std::make_unique<PosixSerialDevice>(fd, wake_fd, cancel_fd, std::move(lock));
    // Start from raw mode with the tty's current line settings, so a port that is opened but not
    // configured does not translate or echo bytes.
    LineSettings current;
    if (!device_object->GetSettings(current)) {
        return nullptr;
    }
    if (current.baud_rate == 0) {
        current.baud_rate = 9600;
    }
    current.xon_out = current.xon_in = false;
    current.parity_check = false;
    if (!device_object->SetSettings(current)) {
        return nullptr;
    }
    return device_object;
}

std::unique_ptr<SerialDevice> PosixSerialPorts::Open(int port_number) {
    return OpenPosixSerial(ComPortPath(port_number, port_dir_));
}

}  // namespace kesu::platform
