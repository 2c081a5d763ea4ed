// Virtual serial ports in memory: named ports, null-modem pairs, line rates, control-line
// crossover, break, ring, line-error injection and an unplug fault, plus a small scriptable device
// that can sit on the far end of a pair. Tests, benchmarks and demonstrations run the serial port
// engine over these exactly as over a tty.
//
// A null-modem pair crosses the wires both ways: what one port writes, the other receives; one
// port's RTS is the other's CTS; one port's DTR is the other's DSR and carrier detect. A port whose
// far end is not open sees its modem inputs off, and bytes written to it are lost on the line.
//
// Line rates. While pacing is on, each byte reaches the far end one character time after the one
// before it: (start bit + data bits + parity bit + stop bits) / baud rate, from the sender's line
// settings. The clock is the steady clock unless a test substitutes its own; after moving a
// substituted clock the test calls TimeAdvanced so that waiting ports look again.
//
// Reading. A port whose event mask holds kEvRxChar reads only bytes its waits have reported, so
// the events of a byte's arrival always come before the byte itself; a port that only polls
// (ClearErrors and Read without that event) sees every byte that has arrived.
//
// Flow control. With cts_flow (dsr_flow) set, a write waits until the port's CTS (DSR) is on, at
// most for the write time-outs, and fails when they run out. On an unpaced line a write also waits
// while the far end holds a megabyte it has not read, as a pseudo-terminal holds its writer.
// XON/XOFF is accepted but not simulated.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial.h"

namespace kesu::platform {

// A device at the far end of a virtual port: it sees every byte written to it and answers
// through the same cable. Rules are checked for each received byte: echo sends the byte straight
// back; an answer rule sends its reply when the bytes received so far end with its request.
class DeviceSimulator {
  public:
    void SetEcho(bool echo);
    void Answer(std::string request, std::string reply);
    // Everything the device has received since it was made or Clear was called.
    std::string Received() const;
    void Clear();

    // Takes received bytes and returns what the device sends back.
    std::string Feed(std::string_view bytes);

  private:
    struct Rule {
        std::string request;
        std::string reply;
    };
    mutable std::mutex mutex_;
    bool echo_ = false;
    std::vector<Rule> rules_;
    std::string received_;
};

class VirtualSerialHub : public SerialPorts {
  public:
    VirtualSerialHub();
    ~VirtualSerialHub() override;
    VirtualSerialHub(const VirtualSerialHub&) = delete;
    VirtualSerialHub& operator=(const VirtualSerialHub&) = delete;

    // Adds two ports joined by a null-modem cable. False when a name is taken or the names equal.
    bool AddPair(const std::string& a, const std::string& b);
    // Adds a port with nothing attached.
    bool AddPort(const std::string& name);

    // Opens a port by name, exclusively: nullptr when absent, unplugged or already open.
    std::unique_ptr<SerialDevice> OpenNamed(const std::string& name);
    // Opens the port named "COM<n>".
    std::unique_ptr<SerialDevice> Open(int port_number) override;

    void SetPaced(bool paced);
    void SetClock(std::function<int64_t()> now_ns);
    void TimeAdvanced();

    // Puts a line error (kCe* flags) on the line into `name`, after the bytes already on their
    // way: the receiver reads those first, then sees the error, then what follows.
    bool InjectLineError(const std::string& name, uint32_t errors);
    // A ring indication on `name` (an input from the modem side).
    bool Ring(const std::string& name);
    // The device behind `name` vanishes: open handles stay valid objects but are dead (waits
    // only end on Wake, reads give nothing, writes and line calls fail); opening fails until
    // Replug. The far end sees the control lines drop.
    bool Unplug(const std::string& name);
    bool Replug(const std::string& name);
    // Writes on `name` fail (as a driver error would) while the device stays present.
    bool FailWrites(const std::string& name, bool fail);

    // Attaches a simulated device to `name` as if it had opened the port: it raises its DTR and
    // RTS and answers what the far end writes. Fails if the port is open or absent.
    bool Attach(const std::string& name, std::shared_ptr<DeviceSimulator> device);
    bool Detach(const std::string& name);

    // Inspection for tests: whether the port is open (or has a device attached), the level of
    // one of its output lines, and its current line settings, time-outs and event mask.
    bool IsOpen(const std::string& name) const;
    bool OutputLine(const std::string& name, Line line) const;
    std::optional<LineSettings> Settings(const std::string& name) const;
    std::optional<SerialTimeouts> Timeouts(const std::string& name) const;
    std::optional<uint32_t> EventMask(const std::string& name) const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace kesu::platform
