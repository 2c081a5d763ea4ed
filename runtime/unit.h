// The unit-type interface: what every unit type (window, edit box, timer, serial port, ...)
// provides to the runtime, and the base class its objects derive from.
//
// How a unit type is made and found
// ---------------------------------
// A unit type is a class derived from Unit plus one interface function,
//
//     UnitOperation EditBoxInterface(int code);
//
// that returns the type's operation for an operation code, or null when the type has none:
//
//     kUnitCreate       CreateUnitFn:   builds the object from its stored block (null: failure)
//     kUnitSetProperty  SetPropertyFn:  writes a type-specific property; 1 asks for recreation
//     kUnitSave         SaveUnitFn:     writes the current type-specific data as a stored block
//     kUnitGetProperty  GetPropertyFn:  reads a type-specific property; 1 when it filled the value
//     kUnitGetWord      GetWordFn:      optional; reads a one-word, two-word or logical property
//                                       without building a PropertyValue; 0 sends the read on to
//                                       kUnitGetProperty
//
// StandardUnitInterface<T> builds such a function for a class T that has
//     static std::unique_ptr<T> Create(const UnitCreateInfo&);
// and overrides the virtual SetProperty, GetProperty, GetWordProperty and Save below. The type
// registers by naming its interface function in its library's unit type descriptor (libs/core for
// the core library's types); the runtime reaches the type through nothing else.
//
// Property indices handed to a type are unit-relative: the property index minus 8. Indices 0 to 7
// (left, top, width, height, tag, visible, disabled, mouse pointer) are the runtime's own; the
// runtime reaches the unit's window for them through the virtual functions of Unit.
//
// Ownership: the runtime owns every unit object it created (the loaded window record holds it)
// and destroys it when the window goes, or when the unit is recreated. A unit never deletes
// itself.
//
// Events
// ------
// A unit raises an event with RaiseEvent (up to five one-word arguments) or RaiseTypedEvent (up to
// twelve typed arguments). Both return true when a handler ran; when the handler returned a value,
// the result's has_value is set and value holds it (one word in the low half, or both words).
// Events are dispatched on the UI thread only: a unit whose data arrive on another thread posts
// them to the UI thread first (platform event loop `post`) and raises the event there.
//
// Threads
// -------
// Property reads and writes that come from worker threads reach the unit on the UI thread: the
// runtime's property entries forward themselves with the event loop's `send`, so SetProperty and
// GetProperty always run on the UI thread. Unit methods called as commands must do the same for
// anything that touches the unit's window: wrap the body in RunOnUiThread, which runs it inline on
// the UI thread and otherwise sends it there and waits, while events it causes are dispatched on
// the UI thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "runtime/image.h"
#include "runtime/mouse_pointer.h"

namespace kesu::platform {
bool OnUiThreadOfCurrent();
class Control;
class EventLoop;
class MenuBar;
struct CursorImage;
}  // namespace kesu::platform

namespace kesu {

class Unit;

// ---- Operation codes and signatures -------------------------------------------------------------

inline constexpr int kUnitCreate = 1;
inline constexpr int kUnitSetProperty = 4;
inline constexpr int kUnitSave = 5;
inline constexpr int kUnitGetProperty = 6;
inline constexpr int kUnitGetWord = 7;

// Style bits handed to create, as the loader computes them from the record's state flags.
inline constexpr uint32_t kStyleVisible = 0x10000000;
inline constexpr uint32_t kStyleDisabled = 0x08000000;
inline constexpr uint32_t kStyleTabStop = 0x00010000;

struct UnitCreateInfo {
    std::string_view data;  // the stored type-specific block (borrowed for the call)
    uint32_t style = 0;
    Unit* parent = nullptr;  // the window's unit for units; the owner window (or null) for windows
    int control_id = 0;      // 100, 110, 120, ... in creation order; 0 for the window
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t window_id = 0;
    uint32_t unit_id = 0;
    bool modal = false;  // windows only: opened modally
    // Windows only: the menu bar built for the window, which a window that is created takes over;
    // null or empty for none.
    std::unique_ptr<platform::MenuBar>* menu = nullptr;
};

// A type-specific property value as it crosses the interface. One-word kinds use the low 32 bits
// of number, two-word kinds all 64, logicals 0 or 1; texts (without terminator), byte sets,
// mouse pointers and the 60-byte font record travel in bytes.
struct PropertyValue {
    int64_t number = 0;
    std::string bytes;
};

using UnitOperation = void (*)();
using UnitInterfaceFn = UnitOperation (*)(int code);
using CreateUnitFn = std::unique_ptr<Unit> (*)(const UnitCreateInfo& info);
using SetPropertyFn = int (*)(const PropertyValue& value, Unit& unit, int index);
using GetPropertyFn = int (*)(Unit& unit, int index, PropertyValue& out);
using SaveUnitFn = int (*)(Unit& unit, std::string& block);
using GetWordFn = int (*)(Unit& unit, int index, int64_t& out);

// Typed access to an interface function's operations; null when the type lacks one.
CreateUnitFn CreateOperation(UnitInterfaceFn interface);
SetPropertyFn SetPropertyOperation(UnitInterfaceFn interface);
GetPropertyFn GetPropertyOperation(UnitInterfaceFn interface);
SaveUnitFn SaveOperation(UnitInterfaceFn interface);
GetWordFn GetWordOperation(UnitInterfaceFn interface);

// ---- Geometry -----------------------------------------------------------------------------------

struct UnitRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const UnitRect&) const = default;
};

