#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kesu::units {

// The stored settings of a serial port: the line configuration its Open applies.
struct SerialPortSettings {
    static constexpr std::uint32_t kVersion = 4;

    std::int32_t portNumber = 1;
    std::int32_t baudRate = 19200;
    std::int32_t dataBits = 8;
    std::int32_t stopBits = 1;  // 1 one, 2 one and a half, 3 two
    bool parityCheck = false;
    std::string eventChar;        // only the first byte is used
    std::int32_t timeout = 1000;  // milliseconds
    bool openAtStart = false;
    std::int32_t parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::int32_t flowControl = 0;  // 0 none, 1 RTS/CTS, 2 DTR/CTS, 3 RTS/DSR, 4 DTR/DSR, 5 XON/XOFF
    std::int32_t rtsMode = 0;      // 1 holds RTS off, otherwise on
    std::int32_t dtrMode = 0;      // 0 as the driver had it, 1 off, 2 on

    // Reads a stored block of versions 1 to 4 over the defaults; an empty block keeps them.
    // False, with the defaults kept, for a version above kVersion or a block that ends early.
    // Values are taken as they stand, without the clamps of property writes.
    bool Load(std::string_view block);
    // The block in version kVersion.
    std::string Save() const;
};

}  // namespace kesu::units
