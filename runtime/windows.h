// Window loading: the loaded window records kept for the whole run, creating a window and its
// units from their template records, destroying them, and the unit lookups that unit classes and
// commands use.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "runtime/image.h"
#include "runtime/unit.h"

namespace kesu {

// The run-time side of one window template: the live unit objects of its records while the window
// is loaded, and the state of its loading and of its modal opening.
struct LoadedWindow {
    WindowTemplate* tmpl = nullptr;
    // Owners of the objects in the records' object slots, by record index.
    std::vector<std::unique_ptr<Unit>> units;
    bool load_complete = false;
    bool loading = false;
    bool destroying = false;
    // Destroyed since it was last loaded: the user (or the program) closed it.
    bool closed = false;
    bool modal = false;
    // Program windows this window disabled when it opened modally, with their former state.
    std::vector<std::pair<uint32_t, bool>> disabled_windows;

    uint32_t window_id() const { return tmpl->windowId; }
    Unit* window_unit() const { return units.empty() ? nullptr : units[0].get(); }
    bool alive() const { return window_unit() != nullptr; }
};

// The loaded window record of a window id, created on first use for every template of the run;
// null when no template has that id.
LoadedWindow* FindLoadedWindow(uint32_t window_id);
// Every window record of the run, in template order.
std::vector<LoadedWindow*> AllLoadedWindows();
// True while at least one program window exists.
bool AnyWindowAlive();

// The record of a unit in a window: unit id 0 or kWindowRecordId is the window's own record 0.
UnitRecord* FindUnitRecord(LoadedWindow& window, uint32_t unit_id);
// The live object of a unit, or null (notification 2006).
Unit* FindUnit(uint32_t window_id, uint32_t unit_id);
// As FindUnit, but a missing unit raises "指定窗口或窗口组件不存在或尚未载入" (notification 2007).
Unit& FindUnitOrFail(uint32_t window_id, uint32_t unit_id);
// The unit type code of a unit's record, or 0 (notification 2022).
uint32_t UnitTypeOf(uint32_t window_id, uint32_t unit_id);

// Loads a window: 1 on success, 0 on failure. An open window is brought to the front instead.
// The owner must be a live window unit, or null; with modal set it is ignored.
int LoadWindow(LoadedWindow& window, bool modal, Unit* owner);
// Loads the start-up window, not modal and without owner; a missing template or a failed load
// raises "载入启动窗口失败".
void LoadStartupWindowById(uint32_t window_id);
// Notification 2005: loads the window and, when it opened modally and visible, runs a nested loop
// until it is gone. 0 on success, -1 on failure.
int LoadWindowAndWait(uint32_t window_id, Unit* owner, bool modal);

// Destroys a loaded window: raises its Destroyed event (2), gives back the enabled state of the
// windows it disabled, releases every unit (the window's own last) and clears their slots. When
// it was the last program window and the message loop runs, the loop is asked to quit with 0.
void DestroyLoadedWindow(uint32_t window_id);
// Destroys every loaded window (shutdown).
void DestroyAllWindows();

// Whether a worker thread's request to a window is let go without effect: shutdown has begun, or
// the window is being destroyed or was closed and not loaded again. A worker cannot know that the
// user closed the window while it was busy (a send between its steps, a scan filling the port
// list), so its late property accesses and unit lookups are not the program's fault and must not
// end it with a runtime error. Requests from the UI thread are judged as always.
bool IgnoresWorkerRequests(uint32_t window_id);

// Recreates a live unit from its saved data in the same place (a property write answered 1).
void RecreateUnit(LoadedWindow& window, size_t record_index);

// ---- Mouse pointers ---------------------------------------------------------------------------

// The fifteen rows of the mouse-pointer table and the cursor identifiers they stand for.
inline constexpr uint32_t kMousePointerIds[15] = {0,      0x7F00, 0x7F03, 0x7F01, 0x7F02,
                                                  0x7F8B, 0x7F8A, 0x7F88, 0x7F86, 0x7F83,
                                                  0x7F85, 0x7F82, 0x7F84, 0x7F04, 0x7F89};
// Row to cursor identifier; a value not in the table passes unchanged. And the reverse.
uint32_t MousePointerRowToId(uint32_t row);
uint32_t MousePointerIdToRow(uint32_t id);
// The cursor identifier that stored mouse-pointer bytes name: none (0) for no bytes, the first
// word when there are at least 4 bytes, else the first byte; rows become identifiers, and a value
// that is neither gives 0. Cursor file data is read by LoadMousePointer.
uint32_t CursorIdFromPointerBytes(std::span<const uint8_t> bytes);
// The shape a cursor identifier shows: its row's, the default for 0 and for an identifier not in
// the table.
platform::Cursor CursorForId(uint32_t cursor_id);

// ---- Run state ---------------------------------------------------------------------------------

// Whether the message loop runs (set by RunMessageLoop).
bool MessageLoopRunning();
void SetMessageLoopRunning(bool running);

}  // namespace kesu
