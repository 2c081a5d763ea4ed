// Serial devices on POSIX ttys: real serial ports (ttyS, ttyUSB, ttyACM) and pseudo-terminals.
//
// What the termios layer offers and where it falls short of the line-settings record:
// - Any baud rate the driver accepts, through termios2 and BOTHER. A rate the driver rounds by
//   more than 3% is refused, as a rate the hardware cannot produce.
// - Data bits 5 to 8; anything else is refused.
// - Parity none, odd, even, mark and space (CMSPAR).
// - One and a half stop bits do not exist in termios: CSTOPB is the nearest. UARTs send one and a
//   half stop bits for CSTOPB with 5 data bits and two otherwise. The device reports back the
//   stop-bit setting it was given.
// - Output waits for CTS (CRTSCTS, with the driver moving RTS as the input handshake) only when
//   the settings ask for CTS. Linux has no DSR flow control and no DTR handshake, and an RTS
//   handshake cannot be had without holding output on CTS: those settings are kept and reported
//   back, RTS and DTR are held on, and output is held by no line the settings do not name.
// - XON/XOFF is IXON/IXOFF with the given characters; the limits are kept but not used.
// - With parity checking on, bytes with a parity or framing error keep their value (PARMRK, with
//   the marks decoded here) and each is reported as a line error just before it is read.
// - A port is refused when another process has it open or a live UUCP lock file names it; while
//   open, the device holds a lock file of its own (see port_claim.h).
// - Write ends at once with a failure after Cancel(), whatever the peer does.
// Pseudo-terminals carry every character as 8 bits without parity: the kernel keeps CS8 and
// clears PARENB whatever is set, and the device reports that back.
// Modem lines, break and line-error counts come from TIOCMGET and TIOCGICOUNT, which are watched
// every 20 ms while the event mask asks for them. Pseudo-terminals have none: the line calls fail
// and no modem events arise.
#pragma once

#include <memory>
#include <string>

#include "platform/serial.h"

namespace kesu::platform {

// Opens the tty at `path` exclusively (flock, a UUCP lock file, then TIOCEXCL) in raw mode.
// nullptr when the path cannot be opened, is not a tty, or is held by another program.
std::unique_ptr<SerialDevice> OpenPosixSerial(const std::string& path);

// Describes the device at `path` without opening it: empty when nothing is there.
PortInfo DescribeDevice(const std::string& path);

// COM numbers resolved through ComPortPath (the port directory, then the built-in table).
class PosixSerialPorts : public SerialPorts {
  public:
    explicit PosixSerialPorts(std::string port_dir = {}) : port_dir_(std::move(port_dir)) {}
    std::unique_ptr<SerialDevice> Open(int port_number) override;
    PortInfo Describe(int port_number) override;

  private:
    std::string port_dir_;
};

}  // namespace kesu::platform
