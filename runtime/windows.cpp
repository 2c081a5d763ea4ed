#include "runtime/windows.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/event_loop.h"
#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/errors.h"
#include "runtime/library.h"
#include "runtime/menus.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"

namespace kesu {

namespace {

constexpr int kFirstControlId = 100;
constexpr int kControlIdStep = 10;

RuntimeState::Windows& State() {
    return Runtime().windows;
}

// Keeps one loaded window record per template. The template list is fixed once start-up has read
// it; the records are made on first use after that, and made again should the list change (a
// start-up run once more over the same state).
void SyncRecords() {
    auto& templates = WindowTemplates();
    auto& windows = State().windows;
    // Records are made in template order, so the first record's template and the count tell
    // whether the list is the one the records were made for: every lookup asks.
    if (windows.size() == templates.size() &&
        (windows.empty() || windows.front()->tmpl == templates.data())) {
        return;
    }
    windows.clear();
    NoteLookupsChanged();
    for (WindowTemplate& t : templates) {
        auto w = std::make_unique<LoadedWindow>();
        w->tmpl = &t;
        t.loaded = w.get();
        windows.push_back(std::move(w));
    }
}

void DeleteGraveyard() {
    auto& s = State();
    s.delete_posted = false;
    // Deleting a unit may not bury others, but move the list out so that it could.
    auto dead = std::move(s.graveyard);
    s.graveyard.clear();
    for (auto& unit : dead) unit.reset();
}

void Bury(std::unique_ptr<Unit> unit) {
    if (!unit) return;
    unit->Detach();
    auto& s = State();
    s.graveyard.push_back(std::move(unit));
    if (!s.delete_posted && platform::HasCurrent() && !ShutdownInProgress()) {
        s.delete_posted = true;
        platform::Current().Loop().Post(DeleteGraveyard);
    }
}

// Notification 2009: the messages already waiting run first, then dispatch is suspended.
void SuspendAfterPending() {
    if (platform::HasCurrent() && OnUiThread()) platform::Current().Loop().ProcessPending();
    SuspendEvents();
}

void ResumeAfterPending() {
    if (platform::HasCurrent() && OnUiThread()) platform::Current().Loop().ProcessPending();
    ResumeEvents();
}

Unit* RecordUnit(const UnitRecord& record) {
    return static_cast<Unit*>(record.object);
}

bool RaiseWindowEvent(LoadedWindow& w, int event) {
    if (!w.alive()) return false;
    SimpleEventRecord record;
    record.window_id = w.window_id();
    record.unit_id = 0;
    record.event = event;
    RaiseEvent(record);
    return true;
}

// Releases every unit of a half-built window after a failed load.
void DiscardUnits(LoadedWindow& w) {
    for (size_t i = w.units.size(); i-- > 0;) {
        w.tmpl->records[i].object = nullptr;
        w.tmpl->records[i].cursor = nullptr;
        Bury(std::move(w.units[i]));
    }
    w.units.clear();
}

// The record a unit sits in: its parent unit's, or the window's for parent 0 or an unknown one.
Unit* ParentUnitOf(LoadedWindow& w, const UnitRecord& record) {
    if (record.parent != 0) {
        if (UnitRecord* parent = w.tmpl->FindRecord(record.parent)) {
            if (Unit* unit = RecordUnit(*parent)) return unit;
        }
    }
    return w.window_unit();
}

bool IsNonVisual(const UnitRecord& record) {
    const UnitTypeDescriptor* type = FindTypeDescriptor(record.type);
    return type && (type->flags & type_flag::kInvisible) != 0;
}

// Places the unit of record `index` directly beneath the nearest earlier record with the same
// parent, or on top of its siblings when there is none. Units of non-visual types have no place
// on screen and do not count as siblings: a timer or a port between two records must not send the
// later one to the top, or a group box listed after them would cover the controls drawn inside.
void Restack(LoadedWindow& w, size_t index) {
    auto& records = w.tmpl->records;
    Unit* unit = RecordUnit(records[index]);
    if (!unit || IsNonVisual(records[index])) return;
    Unit* parent = ParentUnitOf(w, records[index]);
    Unit* after = nullptr;
    for (size_t j = index; j-- > 1;) {
        Unit* sibling = RecordUnit(records[j]);
        if (sibling && !IsNonVisual(records[j]) && ParentUnitOf(w, records[j]) == parent) {
            after = sibling;
            break;
        }
    }
    unit->PlaceAfter(after);
}

// The unit that takes the focus when the window first shows: the visible, enabled tab stop with
// the lowest tab order.
size_t InitialFocus(LoadedWindow& w) {
    size_t best = 0;
    auto& records = w.tmpl->records;
    for (size_t i = 1; i < records.size(); ++i) {
        Unit* unit = RecordUnit(records[i]);
        if (!unit || (records[i].stateFlags & state_flag::kTabStop) == 0) continue;
        const UnitTypeDescriptor* type = FindTypeDescriptor(records[i].type);
        if (type && (type->flags & (type_flag::kInvisible | type_flag::kNoInitialFocus)) != 0) {
            continue;
        }
        if (!unit->IsVisible() || !unit->IsEnabled()) continue;
        if (best == 0 || records[i].tabOrder < records[best].tabOrder) best = i;
    }
    return best;
}

}  // namespace

// ---- Records and lookups
// -------------------------------------------------------------------------

LoadedWindow* FindLoadedWindow(uint32_t window_id) {
    if (!IsSearchableId(window_id)) return nullptr;
    SyncRecords();
    for (auto& w : State().windows) {
        if (w->window_id() == window_id) return w.get();
    }
    return nullptr;
}

std::vector<LoadedWindow*> AllLoadedWindows() {
    SyncRecords();
    std::vector<LoadedWindow*> out;
    for (auto& w : State().windows) out.push_back(w.get());
    return out;
}

bool AnyWindowAlive() {
    SyncRecords();
    return std::any_of(State().windows.begin(), State().windows.end(),
                       [](const auto& w) { return w->alive(); });
}

UnitRecord* FindUnitRecord(LoadedWindow& window, uint32_t unit_id) {
    return window.tmpl->FindRecord(unit_id);
}

Unit* FindUnit(uint32_t window_id, uint32_t unit_id) {
    LoadedWindow* w = FindLoadedWindow(window_id);
    if (!w) return nullptr;
    UnitRecord* record = FindUnitRecord(*w, unit_id);
    return record ? RecordUnit(*record) : nullptr;
}

Unit& FindUnitOrFail(uint32_t window_id, uint32_t unit_id) {
    Unit* unit = FindUnit(window_id, unit_id);
    if (!unit) ReportRuntimeError(errmsg::kUnitMissing, 0);
    return *unit;
}

uint32_t UnitTypeOf(uint32_t window_id, uint32_t unit_id) {
    LoadedWindow* w = FindLoadedWindow(window_id);
    UnitRecord* record = w ? FindUnitRecord(*w, unit_id) : nullptr;
    return record ? record->type : 0;
}

// ---- Loading
// -------------------------------------------------------------------------------------

int LoadWindow(LoadedWindow& w, bool modal, Unit* owner) {
    // 1. An open window comes to the front; one that is being destroyed is finished first.
    // A window cannot be loaded again from inside its own destruction.
    if (w.destroying) return 0;
    if (w.alive()) {
        if (!w.destroying) {
            w.window_unit()->BringToFront();
            return 1;
        }
        DestroyLoadedWindow(w.window_id());
    }
    if (w.loading || w.tmpl->records.empty()) return 0;
    // 2. A modal window has no owner.
    if (modal) owner = nullptr;

    // 3. No handler may run on a half-built window.
    SuspendAfterPending();
    w.loading = true;
    w.closed = false;
    auto& records = w.tmpl->records;
    w.units.clear();
    w.units.resize(records.size());

    // 4. The menu, from the menu-item records.
    std::unique_ptr<platform::MenuBar> menu = BuildMenuBar(*w.tmpl);

    // 5. The window first, then the units from the last record down to record 1.
    std::vector<size_t> order;
    order.push_back(0);
    for (size_t i = records.size(); i-- > 1;) order.push_back(i);
    int control_id = kFirstControlId;
    bool failed = false;
    for (size_t index : order) {
        UnitRecord& record = records[index];
        if (record.IsMenuItem()) continue;
        const UnitTypeDescriptor* type = FindTypeDescriptor(record.type);
        CreateUnitFn create = CreateOperation(FindUnitInterface(record.type));
        if (!type || !create) {
            failed = true;
            break;
        }
        UnitCreateInfo info;
        info.data = std::string_view(reinterpret_cast<const char*>(record.typeData.data()),
                                     record.typeData.size());
        // Visibility is applied once everything is in place (steps 9 and 12).
        if (record.stateFlags & state_flag::kDisabled) info.style |= kStyleDisabled;
        if (record.stateFlags & state_flag::kTabStop) info.style |= kStyleTabStop;
        info.parent = index == 0 ? owner : w.window_unit();
        info.control_id = index == 0 ? 0 : control_id;
        info.left = record.left;
        info.top = record.top;
        info.width = record.width;
        info.height = record.height;
        info.window_id = w.window_id();
        info.unit_id = index == 0 ? kWindowRecordId : record.id;
        info.modal = modal;
        if (index == 0) info.menu = &menu;
        std::unique_ptr<Unit> unit = create(info);
        if (!unit) {
            failed = true;
            break;
        }
        if (index != 0) control_id += kControlIdStep;
        record.object = unit.get();
        w.units[index] = std::move(unit);
    }
    // A template whose record 0 made no window (a damaged one) cannot be loaded either.
    if (!w.window_unit()) failed = true;
    if (failed) {
        // A menu that no window took goes with the failed load.
        menu.reset();
        DiscardUnits(w);
        w.loading = false;
        ResumeAfterPending();
        return 0;
    }
    Unit& window = *w.window_unit();

    // 6. Parents.
    for (size_t i = 1; i < records.size(); ++i) {
        if (Unit* unit = RecordUnit(records[i])) {
            Unit* parent = ParentUnitOf(w, records[i]);
            if (parent && parent != unit) unit->SetParentUnit(*parent);
        }
    }
    // 7. Stacking: each unit directly after the nearest earlier sibling, else on top.
    for (size_t i = 1; i < records.size(); ++i) Restack(w, i);
    // 8. Cursors.
    for (UnitRecord& record : records) {
        if (Unit* unit = RecordUnit(record)) {
            unit->SetMousePointer(LoadMousePointer(record.mousePointer));
        }
    }
    // 9. Every unit is in place; then the units marked visible show.
    for (size_t i = records.size(); i-- > 1;) {
        if (Unit* unit = RecordUnit(records[i])) unit->OnUnitsCreated();
    }
    window.OnChildrenChanged();
    for (size_t i = 1; i < records.size(); ++i) {
        if (Unit* unit = RecordUnit(records[i])) {
            unit->SetVisible((records[i].stateFlags & state_flag::kVisible) != 0 &&
                             !IsNonVisual(records[i]));
        }
    }
    // 10.
    w.loading = false;
    ResumeAfterPending();

    // 11. The first events, each only while the window still exists.
    w.modal = modal;
    for (int event : {window_event::kCreated, window_event::kMoved, window_event::kResized}) {
        if (!RaiseWindowEvent(w, event)) return 1;
    }
    // 12. Show, and give the focus to the first unit in tab order.
    if (w.alive() && (records[0].stateFlags & state_flag::kVisible) != 0) {
        w.window_unit()->SetVisible(true);
        if (size_t focus = InitialFocus(w); focus != 0) {
            // The control reports the focus it takes as well; that report is held back so the
            // unit hears of its first focus exactly once, from here.
            SuspendEvents();
            RecordUnit(records[focus])->SetFocus();
            ResumeEvents();
            SimpleEventRecord got_focus;
            got_focus.window_id = w.window_id();
            got_focus.unit_id = records[focus].id;
            got_focus.event = kEventGotFocus;
            RaiseEvent(got_focus);
        }
    }
    if (!w.alive()) return 1;
    // 13. A modal window disables every other program window while it is open.
    if (modal) {
        for (LoadedWindow* other : AllLoadedWindows()) {
            if (other == &w || !other->alive()) continue;
            Unit* unit = other->window_unit();
            w.disabled_windows.emplace_back(other->window_id(), unit->IsEnabled());
            unit->SetEnabled(false);
        }
    }
    // 14.
    for (size_t i = records.size(); i-- > 1;) {
        if (Unit* unit = RecordUnit(records[i])) unit->OnLoadComplete();
    }
    if (w.alive()) {
        w.window_unit()->OnLoadComplete();
        w.load_complete = true;
    }
    return 1;
}

void LoadStartupWindowById(uint32_t window_id) {
    LoadedWindow* w = FindLoadedWindow(window_id);
    if (!w || LoadWindow(*w, false, nullptr) == 0) ReportRuntimeError(errmsg::kStartupWindow, 0);
}

int LoadWindowAndWait(uint32_t window_id, Unit* owner, bool modal) {
    LoadedWindow* w = FindLoadedWindow(window_id);
    if (!w) return -1;
    if (!modal && owner) {
        // The owner must be a live program window.
        bool live = false;
        for (LoadedWindow* other : AllLoadedWindows()) live |= other->window_unit() == owner;
        if (!live) return -1;
    }
    const bool was_alive = w->alive();
    if (LoadWindow(*w, modal, owner) == 0) return -1;
    if (modal && !was_alive && w->alive() && w->window_unit()->IsVisible() &&
        platform::HasCurrent()) {
        // The modal window's own loop: it ends when the window is gone or the program quits.
        platform::Current().Loop().RunUntil([w] { return !w->alive(); });
    }
    return 0;
}

// ---- Destruction
// ---------------------------------------------------------------------------------

void DestroyLoadedWindow(uint32_t window_id) {
    LoadedWindow* w = FindLoadedWindow(window_id);
    if (!w || !w->alive() || w->destroying) return;
    w->destroying = true;
    RaiseWindowEvent(*w, window_event::kDestroyed);
    // The windows a modal window disabled get their former state back.
    for (auto [id, enabled] : w->disabled_windows) {
        if (LoadedWindow* other = FindLoadedWindow(id); other && other->alive()) {
            other->window_unit()->SetEnabled(enabled);
        }
    }
    w->disabled_windows.clear();
    DiscardUnits(*w);
    w->destroying = false;
    w->closed = true;
    w->load_complete = false;
    w->modal = false;
    if (!AnyWindowAlive() && State().loop_running && !ShutdownInProgress() &&
        platform::HasCurrent()) {
        platform::Current().Loop().Quit(0);
    }
}

void DestroyAllWindows() {
    for (LoadedWindow* w : AllLoadedWindows()) DestroyLoadedWindow(w->window_id());
    DeleteGraveyard();
}

bool IgnoresWorkerRequests(uint32_t window_id) {
    if (ShutdownInProgress()) return true;
    const LoadedWindow* w = FindLoadedWindow(window_id);
    return w && (w->destroying || w->closed);
}

// ---- Recreation
// ----------------------------------------------------------------------------------

void RecreateUnit(LoadedWindow& w, size_t index) {
    auto& records = w.tmpl->records;
    if (index == 0 || index >= records.size() || !w.units[index]) return;
    UnitRecord& record = records[index];
    const UnitTypeDescriptor* type = FindTypeDescriptor(record.type);
    UnitInterfaceFn interface = FindUnitInterface(record.type);
    SaveUnitFn save = SaveOperation(interface);
    CreateUnitFn create = CreateOperation(interface);
    if (!type || (type->flags & type_flag::kWindow) || !save || !create) return;

    SuspendEvents();
    Unit& old = *w.units[index];
    std::string block;
    if (save(old, block) == 0) {
        ResumeEvents();
        return;
    }
    const UnitRect rect = old.Geometry();
    const bool visible = old.IsVisible();
    const bool focused = old.HasFocus();
    UnitCreateInfo info;
    info.data = block;
    if (!old.IsEnabled()) info.style |= kStyleDisabled;
    if (record.stateFlags & state_flag::kTabStop) info.style |= kStyleTabStop;
    info.parent = w.window_unit();
    info.control_id = kFirstControlId + static_cast<int>(index) * kControlIdStep;
    info.left = rect.left;
    info.top = rect.top;
    info.width = rect.width;
    info.height = rect.height;
    info.window_id = w.window_id();
    info.unit_id = record.id;
    std::unique_ptr<Unit> fresh = create(info);
    if (!fresh) {
        // The old object stays: a unit that cannot be rebuilt keeps working as it was.
        ResumeEvents();
        return;
    }
    if (Unit* parent = ParentUnitOf(w, record); parent && parent != fresh.get()) {
        fresh->SetParentUnit(*parent);
    }
    fresh->PlaceAfter(&old);
    fresh->SetMousePointer(old.mouse_pointer());
    if (type->flags & type_flag::kMoveChildrenOnRecreate) {
        for (size_t i = 1; i < records.size(); ++i) {
            if (records[i].parent == record.id && RecordUnit(records[i])) {
                RecordUnit(records[i])->SetParentUnit(*fresh);
            }
        }
    }
    Unit* raw = fresh.get();
    record.object = raw;
    // Children moved to the new unit keep the stacking of the template among themselves.
    if (type->flags & type_flag::kMoveChildrenOnRecreate) {
        for (size_t i = 1; i < records.size(); ++i) {
            if (records[i].parent == record.id) Restack(w, i);
        }
    }
    std::unique_ptr<Unit> gone = std::exchange(w.units[index], std::move(fresh));
    raw->OnUnitsCreated();
    raw->OnLoadComplete();
    if (type->flags & type_flag::kAnnounceRecreate) {
        if (Unit* parent = ParentUnitOf(w, record)) parent->OnChildrenChanged();
    }
    gone->SetVisible(false);
    Bury(std::move(gone));
    raw->SetVisible(visible && !(type->flags & type_flag::kInvisible));
    if (focused) raw->SetFocus();
    ResumeEvents();
}

// ---- Mouse pointers
// ------------------------------------------------------------------------------

uint32_t MousePointerRowToId(uint32_t row) {
    return row < std::size(kMousePointerIds) ? kMousePointerIds[row] : row;
}

uint32_t MousePointerIdToRow(uint32_t id) {
    for (uint32_t row = 0; row < std::size(kMousePointerIds); ++row) {
        if (kMousePointerIds[row] == id) return row;
    }
    return id;
}

// The platform lists its shapes in the order of the table's rows.
static_assert(static_cast<size_t>(platform::Cursor::Hand) + 1 == std::size(kMousePointerIds));

platform::Cursor CursorForId(uint32_t cursor_id) {
    const uint32_t row = MousePointerIdToRow(cursor_id);
    if (row >= std::size(kMousePointerIds)) return platform::Cursor::Default;
    return static_cast<platform::Cursor>(row);
}

uint32_t CursorIdFromPointerBytes(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return 0;
    uint32_t value = bytes[0];
    if (bytes.size() > 3) {
        value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                uint32_t{bytes[3]} << 24;
    }
    if (value < std::size(kMousePointerIds)) value = kMousePointerIds[value];
    for (uint32_t id : kMousePointerIds) {
        if (id == value) return id;
    }
    return 0;
}

// ---- Run state
// -----------------------------------------------------------------------------------

bool MessageLoopRunning() {
    return State().loop_running;
}
void SetMessageLoopRunning(bool running) {
    State().loop_running = running;
}

}  // namespace kesu
