#pragma once

#include <cstdint>
#include <memory>

#include "runtime/image.h"
#include "runtime/unit.h"
#include "units/timer/timer_settings.h"

namespace kesu::units {

// The non-visual unit that raises Tick (event 0) at a fixed period on the UI thread. Its one
// property, Interval (unit-relative index 0), is also how the application starts and stops it.
class TimerUnit : public Unit {
  public:
    enum Property { kInterval = 0 };
    static constexpr int kEventTick = 0;

    // Fails (null) for a stored block that TimerSettings refuses. A positive period starts the
    // timer at once.
    static std::unique_ptr<TimerUnit> Create(const UnitCreateInfo& info);
    explicit TimerUnit(const UnitCreateInfo& info) : Unit(info) {}
    ~TimerUnit() override;

    int SetProperty(int index, const PropertyValue& value) override;
    int GetProperty(int index, PropertyValue& out) override;
    int Save(std::string& block) override;

    int32_t interval() const { return s_.interval; }
    bool running() const { return running_; }

    // The write rules: negative becomes 0; the current period changes nothing, so a running timer
    // keeps its phase; a new positive period restarts the count from now; 0 stops.
    void SetInterval(int32_t interval);

  private:
    void Start();
    void Stop();

    TimerSettings s_;
    bool running_ = false;
};

UnitOperation TimerInterface(int code);
// The timer type as the core library lists it: names, flags and its one property kind.
UnitTypeDescriptor TimerTypeDescriptor();

}  // namespace kesu::units
