#include "units/timer/timer.h"

#include "platform/event_loop.h"
#include "units/common/type_descriptor.h"

namespace kesu::units {

std::unique_ptr<TimerUnit> TimerUnit::Create(const UnitCreateInfo& info) {
    auto timer = std::make_unique<TimerUnit>(info);
    if (!info.data.empty()) {
        BlockReader in(info.data);
        const int32_t version = in.Word();
        const int32_t period = in.Word();
        if (in.failed() || version < 0 || version > kBlockVersion) return nullptr;
        timer->interval_ = period < 0 ? 0 : period;
    }
    // A timer has no visible window: it is never shown, whatever its record says.
    timer->Unit::SetVisible(false);
    if (timer->interval_ > 0) timer->Start();
    return timer;
}

TimerUnit::~TimerUnit() {
    Stop();
}

void TimerUnit::Start() {
    // The tick goes through the unit's own Tick event; the loop delivers it on the UI thread.
    UiLoop().SetTimer(this, static_cast<uint32_t>(interval_), [this] { RaiseEvent(kTickEvent); });
    running_ = true;
}

void TimerUnit::Stop() {
    if (running_) UiLoop().KillTimer(this);
    running_ = false;
}

void TimerUnit::SetInterval(int32_t interval) {
    if (interval < 0) interval = 0;
    if (interval == interval_) return;
    interval_ = interval;
    Stop();
    if (interval_ > 0) Start();
}

int TimerUnit::SetProperty(int index, const PropertyValue& value) {
    if (index == kIntervalProperty) SetInterval(static_cast<int32_t>(value.number));
    return 0;
}

int TimerUnit::GetProperty(int index, PropertyValue& out) {
    if (index != kIntervalProperty) return 0;
    out.number = interval_;
    return 1;
}

int TimerUnit::Save(std::string& block) {
    BlockWriter out;
    out.Word(kBlockVersion);
    out.Word(interval_);
    block = out.Take();
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
