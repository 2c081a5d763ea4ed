// Unit property access by (window id, unit id, property index, component index). Indices 0 to 7
// are the common properties that the runtime serves from the live window or from the template
// record; higher indices go to the unit type with the index less 8, converted by the property's
// kind. Calls from worker threads run on the UI thread.
#pragma once

#include <cstdint>

#include "runtime/unit.h"

namespace kesu {

enum CommonProperty : int {
    kPropLeft = 0,
    kPropTop = 1,
    kPropWidth = 2,
    kPropHeight = 3,
    kPropTag = 4,
    kPropVisible = 5,
    kPropDisabled = 6,
    kPropMousePointer = 7,
    kFirstTypeProperty = 8,
};

// Position writes are held to -32627..32627 and size writes to 0..32627.
inline constexpr int32_t kCoordinateLimit = 32627;
int32_t ClampPosition(int64_t value);
int32_t ClampSize(int64_t value);

// Property kinds and how their values travel.
enum class KindForm { kOneWord, kTwoWords, kLogical, kByteSet, kMousePointer, kFont, kText };
KindForm FormOfKind(uint16_t kind);

// The 64-bit value of a read: numbers in the low word (or both words), logicals 0 or 1, texts and
// byte sets as fresh blocks owned by the caller (null for empty).
uint64_t ReadProperty(uint32_t window_id, uint32_t unit_id, int property, int component);
void WriteProperty(uint32_t window_id, uint32_t unit_id, int property, int component, uint32_t low,
                   uint32_t high);

// A whole font read with component -1: six words and the face name as a fresh text, in one fresh
// block owned by the caller, who frees the face first and then the block.
struct FontValue {
    int32_t angle;
    int32_t bold;
    int32_t italic;
    int32_t strike_out;
    int32_t underline;
    int32_t size;
    char* face;
};

// The same for a unit held in a variable (RuntimeService 4 and 5): the unit object itself.
uint64_t ReadObjectProperty(uint32_t type_code, Unit* unit, int property, int component);
void WriteObjectProperty(uint32_t type_code, Unit* unit, int property, int component, uint32_t low,
                         uint32_t high);

}  // namespace kesu
