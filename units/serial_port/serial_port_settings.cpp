#include "units/serial_port/serial_port_settings.h"

#include "runtime/unit.h"
#include "units/common/block_fields.h"

namespace kesu::units {

bool SerialPortSettings::Load(std::string_view block) {
    *this = SerialPortSettings{};
    if (block.empty()) return true;
    BlockReader in(block);
    // This type has always compared its version as a signed word: a negative version reads as
    // an old one rather than a newer one.
    std::int32_t version = 0;
    ReadWord(in, version);
    if (in.failed() || version > static_cast<std::int32_t>(kVersion)) return RejectBlock(*this);
    ReadWord(in, portNumber);
    ReadWord(in, baudRate);
    ReadWord(in, dataBits);
    ReadWord(in, stopBits);
    ReadFlag(in, parityCheck);
    ReadWord(in, timeout);
    ReadFlag(in, openAtStart);
    ReadCounted(in, eventChar);
    if (version >= 2) ReadWord(in, parity);
    if (version >= 3) ReadWord(in, flowControl);
    if (version >= 4) {
        ReadWord(in, rtsMode);
        ReadWord(in, dtrMode);
    }
    if (in.failed()) return RejectBlock(*this);
    return true;
}

std::string SerialPortSettings::Save() const {
    BlockWriter out;
    WriteWord(out, kVersion);
    WriteWord(out, portNumber);
    WriteWord(out, baudRate);
    WriteWord(out, dataBits);
    WriteWord(out, stopBits);
    WriteFlag(out, parityCheck);
    WriteWord(out, timeout);
    WriteFlag(out, openAtStart);
    WriteCounted(out, eventChar);
    WriteWord(out, parity);
    WriteWord(out, flowControl);
    WriteWord(out, rtsMode);
    WriteWord(out, dtrMode);
    return out.Take();
}

}  // namespace kesu::units
