// Mouse pointers of units: the system shapes by cursor identifier, pointers drawn from cursor file
// data in a mouse-pointer field, and the program's own hand.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/ui.h"

namespace kesu {

// A unit's loaded pointer: a cursor identifier of the mouse-pointer table (0 for the default), and
// the picture for a pointer the program draws itself (cursor file data, or the hand 0x7F89).
struct MousePointer {
    uint32_t id = 0;
    std::shared_ptr<const platform::CursorImage> image;
};

inline constexpr uint32_t kHandCursorId = 0x7F89;

// The first picture of cursor or icon file data (a cursor's hot spot with it; an icon's is its top
// left corner), or the first frame of animated cursor data. Pictures stored as PNG inside the
// file, compressed bitmaps and anything damaged give none.
std::optional<platform::CursorImage> ReadCursorFile(std::span<const uint8_t> bytes);

// The program's own hand: a pointing hand of its own drawing, the fingertip its hot spot.
const platform::CursorImage& ProgramHandCursor();

// The pointer that stored mouse-pointer bytes load: cursor file data when there are more than ten
// bytes that read as such (or after a first word of -1), else the identifier of the first word
// (the first byte for fewer than four), table rows taken as their identifiers.
MousePointer LoadMousePointer(std::span<const uint8_t> bytes);
// The pointer of a cursor identifier (the hand drawn by the program).
MousePointer PointerForId(uint32_t id);

}  // namespace kesu
