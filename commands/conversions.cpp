// The text, byte-set and number conversion commands.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "commands/args.h"
#include "commands/core_commands.h"
#include "commands/number_text.h"
#include "commands/text_ops.h"

namespace kesu::commands {

namespace {

bool IsNumericArray(TypeCode type) {
    return IsArrayType(type) && IsNumericType(ElementTypeOf(type));
}

// The element bytes of a numeric array (empty for a null array).
std::string_view NumericArrayBytes(const ArgRecord& value) {
    const void* array = value.AsArray();
    if (!array) return {};
    size_t size = ArrayElementCount(array) * ElementWidth(ElementTypeOf(value.type));
    return {static_cast<const char*>(ArrayData(array)), size};
}

std::string_view ByteSetBytes(const uint8_t* byte_set) {
    return {reinterpret_cast<const char*>(ByteSetData(byte_set)), ByteSetLength(byte_set)};
}

std::string_view UpToFirstZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Reals become 64-bit integers by truncation toward zero; values beyond the
// range saturate and NaN gives 0, where a plain cast would be undefined.
int64_t TruncateToInt64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return INT64_MAX;
    if (value <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(value);
}

}  // namespace

std::optional<std::string> ScalarText(const ArgRecord& value) {
    switch (value.type) {
        case kTypeFloat:
            return SingleToText(value.AsFloat());
        case kTypeDouble:
            return DoubleToText(value.AsDouble());
        case kTypeByte:
        case kTypeShort:
        case kTypeInt:
        case kTypeLong:
        case kTypeBool:
        case kTypeDateTime:
        case kTypeText:
            return CanonicalText(value);
        default:
            return std::nullopt;
    }
}

void ToNumber(ResultRecord* result, int argCount, ArgRecord* args) {
    ArgRecord v = Arg(argCount, args, 0);
    double number = 0;
    switch (v.type) {
        case kTypeBool:
        case kTypeShort:
        case kTypeInt:
            number = v.type == kTypeShort ? v.AsShort() : v.AsInt();
            break;
        case kTypeText:
            number = ParseDecimalPrefix(ToHalfWidth(TextArg(argCount, args, 0)));
            break;
        case kTypeSubroutine:
            number = static_cast<double>(v.Bits());
            break;
        case kTypeByte:
            number = v.AsByte();
            break;
        case kTypeLong:
            number = static_cast<double>(v.AsLong());
            break;
        case kTypeFloat:
            number = v.AsFloat();
            break;
        case kTypeDouble:
            number = v.AsDouble();
            break;
        default:
            break;
    }
    result->SetDouble(number);
}

void ToBytes(ResultRecord* result, int argCount, ArgRecord* args) {
    ArgRecord v = Arg(argCount, args, 0);
    std::string_view bytes;
    std::vector<uint8_t> scalar;
    if (v.type == kTypeText) {
        bytes = TextArg(argCount, args, 0);
    } else if (v.type == kTypeByteSet) {
        bytes = ByteSetBytes(v.AsByteSet());
    } else if (IsNumericArray(v.type)) {
        bytes = NumericArrayBytes(v);
    } else if (IsNumericType(v.type) || v.type == kTypeBool || v.type == kTypeSubroutine ||
               v.type == kTypeDateTime) {
        scalar.resize(ValueByteSize(v));
        WriteValueBytes(v, scalar.data());
        bytes = {reinterpret_cast<const char*>(scalar.data()), scalar.size()};
    }
    result->SetByteSet(MakeByteSet(bytes.data(), bytes.size()));
}

void SplitTextCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    std::string_view separator = Given(argCount, args, 1) ? TextArg(argCount, args, 1) : ",";
    auto parts = SplitText(TextArg(argCount, args, 0), separator, OptionalInt(argCount, args, 2));
    const int32_t dims[] = {static_cast<int32_t>(parts.size())};
    void* array = AllocArray(kTypeText, dims);
    auto** elements = static_cast<char**>(ArrayData(array));
    for (size_t i = 0; i < parts.size(); ++i) {
        elements[i] = CopyTextN(parts[i].data(), static_cast<intptr_t>(parts[i].size()));
    }
    result->SetArray(array, kTypeText);
}

