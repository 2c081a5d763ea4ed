#include "platform/virtual/virtual_serial.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>

namespace kesu::platform {

// ---- The device simulator -----------------------------------------------------------------------

void DeviceSimulator::SetEcho(bool echo) {
    std::lock_guard lock(mutex_);
    echo_ = echo;
}

void DeviceSimulator::Answer(std::string request, std::string reply) {
    std::lock_guard lock(mutex_);
    if (!request.empty()) {
        rules_.push_back({std::move(request), std::move(reply)});
    }
}

std::string DeviceSimulator::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void DeviceSimulator::Clear() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

std::string DeviceSimulator::Feed(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    std::string out;
    for (char c : bytes) {
        received_.push_back(c);
        if (echo_) {
            out.push_back(c);
        }
        for (const Rule& rule : rules_) {
            if (std::string_view(received_).ends_with(rule.request)) {
                out += rule.reply;
            }
        }
    }
    return out;
}

// ---- The hub's shared state ---------------------------------------------------------------------

namespace {

// One element on the line into a port: a byte, or a line-error marker between bytes.
struct Item {
    int64_t ready_ns;
    uint32_t errors;  // non-zero: a marker
    uint8_t byte;
};

struct Port {
    std::string name;
    Port* peer = nullptr;
    bool open = false;
    bool unplugged = false;
    bool writes_fail = false;  // a fault: writes fail while the device stays
    uint64_t generation = 0;   // changes whenever an opener's handle stops owning the port
    std::shared_ptr<DeviceSimulator> device;
    LineSettings settings;
    SerialTimeouts timeouts;
    uint32_t mask = 0;
    bool rts = false, dtr = false, brk = false;
    std::deque<Item> in;
    size_t announced = 0;          // leading items of `in` whose events were raised
    size_t announced_markers = 0;  // line-error markers among them
    int64_t last_ready_ns = 0;
    uint32_t latched = 0;
    uint32_t errors = 0;
    bool wake = false;

    bool Live() const { return open && !unplugged; }
};

// How many received bytes an unpaced port holds before its far end's writes wait.
constexpr size_t kInputBufferLimit = 1 << 20;

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t CharTimeNs(const LineSettings& s) {
    if (s.baud_rate == 0) {
        return 0;
    }
    // Half bits keep one and a half stop bits exact.
    int64_t half_bits = 2 * (1 + s.data_bits) + (s.parity != Parity::None ? 2 : 0);
    half_bits += s.stop_bits == StopBits::One ? 2 : s.stop_bits == StopBits::OneAndHalf ? 3 : 4;
    return half_bits * 500'000'000LL / s.baud_rate;
}

}  // namespace

struct VirtualSerialHub::State {
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::unique_ptr<Port>> ports;
    bool paced = true;
    std::function<int64_t()> clock;  // empty: the steady clock

    int64_t Now() const { return clock ? clock() : SteadyNs(); }

    Port* Find(const std::string& name) const {
        auto it = ports.find(name);
        return it == ports.end() ? nullptr : it->second.get();
    }

    // Modem inputs follow the far end's outputs while it is live.
    static uint32_t Status(const Port& port) {
        const Port* far = port.peer;
        if (port.unplugged || far == nullptr || !far->Live()) {
            return 0;
        }
        return (far->rts ? kMsCtsOn : 0) | (far->dtr ? kMsDsrOn | kMsRlsdOn : 0);
    }

    // Sets a port's output lines and raises the crossover events at the far end.
    void SetOutputs(Port& port, bool rts, bool dtr) {
        Port* far = port.peer;
        if (far != nullptr && far->Live() && port.Live()) {
            if (rts != port.rts) far->latched |= kEvCts;
            if (dtr != port.dtr) far->latched |= kEvDsr | kEvRlsd;
        }
        port.rts = rts;
        port.dtr = dtr;
        changed.notify_all();
    }

