// Start-up, the message loop and shutdown of the window part of the runtime.
//
// A program runs as RunProgram(entry): the entry routine initialises the runtime (RuntimeService
// 6), registers its clean-up routine, loads the start-up window and runs the message loop; when it
// returns, the runtime shuts down with exit code 0. EndProgram ends a run early from any thread.
#pragma once

#include <cstdint>

namespace kesu {

// Installs the window part into the system function table (property access, message loop,
// start-up window, shutdown) and into NotifyRuntime (the window-related codes), and routes the
// runtime error box to the platform's message box. Installing the application's event handlers
// (SetEventHandlers) does this too; calling it again changes nothing.
void InstallFrame();

// The initialisation hook: runs the application's entry routine on the calling (UI) thread, then
// the runtime shutdown with exit code 0. Returns the entry routine's result.
int RunProgram(int (*entry)());

// Runs the loop until no program window is left (returns at once when none is alive). Idle
// time runs the registered idle routines (last registered first) and raises every live window's
// Idle event (7) with the milliseconds since the idle burst began.
void RunMessageLoopNow();

// The runtime shutdown, the first step of EndProgram: events suspended, idle routines dropped,
// every window and unit destroyed, the clean-up routine run once, libraries told with code 6, the
// loop closed to workers. Called on a worker thread it asks the UI thread to end the program
// and returns only when that cannot happen.
void ShutdownRuntime(int exit_code);
bool ShutdownInProgress();

// Notification 1012: an idle routine for a window (the window handle is its unit object).
struct IdleRoutineRecord {
    intptr_t window = 0;
    void (*routine)(intptr_t argument) = nullptr;
    intptr_t argument = 0;
};

// Notification 2005: load a window with an owner window object (or 0) and a modal flag.
struct LoadWindowRecord {
    uint32_t window_id = 0;
    intptr_t owner = 0;
    int32_t modal = 0;
};

}  // namespace kesu
