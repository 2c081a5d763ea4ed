// The SerialPort unit (unit type 0x10027): the non-visual unit through which the program talks to
// one serial port. It keeps the port's settings as properties, opens the port with exactly the
// line configuration those settings describe, sends bytes, drives DTR, RTS and break, and turns
// the engine's notifications into its two events, LineEvent (0) and DataArrived (1), on the
// window thread.
//
// Open, Close, SendData and SetLineSignal may be called from any thread; one lock per port
// serialises them, so a worker's send never overlaps another thread's open or close of the same
// port. SendData holds that lock while its write is in progress, so Open, Close and the unit's
// end first cancel that write (the send fails) and then take the lock: closing never waits for a
// peer that does not read.
//
// The method commands find the unit on the window thread, where units are created and destroyed,
// and enter it there in the same step; the unit's end waits until every call that entered has
// left. A worker therefore never holds a unit, or waits on its lock, after the unit is gone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "runtime/unit.h"
#include "runtime/value.h"
#include "units/serial_port/comm_port.h"
#include "units/serial_port/line_signals.h"
#include "units/serial_port/serial_port_settings.h"

namespace kesu::units {

// The LineEvent argument for a notification code, or kNone for a code that has none.
LineEvent LineEventOf(int note_code);

class SerialPortUnit : public Unit, public CommPort {
  public:
    // The unit's own properties, indices 8 to 19 (unit-relative 0 to 11).
    enum Property {
        kPortNumber = 0,
        kBaudRate,
        kDataBits,
        kStopBits,
        kParityCheck,
        kEventChar,
        kTimeout,
        kOpenAtStart,
        kParity,
        kFlowControl,
        kRtsMode,
        kDtrMode,
    };
    static constexpr int kEventLineEvent = 0;
    static constexpr int kEventDataArrived = 1;

    // `post` runs a task on the window thread; Create uses the installed platform's event loop.
    SerialPortUnit(const UnitCreateInfo& info, Poster post);
    ~SerialPortUnit() override;

    static std::unique_ptr<SerialPortUnit> Create(const UnitCreateInfo& info);

    int SetProperty(int index, const PropertyValue& value) override;
    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;
    // The unit's window goes: the port closes and no further event is raised.
    void OnDestroy() override;

    // Direct access for a thread that knows no other thread uses the unit (tests, creation).
    SerialPortSettings& settings() { return s_; }

    // The unit's methods.
    bool Open();
    void Close();
    // True when the write finished without a device error; false when the port is closed.
    bool SendData(std::string_view bytes);
    // False when nothing was done: the port is closed, or the action or the line is none of
    // the enumerators (the method's arguments arrive as plain numbers).
    bool SetLineSignal(SignalAction action, SignalLine line);

    // A call from another thread enters the unit before it uses it and leaves it afterwards; the
    // unit's end waits for the calls that entered. Entering fails once the end has begun.
    bool EnterCall();
    void LeaveCall();

  protected:
    void FireLineEvent(int code) override;
    void FireDataEvent(uint8_t byte) override;
    // Raises one of the unit's events with its single argument through the runtime's dispatch.
    virtual void RaiseUnitEvent(int event, int32_t argument);

  private:
    bool OpenLocked();
    // Refuses new calls, ends a write in progress and waits for the calls in progress to leave;
    // then closes the port. Runs once, when the unit's window goes or the unit is destroyed.
    void End();

    std::mutex calls_mutex_;
    std::condition_variable calls_left_;
    int calls_ = 0;
    bool ending_ = false;

    // Property writes (from the window thread) and an open on a worker thread meet here; the lock
    // is separate from the port lock so that a write never waits for a send in progress.
    std::mutex settings_mutex_;
    SerialPortSettings s_;
    std::mutex port_mutex_;
};

// The device behind a COM number as the installed ports describe it (nothing when none are).
platform::PortInfo DescribeSerialPort(int port_number);

// The interface function of the unit type, for the core library's unit type descriptor.
UnitOperation SerialPortInterface(int code);

// A basic value as the bytes SendData puts on the line: a text without its terminator, a byte
// set's bytes, any other basic value its raw little-endian bytes in the width of its type.
// False for arrays and values that are not basic.
bool ValueToLineBytes(const ArgRecord& value, std::string& out);

// The method bodies as command bodies: argument 0 is the unit reference (window id in the low
// word, unit id in the high word, unit type code), the method's arguments follow.
void SerialPortOpenCommand(ResultRecord* result, int argCount, ArgRecord* args);
void SerialPortCloseCommand(ResultRecord* result, int argCount, ArgRecord* args);
void SerialPortSendDataCommand(ResultRecord* result, int argCount, ArgRecord* args);
void SerialPortSetLineSignalCommand(ResultRecord* result, int argCount, ArgRecord* args);

}  // namespace kesu::units