    // The port starts or stops driving the cable (open, close, attach, unplug).
    void SetLive(Port& port, bool open, bool unplugged) {
        const uint32_t far_before = port.peer ? Status(*port.peer) : 0;
        port.open = open;
        port.unplugged = unplugged;
        if (!port.Live()) {
            port.rts = port.dtr = port.brk = false;
        }
        if (port.peer != nullptr && port.peer->Live()) {
            const uint32_t diff = far_before ^ Status(*port.peer);
            if (diff & kMsCtsOn) port.peer->latched |= kEvCts;
            if (diff & kMsDsrOn) port.peer->latched |= kEvDsr | kEvRlsd;
        }
        changed.notify_all();
    }

    void Deliver(Port& from, std::string_view bytes) {
        Port* to = from.peer;
        if (to == nullptr || !to->Live()) {
            return;  // nobody listens: the bytes are lost on the line
        }
        if (to->device) {
            std::string reply = to->device->Feed(bytes);
            if (!reply.empty()) {
                // The device answers at the line settings the host chose.
                to->settings = from.settings;
                Deliver(*to, reply);
            }
            return;
        }
        const int64_t step = paced ? CharTimeNs(from.settings) : 0;
        int64_t t = std::max(Now(), to->last_ready_ns);
        for (char c : bytes) {
            t += step;
            to->in.push_back({t, 0, static_cast<uint8_t>(c)});
        }
        to->last_ready_ns = t;
        changed.notify_all();
    }

    // Raises the events of items that have arrived by now; returns the arrival time of the
    // next item still on the line, or -1.
    int64_t Announce(Port& port) {
        const int64_t now = Now();
        while (port.announced < port.in.size()) {
            const Item& item = port.in[port.announced];
            if (item.ready_ns > now) {
                return item.ready_ns;
            }
            if (item.errors != 0) {
                port.latched |= kEvErr;
                ++port.announced_markers;
            } else {
                port.latched |= kEvRxChar;
                if (item.byte == port.settings.event_char) {
                    port.latched |= kEvRxFlag;
                }
            }
            ++port.announced;
        }
        return -1;
    }

    // The bytes a read can take now: arrived bytes up to the first line-error marker.
    static size_t Readable(const Port& port) {
        if (port.announced_markers == 0) {
            return port.announced;
        }
        size_t n = 0;
        while (n < port.announced && port.in[n].errors == 0) {
            ++n;
        }
        return n;
    }

    void PopFront(Port& port) {
        if (port.in.front().errors != 0) {
            --port.announced_markers;
        }
        port.in.pop_front();
        --port.announced;
    }

    static void ClearInput(Port& port) {
        port.in.clear();
        port.announced = 0;
        port.announced_markers = 0;
    }
};

// ---- The device handle --------------------------------------------------------------------------

namespace {

class VirtualDevice final : public SerialDevice {
  public:
    VirtualDevice(std::shared_ptr<VirtualSerialHub::State> state, Port* port)
        : state_(std::move(state)), port_(port), generation_(port->generation) {}

    ~VirtualDevice() override {
        std::lock_guard lock(state_->mutex);
        if (Owns()) {
            ++port_->generation;
            VirtualSerialHub::State::ClearInput(*port_);
            port_->latched = port_->errors = 0;
            state_->SetLive(*port_, false, port_->unplugged);
        }
    }

    bool GetSettings(LineSettings& out) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        out = port_->settings;
        if (out.rts != LineControl::Handshake) {
            out.rts = port_->rts ? LineControl::Enable : LineControl::Disable;
        }
        if (out.dtr != LineControl::Handshake) {
            out.dtr = port_->dtr ? LineControl::Enable : LineControl::Disable;
        }
        return true;
    }

