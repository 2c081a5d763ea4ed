#pragma once

// The text rules of an edit box that do not depend on a control: which typed
// characters an input mode admits, how a numeric or date-time box rewrites its
// text when it loses the focus, letter-case folding and the text limit. All
// positions and lengths count GBK bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kesu::units {

// Whether a typed character may enter a box of the given input mode. Control
// characters (below 32) always pass so that editing keys keep working.
bool AdmitsTypedChar(std::int32_t inputMode, unsigned char c);

// The canonical form of text for modes 5 to 11 (others return the text as it
// is). Numbers are clamped to their type's range, reals rewritten in their
// usual form and date-times in the calendar form; "0" and an unparsable or zero
// date-time become the empty text.
std::string NormaliseForMode(std::int32_t inputMode, std::string_view text);

// Folds ASCII letters to lower (letterCase 1) or upper case (2). The second byte
// of a double-byte character is never touched, even when it looks like a letter.
std::string ApplyLetterCase(std::int32_t letterCase, std::string_view text);

// The longest prefix of piece that fits into room bytes without splitting a
// double-byte character.
std::string_view FitToRoom(std::string_view piece, std::size_t room);

// The limit the control enforces for a MaxLength value: the value itself, or
// the platform's default limit when it is 0.
inline constexpr std::size_t kDefaultTextLimit = 0x7FFFFFFE;
inline std::size_t EffectiveTextLimit(std::int32_t maxLength) {
    return maxLength > 0 ? static_cast<std::size_t>(maxLength) : kDefaultTextLimit;
}

}  // namespace kesu::units
