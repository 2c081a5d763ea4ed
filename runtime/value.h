// The value model: type codes, argument and result records, and the heap
// blocks that carry texts, byte sets and arrays.
//
// Ownership, in short: every text, byte set or array handed back by the
// runtime, a command or a property read is a fresh heap block owned by the
// receiver, who releases it with MemFree. Arguments are borrowed. Null is the
// empty value of texts, byte sets and arrays, and the runtime never allocates
// an empty text or an empty byte set. Pointers into the registered constant
// segment may be passed anywhere; MemFree ignores them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace kesu {

using TypeCode = uint32_t;

inline constexpr TypeCode kTypeNone = 0;
inline constexpr TypeCode kTypeByte = 0x80000101;
inline constexpr TypeCode kTypeShort = 0x80000201;
inline constexpr TypeCode kTypeInt = 0x80000301;
inline constexpr TypeCode kTypeLong = 0x80000401;
inline constexpr TypeCode kTypeFloat = 0x80000501;
inline constexpr TypeCode kTypeDouble = 0x80000601;
inline constexpr TypeCode kTypeBool = 0x80000002;
inline constexpr TypeCode kTypeDateTime = 0x80000003;
inline constexpr TypeCode kTypeText = 0x80000004;
inline constexpr TypeCode kTypeByteSet = 0x80000005;
inline constexpr TypeCode kTypeSubroutine = 0x80000006;
inline constexpr TypeCode kTypeEightBytes = 0x80000008;

// Set on a type code, this bit makes it an array of the code without the bit.
inline constexpr TypeCode kTypeArrayFlag = 0x20000000;

// Unit type codes of the libraries this program uses: library number times
// 0x10000 plus the type's 1-based number in that library.
inline constexpr TypeCode kUnitWindow = 0x00010001;
inline constexpr TypeCode kUnitMenuItem = 0x00010003;
inline constexpr TypeCode kUnitEditBox = 0x00010005;
inline constexpr TypeCode kUnitGroupBox = 0x00010009;
inline constexpr TypeCode kUnitLabel = 0x0001000A;
inline constexpr TypeCode kUnitButton = 0x0001000B;
inline constexpr TypeCode kUnitCheckBox = 0x0001000C;
inline constexpr TypeCode kUnitComboBox = 0x0001000E;
inline constexpr TypeCode kUnitCommonDlg = 0x0001001F;
inline constexpr TypeCode kUnitTimer = 0x00010020;
inline constexpr TypeCode kUnitSerialPort = 0x00010027;
inline constexpr TypeCode kTypeUnlNum = 0x0003000A;

enum class TypeCategory : int {
    kNone = 0,      // the code 0: no value
    kBasic = 1,     // bit 31 set, bit 30 clear
    kReserved = 2,  // bit 31 clear, bit 30 set: never occurs
    kLibrary = 3,   // both top bits equal: a support library's own type
};

TypeCategory CategoryOf(TypeCode code);
// True for exactly byte, short, integer, long, single and double real.
bool IsNumericType(TypeCode code);
inline bool IsArrayType(TypeCode code) {
    return (code & kTypeArrayFlag) != 0;
}
inline TypeCode ElementTypeOf(TypeCode code) {
    return code & ~kTypeArrayFlag;
}
// The library number (1-based) and type number of a library-defined type.
inline uint32_t LibraryNumberOf(TypeCode code) {
    return (code >> 16) & 0xFFFF;
}
inline uint32_t TypeNumberOf(TypeCode code) {
    return code & 0xFFFF;
}

// An argument or result record: three 32-bit words. One-word values sit in
// the low word with the high word 0; eight-byte values and pointers fill both
// value words, low word first (on this 64-bit build a pointer is eight bytes).
struct ValueRecord {
    uint32_t low = 0;
    uint32_t high = 0;
    TypeCode type = kTypeNone;

    uint64_t Bits() const { return uint64_t{low} | (uint64_t{high} << 32); }
    void SetBits(uint64_t bits) {
        low = static_cast<uint32_t>(bits);
        high = static_cast<uint32_t>(bits >> 32);
    }

