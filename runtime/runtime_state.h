// The runtime's state for one run of a program: everything that start-up establishes and that the
// run changes, gathered in one object with a part per concern instead of being scattered over the
// files that use it.
//
// The program creates the state before anything reaches the runtime and destroys it when the run
// is over; a test does the same for each fresh start. While it exists it is the current state,
// which every part of the runtime reaches through Runtime(): one pointer load, as the receive path
// needs it (every received byte is an event dispatched through it). The system function table is a
// table of plain functions, so the state cannot travel as an argument; this one context object is
// what they share instead.
//
// Creating a state while another exists makes the new one current until it goes; the earlier one
// is current again afterwards. Destroying a state tears down what the run still holds while it is
// still current, because units and libraries reach the runtime as they go: first the windows and
// their units, then the libraries' shutdown notification and the modules loaded for DLL commands,
// last the parts' own state (the thread library joins the threads it kept there).
//
// Threads: a state is made and destroyed on the thread that runs the program, before any worker
// reaches it and after every worker has ended. The parts that workers reach are atomic or guarded
// by a mutex of their own, as each says; everything else belongs to the UI thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "runtime/current_object.h"
#include "runtime/dispatch.h"
#include "runtime/errors.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/notify.h"
#include "runtime/properties.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"
#include "runtime/windows.h"

namespace kesu {

// The state that a part built on the runtime keeps for a run (a support library, the core
// commands): the part derives its own state from this, and the runtime state owns one object of
// each such type, made on the part's first use (LibraryStateOf) and destroyed with the run, after
// the libraries were told that the program ends.
struct LibraryState {
    virtual ~LibraryState() = default;
};

struct RuntimeState : CurrentObject<RuntimeState> {
    RuntimeState() = default;
    ~RuntimeState();

    // What start-up read and found (RuntimeService 6), kept for the whole run.
    struct Program {
        // The image bytes that start-up reads; they must stay alive for the whole run.
        std::span<const uint8_t> imageBytes;
        ProgramImage image;
        // The directory the program works in (GBK, with file-name escapes), the one that holds
        // the program file (file system bytes), where DLLs are looked for, and the file name.
        std::string directory;
        std::string fsDirectory;
        std::string fileName;
        std::atomic<std::thread::id> mainThread{};
        // The application's clean-up routine (RuntimeService 3).
        std::atomic<CleanupRoutine> cleanup{nullptr};
    } program;

    // The window part's entries into the system function table and into NotifyRuntime, installed
    // by InstallFrame before any worker exists.
    struct Entries {
        FrameEntries frame;
        std::atomic<const WindowServices*> windowServices{nullptr};
    } entries;

    // How the program ends.
    struct Ending {
        std::atomic<ProcessExit> processExit{nullptr};
        // The threads that carry out an end of the program right now: an end requested again on
        // one of them (a runtime error in a clean-up routine, say) ends the process at once
        // instead of starting over, while a worker's end forwarded to the main thread is still
        // carried out there.
        std::mutex mutex;
        std::vector<std::thread::id> threads;
    } ending;

    // Resolved DLL command addresses per declared index and the modules opened for them;
    // resolution happens on first use, from any thread, under the mutex.
    struct Dll {
        std::mutex mutex;
        std::vector<void*> addresses;
        std::vector<void*> modules;
    } dll;

    // The value model's memory: the constant segment registered at start-up (read from every
    // thread afterwards) and the ceiling on single allocations that tests set (0: none).
    struct Memory {
        std::atomic<uintptr_t> constBegin{0};
        std::atomic<uintptr_t> constEnd{0};
        std::atomic<size_t> allocationLimit{0};
    } memory;

    // The runtime error's box presenter and hook; the hook is never re-entered.
    struct Errors {
        std::atomic<ErrorBoxPresenter> presenter{nullptr};
        std::atomic<ErrorHook> hook{nullptr};
        std::atomic<bool> hookRunning{false};
    } errors;

