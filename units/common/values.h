#pragma once

// Values as they cross the unit interface: property values written and read,
// the arguments of unit methods, and the units that a method's unit reference
// names.

#include <cstdint>
#include <string>

#include "runtime/unit.h"
#include "runtime/value.h"

namespace kesu::units {

// A property value that is a number, and one that is a text or bytes.
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
