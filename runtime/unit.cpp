#include "runtime/unit.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "runtime/dispatch.h"
#include "runtime/windows.h"

namespace kesu {

CreateUnitFn CreateOperation(UnitInterfaceFn interface) {
    return interface ? reinterpret_cast<CreateUnitFn>(interface(kUnitCreate)) : nullptr;
}
SetPropertyFn SetPropertyOperation(UnitInterfaceFn interface) {
    return interface ? reinterpret_cast<SetPropertyFn>(interface(kUnitSetProperty)) : nullptr;
}
GetPropertyFn GetPropertyOperation(UnitInterfaceFn interface) {
    return interface ? reinterpret_cast<GetPropertyFn>(interface(kUnitGetProperty)) : nullptr;
}
SaveUnitFn SaveOperation(UnitInterfaceFn interface) {
    return interface ? reinterpret_cast<SaveUnitFn>(interface(kUnitSave)) : nullptr;
}
GetWordFn GetWordOperation(UnitInterfaceFn interface) {
    return interface ? reinterpret_cast<GetWordFn>(interface(kUnitGetWord)) : nullptr;
}

Unit::Unit(const UnitCreateInfo& info)
    : window_id_(info.window_id),
      unit_id_(info.unit_id),
      rect_{info.left, info.top, info.width, info.height},
      visible_((info.style & kStyleVisible) != 0),
      enabled_((info.style & kStyleDisabled) == 0) {}

Unit::~Unit() = default;

int Unit::SetProperty(int, const PropertyValue&) {
    return 0;
}
int Unit::GetProperty(int, PropertyValue&) {
    return 0;
}
int Unit::GetWordProperty(int, int64_t&) {
    return 0;
}
int Unit::Save(std::string&) {
    return 0;
}

UnitRect Unit::Geometry() const {
    if (auto* c = control()) {
        platform::Rect r = c->Geometry();
        return {r.left, r.top, r.width, r.height};
    }
    return rect_;
}

void Unit::SetGeometry(const UnitRect& rect) {
    rect_ = rect;
    if (auto* c = control()) c->SetGeometry({rect.left, rect.top, rect.width, rect.height});
}

bool Unit::IsVisible() const {
    if (auto* c = control()) return c->IsVisible();
    return visible_;
}

void Unit::SetVisible(bool visible) {
    visible_ = visible;
    if (auto* c = control()) c->SetVisible(visible);
}

bool Unit::IsEnabled() const {
    if (auto* c = control()) return c->IsEnabled();
    return enabled_;
}

void Unit::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (auto* c = control()) c->SetEnabled(enabled);
}

void Unit::SetParentUnit(Unit& parent) {
    auto* c = control();
    auto* p = parent.control();
    if (c && p && c != p) c->SetParent(p);
}

void Unit::PlaceAfter(Unit* sibling) {
    if (auto* c = control()) c->PlaceAfter(sibling ? sibling->control() : nullptr);
}

void Unit::SetMousePointer(const MousePointer& pointer) {
    pointer_ = pointer;
    auto* c = control();
    if (!c) return;
    if (pointer.image) {
        c->SetCursorImage(*pointer.image);
    } else {
        c->SetCursor(CursorForId(pointer.id));
    }
}

void Unit::SetFocus() {
    if (auto* c = control()) c->SetFocus();
}

bool Unit::HasFocus() const {
    auto* c = control();
    return c && c->HasFocus();
}

void Unit::Detach() {
    if (detached_) return;
    OnDestroy();
    detached_ = true;
}

bool Unit::RaiseEvent(int event, std::span<const int32_t> args, EventResult* result) {
    if (detached_) return false;
    SimpleEventRecord record;
    record.window_id = window_id_;
    record.unit_id = unit_id_;
    record.event = event;
    // More than five arguments do not fit the record; the extra ones are a unit's programming
    // error and are left out rather than written past the record.
    record.arg_count = static_cast<int32_t>(std::min<size_t>(args.size(), kMaxSimpleEventArgs));
    std::copy_n(args.begin(), record.arg_count, record.args);
    const bool ran = kesu::RaiseEvent(record) != 0;
    if (result) {
        result->has_value = record.result_flag != 0;
        result->value = record.result_value;
    }
    return ran;
}

bool Unit::RaiseTypedEvent(int event, std::span<const TypedArgument> args, EventResult* result) {
    if (detached_) return false;
    TypedEventRecord record;
    record.window_id = window_id_;
    record.unit_id = unit_id_;
    record.event = event;
    record.arg_count = static_cast<int32_t>(std::min<size_t>(args.size(), kMaxTypedEventArgs));
    std::copy_n(args.begin(), record.arg_count, record.args);
    const bool ran = kesu::RaiseTypedEvent(record) != 0;
    if (result) {
        result->has_value = record.result_flag != 0;
        result->value =
            static_cast<int64_t>(uint64_t{record.result_low} | uint64_t{record.result_high} << 32);
    }
    return ran;
}

platform::EventLoop& UiLoop() {
    return platform::Current().Loop();
}

void RunOnUiThread(const std::function<void()>& task) {
    if (OnUiThread()) {
        task();
        return;
    }
    // A closed loop (the program is ending) refuses the task; the worker then simply goes on.
    platform::Current().Loop().Send(task);
}

}  // namespace kesu
