#pragma once

// GBK-aware text algorithms behind the core text commands.
//
// Texts are GBK bytes: a byte of 0x80 or above starts a two-byte character.
// Walking commands step over a two-byte character as a unit so that nothing
// ever matches or changes half of one. A lead byte at the very end of a text
// (a broken character) is treated as a single byte and kept, never dropped.
// Positions are byte positions counted from 1, as the commands present them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::commands {

inline bool IsLeadByte(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Bytes of the character starting at `pos`: 2 for a lead byte with a byte
// after it, otherwise 1.
inline size_t CharLength(std::string_view text, size_t pos) {
    return IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

// Position (from 1) of the first occurrence of `sought` at or after `start`
// (from 1; nothing means the beginning), or -1.
int32_t FindText(std::string_view text, std::string_view sought, std::optional<int32_t> start,
                 bool ignore_case);

// Negative, zero or positive as `a` sorts before, equal to or after `b`.
int32_t CompareText(std::string_view a, std::string_view b, bool case_sensitive);

// The parts between separators (an empty view for an empty part). A trailing
// separator adds no empty part. `max_parts` limits the parts when given
// (negative counts as 0); the rest of the text is then dropped.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator,
                                        std::optional<int32_t> max_parts);

std::string ToUpper(std::string_view text);
// Full-width and a few other two-byte forms become their ASCII bytes.
std::string ToHalfWidth(std::string_view text);

}  // namespace kesu::commands
