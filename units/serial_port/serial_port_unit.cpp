#include "units/serial_port/serial_port_unit.h"

#include <algorithm>
#include <cstring>

#include "platform/event_loop.h"
#include "platform/platform.h"
#include "platform/serial.h"
#include "runtime/notify.h"
#include "units/common/stored_fields.h"
#include "units/common/values.h"

namespace kesu::units {

using platform::LineControl;
using platform::LineSettings;

LineEvent LineEventOf(int note_code) {
    switch (note_code) {
        case kNoteBreak:
            return LineEvent::kBreak;
        case kNoteCtsOn:
            return LineEvent::kCtsOn;
        case kNoteDsrOn:
            return LineEvent::kDsrOn;
        case kNoteLineError:
            return LineEvent::kLineError;
        case kNoteRing:
            return LineEvent::kRing;
        case kNoteRlsdOn:
            return LineEvent::kRlsdOn;
        case kNoteEventChar:
            return LineEvent::kEventChar;
        case kNoteCtsOff:
            return LineEvent::kCtsOff;
        case kNoteDsrOff:
            return LineEvent::kDsrOff;
        case kNoteRlsdOff:
            return LineEvent::kRlsdOff;
        default:
            return LineEvent::kNone;
    }
}

// ---- The unit -----------------------------------------------------------------------------------

SerialPortUnit::SerialPortUnit(const UnitCreateInfo& info, Poster post)
    : Unit(info), CommPort(std::move(post)) {}

SerialPortUnit::~SerialPortUnit() {
    End();
}

void SerialPortUnit::End() {
    {
        std::lock_guard lock(calls_mutex_);
        ending_ = true;
    }
    // A send in progress fails at once instead of holding the port lock until its time-out; the
    // calls still inside then leave promptly, since none of them needs the window thread.
    CancelWrite();
    {
        std::unique_lock lock(calls_mutex_);
        calls_left_.wait(lock, [this] { return calls_ == 0; });
    }
    std::lock_guard lock(port_mutex_);
    Shutdown();
}

bool SerialPortUnit::EnterCall() {
    std::lock_guard lock(calls_mutex_);
    if (ending_) {
        return false;
    }
    ++calls_;
    return true;
}

void SerialPortUnit::LeaveCall() {
    std::lock_guard lock(calls_mutex_);
    if (--calls_ == 0) {
        calls_left_.notify_all();
    }
}

std::unique_ptr<SerialPortUnit> SerialPortUnit::Create(const UnitCreateInfo& info) {
    auto unit = std::make_unique<SerialPortUnit>(
        info, [](std::function<void()> task) { UiLoop().Post(std::move(task)); });
    if (!unit->s_.Load(info.data)) {
        return nullptr;
    }
    if (unit->s_.openAtStart) {
        unit->Open();  // the result is not looked at: a port that fails stays closed
    }
    return unit;
}

void SerialPortUnit::OnDestroy() {
    End();
}

int SerialPortUnit::SetProperty(int index, const PropertyValue& value) {
    const int32_t v = IntOf(value);
    auto clamp = [v](int32_t low, int32_t high) { return std::clamp(v, low, high); };
    std::lock_guard lock(settings_mutex_);
    switch (index) {
        case kPortNumber:
            s_.portNumber = std::max(v, 1);
            break;
        case kBaudRate:
            s_.baudRate = std::max(v, 0);
            break;
        case kDataBits:
            s_.dataBits = v;
            break;
        case kStopBits:
            s_.stopBits = clamp(1, 3);
            break;
        case kParityCheck:
            s_.parityCheck = v != 0;
            break;
        case kEventChar:
            s_.eventChar = value.bytes;
            break;
        case kTimeout:
            s_.timeout = std::max(v, 0);
            break;
        case kOpenAtStart:
            s_.openAtStart = v != 0;
            break;
        case kParity:
            s_.parity = clamp(0, 4);
            break;
        case kFlowControl:
            s_.flowControl = clamp(0, 5);
            break;
        case kRtsMode:
            s_.rtsMode = clamp(0, 2);
            break;
        case kDtrMode:
            s_.dtrMode = clamp(0, 2);
            break;
        default:
            break;
    }
    return 0;
}

int SerialPortUnit::GetProperty(int index, PropertyValue& out) {
    using S = SerialPortSettings;
    static const StoredField<S> kFields[] = {&S::portNumber,  &S::baudRate,    &S::dataBits,
                                             &S::stopBits,    &S::parityCheck, &S::eventChar,
                                             &S::timeout,     &S::openAtStart, &S::parity,
                                             &S::flowControl, &S::rtsMode,     &S::dtrMode};
    static_assert(std::size(kFields) == kDtrMode + 1, "one entry per property");
    std::lock_guard lock(settings_mutex_);
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int SerialPortUnit::Save(std::string& block) {
    std::lock_guard lock(settings_mutex_);
    block = s_.Save();
    return 1;
}

bool SerialPortUnit::Open() {
    CancelWrite();
    std::lock_guard lock(port_mutex_);
    return OpenLocked();
}

bool SerialPortUnit::OpenLocked() {
    // A failed open always leaves the port closed, so the close comes first.
    CommPort::Close();
    {
        // A call that waited for the lock while the unit began to end opens nothing.
        std::lock_guard calls(calls_mutex_);
        if (ending_) {
            return false;
        }
    }
    SerialPortSettings p;
    {
        std::lock_guard settings_lock(settings_mutex_);
        p = s_;
    }
    if (p.portNumber < 1) {
        return false;
    }
    if (!platform::HasCurrent()) {
        return false;
    }
    std::unique_ptr<platform::SerialDevice> device = platform::Current().Ports().Open(p.portNumber);
    if (!device) {
        return false;
    }
    const uint8_t event_char = p.eventChar.empty() ? 0 : static_cast<uint8_t>(p.eventChar[0]);

    // Every time-out takes the Timeout value: a write of n bytes may take Timeout * (n + 1) ms.
    const auto t = static_cast<uint32_t>(std::max(p.timeout, 0));
    const platform::SerialTimeouts timeouts{t, t, t, t, t};
    uint32_t mask = 0x1F9;
    if (event_char != 0) {
        mask |= platform::kEvRxFlag;
    }
    LineSettings s;
    if (!device->SetTimeouts(timeouts) || !device->SetEventMask(mask) || !device->GetSettings(s)) {
        return false;
    }
    s.baud_rate = static_cast<uint32_t>(p.baudRate);
    // Only the low byte of the data bits reaches the device, which refuses anything but 5 to 8.
    s.data_bits = static_cast<uint8_t>(p.dataBits);
    s.parity = (p.parity >= 1 && p.parity <= 4) ? static_cast<platform::Parity>(p.parity)
                                                : platform::Parity::None;
    s.stop_bits = p.stopBits == 2   ? platform::StopBits::OneAndHalf
                  : p.stopBits == 3 ? platform::StopBits::Two
                                    : platform::StopBits::One;
    s.parity_check = p.parityCheck;
    if (event_char != 0) {
        s.event_char = event_char;
    }
    s.rts = p.rtsMode == 1 ? LineControl::Disable : LineControl::Enable;
    if (p.dtrMode == 1) {
        s.dtr = LineControl::Disable;
    } else if (p.dtrMode == 2) {
        s.dtr = LineControl::Enable;
    }
    // The flow-control choice overrides the RTS and DTR modes for its handshake line.
    s.cts_flow = p.flowControl == 1 || p.flowControl == 2;
    s.dsr_flow = p.flowControl == 3 || p.flowControl == 4;
    if (p.flowControl == 1 || p.flowControl == 3) s.rts = LineControl::Handshake;
    if (p.flowControl == 2 || p.flowControl == 4) s.dtr = LineControl::Handshake;
    s.xon_out = s.xon_in = p.flowControl == 5;
    if (p.flowControl == 5) {
        s.xon_char = 0x11;
        s.xoff_char = 0x13;
        s.xon_limit = 100;
        s.xoff_limit = 100;
    }
    if (!device->SetSettings(s)) {
        return false;
    }
    device->Purge(platform::kPurgeRx | platform::kPurgeTx);
    Attach(std::move(device));
    return StartThread();
}

void SerialPortUnit::Close() {
    CancelWrite();
    std::lock_guard lock(port_mutex_);
    CommPort::Close();
}

bool SerialPortUnit::SendData(std::string_view bytes) {
    if (bytes.empty()) {
        // Sends nothing, so it need not wait for another thread's send: the window thread asks
        // this way whether the port is still open (see the assistant's line-event handler).
        return Write(nullptr, 0) != 0;
    }
    std::lock_guard lock(port_mutex_);
    return Write(reinterpret_cast<const uint8_t*>(bytes.data()),
                 static_cast<int64_t>(bytes.size())) != 0;
}

bool SerialPortUnit::SetLineSignal(SignalAction action, SignalLine line) {
    std::lock_guard lock(port_mutex_);
    if (!IsRunning() || (action != SignalAction::kClear && action != SignalAction::kSet) ||
        line < SignalLine::kDtr || line > SignalLine::kBreak) {
        return false;
    }
    static constexpr platform::Line kLines[] = {platform::Line::Dtr, platform::Line::Rts,
                                                platform::Line::Break};
    return device()->SetLine(kLines[static_cast<int>(line) - 1], action == SignalAction::kSet);
}

void SerialPortUnit::FireLineEvent(int code) {
    if (LineEvent what = LineEventOf(code); what != LineEvent::kNone) {
        RaiseUnitEvent(kEventLineEvent, static_cast<int32_t>(what));
    }
}

void SerialPortUnit::FireDataEvent(uint8_t byte) {
    RaiseUnitEvent(kEventDataArrived, byte);
}

void SerialPortUnit::RaiseUnitEvent(int event, int32_t argument) {
    RaiseEvent(event, {argument});
}

platform::PortInfo DescribeSerialPort(int port_number) {
    return platform::HasCurrent() ? platform::Current().Ports().Describe(port_number)
                                  : platform::PortInfo{};
}

UnitOperation SerialPortInterface(int code) {
    return StandardUnitInterface<SerialPortUnit>(code);
}

// ---- Values as line bytes -----------------------------------------------------------------------

bool ValueToLineBytes(const ArgRecord& value, std::string& out) {
    out.clear();
    if (IsArrayType(value.type)) {
        return false;
    }
    auto raw = [&](size_t width) {
        const uint64_t bits = value.Bits();
        for (size_t i = 0; i < width; ++i) {
            out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
        }
        return true;
    };
    switch (value.type) {
        case kTypeText:
            if (const char* text = value.AsText(); text != nullptr) {
                out.assign(text);
            }
            return true;
        case kTypeByteSet:
            if (const uint8_t* block = value.AsByteSet(); block != nullptr) {
                int32_t length = 0;
                std::memcpy(&length, block + 4, sizeof length);
                if (length > 0) {
                    out.assign(reinterpret_cast<const char*>(block + 8),
                               static_cast<size_t>(length));
                }
            }
            return true;
        case kTypeByte:
            return raw(1);
        case kTypeShort:
            return raw(2);
        case kTypeInt:
        case kTypeBool:
        case kTypeFloat:
            return raw(4);
        // A sub-program pointer is a pointer, eight bytes wide on this build.
        case kTypeSubroutine:
        case kTypeLong:
        case kTypeDouble:
        case kTypeDateTime:
            return raw(8);
        default:
            return false;
    }
}

// ---- Command bodies -----------------------------------------------------------------------------

namespace {

// Runs `body` on the unit a method's unit reference names and gives its result; false when there
// is no such unit. The lookup ends the program with the runtime error of a missing unit, as
// every unit method does; a unit of another type gives false. The lookup and the entering run on
// the window thread in one step, so the unit cannot go between them; the body itself runs on
// the caller's thread, so a send does not hold up the window.
template <typename Body>
bool WithUnit(int argCount, const ArgRecord* args, Body body) {
    if (argCount < 1) {
        return false;
    }
    // A worker's failed lookup is judged outside the window thread: the runtime lets it go when
    // the unit went with its closing window, and only a worker's question can say so.
    const bool worker = !OnUiThread();
    SerialPortUnit* unit = nullptr;
    bool missing = false;
    RunOnUiThread([&] {
        Unit* found = reinterpret_cast<Unit*>(NotifyRuntime(
            worker ? notify::kFindUnit : notify::kFindUnitOrFail, args[0].low, args[0].high));
        missing = found == nullptr;
        auto* port = dynamic_cast<SerialPortUnit*>(found);
        if (port != nullptr && port->EnterCall()) {
            unit = port;
        }
    });
    if (missing && worker) {
        NotifyRuntime(notify::kFindUnitOrFail, args[0].low, args[0].high);
    }
    if (unit == nullptr) {
        return false;
    }
    const bool result = body(*unit);
    unit->LeaveCall();
    return result;
}

int32_t IntArg(int argCount, const ArgRecord* args, int k) {
    return argCount > k ? args[k].AsInt() : 0;
}

}  // namespace

void SerialPortOpenCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetBool(WithUnit(argCount, args, [](SerialPortUnit& unit) { return unit.Open(); }));
}

void SerialPortCloseCommand(ResultRecord*, int argCount, ArgRecord* args) {
    WithUnit(argCount, args, [](SerialPortUnit& unit) {
        unit.Close();
        return true;
    });
}

void SerialPortSendDataCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetBool(WithUnit(argCount, args, [&](SerialPortUnit& unit) {
        std::string bytes;
        return argCount >= 2 && ValueToLineBytes(args[1], bytes) && unit.SendData(bytes);
    }));
}

void SerialPortSetLineSignalCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetBool(WithUnit(argCount, args, [&](SerialPortUnit& unit) {
        return unit.SetLineSignal(static_cast<SignalAction>(IntArg(argCount, args, 1)),
                                  static_cast<SignalLine>(IntArg(argCount, args, 2)));
    }));
}

}  // namespace kesu::units
