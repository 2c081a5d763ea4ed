#include "runtime/value.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/errors.h"
#include "runtime/runtime_state.h"

namespace kesu {

namespace {

const char kStaticEmpty[1] = {0};

bool AllocationAllowed(size_t size) {
    if (size > static_cast<size_t>(INT32_MAX)) return false;
    size_t limit = Runtime().memory.allocationLimit.load(std::memory_order_relaxed);
    return limit == 0 || size <= limit;
}

int32_t ReadI32(const void* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void WriteI32(void* p, int32_t v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

TypeCategory CategoryOf(TypeCode code) {
    if (code == 0) return TypeCategory::kNone;
    bool b31 = (code & 0x80000000u) != 0;
    bool b30 = (code & 0x40000000u) != 0;
    if (b31 && !b30) return TypeCategory::kBasic;
    if (!b31 && b30) return TypeCategory::kReserved;
    return TypeCategory::kLibrary;
}

bool IsNumericType(TypeCode code) {
    return CategoryOf(code) == TypeCategory::kBasic && (code & 0xFF) == 0x01;
}

// ---- Memory ---------------------------------------------------------------

void ReportAllocationFailure(int64_t size) {
    // The message shows the size as the 32-bit number the value model knows.
    auto shown = static_cast<int>(std::clamp<int64_t>(size, INT32_MIN, INT32_MAX));
    ReportRuntimeError(FormatMessage(errmsg::kAllocFailedFormat, shown).c_str(), 0);
}

[[noreturn]] static void AllocationFailed(size_t size) {
    ReportAllocationFailure(static_cast<int64_t>(std::min<size_t>(size, INT64_MAX)));
}

void* TryMemAlloc(size_t size) {
    if (!AllocationAllowed(size)) return nullptr;
    // A zero-byte request still yields a distinct block, as the heap does.
    return std::malloc(size == 0 ? 1 : size);
}

void* MemAlloc(size_t size) {
    void* p = TryMemAlloc(size);
    if (!p) AllocationFailed(size);
    return p;
}

void* MemRealloc(void* ptr, size_t size) {
    if (!ptr) return MemAlloc(size);
    if (InConstantSegment(ptr)) {
        void* fresh = MemAlloc(size);
        size_t available = Runtime().memory.constEnd.load() - reinterpret_cast<uintptr_t>(ptr);
        std::memcpy(fresh, ptr, std::min(size, available));
        return fresh;
    }
    if (!AllocationAllowed(size)) AllocationFailed(size);
    void* p = std::realloc(ptr, size == 0 ? 1 : size);
    // On failure the old block stays valid, but the program ends anyway.
    if (!p) AllocationFailed(size);
    return p;
}

void MemFree(void* ptr) {
    if (!ptr || InConstantSegment(ptr)) return;
    std::free(ptr);
}

// ---- Constant segment -------------------------------------------------------

void RegisterConstantSegment(const void* start, size_t length) {
    uintptr_t b = reinterpret_cast<uintptr_t>(start);
    RuntimeState::Memory& memory = Runtime().memory;
    memory.constBegin.store(start ? b : 0);
    memory.constEnd.store(start ? b + length : 0);
}

bool InConstantSegment(const void* ptr) {
    uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
    const RuntimeState::Memory& memory = Runtime().memory;
    uintptr_t b = memory.constBegin.load(std::memory_order_relaxed);
    uintptr_t e = memory.constEnd.load(std::memory_order_relaxed);
    return b != 0 && p >= b && p < e;
}

const char* EmptyText() {
    const RuntimeState::Memory& memory = Runtime().memory;
    uintptr_t b = memory.constBegin.load();
    if (b != 0 && memory.constEnd.load() > b && *reinterpret_cast<const char*>(b) == 0) {
        return reinterpret_cast<const char*>(b);
    }
    return kStaticEmpty;
}

// ---- Texts ------------------------------------------------------------------

char* CopyText(const char* text) {
    if (!text || !*text) return nullptr;
    return CopyTextN(text, static_cast<intptr_t>(std::strlen(text)));
}

char* CopyTextN(const char* bytes, intptr_t length) {
    if (length < 1 || !bytes) return nullptr;
    size_t n = static_cast<size_t>(length);
    char* t = static_cast<char*>(MemAlloc(n + 1));
    std::memcpy(t, bytes, n);
    t[n] = 0;
    return t;
}

size_t TextLength(const char* text) {
    return text ? std::strlen(text) : 0;
}

char* MakeText(const std::string& s) {
    return CopyText(s.c_str());
}

// ---- Byte sets ----------------------------------------------------------------

uint8_t* MakeByteSet(const void* bytes, size_t length) {
    if (length == 0) return nullptr;
    if (length > static_cast<size_t>(INT32_MAX) - 8) AllocationFailed(length + 8);
    auto* block = static_cast<uint8_t*>(MemAlloc(length + 8));
    WriteI32(block, 1);
    WriteI32(block + 4, static_cast<int32_t>(length));
    if (bytes) {
        std::memcpy(block + 8, bytes, length);
    } else {
        std::memset(block + 8, 0, length);
    }
    return block;
}

size_t ByteSetLength(const uint8_t* byteSet) {
    if (!byteSet) return 0;
    int32_t n = ReadI32(byteSet + 4);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

const uint8_t* ByteSetData(const uint8_t* byteSet) {
    return byteSet ? byteSet + 8 : nullptr;
}
uint8_t* ByteSetData(uint8_t* byteSet) {
    return byteSet ? byteSet + 8 : nullptr;
}

// ---- Arrays -----------------------------------------------------------------

size_t ElementWidth(TypeCode elementType) {
    switch (ElementTypeOf(elementType)) {
        case kTypeByte:
            return 1;
        case kTypeShort:
            return 2;
        case kTypeInt:
        case kTypeFloat:
        case kTypeBool:
            return 4;
        case kTypeLong:
        case kTypeDouble:
        case kTypeDateTime:
        case kTypeEightBytes:
            return 8;
        default:
            // Texts, byte sets, subroutines and library types are pointers.
            return sizeof(void*);
    }
}

void* AllocArray(TypeCode elementType, std::span<const int32_t> dims) {
    if (dims.empty() || dims.size() > 0x10000) return nullptr;
    uint64_t count = 1;
    for (int32_t d : dims) {
        if (d < 0) return nullptr;
        count *= static_cast<uint64_t>(d);
        if (count > INT32_MAX) AllocationFailed(SIZE_MAX);
    }
    size_t header = 4 + 4 * dims.size();
    uint64_t total = header + count * ElementWidth(elementType);
    if (total > INT32_MAX) AllocationFailed(static_cast<size_t>(total));
    auto* block = static_cast<uint8_t*>(MemAlloc(static_cast<size_t>(total)));
    std::memset(block, 0, static_cast<size_t>(total));
    WriteI32(block, static_cast<int32_t>(dims.size()));
    for (size_t i = 0; i < dims.size(); ++i) WriteI32(block + 4 + 4 * i, dims[i]);
    return block;
}

int32_t ArrayDimCount(const void* array) {
    return array ? ReadI32(array) : 0;
}

int32_t ArrayDimSize(const void* array, int32_t dimIndex) {
    if (!array || dimIndex < 0 || dimIndex >= ArrayDimCount(array)) return 0;
    return ReadI32(static_cast<const uint8_t*>(array) + 4 + 4 * dimIndex);
}

size_t ArrayElementCount(const void* array) {
    if (!array) return 0;
    int32_t n = ArrayDimCount(array);
    if (n < 1) return 0;
    size_t count = 1;
    for (int32_t i = 0; i < n; ++i) {
        int32_t d = ArrayDimSize(array, i);
        if (d <= 0) return 0;
        count *= static_cast<size_t>(d);
    }
    return count;
}

size_t ArrayHeaderSize(const void* array) {
    int32_t n = ArrayDimCount(array);
    return n > 0 ? 4 + 4 * static_cast<size_t>(n) : 0;
}

void* ArrayData(void* array) {
    return array ? static_cast<uint8_t*>(array) + ArrayHeaderSize(array) : nullptr;
}

const void* ArrayData(const void* array) {
    return array ? static_cast<const uint8_t*>(array) + ArrayHeaderSize(array) : nullptr;
}

void FreeArray(TypeCode type, void* array) {
    if (!array || InConstantSegment(array)) return;
    TypeCode element = ElementTypeOf(type);
    if (element == kTypeText || element == kTypeByteSet) {
        size_t count = ArrayElementCount(array);
        auto* slots = static_cast<uint8_t*>(ArrayData(array));
        for (size_t i = 0; i < count; ++i) {
            void* item;
            std::memcpy(&item, slots + i * sizeof(void*), sizeof item);
            MemFree(item);
        }
    }
    MemFree(array);
}

void MakeArrayWritable(size_t elementWidth, void** array) {
    if (!array || !*array || !InConstantSegment(*array)) return;
    size_t total = ArrayHeaderSize(*array) + elementWidth * ArrayElementCount(*array);
    // The copy never reads past the segment, even if the header claims more.
    *array = MemRealloc(*array, total);
}

// ---- Conversions ----------------------------------------------------------------

int32_t ValueToInteger(const ArgRecord& value) {
    switch (value.type) {
        case kTypeByte:
            return value.AsByte();
        case kTypeShort:
            return value.AsShort();
        case kTypeInt:
            return value.AsInt();
        case kTypeLong:
            return static_cast<int32_t>(value.low);
        case kTypeFloat:
        case kTypeDouble: {
            double d = value.type == kTypeFloat ? value.AsFloat() : value.AsDouble();
            // Truncation toward zero; values outside int32 (and NaN) saturate
            // instead of invoking undefined behaviour.
            if (std::isnan(d)) return 0;
            if (d >= 2147483647.0) return INT32_MAX;
            if (d <= -2147483648.0) return INT32_MIN;
            return static_cast<int32_t>(d);
        }
        default:
            ReportRuntimeError(errmsg::kNotNumeric, 0);
    }
}

size_t ValueByteSize(const ArgRecord& value) {
    switch (value.type) {
        case kTypeByte:
            return 1;
        case kTypeShort:
            return 2;
        case kTypeInt:
        case kTypeFloat:
        case kTypeBool:
        case kTypeSubroutine:
            return 4;
        case kTypeLong:
        case kTypeDouble:
        case kTypeDateTime:
        case kTypeEightBytes:
            return 8;
        case kTypeText:
            return TextLength(value.AsText()) + 1;
        case kTypeByteSet:
            return ByteSetLength(value.AsByteSet());
        default:
            return 0;
    }
}

void WriteValueBytes(const ArgRecord& value, void* dest) {
    size_t n = ValueByteSize(value);
    if (n == 0) return;
    if (value.type == kTypeText) {
        const char* t = value.AsText();
        if (t) {
            std::memcpy(dest, t, n);
        } else {
            *static_cast<char*>(dest) = 0;
        }
    } else if (value.type == kTypeByteSet) {
        std::memcpy(dest, ByteSetData(value.AsByteSet()), n);
    } else {
        // Little-endian: the low n bytes of the two value words.
        uint64_t bits = value.Bits();
        std::memcpy(dest, &bits, n);
    }
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t yy = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2 ? 1 : 0));
}

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Day 0 of the automation scale, 1899-12-30, counted from 1970-01-01.
constexpr int64_t kAutomationEpoch = -25569;

}  // namespace

DateTimeParts SplitDateTime(double days) {
    if (std::isnan(days)) days = 0;
    days = std::clamp(days, kDateTimeMin, kDateTimeMax);
    // Negative values count whole days backwards while the fraction is still
    // the time of that day: -1.25 is 29 December 1899, 06:00.
    double whole = std::trunc(days);
    double fraction = std::fabs(days - whole);
    auto seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
    auto day = static_cast<int64_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    DateTimeParts p{};
    CivilFromDays(day + kAutomationEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    return p;
}

double JoinDateTime(const DateTimeParts& parts) {
    double day =
        static_cast<double>(DaysFromCivil(parts.year, parts.month, parts.day) - kAutomationEpoch);
    double time = (parts.hour * 3600.0 + parts.minute * 60.0 + parts.second) / 86400.0;
    return day < 0 ? day - time : day + time;
}

std::string FormatGeneral(double value, int precision) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    std::string text(buffer, result.ptr);
    size_t e = text.find('e');
    if (e != std::string::npos && e + 2 < text.size() + 1) {
        // "e+20" becomes "e+020": the sign stays, the digits widen to three.
        size_t digits = text.size() - (e + 2);
        if (digits < 3) text.insert(e + 2, 3 - digits, '0');
    }
    return text;
}

std::string SingleToText(float value) {
    double v = value;
    if (v != 0 && std::isfinite(v)) {
        double magnitude = std::fabs(v);
        int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
        // log10 may land just beside an exact power of ten; settle it.
        if (std::pow(10.0, exponent) > magnitude) --exponent;
        if (std::pow(10.0, exponent + 1) <= magnitude) ++exponent;
        double scale = std::pow(10.0, 5 - exponent);
        double rounded = std::round(magnitude * scale) / scale;  // half away from zero
        v = v < 0 ? -rounded : rounded;
    }
    return FormatGeneral(v, 6);
}

std::string DoubleToText(double value) {
    return FormatGeneral(value, 13);
}

std::string CanonicalText(const ArgRecord& value) {
    char buf[128];
    switch (value.type) {
        case kTypeByte:
            std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(value.AsByte()));
            return buf;
        case kTypeShort:
            std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value.AsShort()));
            return buf;
        case kTypeInt:
            std::snprintf(buf, sizeof buf, "%d", value.AsInt());
            return buf;
        case kTypeLong:
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value.AsLong()));
            return buf;
        case kTypeFloat:
            return SingleToText(value.AsFloat());
        case kTypeDouble:
            return DoubleToText(value.AsDouble());
        case kTypeBool:
            // "真" and "假".
            return value.AsBool() ? "\xD5\xE6" : "\xBC\xD9";
        case kTypeDateTime: {
            DateTimeParts p = SplitDateTime(value.AsDouble());
            // "%d年%d月%d日", then the time down to its last non-zero part.
            std::string s = FormatMessage("%d\xC4\xEA%d\xD4\xC2%d\xC8\xD5", p.year, p.month, p.day);
            if (p.second != 0) {
                s += FormatMessage("%d\xCA\xB1%d\xB7\xD6%d\xC3\xEB", p.hour, p.minute, p.second);
            } else if (p.minute != 0) {
                s += FormatMessage("%d\xCA\xB1%d\xB7\xD6", p.hour, p.minute);
            } else if (p.hour != 0) {
                s += FormatMessage("%d\xCA\xB1", p.hour);
            }
            return s;
        }
        case kTypeText:
            return TextToString(value.AsText());
        case kTypeByteSet: {
            const uint8_t* data = ByteSetData(value.AsByteSet());
            size_t n = ByteSetLength(value.AsByteSet());
            size_t end = 0;
            while (end < n && data[end] != 0) ++end;
            return std::string(reinterpret_cast<const char*>(data), end);
        }
        default:
            return std::string();
    }
}

}  // namespace kesu
