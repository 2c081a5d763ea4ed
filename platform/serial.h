// Serial devices: the one interface through which the serial port engine reaches a port, whatever
// backend stands behind it (termios ttys and pseudo-terminals, or virtual ports in memory).
//
// The interface keeps the shape the port engine was designed around: a line-settings record that
// is read, changed and written back whole; an event mask and a wait that reports which of the
// masked events happened; a read that only hands out bytes already received; a write bounded by
// the write time-outs; per-direction purges; DTR, RTS and break; modem status; and "clear errors",
// which reports the accumulated line-error flags and how many bytes a read can take right now.
//
// Error contract. Every operation reports failure by its result (false, zero or nullptr) and never
// throws. A device that has vanished (USB unplug, pseudo-terminal master closed) stays a valid
// object: the first wait after the loss reports it (WaitStatus::Vanished), later waits only return
// when woken, its reads give nothing, its writes and line calls fail, and destroying it releases
// the port. Modem lines that the driver does not have (pseudo-terminals)
// make SetLine and ModemStatus fail cleanly and never produce events.
//
// Threads. WaitEvent, Read, ClearErrors and Write belong to one thread at a time (the engine's
// I/O thread once it runs). Wake, Cancel, SetLine and ModemStatus may be called from any thread
// while another thread waits or writes. Settings, time-outs, the event mask and purges are changed
// by the thread that opened the device before the I/O thread starts, or by the I/O thread itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kesu::platform {

// Comm events, as bits of the event mask and of a wait's result.
inline constexpr uint32_t kEvRxChar = 0x001;   // a byte was received
inline constexpr uint32_t kEvRxFlag = 0x002;   // the event character was received
inline constexpr uint32_t kEvTxEmpty = 0x004;  // the last byte of output was sent
inline constexpr uint32_t kEvCts = 0x008;      // CTS changed
inline constexpr uint32_t kEvDsr = 0x010;      // DSR changed
inline constexpr uint32_t kEvRlsd = 0x020;     // carrier detect changed
inline constexpr uint32_t kEvBreak = 0x040;    // a break was received
inline constexpr uint32_t kEvErr = 0x080;      // a line-status error happened
inline constexpr uint32_t kEvRing = 0x100;     // a ring indication was seen

// Modem status bits.
inline constexpr uint32_t kMsCtsOn = 0x10;
inline constexpr uint32_t kMsDsrOn = 0x20;
inline constexpr uint32_t kMsRingOn = 0x40;
inline constexpr uint32_t kMsRlsdOn = 0x80;

// Line-error flags reported by ClearErrors.
inline constexpr uint32_t kCeRxOver = 0x01;    // input buffer overflow
inline constexpr uint32_t kCeOverrun = 0x02;   // hardware overrun, a byte was lost
inline constexpr uint32_t kCeRxParity = 0x04;  // parity error
inline constexpr uint32_t kCeFrame = 0x08;     // framing error
inline constexpr uint32_t kCeBreak = 0x10;     // break condition

// Purge directions.
inline constexpr uint32_t kPurgeRx = 0x1;
inline constexpr uint32_t kPurgeTx = 0x2;

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OneAndHalf = 1, Two = 2 };
enum class LineControl : uint8_t { Disable = 0, Enable = 1, Handshake = 2 };
enum class Line : uint8_t { Dtr, Rts, Break };

// The line settings of a port. A device reports what it actually applies: a setting the driver
// cannot honour is refused by SetSettings rather than silently replaced, except where the
// backend documents a nearest substitute (one and a half stop bits on termios).
struct LineSettings {
    uint32_t baud_rate = 9600;
    uint8_t data_bits = 8;  // 5 to 8
    Parity parity = Parity::None;
    StopBits stop_bits = StopBits::One;
    bool parity_check = false;  // check received parity and report errors
    bool cts_flow = false;      // hold output while CTS is off
    bool dsr_flow = false;      // hold output while DSR is off
    LineControl rts = LineControl::Enable;
    LineControl dtr = LineControl::Enable;
    bool xon_out = false;  // honour XON/XOFF from the other side
    bool xon_in = false;   // send XON/XOFF to the other side
    uint8_t xon_char = 0x11;
    uint8_t xoff_char = 0x13;
    uint16_t xon_limit = 0;
    uint16_t xoff_limit = 0;
    uint8_t event_char = 0;  // raises kEvRxFlag when received (if in the mask)