// ---- Event numbers ------------------------------------------------------------------------------

// The focus events that every unit shares: raised by the loader for the first focus a window
// gives, by the units for every later change.
inline constexpr int kEventGotFocus = -7;
inline constexpr int kEventLostFocus = -8;

// The events of a window's own unit. The runtime raises Created, Destroyed, Idle and the Moved and
// Resized that follow loading itself; the window unit raises the others.
namespace window_event {
inline constexpr int kCreated = 0;
inline constexpr int kCloseQuery = 1;
inline constexpr int kDestroyed = 2;
inline constexpr int kMoved = 3;
inline constexpr int kResized = 4;
inline constexpr int kActivated = 5;
inline constexpr int kDeactivated = 6;
inline constexpr int kIdle = 7;
inline constexpr int kTrayIconClicked = 9;
inline constexpr int kShown = 10;
inline constexpr int kHidden = 11;
}  // namespace window_event

// ---- Event results ------------------------------------------------------------------------------

struct EventResult {
    bool has_value = false;
    int64_t value = 0;
};

// One argument of a typed event: its two value words, its type code and passing flags (bit 0:
// pass the low word as stored; bit 1: pass both words).
struct TypedArgument {
    uint32_t low = 0;
    uint32_t high = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
};

// ---- The unit object ----------------------------------------------------------------------------

class Unit {
  public:
    explicit Unit(const UnitCreateInfo& info);
    virtual ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    uint32_t window_id() const { return window_id_; }
    uint32_t unit_id() const { return unit_id_; }

    // Type-specific properties with unit-relative indices. The defaults know no property.
    virtual int SetProperty(int index, const PropertyValue& value);
    virtual int GetProperty(int index, PropertyValue& out);
    // A word-kind property the program reads often (a check box's mark, read for every
    // received byte), answered without the PropertyValue; 1 when out holds it. The default
    // answers nothing, and GetProperty serves the read.
    virtual int GetWordProperty(int index, int64_t& out);
    // The current type-specific data in the stored block format, for recreation. 1 on success.
    virtual int Save(std::string& block);

    // The platform control that shows the unit; null for a unit without a visible window (a timer,
    // a serial port). A container (the window, a group box) is the parent of its children's
    // controls.
    virtual platform::Control* control() const { return nullptr; }

