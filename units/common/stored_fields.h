#pragma once

// Reading properties that are plain stored settings. Each unit lists, in
// property order, which field of its settings a property reads; properties
// read from the live control (or computed) are left out of the list as
// std::monostate and answered by the unit itself.

#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <variant>

#include "runtime/unit.h"

namespace kesu::units {

template <class S>
using StoredField = std::variant<std::monostate, std::int32_t S::*, std::uint32_t S::*, bool S::*,
                                 std::string S::*>;

// Fills out with field `index` of the table; false when the table names no field there.
template <class S>
bool ReadStoredField(const S& settings, std::span<const StoredField<S>> table, int index,
                     PropertyValue& out) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) return false;
    const StoredField<S>& field = table[static_cast<std::size_t>(index)];
    if (std::holds_alternative<std::monostate>(field)) return false;
    if (auto* text = std::get_if<std::string S::*>(&field)) {
        out = PropertyValue{0, settings.**text};
        return true;
    }
    std::visit(
        [&](auto member) {
            if constexpr (!std::is_same_v<decltype(member), std::monostate> &&
                          !std::is_same_v<decltype(member), std::string S::*>) {
                out = PropertyValue{static_cast<std::int64_t>(settings.*member), {}};
            }
        },
        field);
    return true;
}

}  // namespace kesu::units
