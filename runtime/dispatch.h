// Event dispatch: from a unit's event record to the application handler that the window template
// binds to that unit and event number.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/unit.h"

namespace kesu {

inline constexpr int kMaxSimpleEventArgs = 5;
inline constexpr int kMaxTypedEventArgs = 12;

// The simple event record: eleven words.
struct SimpleEventRecord {
    uint32_t window_id = 0;
    uint32_t unit_id = 0;  // 0: the window itself
    int32_t event = 0;
    int32_t arg_count = 0;  // 0 to 5
    int32_t args[kMaxSimpleEventArgs] = {};
    int32_t result_flag = 0;  // set to 1 when the handler returned a value
    int32_t result_value = 0;
};
static_assert(sizeof(SimpleEventRecord) == 44, "eleven words");

// The typed event record: four words, twelve four-word argument slots, the result flag and the
// result as two words.
struct TypedEventRecord {
    uint32_t window_id = 0;
    uint32_t unit_id = 0;
    int32_t event = 0;
    int32_t arg_count = 0;  // 0 to 12
    TypedArgument args[kMaxTypedEventArgs] = {};
    int32_t result_flag = 0;
    uint32_t result_low = 0;
    uint32_t result_high = 0;
};
static_assert(sizeof(TypedEventRecord) == 4 * 4 + 12 * 16 + 3 * 4, "record words");

// An application event handler. It receives the event's arguments as words, first argument first;
// an argument passed as two words takes two consecutive entries, low word first. It answers with
// a value (EventResult::has_value) or without one.
using EventHandler = EventResult (*)(std::span<const uint32_t> args);

// The application's handler routines. An event binding in the template resolves to the code base
// plus its offset; that number, less the code base, indexes this table. Installed before the
// start-up window is loaded; the table must outlive the run.
// Installing the handlers also installs the window part of the runtime (InstallFrame).
void SetEventHandlers(std::span<const EventHandler> handlers);

// The handler bound to (window, unit, event), or null. Drops the event silently while events are
// suspended; raises the runtime errors of a missing window, a missing unit and a unit type that is
// no event source. Records the current event source when a handler is found.
EventHandler FindEventHandler(uint32_t window_id, uint32_t unit_id, int32_t event);

// Both return 1 when a handler was found and called, 0 otherwise; the handler's value lands in the
// record's result fields. Must run on the UI thread.
int RaiseEvent(SimpleEventRecord& record);
int RaiseTypedEvent(TypedEventRecord& record);

// The words a typed argument passes to its handler, by the passing rules: flag bit 0 the low word
// as stored; flag bit 1 or the type 0x00010003 both words; otherwise by type (byte zero-extended,
// short sign-extended, date-time, long, double and eight-byte values both words, the rest the low
// word).
void AppendArgumentWords(const TypedArgument& arg, std::vector<uint32_t>& words);

// The window and unit id of the event being handled; false when none is (notification 2017).
bool CurrentEventSource(uint32_t& window_id, uint32_t& unit_id);

}  // namespace kesu