    uint8_t AsByte() const { return static_cast<uint8_t>(low); }
    int16_t AsShort() const { return static_cast<int16_t>(low); }
    int32_t AsInt() const { return static_cast<int32_t>(low); }
    uint32_t AsUInt() const { return low; }
    int64_t AsLong() const { return static_cast<int64_t>(Bits()); }
    float AsFloat() const {
        float f;
        std::memcpy(&f, &low, sizeof f);
        return f;
    }
    double AsDouble() const {
        uint64_t b = Bits();
        double d;
        std::memcpy(&d, &b, sizeof d);
        return d;
    }
    bool AsBool() const { return low != 0; }
    void* AsPtr() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(Bits())); }
    char* AsText() const { return static_cast<char*>(AsPtr()); }
    uint8_t* AsByteSet() const { return static_cast<uint8_t*>(AsPtr()); }
    void* AsArray() const { return AsPtr(); }

    // Setters store the value and its type code together.
    void SetByte(uint8_t v) { SetWord(v, kTypeByte); }
    void SetShort(int16_t v) { SetWord(static_cast<uint16_t>(v), kTypeShort); }
    void SetInt(int32_t v) { SetWord(static_cast<uint32_t>(v), kTypeInt); }
    void SetLong(int64_t v) {
        SetBits(static_cast<uint64_t>(v));
        type = kTypeLong;
    }
    void SetFloat(float v) {
        uint32_t w;
        std::memcpy(&w, &v, sizeof w);
        SetWord(w, kTypeFloat);
    }
    void SetDouble(double v, TypeCode code = kTypeDouble) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        SetBits(b);
        type = code;
    }
    void SetDateTime(double v) { SetDouble(v, kTypeDateTime); }
    void SetBool(bool v) { SetWord(v ? 1u : 0u, kTypeBool); }
    void SetPtr(const void* p, TypeCode code) {
        SetBits(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)));
        type = code;
    }
    void SetText(const char* text) { SetPtr(text, kTypeText); }
    void SetByteSet(const uint8_t* block) { SetPtr(block, kTypeByteSet); }
    void SetArray(const void* block, TypeCode elementType) {
        SetPtr(block, elementType | kTypeArrayFlag);
    }

    static ValueRecord Int(int32_t v) {
        ValueRecord r;
        r.SetInt(v);
        return r;
    }
    static ValueRecord Double(double v) {
        ValueRecord r;
        r.SetDouble(v);
        return r;
    }
    static ValueRecord Text(const char* t) {
        ValueRecord r;
        r.SetText(t);
        return r;
    }
    static ValueRecord ByteSet(const uint8_t* b) {
        ValueRecord r;
        r.SetByteSet(b);
        return r;
    }

  private:
    void SetWord(uint32_t w, TypeCode code) {
        low = w;
        high = 0;
        type = code;
    }
};
static_assert(sizeof(ValueRecord) == 12, "records are three 32-bit words");

using ArgRecord = ValueRecord;
// A result record is zeroed by the caller before the command runs; the
// command writes words 0 and 1 (and usually the type code for clarity).
using ResultRecord = ValueRecord;

// ---- Memory -------------------------------------------------------------
//
// Sizes are 32-bit quantities in the value model; a request above INT32_MAX
// cannot be honoured and fails like heap exhaustion. So does a request above
// the runtime state's allocation limit while one is set (tests set it).

// Allocates; on failure raises the runtime error "分配 %d 字节内存失败!".
void* MemAlloc(size_t size);
// Raises the runtime error "分配 %d 字节内存失败!" for a request of `size`.
[[noreturn]] void ReportAllocationFailure(int64_t size);
// Like MemAlloc but returns null on failure instead of ending the program.
void* TryMemAlloc(size_t size);
// Null: MemAlloc. Inside the constant segment: a fresh block holding
// min(size, bytes up to the segment end). Otherwise heap reallocation.
void* MemRealloc(void* ptr, size_t size);
// Ignores null and pointers into the constant segment.
void MemFree(void* ptr);

// ---- Constant segment -----------------------------------------------------

