#pragma once

// Reading argument records the way command bodies do.

#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace kesu::commands {

// Argument k counts as given when the count exceeds k and its type is set.
inline bool Given(int argCount, const ArgRecord* args, int k) {
    return argCount > k && args[k].type != kTypeNone;
}

// Record k, or three zero words when the caller passed fewer records: a body
// that reads the value word without looking at the type sees 0 either way.
inline ArgRecord Arg(int argCount, const ArgRecord* args, int k) {
    return argCount > k ? args[k] : ArgRecord();
}

// Argument k as text; a missing argument or a null text is empty.
inline std::string_view TextArg(int argCount, const ArgRecord* args, int k) {
    const char* text = Arg(argCount, args, k).AsText();
    return text ? std::string_view(text) : std::string_view();
}

// An integer argument that is optional: nothing when it was left out.
inline std::optional<int32_t> OptionalInt(int argCount, const ArgRecord* args, int k) {
    if (!Given(argCount, args, k)) return std::nullopt;
    return args[k].AsInt();
}

// The text form that the file, message-box and conversion commands share for
// a single value: numbers, logicals and date-times by the rules of ToText,
// texts unchanged. Nothing for any other type.
std::optional<std::string> ScalarText(const ArgRecord& value);

// Writes a text result: null for the empty text.
inline void ReturnText(ResultRecord* result, std::string_view text) {
    result->SetText(CopyTextN(text.data(), static_cast<intptr_t>(text.size())));
}

}  // namespace kesu::commands