    bool SetSettings(const LineSettings& s) override {
        if (s.baud_rate == 0 || s.data_bits < 5 || s.data_bits > 8 ||
            static_cast<int>(s.parity) > 4 || static_cast<int>(s.stop_bits) > 2) {
            return false;
        }
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        port_->settings = s;
        // A handshake line is held on: the simulated receiver always has room.
        state_->SetOutputs(*port_, s.rts != LineControl::Disable, s.dtr != LineControl::Disable);
        return true;
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        port_->timeouts = timeouts;
        return true;
    }

    bool SetEventMask(uint32_t mask) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        port_->mask = mask;
        port_->latched = 0;
        return true;
    }

    WaitStatus WaitEvent(uint32_t& events) override {
        std::unique_lock lock(state_->mutex);
        for (;;) {
            events = 0;
            if (!Alive()) {
                // The loss itself is reported once; after that a dead handle only wakes on
                // request and never reports events again.
                if (!vanish_reported_) {
                    vanish_reported_ = true;
                    return WaitStatus::Vanished;
                }
                if (Owns() && port_->wake) {
                    port_->wake = false;
                    return WaitStatus::Interrupted;
                }
                if (!Owns() && dead_wake_) {
                    dead_wake_ = false;
                    return WaitStatus::Interrupted;
                }
                state_->changed.wait(lock);
                continue;
            }
            const int64_t next = state_->Announce(*port_);
            if (VirtualSerialHub::State::Readable(*port_) > 0) {
                port_->latched |= kEvRxChar;
            }
            if (uint32_t ready = port_->latched & port_->mask; ready != 0) {
                port_->latched &= ~ready;
                events = ready;
                return WaitStatus::Events;
            }
            if (port_->wake) {
                port_->wake = false;
                return WaitStatus::Interrupted;
            }
            if (next >= 0 && !state_->clock) {
                state_->changed.wait_for(lock, std::chrono::nanoseconds(next - SteadyNs()));
            } else {
                state_->changed.wait(lock);
            }
        }
    }

    void Wake() override {
        std::lock_guard lock(state_->mutex);
        if (Owns()) {
            port_->wake = true;
        } else {
            dead_wake_ = true;
        }
        state_->changed.notify_all();
    }

    bool ClearErrors(uint32_t& errors, size_t& input_count) override {
        std::lock_guard lock(state_->mutex);
        errors = 0;
        input_count = 0;
        if (!Alive()) return false;
        PollArrivals();
        if (port_->announced > 0 && port_->in.front().errors != 0) {
            errors = port_->in.front().errors;
            state_->PopFront(*port_);
        }
        errors |= port_->errors;
        port_->errors = 0;
        input_count = VirtualSerialHub::State::Readable(*port_);
        return true;
    }

