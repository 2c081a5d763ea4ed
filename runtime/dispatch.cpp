#include "runtime/dispatch.h"

#include <algorithm>
#include <vector>

#include "runtime/errors.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"
#include "runtime/windows.h"

namespace kesu {

namespace {

RuntimeState::Dispatch& State() {
    return Runtime().dispatch;
}

EventHandler HandlerOfBinding(const EventBinding& binding) {
    if (!binding.bound) return nullptr;
    const ProgramImage* image = LoadedProgramImage();
    const uint32_t code_base = image ? image->header.codeBase : 0;
    const uint32_t index = binding.handler - code_base;
    const auto& handlers = State().handlers;
    return index < handlers.size() ? handlers[index] : nullptr;
}

// Runs the handler found for the record's source and clears the current event source after.
EventResult CallHandler(EventHandler handler, std::span<const uint32_t> words) {
    EventResult result = handler(words);
    State().source_window = 0;
    return result;
}

// The last record before the chain from `start` comes back to a record it already passed.
const UnitRecord* FirstRepeatOfChain(const WindowTemplate& tmpl, const UnitRecord* start) {
    std::vector<const UnitRecord*> visited{start};
    const UnitRecord* record = start;
    for (;;) {
        const UnitRecord* next = tmpl.FindRecord(record->eventSource);
        if (std::find(visited.begin(), visited.end(), next) != visited.end()) return record;
        visited.push_back(next);
        record = next;
    }
}

}  // namespace

void SetEventHandlers(std::span<const EventHandler> handlers) {
    State().handlers = handlers;
    NoteLookupsChanged();
    // A program installs its handlers once, before it starts; the window part of the runtime is
    // wired up at the same moment.
    InstallFrame();
}

namespace {

// The handler bound to a unit's event, found from the templates; errors for a missing window or
// unit or a unit that has no events end the program here.
std::pair<EventHandler, uint32_t> LookUpHandler(uint32_t window_id, uint32_t unit_id,
                                                int32_t event);

}  // namespace

EventHandler FindEventHandler(uint32_t window_id, uint32_t unit_id, int32_t event) {
    if (State().suspension.load() > 0) return nullptr;  // EventsSuspended, for every byte
    // Events come from the window thread, which keeps where it found their handlers lately.
    RuntimeState::Lookups& lookups = Runtime().lookups;
    RuntimeState::Lookups::Handler& entry =
        lookups.handlers[(unit_id ^ (unit_id >> 8) ^ static_cast<uint32_t>(event) * 5u) %
                         lookups.handlers.size()];
    if (entry.generation != lookups.generation || entry.window_id != window_id ||
        entry.unit_id != unit_id || entry.event != event) {
        const auto [handler, source_unit] = LookUpHandler(window_id, unit_id, event);
        entry.window_id = window_id;
        entry.unit_id = unit_id;
        entry.event = event;
        entry.handler = handler;
        entry.source_unit = source_unit;
        entry.generation = lookups.generation;
    }
    if (!entry.handler) return nullptr;
    State().source_window = window_id;
    State().source_unit = entry.source_unit;
    return entry.handler;
}

namespace {

std::pair<EventHandler, uint32_t> LookUpHandler(uint32_t window_id, uint32_t unit_id,
                                                int32_t event) {
    LoadedWindow* window = FindLoadedWindow(window_id);
    if (!window) ReportRuntimeError(errmsg::kEventWindowMissing, 0);
    const UnitRecord* requested =
        unit_id == 0 ? (window->tmpl->records.empty() ? nullptr : &window->tmpl->records[0])
                     : FindUnitRecord(*window, unit_id);
    if (!requested) ReportRuntimeError(errmsg::kEventUnitMissing, 0);

    // A unit may use the bindings of another unit of its type; the chain stops where it would
    // come back to a record already visited. A chain without a cycle visits each record at most
    // once, so one that takes more steps than the window has records has come back; it is then
    // walked again from the start to stop at the first repeat. Dispatch runs once per received
    // byte, so the usual chain (none, or one step) must not allocate.
    const UnitRecord* record = requested;
    const size_t records = window->tmpl->records.size();
    size_t steps = 0;
    while (record->eventSource != 0) {
        const UnitRecord* next = window->tmpl->FindRecord(record->eventSource);
        if (!next || next->type != record->type) break;
        if (++steps > records) {
            record = FirstRepeatOfChain(*window->tmpl, requested);
            break;
        }
        record = next;
    }

    const UnitTypeDescriptor* type = FindTypeDescriptor(requested->type);
    if (!type || (type->flags & (type_flag::kPlacedUnit | type_flag::kEventSourceOld)) == 0) {
        ReportRuntimeError(errmsg::kEventUnitInvalid, 0);
    }

    EventHandler handler = nullptr;
    if (record->IsMenuItem()) {
        handler = HandlerOfBinding(record->menu.click);
    } else {
        for (const EventBinding& binding : record->events) {
            if (binding.event == event) {
                handler = HandlerOfBinding(binding);
                break;
            }
        }
    }
    return {handler, unit_id == 0 ? requested->id : unit_id};
}

}  // namespace

int RaiseEvent(SimpleEventRecord& record) {
    EventHandler handler = FindEventHandler(record.window_id, record.unit_id, record.event);
    if (!handler) return 0;
    const int count = std::clamp(record.arg_count, 0, kMaxSimpleEventArgs);
    uint32_t words[kMaxSimpleEventArgs];
    for (int i = 0; i < count; ++i) words[i] = static_cast<uint32_t>(record.args[i]);
    EventResult result = CallHandler(handler, std::span<const uint32_t>(words, count));
    if (result.has_value) {
        record.result_flag = 1;
        record.result_value = static_cast<int32_t>(result.value);
    }
    return 1;
}

int RaiseTypedEvent(TypedEventRecord& record) {
    EventHandler handler = FindEventHandler(record.window_id, record.unit_id, record.event);
    if (!handler) return 0;
    const int count = std::clamp(record.arg_count, 0, kMaxTypedEventArgs);
    std::vector<uint32_t> words;
    words.reserve(2 * count);
    for (int i = 0; i < count; ++i) AppendArgumentWords(record.args[i], words);
    EventResult result = CallHandler(handler, words);
    if (result.has_value) {
        record.result_flag = 1;
        const auto bits = static_cast<uint64_t>(result.value);
        record.result_low = static_cast<uint32_t>(bits);
        record.result_high = static_cast<uint32_t>(bits >> 32);
    }
    return 1;
}

void AppendArgumentWords(const TypedArgument& arg, std::vector<uint32_t>& words) {
    if (arg.flags & 1) {
        words.push_back(arg.low);
        return;
    }
    if ((arg.flags & 2) || arg.type == kUnitMenuItem) {
        words.push_back(arg.low);
        words.push_back(arg.high);
        return;
    }
    switch (arg.type) {
        case kTypeByte:
            words.push_back(arg.low & 0xFF);
            break;
        case kTypeShort:
            words.push_back(
                static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(arg.low))));
            break;
        case kTypeDateTime:
        case kTypeLong:
        case kTypeDouble:
        case kTypeEightBytes:
            words.push_back(arg.low);
            words.push_back(arg.high);
            break;
        default:
            words.push_back(arg.low);
            break;
    }
}

bool CurrentEventSource(uint32_t& window_id, uint32_t& unit_id) {
    if (State().source_window == 0) return false;
    window_id = State().source_window;
    unit_id = State().source_unit;
    return true;
}

}  // namespace kesu
