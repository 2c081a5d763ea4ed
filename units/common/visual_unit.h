#pragma once

// The base of every unit that shows a platform control: it owns the control
// (through which the runtime serves the common properties), maps stored
// settings onto platform values, and turns focus notifications into the
// common got-focus and lost-focus events.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui.h"
#include "runtime/font.h"
#include "runtime/unit.h"
#include "runtime/value.h"

namespace kesu::units {

// Common event numbers raised by every visual unit.
inline constexpr int kEventGotFocus = -7;
inline constexpr int kEventLostFocus = -8;

class VisualUnit : public Unit {
  public:
    explicit VisualUnit(const UnitCreateInfo& info) : Unit(info) {}
    ~VisualUnit() override;

    platform::Control* control() const override { return control_.get(); }

  protected:
    // Takes the created control, places it, applies the visibility and enabled
    // state that the creation style asks for, and routes its notifications to
    // OnNotify.
    void Attach(std::unique_ptr<platform::Control> control, const UnitCreateInfo& info);
    // Notifications of the control; the default raises the focus events.
    virtual void OnNotify(platform::Notify n);

    // The platform font for a stored font record: the record when it is a
    // 60-byte record, otherwise the default interface font.
    static platform::Font PlatformFont(std::string_view stored);

    // Writes shared by the visual units: store the written value in the given
    // field and show it on the control at once. Each answers 0 (no rebuild).
    int WriteCaption(std::string& field, const PropertyValue& value);
    int WriteTextColour(std::uint32_t& field, const PropertyValue& value);
    int WriteBackColour(std::uint32_t& field, const PropertyValue& value);
    int WriteFont(std::string& field, const PropertyValue& value);
    static platform::Border PlatformBorder(std::int32_t style);
    static platform::HAlign PlatformHAlign(std::int32_t align);
    static platform::VAlign PlatformVAlign(std::int32_t align);

    std::unique_ptr<platform::Control> control_;
};

// The parent control a unit is created in: the parent unit's control.
platform::Control* CreationParent(const UnitCreateInfo& info);

// The platform's Ui; the installed backend's controls.
platform::Ui& CurrentUi();

// Values of properties as they cross the unit interface.
inline PropertyValue NumberValue(std::int64_t v) {
    PropertyValue p;
    p.number = v;
    return p;
}
inline PropertyValue TextValue(std::string bytes) {
    PropertyValue p;
    p.bytes = std::move(bytes);
    return p;
}
// A written text: up to its first zero byte, as texts never hold one.
std::string TextOf(const PropertyValue& value);
inline std::int32_t IntOf(const PropertyValue& value) {
    return static_cast<std::int32_t>(value.number);
}
inline std::uint32_t ColourOf(const PropertyValue& value) {
    return static_cast<std::uint32_t>(value.number);
}

}  // namespace kesu::units

namespace kesu::units {

// The unit named by a method's unit reference (window id in the low word, unit
// id in the high word). A reference naming no loaded unit ends in the runtime's
// lookup error; one naming a unit of another type gives null.
template <class T>
T* UnitOfReference(const ArgRecord& reference);

Unit* LookUpUnit(const ArgRecord& reference);
// The same lookup without the runtime error: null when the unit is gone.
Unit* FindLiveUnit(const ArgRecord& reference);

template <class T>
T* UnitOfReference(const ArgRecord& reference) {
    return dynamic_cast<T*>(LookUpUnit(reference));
}

// A method's text argument: the text, or empty for a null text.
std::string TextArgument(const ArgRecord& arg);

}  // namespace kesu::units