void ToByte(ResultRecord* result, int argCount, ArgRecord* args) {
    ArgRecord v = Arg(argCount, args, 0);
    uint64_t bits = 0;
    switch (v.type) {
        case kTypeBool:
        case kTypeByte:
        case kTypeShort:
        case kTypeInt:
        case kTypeLong:
        case kTypeSubroutine:
            bits = v.Bits();
            break;
        case kTypeText:
            bits =
                static_cast<uint32_t>(ParseIntegerPrefix(ToHalfWidth(TextArg(argCount, args, 0))));
            break;
        case kTypeFloat:
        case kTypeDouble:
            bits = static_cast<uint64_t>(
                TruncateToInt64(v.type == kTypeFloat ? v.AsFloat() : v.AsDouble()));
            break;
        default:
            break;
    }
    result->SetByte(static_cast<uint8_t>(bits));
}

void ToHalfWidthCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnText(result, ToHalfWidth(TextArg(argCount, args, 0)));
}

void ToUpperCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnText(result, ToUpper(TextArg(argCount, args, 0)));
}

void TextLengthCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetInt(static_cast<int32_t>(TextArg(argCount, args, 0).size()));
}

void MidText(ResultRecord* result, int argCount, ArgRecord* args) {
    std::string_view text = TextArg(argCount, args, 0);
    int64_t start = Arg(argCount, args, 1).AsInt();
    int64_t count = Arg(argCount, args, 2).AsInt();
    if (start < 1 || start > static_cast<int64_t>(text.size()) || count <= 0) return;
    ReturnText(result, text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

void LeftText(ResultRecord* result, int argCount, ArgRecord* args) {
    int32_t count = Arg(argCount, args, 1).AsInt();
    if (count <= 0) return;
    ReturnText(result, TextArg(argCount, args, 0).substr(0, static_cast<size_t>(count)));
}

void FindTextCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetInt(FindText(TextArg(argCount, args, 0), TextArg(argCount, args, 1),
                            OptionalInt(argCount, args, 2), Arg(argCount, args, 3).AsInt() == 1));
}

void ToAmountText(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnText(result,
               AmountText(Arg(argCount, args, 0).AsDouble(), Arg(argCount, args, 1).AsInt() != 0));
}

void CompareTextCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetInt(CompareText(TextArg(argCount, args, 0), TextArg(argCount, args, 1),
                               Arg(argCount, args, 2).AsBool()));
}

void ToText(ResultRecord* result, int argCount, ArgRecord* args) {
    ArgRecord v = Arg(argCount, args, 0);
    if (v.type == kTypeByteSet) {
        ReturnText(result, UpToFirstZero(ByteSetBytes(v.AsByteSet())));
    } else if (IsNumericArray(v.type)) {
        ReturnText(result, UpToFirstZero(NumericArrayBytes(v)));
    } else if (!IsArrayType(v.type)) {
        ReturnText(result, ScalarText(v).value_or(std::string()));
    }
}

void ToHexText(ResultRecord* result, int argCount, ArgRecord* args) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", Arg(argCount, args, 0).AsUInt());
    ReturnText(result, buffer);
}

void BytesLength(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetInt(static_cast<int32_t>(ByteSetLength(Arg(argCount, args, 0).AsByteSet())));
}

void RightBytes(ResultRecord* result, int argCount, ArgRecord* args) {
    std::string_view bytes = ByteSetBytes(Arg(argCount, args, 0).AsByteSet());
    int32_t count = Arg(argCount, args, 1).AsInt();
    if (count <= 0) return;
    size_t n = std::min(bytes.size(), static_cast<size_t>(count));
    result->SetByteSet(MakeByteSet(bytes.data() + bytes.size() - n, n));
}

void FormatNumberCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnText(result,
               FormatNumber(Arg(argCount, args, 0).AsDouble(), OptionalInt(argCount, args, 1),
                            Arg(argCount, args, 2).AsInt() == 1));
}

}  // namespace kesu::commands