    bool operator==(const LineSettings&) const = default;
};

// Time-outs in milliseconds. Only the write fields bound anything here: reads never block (the
// engine reads only what ClearErrors reported). A write of n bytes may take up to
// write_multiplier * n + write_constant milliseconds; both zero means no limit.
struct SerialTimeouts {
    uint32_t read_interval = 0;
    uint32_t read_multiplier = 0;
    uint32_t read_constant = 0;
    uint32_t write_multiplier = 0;
    uint32_t write_constant = 0;

    bool operator==(const SerialTimeouts&) const = default;
};

enum class WaitStatus : uint8_t {
    Events,       // at least one masked event happened; they are in the out parameter
    Interrupted,  // Wake() was called (before or during the wait)
    Vanished,     // the device has gone; reported by one wait only, later waits wait for Wake()
};

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    virtual bool GetSettings(LineSettings& out) = 0;
    virtual bool SetSettings(const LineSettings& settings) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool SetEventMask(uint32_t mask) = 0;

    // Blocks until a masked event happened since the last wait, or until Wake() is called.
    // Received bytes that are still unread count as a pending kEvRxChar, so no byte can be left
    // behind by a wait that started after its arrival. Reported events are consumed.
    virtual WaitStatus WaitEvent(uint32_t& events) = 0;
    // Ends the current wait, or the next one if no wait is in progress. Any thread.
    virtual void Wake() = 0;

    // Returns and clears the accumulated line-error flags, and gives the number of bytes that
    // Read() can hand out without blocking.
    virtual bool ClearErrors(uint32_t& errors, size_t& input_count) = 0;
    // Copies up to capacity received bytes; never blocks. Returns the number copied.
    virtual size_t Read(uint8_t* buffer, size_t capacity) = 0;
    // Writes all bytes within the write time-outs. False on a time-out, a device failure or a
    // Cancel(); the bytes the driver took before that stay sent.
    virtual bool Write(const uint8_t* data, size_t length) = 0;
    // Ends a write in progress at once, and makes every later write fail at once: a port about to
    // be closed must not keep its closer waiting for a peer that does not read. Any thread.
    virtual void Cancel() = 0;

    virtual bool Purge(uint32_t directions) = 0;
    virtual bool SetLine(Line line, bool on) = 0;
    virtual bool ModemStatus(uint32_t& status) = 0;
};

// What a user needs to know to tell which device a COM number is.
struct PortInfo {
    std::string device;    // the path COMn resolves to; empty when it resolves to nothing
    std::string resolved;  // the device node behind it, symbolic links followed
    std::string by_id;     // its stable name under /dev/serial/by-id, for USB adapters
    std::string adapter;   // USB vendor and product: "0403:6001 FTDI FT232R USB UART"
    bool denied = false;   // the device exists but this user may not open it
    std::string group;     // the group that owns the device node
};

// The lines of a port's description, each ending in `separator`: the device path (with the node
// it resolves to), the by-id name and the adapter, where known. Empty for an unresolved port.
std::string PortInfoText(const PortInfo& info, const char* separator);

// Opens ports by their COM number (1 to 100). A port that is absent, in use by another program
// (or another SerialDevice), or not a serial device gives nullptr.
class SerialPorts {
  public:
    virtual ~SerialPorts() = default;
    virtual std::unique_ptr<SerialDevice> Open(int port_number) = 0;
    // Describes the device behind a COM number without opening it. The default knows nothing.
    virtual PortInfo Describe(int port_number);
};

// The ports of a platform that was given none (see platform.h): every open fails.
class NoSerialPorts final : public SerialPorts {
  public:
    std::unique_ptr<SerialDevice> Open(int) override { return nullptr; }
};

// The device path of COMn: the entry COMn of the port directory when it exists there, otherwise
// the built-in table (COM1-32 ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31). Empty for a
// number outside 1..100, and for COM97 to COM100 unless the port directory names them.
// port_dir empty means the default: $KESU_PORT_DIR, or ~/.config/kesu/ports when unset.
std::string ComPortPath(int port_number, const std::string& port_dir = {});
std::string DefaultPortDir();

}  // namespace kesu::platform