    // The open-file list behind notifications 2011 to 2013: an open file object and its access
    // byte, from any thread under the mutex.
    struct Files {
        std::mutex mutex;
        std::map<intptr_t, int> open;
    } files;

    // The registered code of the libraries, and the libraries of the running program.
    struct Libraries {
        // A list keeps the registrations' addresses stable while more are added.
        std::mutex registryMutex;
        std::list<NativeLibrary> registry;
        std::vector<LoadedLibrary> loaded;
        // The parts' own state objects, one per type.
        std::mutex statesMutex;
        std::vector<std::pair<const std::type_info*, std::unique_ptr<LibraryState>>> states;
    } libraries;

    // Event dispatch: the application's handler table, the event suspension counter (while it is
    // 1 or more no event is dispatched) and the current event source, set when a handler is found
    // and its window id cleared when any handler returns.
    struct Dispatch {
        std::span<const EventHandler> handlers;
        std::atomic<int> suspension{0};
        uint32_t source_window = 0;
        uint32_t source_unit = 0;
    } dispatch;

    // The loaded window records, one per template of the run.
    struct Windows {
        std::vector<std::unique_ptr<LoadedWindow>> windows;
        // Units that left their window, deleted by a posted task once the code that destroyed
        // them has returned. Children come before the window that holds their controls.
        std::vector<std::unique_ptr<Unit>> graveyard;
        bool delete_posted = false;
        bool loop_running = false;
    } windows;

    // Where the window thread found units and handlers lately. A property access and an event
    // name their unit by window and unit id; finding the record, its type's operations and its
    // bound handler costs many times the handler's own work on the receive path, where every
    // byte reads three properties and raises one event. What they find depends only on the
    // templates, the loaded libraries and the handler table, so an entry holds until one of
    // those changes (`generation`, bumped by NoteLookupsChanged). The unit itself is read from
    // its record each time. Window thread only.
    struct Lookups {
        struct Unit {
            uint32_t window_id = 0;
            uint32_t unit_id = 0;
            uint64_t generation = 0;
            LoadedWindow* window = nullptr;
            UnitRecord* record = nullptr;
            UnitTypeOperations type;
            // How the word-kind property the unit was last read for travels.
            int word_property = -1;
            KindForm word_form = KindForm::kOneWord;
        };
        struct Handler {
            uint32_t window_id = 0;
            uint32_t unit_id = 0;
            int32_t event = 0;
            uint64_t generation = 0;
            EventHandler handler = nullptr;
            uint32_t source_unit = 0;
        };
        uint64_t generation = 1;
        std::array<Unit, 32> units{};
        std::array<Handler, 16> handlers{};
    } lookups;

    // The message loop, idle time and shutdown of the window part.
    struct Frame {
        bool shutting_down = false;
        std::vector<IdleRoutineRecord> idle_routines;
        uint64_t burst_start = 0;
        std::set<uint32_t> idle_skipped;  // windows whose Idle handler asked for no more this burst
    } frame;
};

// What the lookups found may have changed: templates, libraries or handlers were replaced.
inline void NoteLookupsChanged() {
    ++RuntimeState::Get().lookups.generation;
}

// The current state. One must exist: the program makes it at start-up, and each test that reaches
// the runtime makes its own.
inline RuntimeState& Runtime() {
    return RuntimeState::Get();
}

// The state of type T that a part built on the runtime keeps for the current run, made on first
// use. Callable from any thread. The lookup takes a lock: what the receive path needs for every
// byte is kept in RuntimeState's own parts instead.
template <class T>
T& LibraryStateOf() {
    RuntimeState::Libraries& libraries = Runtime().libraries;
    std::lock_guard lock(libraries.statesMutex);
    for (auto& [type, state] : libraries.states) {
        if (*type == typeid(T)) return static_cast<T&>(*state);
    }
    libraries.states.emplace_back(&typeid(T), std::make_unique<T>());
    return static_cast<T&>(*libraries.states.back().second);
}

}  // namespace kesu
