#include "units/timer/timer.h"

#include "platform/event_loop.h"
#include "units/common/type_descriptor.h"
#include "units/common/values.h"

namespace kesu::units {

std::unique_ptr<TimerUnit> TimerUnit::Create(const UnitCreateInfo& info) {
    auto timer = std::make_unique<TimerUnit>(info);
    if (!timer->s_.Load(info.data)) return nullptr;
    // A timer has no visible window: it is never shown, whatever its record says.
    timer->Unit::SetVisible(false);
    if (timer->s_.interval > 0) timer->Start();
    return timer;
}

TimerUnit::~TimerUnit() {
    Stop();
}

void TimerUnit::Start() {
    // The tick goes through the unit's own Tick event; the loop delivers it on the UI thread.
    UiLoop().SetTimer(this, static_cast<uint32_t>(s_.interval), [this] { RaiseEvent(kEventTick); });
    running_ = true;
}

void TimerUnit::Stop() {
    if (running_) UiLoop().KillTimer(this);
    running_ = false;
}

void TimerUnit::SetInterval(int32_t interval) {
    if (interval < 0) interval = 0;
    if (interval == s_.interval) return;
    s_.interval = interval;
    Stop();
    if (s_.interval > 0) Start();
}

int TimerUnit::SetProperty(int index, const PropertyValue& value) {
    if (index == kInterval) SetInterval(IntOf(value));
    return 0;
}

int TimerUnit::GetProperty(int index, PropertyValue& out) {
    if (index != kInterval) return 0;
    out.number = s_.interval;
    return 1;
}

int TimerUnit::Save(std::string& block) {
    block = s_.Save();
    return 1;
}

UnitOperation TimerInterface(int code) {
    return StandardUnitInterface<TimerUnit>(code);
}

UnitTypeDescriptor TimerTypeDescriptor() {
    // 时钟 in GBK.
    return DescribeUnitType("\xCA\xB1\xD6\xD3", "Timer", 0x80008040, {kind::kWord});
}

}  // namespace kesu::units
