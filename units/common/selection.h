#pragma once

// The selection conventions that the edit box and the combo box's edit field share: how a
// written SelStart or SelLength turns into a selection. Positions and lengths count GBK bytes.

#include <cstddef>
#include <cstdint>

namespace kesu::units {

// A selection as start and length in bytes.
struct Selection {
    std::int32_t start = 0;
    std::int32_t length = 0;
};

// Resolves a written SelStart: -1 puts the caret after the last character,
// other negatives count as 0; the result keeps no selection length.
Selection SelectionForStart(std::int32_t start, std::size_t textLength);
// Resolves a written SelLength at the current start: -1 selects the whole text,
// other negatives count as 0.
Selection SelectionForLength(std::int32_t currentStart, std::int32_t length,
                             std::size_t textLength);

}  // namespace kesu::units