// Registers [start, start + length) as the static range. Registering again
// replaces it; a null start clears it.
void RegisterConstantSegment(const void* start, size_t length);
bool InConstantSegment(const void* ptr);
// A shared empty text: the constant segment's first byte when one is
// registered, otherwise a static zero byte. Never null, never freed.
const char* EmptyText();

// ---- Texts ----------------------------------------------------------------

// Null or "" gives null; otherwise a fresh heap copy.
char* CopyText(const char* text);
// length < 1 gives null; otherwise length bytes plus a terminator.
char* CopyTextN(const char* bytes, intptr_t length);
// Length in bytes without the terminator; 0 for null.
size_t TextLength(const char* text);
// A std::string view of a text for internal processing (null is "").
inline std::string TextToString(const char* text) {
    return text ? std::string(text) : std::string();
}
// A fresh text holding s up to its first zero byte (null when that is empty).
char* MakeText(const std::string& s);

// ---- Byte sets --------------------------------------------------------------
//
// A byte set is a block {int32 1, int32 length, bytes}; null is empty.

uint8_t* MakeByteSet(const void* bytes, size_t length);
size_t ByteSetLength(const uint8_t* byteSet);
// The data bytes (null for an empty byte set).
const uint8_t* ByteSetData(const uint8_t* byteSet);
uint8_t* ByteSetData(uint8_t* byteSet);

// ---- Arrays -----------------------------------------------------------------
//
// An array is a block {int32 n, n int32 sizes, elements}; null is the empty
// array. Text and byte-set elements are pointers that own their blocks.

// Width in bytes of one array element of the given element type.
size_t ElementWidth(TypeCode elementType);
// A fresh zeroed array with the given dimension sizes (none negative and at
// least one dimension). The result is null when a size is invalid.
void* AllocArray(TypeCode elementType, std::span<const int32_t> dims);
int32_t ArrayDimCount(const void* array);
int32_t ArrayDimSize(const void* array, int32_t dimIndex);  // 0-based index
// Product of the dimension sizes (0 for null).
size_t ArrayElementCount(const void* array);
size_t ArrayHeaderSize(const void* array);
void* ArrayData(void* array);
const void* ArrayData(const void* array);

// Accepts the element type or the array type code: for text and byte-set
// elements frees each element first, then the block.
void FreeArray(TypeCode type, void* array);
// If *array lies in the constant segment, replaces it by a heap copy of the
// whole block.
void MakeArrayWritable(size_t elementWidth, void** array);

// ---- Conversions --------------------------------------------------------------

// Numeric types become int32 (reals truncated toward zero); anything else
// raises the runtime error "欲转换数据类型不是数值".
int32_t ValueToInteger(const ArgRecord& value);

// Bytes the value occupies when copied into a byte buffer: texts include the
// terminator, byte sets only their data. 0 for codes without a byte form.
size_t ValueByteSize(const ArgRecord& value);
// Writes exactly ValueByteSize(value) bytes to dest.
void WriteValueBytes(const ArgRecord& value, void* dest);

// The date-time clamp range, in days of the OLE automation scale
// (day 0 is 30 December 1899).
inline constexpr double kDateTimeMin = -657434.0;
inline constexpr double kDateTimeMax = 2958465.0;

struct DateTimeParts {
    int year, month, day, hour, minute, second;
};
// Clamps to the range above, then splits into calendar parts.
DateTimeParts SplitDateTime(double days);
// The inverse for valid parts (used by tests and date commands).
double JoinDateTime(const DateTimeParts& parts);

// The canonical text form of a value, as GBK bytes.
// The C library's "%.<precision>g" form, with the exponent written with at least three digits
// (1e20 is "1e+020"), independent of the process locale.
std::string FormatGeneral(double value, int precision);
// A single real: rounded to 6 significant digits (half away from zero), then "%.6g". A double
// real: "%.13g". Both in the form of FormatGeneral.
std::string SingleToText(float value);
std::string DoubleToText(double value);

std::string CanonicalText(const ArgRecord& value);

}  // namespace kesu