    size_t Read(uint8_t* buffer, size_t capacity) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return 0;
        PollArrivals();
        const size_t n = std::min(capacity, VirtualSerialHub::State::Readable(*port_));
        for (size_t i = 0; i < n; ++i) {
            buffer[i] = port_->in.front().byte;
            state_->PopFront(*port_);
        }
        if (n > 0) {
            state_->changed.notify_all();  // a writer held by a full buffer may go on
        }
        return n;
    }

    bool Write(const uint8_t* data, size_t length) override {
        std::unique_lock lock(state_->mutex);
        if (!Alive() || cancelled_ || port_->writes_fail) return false;
        const SerialTimeouts& t = port_->timeouts;
        const int64_t limit_ms =
            int64_t{t.write_multiplier} * static_cast<int64_t>(length) + t.write_constant;
        const int64_t deadline = state_->Now() + limit_ms * 1'000'000;
        while (Held()) {
            if (!Alive() || cancelled_) return false;
            if (limit_ms != 0 && state_->Now() >= deadline) return false;
            if (limit_ms != 0 && !state_->clock) {
                state_->changed.wait_for(lock, std::chrono::nanoseconds(deadline - SteadyNs()));
            } else {
                state_->changed.wait(lock);
            }
        }
        state_->Deliver(*port_, std::string_view(reinterpret_cast<const char*>(data), length));
        return true;
    }

    void Cancel() override {
        std::lock_guard lock(state_->mutex);
        cancelled_ = true;
        state_->changed.notify_all();
    }

    bool Purge(uint32_t directions) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        if (directions & kPurgeRx) {
            // Bytes that have arrived are dropped; those still on the line keep coming.
            state_->Announce(*port_);
            while (port_->announced > 0) {
                state_->PopFront(*port_);
            }
            state_->changed.notify_all();
            port_->latched &= ~(kEvRxChar | kEvRxFlag);
        }
        return true;
    }

    bool SetLine(Line line, bool on) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        switch (line) {
            case Line::Dtr:
                state_->SetOutputs(*port_, port_->rts, on);
                break;
            case Line::Rts:
                state_->SetOutputs(*port_, on, port_->dtr);
                break;
            case Line::Break:
                if (on && !port_->brk && port_->peer != nullptr && port_->peer->Live()) {
                    port_->peer->latched |= kEvBreak;
                    port_->peer->errors |= kCeBreak;
                    state_->changed.notify_all();
                }
                port_->brk = on;
                break;
        }
        return true;
    }

    bool ModemStatus(uint32_t& status) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive()) return false;
        status = VirtualSerialHub::State::Status(*port_);
        return true;
    }

  private:
    // Whether output is held: by flow control while CTS (DSR) is off, or, on an unpaced line,
    // while the far end has not yet taken a full buffer of earlier bytes (as a pseudo-terminal
    // holds its writer), so a fast writer cannot pile up memory without bound.
    bool Held() const {
        const LineSettings& s = port_->settings;
        const uint32_t needed = (s.cts_flow ? kMsCtsOn : 0) | (s.dsr_flow ? kMsDsrOn : 0);
        if ((VirtualSerialHub::State::Status(*port_) & needed) != needed) {
            return true;
        }
        const Port* far = port_->peer;
        return !state_->paced && far != nullptr && far->Live() && !far->device &&
               far->in.size() >= kInputBufferLimit;
    }

    // A port that waits for received characters reads only what its waits reported, so that
    // no byte is read ahead of the events of its arrival (an event character is announced
    // before the bytes that follow it, whatever the timing). A port that polls without that
    // event sees every byte that has arrived.
    void PollArrivals() {
        if ((port_->mask & kEvRxChar) == 0) {
            state_->Announce(*port_);
        }
    }

    bool Owns() const { return port_->generation == generation_; }
    bool Alive() const { return Owns() && port_->Live(); }

    std::shared_ptr<VirtualSerialHub::State> state_;
    Port* port_;
    const uint64_t generation_;
    bool dead_wake_ = false;  // a wake for a handle that no longer owns its port
    bool vanish_reported_ = false;
    bool cancelled_ = false;
};

}  // namespace

// ---- The hub ------------------------------------------------------------------------------------

VirtualSerialHub::VirtualSerialHub() : state_(std::make_shared<State>()) {}

// Ports stay in the shared state, so handles that outlive the hub remain safe to use.
VirtualSerialHub::~VirtualSerialHub() = default;

bool VirtualSerialHub::AddPort(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    if (name.empty() || state_->Find(name) != nullptr) return false;
    auto port = std::make_unique<Port>();
    port->name = name;
    state_->ports.emplace(name, std::move(port));
    return true;
}

bool VirtualSerialHub::AddPair(const std::string& a, const std::string& b) {
    if (a == b || !AddPort(a)) return false;
    if (!AddPort(b)) {
        std::lock_guard lock(state_->mutex);
        state_->ports.erase(a);
        return false;
    }
    std::lock_guard lock(state_->mutex);
    Port* pa = state_->Find(a);
    Port* pb = state_->Find(b);
    pa->peer = pb;
    pb->peer = pa;
    return true;
}