    // The unit's window as the runtime's common properties and the loader see it. The defaults
    // work on control(); a unit without one keeps these as plain state and is never shown.
    virtual UnitRect Geometry() const;
    virtual void SetGeometry(const UnitRect& rect);
    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled);
    // Puts the unit inside the window of another unit (a group box, or the window itself).
    virtual void SetParentUnit(Unit& parent);
    // Stacking: directly after the given sibling, or on top of its siblings when null.
    virtual void PlaceAfter(Unit* sibling);
    // The mouse pointer shown over control(): a system shape, or a picture the program draws.
    virtual void SetMousePointer(const MousePointer& pointer);
    const MousePointer& mouse_pointer() const { return pointer_; }
    // By cursor identifier (0: the default cursor).
    void SetCursorId(uint32_t cursor_id) { SetMousePointer(PointerForId(cursor_id)); }
    uint32_t cursor_id() const { return pointer_.id; }
    virtual void SetFocus();
    virtual bool HasFocus() const;

    // Loader notifications: every unit of the window exists and is in place; the window's
    // loading has completed; for a container, the set of its children changed.
    virtual void OnUnitsCreated() {}
    virtual void OnLoadComplete() {}
    virtual void OnChildrenChanged() {}
    // A window that is open is asked to come to the front (restored when minimised).
    virtual void BringToFront() {}
    // The unit's window is being destroyed: stop timers and I/O and hide. The object itself is
    // deleted a little later on the UI thread, so code of the unit that is still running (an
    // event that closed the window) may finish; from now on the unit raises no events.
    virtual void OnDestroy() {}

    // Called by the runtime when the unit leaves its window (destruction or recreation).
    void Detach();
    bool detached() const { return detached_; }

  protected:
    // Raises an event of this unit with up to five one-word arguments. Must run on the UI thread.
    bool RaiseEvent(int event, std::span<const int32_t> args = {}, EventResult* result = nullptr);
    bool RaiseEvent(int event, std::initializer_list<int32_t> args, EventResult* result = nullptr) {
        return RaiseEvent(event, std::span<const int32_t>(args.begin(), args.size()), result);
    }
    // Raises an event with up to twelve typed arguments.
    bool RaiseTypedEvent(int event, std::span<const TypedArgument> args,
                         EventResult* result = nullptr);

  private:
    uint32_t window_id_;
    uint32_t unit_id_;
    UnitRect rect_;
    bool visible_;
    bool enabled_;
    MousePointer pointer_;
    bool detached_ = false;
};

// ---- Threads ------------------------------------------------------------------------------------

// The UI thread's event loop of the installed platform backend.
platform::EventLoop& UiLoop();
// True on the thread that runs the event loop (and before any loop is installed).
inline bool OnUiThread() {
    return platform::OnUiThreadOfCurrent();
}
// Runs the task on the UI thread: inline there, otherwise sent and waited for.
void RunOnUiThread(const std::function<void()>& task);

// ---- Stored blocks ------------------------------------------------------------------------------

// Reads a unit's stored block: 32-bit little-endian words, counted texts and counted blocks (a word
// byte count then the bytes). A read past the end sets failed() and yields zeros and empties, so a
// parser can read its fields in order and check once at the end.
class BlockReader {
  public:
    explicit BlockReader(std::string_view data)
        : in_(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size())) {}
    bool AtEnd() const { return in_.remaining() == 0; }
    bool failed() const { return !in_.ok(); }
    size_t remaining() const { return in_.remaining(); }

    int32_t Word() { return in_.Int(); }
    // A count of 0 or less gives the empty string.
    std::string Counted() { return in_.CountedText(); }
    std::string Bytes(size_t count) {
        auto bytes = in_.Bytes(count);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

  private:
    ByteReader in_;
};

class BlockWriter {
  public:
    void Word(int32_t value);
    void Counted(std::string_view bytes);
    void Bytes(std::string_view bytes) { out_.append(bytes); }
    const std::string& str() const { return out_; }
    std::string Take() { return std::move(out_); }

  private:
    std::string out_;
};

// ---- The standard interface function ------------------------------------------------------------

namespace unit_detail {
template <class T>
std::unique_ptr<Unit> Create(const UnitCreateInfo& info) {
    return T::Create(info);
}
inline int Set(const PropertyValue& value, Unit& unit, int index) {
    return unit.SetProperty(index, value);
}
inline int Get(Unit& unit, int index, PropertyValue& out) {
    return unit.GetProperty(index, out);
}
inline int Save(Unit& unit, std::string& block) {
    return unit.Save(block);
}
// Called on the type itself, so that a final type's read is one call.
template <class T>
int GetWord(Unit& unit, int index, int64_t& out) {
    return static_cast<T&>(unit).GetWordProperty(index, out);
}
}  // namespace unit_detail

template <class T>
UnitOperation StandardUnitInterface(int code) {
    switch (code) {
        case kUnitCreate:
            return reinterpret_cast<UnitOperation>(&unit_detail::Create<T>);
        case kUnitSetProperty:
            return reinterpret_cast<UnitOperation>(&unit_detail::Set);
        case kUnitSave:
            return reinterpret_cast<UnitOperation>(&unit_detail::Save);
        case kUnitGetProperty:
            return reinterpret_cast<UnitOperation>(&unit_detail::Get);
        case kUnitGetWord:
            return reinterpret_cast<UnitOperation>(&unit_detail::GetWord<T>);
        default:
            return nullptr;
    }
}

}  // namespace kesu
