#include "runtime/startup.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/errors.h"
#include "runtime/notify.h"
#include "runtime/properties.h"
#include "runtime/runtime_state.h"
#include "runtime/sysfunc.h"
#include "runtime/windows.h"

namespace kesu {

namespace {

RuntimeState::Frame& State() {
    return Runtime().frame;
}

// A window handle is the window's unit object; it is gone when no loaded record holds it.
bool HandleAlive(intptr_t handle) {
    if (handle == 0) return false;
    for (LoadedWindow* w : AllLoadedWindows()) {
        for (const UnitRecord& record : w->tmpl->records) {
            if (reinterpret_cast<intptr_t>(record.object) == handle) return true;
        }
    }
    return false;
}

void RunIdleRoutines() {
    auto& routines = State().idle_routines;
    for (size_t i = routines.size(); i-- > 0;) {
        if (i >= routines.size()) continue;  // a routine removed others
        if (!HandleAlive(routines[i].window)) {
            routines.erase(routines.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        const IdleRoutineRecord r = routines[i];
        if (r.routine) r.routine(r.argument);
    }
}

bool IdleStep(int pass) {
    RunIdleRoutines();
    auto& s = State();
    if (pass == 0) {
        s.burst_start = UiLoop().NowMs();
        s.idle_skipped.clear();
        return true;
    }
    if (pass == 1) return true;
    const auto elapsed = static_cast<int32_t>(UiLoop().NowMs() - s.burst_start);
    bool more = false;
    for (LoadedWindow* w : AllLoadedWindows()) {
        if (!w->alive() || s.idle_skipped.count(w->window_id())) continue;
        SimpleEventRecord record;
        record.window_id = w->window_id();
        record.event = window_event::kIdle;
        record.arg_count = 1;
        record.args[0] = elapsed;
        RaiseEvent(record);
        if (record.result_flag && record.result_value != 0) {
            more = true;
        } else {
            s.idle_skipped.insert(w->window_id());
        }
    }
    return more;
}

void ShutdownOnUiThread() {
    auto& s = State();
    if (s.shutting_down) return;
    s.shutting_down = true;
    s.idle_routines.clear();
    if (platform::HasCurrent()) UiLoop().SetIdleHook({});
    DestroyAllWindows();
    ShutdownRuntimeServices();
    // Workers still waiting for the UI thread are let go: it will not serve them any more.
    if (platform::HasCurrent()) UiLoop().Close();
}

void PresentErrorBox(const std::string& text, const std::string& title) {
    if (!platform::HasCurrent()) {
        std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
        return;
    }
    platform::MessageBoxRequest request;
    request.text = text;
    request.caption = title;
    request.flags = platform::mb::kOk | platform::mb::kIconError;
    platform::Current().Dialog().MessageBox(request);
}

// ---- System function table entries ----------------------------------------------------------

uint64_t ReadObjectEntry(TypeCode type, intptr_t object, int property, int component) {
    return ReadObjectProperty(type, reinterpret_cast<Unit*>(object), property, component);
}
void WriteObjectEntry(TypeCode type, intptr_t object, int property, int component, uint32_t low,
                      uint32_t high) {
    WriteObjectProperty(type, reinterpret_cast<Unit*>(object), property, component, low, high);
}

// ---- NotifyRuntime services -----------------------------------------------------------------

intptr_t WindowHandleOf(intptr_t unit) {
    return unit;
}

intptr_t AddIdleRoutine(intptr_t record) {
    const auto* r = reinterpret_cast<const IdleRoutineRecord*>(record);
    if (!r) return 0;
    auto& routines = State().idle_routines;
    const bool known =
        std::any_of(routines.begin(), routines.end(),
                    [&](const IdleRoutineRecord& x) { return x.window == r->window; });
    if (!known) routines.push_back(*r);
    return 0;
}

intptr_t RemoveIdleRoutine(intptr_t window) {
    auto& routines = State().idle_routines;
    std::erase_if(routines, [&](const IdleRoutineRecord& x) { return x.window == window; });
    return 0;
}

intptr_t UnitDestroyed(intptr_t window_id, intptr_t unit_id) {
    const auto wid = static_cast<uint32_t>(window_id);
    const auto uid = static_cast<uint32_t>(unit_id);
    LoadedWindow* w = FindLoadedWindow(wid);
    if (!w) return 0;
    UnitRecord* record = FindUnitRecord(*w, uid);
    if (!record || !record->object) return 0;
    if (record == &w->tmpl->records[0]) {
        DestroyLoadedWindow(wid);
    } else {
        const auto index = static_cast<size_t>(record - w->tmpl->records.data());
        record->object = nullptr;
        record->cursor = nullptr;
        if (index < w->units.size() && w->units[index]) {
            std::unique_ptr<Unit> gone = std::move(w->units[index]);
            gone->Detach();
            gone->SetVisible(false);
            // Deleted once the code that reported it has returned.
            auto holder = std::make_shared<std::unique_ptr<Unit>>(std::move(gone));
            if (platform::HasCurrent()) UiLoop().Post([holder] { holder->reset(); });
        }
    }
    return 0;
}

intptr_t LoadWindowService(intptr_t record) {
    const auto* r = reinterpret_cast<const LoadWindowRecord*>(record);
    if (!r) return -1;
    return LoadWindowAndWait(r->window_id, reinterpret_cast<Unit*>(r->owner), r->modal != 0);
}

// Lookups from worker threads (a unit method called by a worker) read the window records on the
// UI thread, which alone changes them.
intptr_t FindUnitService(intptr_t window_id, intptr_t unit_id) {
    Unit* unit = nullptr;
    RunOnUiThread(
        [&] { unit = FindUnit(static_cast<uint32_t>(window_id), static_cast<uint32_t>(unit_id)); });
    return reinterpret_cast<intptr_t>(unit);
}

intptr_t LookupFailureIgnored(intptr_t window_id) {
    if (OnUiThread()) return 0;
    // A loop that no longer serves the question has shut down: the request is let go as well.
    bool ignored = true;
    RunOnUiThread([&] { ignored = IgnoresWorkerRequests(static_cast<uint32_t>(window_id)); });
    return ignored;
}

intptr_t RaiseEventService(intptr_t record) {
    auto* r = reinterpret_cast<SimpleEventRecord*>(record);
    return r ? RaiseEvent(*r) : 0;
}

intptr_t RaiseTypedEventService(intptr_t record) {
    auto* r = reinterpret_cast<TypedEventRecord*>(record);
    return r ? RaiseTypedEvent(*r) : 0;
}

intptr_t CurrentEventSourceService(intptr_t record) {
    auto* words = reinterpret_cast<uint32_t*>(record);
    uint32_t window_id = 0, unit_id = 0;
    if (!CurrentEventSource(window_id, unit_id)) return 0;
    if (words) {
        words[0] = window_id;
        words[1] = unit_id;
    }
    return 1;
}

void ProcessMessages() {
    if (platform::HasCurrent() && OnUiThread()) UiLoop().ProcessPending();
}

intptr_t UnitTypeService(intptr_t window_id, intptr_t unit_id) {
    uint32_t type = 0;
    RunOnUiThread([&] {
        type = UnitTypeOf(static_cast<uint32_t>(window_id), static_cast<uint32_t>(unit_id));
    });
    return type;
}

intptr_t WindowHandleById(intptr_t window_id) {
    LoadedWindow* w = FindLoadedWindow(static_cast<uint32_t>(window_id));
    return w && w->alive() ? reinterpret_cast<intptr_t>(w->window_unit()) : 0;
}

const WindowServices kServices = [] {
    WindowServices s;
    s.windowHandleOf = WindowHandleOf;
    s.addIdleRoutine = AddIdleRoutine;
    s.removeIdleRoutine = RemoveIdleRoutine;
    s.unitDestroyed = UnitDestroyed;
    s.loadWindow = LoadWindowService;
    s.findUnit = FindUnitService;
    s.lookupFailureIgnored = LookupFailureIgnored;
    s.raiseEvent = RaiseEventService;
    s.currentEventSource = CurrentEventSourceService;
    s.processMessages = ProcessMessages;
    s.unitTypeOf = UnitTypeService;
    s.raiseTypedEvent = RaiseTypedEventService;
    s.windowHandleById = WindowHandleById;
    return s;
}();

}  // namespace

void InstallFrame() {
    FrameEntries entries;
    entries.readUnitProperty = ReadProperty;
    entries.writeUnitProperty = WriteProperty;
    entries.runMessageLoop = RunMessageLoopNow;
    entries.loadStartupWindow = LoadStartupWindowById;
    entries.readObjectProperty = ReadObjectEntry;
    entries.writeObjectProperty = WriteObjectEntry;
    entries.shutdown = ShutdownRuntime;
    SetFrameEntries(entries);
    SetWindowServices(&kServices);
    SetErrorBoxPresenter(PresentErrorBox);
}

int RunProgram(int (*entry)()) {
    InstallFrame();
    const int result = entry ? entry() : 0;
    ShutdownRuntime(0);
    return result;
}

void RunMessageLoopNow() {
    SetMessageLoopRunning(true);
    if (!AnyWindowAlive()) return;
    platform::EventLoop& loop = UiLoop();
    loop.SetIdleHook(IdleStep);
    loop.Run();
}

void ShutdownRuntime(int exit_code) {
    SuspendEvents();
    if (platform::HasCurrent() && !OnUiThread()) {
        // The UI thread ends the program; this thread waits for it and normally never resumes.
        // A closed loop refuses the request, and the caller then ends the process itself.
        UiLoop().Send([exit_code] {
            ShutdownOnUiThread();
            EndProgram(exit_code);
        });
        return;
    }
    ShutdownOnUiThread();
}

bool ShutdownInProgress() {
    return State().shutting_down;
}

}  // namespace kesu