std::unique_ptr<SerialDevice> VirtualSerialHub::OpenNamed(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || port->open || port->unplugged) return nullptr;
    ++port->generation;
    port->settings = LineSettings{};
    port->timeouts = SerialTimeouts{};
    port->mask = port->latched = port->errors = 0;
    port->wake = false;
    State::ClearInput(*port);
    state_->SetLive(*port, true, false);
    // Opening a port raises DTR and RTS, as serial drivers do.
    state_->SetOutputs(*port, true, true);
    return std::make_unique<VirtualDevice>(state_, port);
}

std::unique_ptr<SerialDevice> VirtualSerialHub::Open(int port_number) {
    return OpenNamed("COM" + std::to_string(port_number));
}

void VirtualSerialHub::SetPaced(bool paced) {
    std::lock_guard lock(state_->mutex);
    state_->paced = paced;
}

void VirtualSerialHub::SetClock(std::function<int64_t()> now_ns) {
    std::lock_guard lock(state_->mutex);
    state_->clock = std::move(now_ns);
    state_->changed.notify_all();
}

void VirtualSerialHub::TimeAdvanced() {
    std::lock_guard lock(state_->mutex);
    state_->changed.notify_all();
}

bool VirtualSerialHub::InjectLineError(const std::string& name, uint32_t errors) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || !port->Live() || errors == 0) return false;
    const int64_t t = std::max(state_->Now(), port->last_ready_ns);
    port->in.push_back({t, errors, 0});
    port->last_ready_ns = t;
    state_->changed.notify_all();
    return true;
}

bool VirtualSerialHub::Ring(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || !port->Live()) return false;
    port->latched |= kEvRing;
    state_->changed.notify_all();
    return true;
}

bool VirtualSerialHub::Unplug(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || port->unplugged) return false;
    state_->SetLive(*port, port->open, true);
    return true;
}

bool VirtualSerialHub::FailWrites(const std::string& name, bool fail) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr) return false;
    port->writes_fail = fail;
    return true;
}

bool VirtualSerialHub::Replug(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || !port->unplugged) return false;
    // Handles from before the unplug stay dead; the port is free for a new open.
    ++port->generation;
    State::ClearInput(*port);
    port->device.reset();
    state_->SetLive(*port, false, false);
    return true;
}

bool VirtualSerialHub::Attach(const std::string& name, std::shared_ptr<DeviceSimulator> device) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || port->open || port->unplugged || !device) return false;
    ++port->generation;
    port->device = std::move(device);
    state_->SetLive(*port, true, false);
    state_->SetOutputs(*port, true, true);
    return true;
}

bool VirtualSerialHub::Detach(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    Port* port = state_->Find(name);
    if (port == nullptr || !port->device) return false;
    port->device.reset();
    ++port->generation;
    state_->SetLive(*port, false, port->unplugged);
    return true;
}

bool VirtualSerialHub::IsOpen(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    const Port* port = state_->Find(name);
    return port != nullptr && port->open;
}

bool VirtualSerialHub::OutputLine(const std::string& name, Line line) const {
    std::lock_guard lock(state_->mutex);
    const Port* port = state_->Find(name);
    if (port == nullptr) return false;
    switch (line) {
        case Line::Dtr:
            return port->dtr;
        case Line::Rts:
            return port->rts;
        case Line::Break:
            return port->brk;
    }
    return false;
}

std::optional<LineSettings> VirtualSerialHub::Settings(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    const Port* port = state_->Find(name);
    if (port == nullptr || !port->open) return std::nullopt;
    return port->settings;
}

std::optional<SerialTimeouts> VirtualSerialHub::Timeouts(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    const Port* port = state_->Find(name);
    if (port == nullptr || !port->open) return std::nullopt;
    return port->timeouts;
}

std::optional<uint32_t> VirtualSerialHub::EventMask(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    const Port* port = state_->Find(name);
    if (port == nullptr || !port->open) return std::nullopt;
    return port->mask;
}

}  // namespace kesu::platform
