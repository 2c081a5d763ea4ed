#include "runtime/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "runtime/errors.h"
#include "tests/runtime/allocation_limit.h"
#include "tests/runtime/runtime_test_support.h"

namespace kesu {
namespace {

using test::ExitCodeOf;
using test::LastBoxText;

class ValueTest : public ::testing::Test {
  protected:
    test::RuntimeSandbox sandbox;
};

TEST(TypeCodes, CategoriesAndNumericTest) {
    EXPECT_EQ(CategoryOf(0), TypeCategory::kNone);
    EXPECT_EQ(CategoryOf(kTypeText), TypeCategory::kBasic);
    EXPECT_EQ(CategoryOf(0x40000001), TypeCategory::kReserved);
    EXPECT_EQ(CategoryOf(kUnitEditBox), TypeCategory::kLibrary);
    EXPECT_EQ(CategoryOf(0xC0000001), TypeCategory::kLibrary);

    for (TypeCode c : {kTypeByte, kTypeShort, kTypeInt, kTypeLong, kTypeFloat, kTypeDouble}) {
        EXPECT_TRUE(IsNumericType(c)) << std::hex << c;
    }
    // Low byte 0x01 alone is not enough: the category must be basic.
    for (TypeCode c : {kTypeBool, kTypeDateTime, kTypeText, kTypeByteSet, kTypeSubroutine,
                       kTypeEightBytes, kUnitWindow, TypeCode{0x40000101}, TypeCode{0}}) {
        EXPECT_FALSE(IsNumericType(c)) << std::hex << c;
    }
    EXPECT_TRUE(IsArrayType(kTypeInt | kTypeArrayFlag));
    EXPECT_EQ(ElementTypeOf(kTypeText | kTypeArrayFlag), kTypeText);
    EXPECT_EQ(LibraryNumberOf(kTypeUnlNum), 3u);
    EXPECT_EQ(TypeNumberOf(kTypeUnlNum), 10u);
}

TEST(Records, OneWordValuesUseTheLowWordAndPointersBoth) {
    ArgRecord r;
    r.SetShort(-1);
    EXPECT_EQ(r.low, 0xFFFFu);
    EXPECT_EQ(r.high, 0u);
    EXPECT_EQ(r.AsShort(), -1);

    r.SetLong(-2);
    EXPECT_EQ(r.low, 0xFFFFFFFEu);
    EXPECT_EQ(r.high, 0xFFFFFFFFu);
    EXPECT_EQ(r.AsLong(), -2);

    r.SetDouble(1.5);
    EXPECT_EQ(r.AsDouble(), 1.5);
    EXPECT_EQ(r.type, kTypeDouble);

    // A pointer above 4 GiB must survive in both words, low word first.
    auto* p = reinterpret_cast<char*>(uintptr_t{0x12345678ABCDEF00});
    r.SetText(p);
    EXPECT_EQ(r.low, 0xABCDEF00u);
    EXPECT_EQ(r.high, 0x12345678u);
    EXPECT_EQ(r.AsText(), p);
    EXPECT_EQ(r.type, kTypeText);
}

TEST_F(ValueTest, EmptyTextsAndByteSetsAreNull) {
    EXPECT_EQ(CopyText(nullptr), nullptr);
    EXPECT_EQ(CopyText(""), nullptr);
    EXPECT_EQ(CopyTextN("abc", 0), nullptr);
    EXPECT_EQ(CopyTextN("abc", -3), nullptr);
    EXPECT_EQ(MakeByteSet("x", 0), nullptr);
    EXPECT_EQ(ByteSetLength(nullptr), 0u);
    EXPECT_EQ(TextLength(nullptr), 0u);
    MemFree(nullptr);

    char* t = CopyTextN("abcdef", 3);
    EXPECT_STREQ(t, "abc");
    MemFree(t);

    uint8_t* b = MakeByteSet("\x01\x00\x02", 3);
    int32_t header[2];
    std::memcpy(header, b, 8);
    EXPECT_EQ(header[0], 1);
    EXPECT_EQ(header[1], 3);
    EXPECT_EQ(std::memcmp(ByteSetData(b), "\x01\x00\x02", 3), 0);
    MemFree(b);
}

TEST_F(ValueTest, ConstantSegmentIsNeverFreedAndCopiedOutOnChange) {
    static char segment[] = "\0hello\0world";
    RegisterConstantSegment(segment, sizeof segment);
    EXPECT_EQ(EmptyText(), segment);
    char* hello = segment + 1;
    MemFree(hello);  // must not reach the heap (ASan would report it)
    EXPECT_STREQ(hello, "hello");

    // A copy never reads past the segment's end, however large the request.
    char* world = segment + 7;
    auto* copy = static_cast<char*>(MemRealloc(world, 100));
    EXPECT_FALSE(InConstantSegment(copy));
    EXPECT_EQ(std::memcmp(copy, "world", 6), 0);
    MemFree(copy);

    auto* shorter = static_cast<char*>(MemRealloc(hello, 3));
    EXPECT_EQ(std::memcmp(shorter, "hel", 3), 0);
    MemFree(shorter);
}

TEST_F(ValueTest, ArraysHaveHeaderDimensionsAndOwnTheirElements) {
    const int32_t dims[] = {2, 3};
    void* a = AllocArray(kTypeInt, dims);
    EXPECT_EQ(ArrayDimCount(a), 2);
    EXPECT_EQ(ArrayElementCount(a), 6u);
    EXPECT_EQ(ArrayHeaderSize(a), 12u);  // 4 + 8, then 24 bytes of elements
    EXPECT_EQ(static_cast<uint8_t*>(ArrayData(a)) - static_cast<uint8_t*>(a), 12);
    FreeArray(kTypeInt, a);

    // Freeing a text array frees each element: LeakSanitizer checks it.
    const int32_t one[] = {3};
    void* texts = AllocArray(kTypeText, one);
    auto** slots = static_cast<char**>(ArrayData(texts));
    slots[0] = CopyText("a");
    slots[2] = CopyText("c");  // slot 1 stays null, the empty text
    FreeArray(kTypeText | kTypeArrayFlag, texts);

    void* sets = AllocArray(kTypeByteSet, one);
    static_cast<uint8_t**>(ArrayData(sets))[1] = MakeByteSet("zz", 2);
    FreeArray(kTypeByteSet, sets);

    EXPECT_EQ(ArrayElementCount(nullptr), 0u);
    FreeArray(kTypeText, nullptr);
    const int32_t bad[] = {-1};
    EXPECT_EQ(AllocArray(kTypeInt, bad), nullptr);
}

TEST_F(ValueTest, MakeArrayWritableCopiesOnlyConstantArrays) {
    // One dimension of 2 integers, stored in the constant segment.
    alignas(4) static uint8_t segment[4 + 4 + 8 + 4] = {};
    int32_t words[4] = {1, 2, 7, 9};
    std::memcpy(segment, words, sizeof words);
    RegisterConstantSegment(segment, sizeof segment);

    void* a = segment;
    MakeArrayWritable(4, &a);
    ASSERT_NE(a, static_cast<void*>(segment));
    EXPECT_EQ(ArrayElementCount(a), 2u);
    EXPECT_EQ(static_cast<int32_t*>(ArrayData(a))[1], 9);
    void* same = a;
    MakeArrayWritable(4, &a);  // already on the heap: unchanged
    EXPECT_EQ(a, same);
    FreeArray(kTypeInt, a);

    void* none = nullptr;
    MakeArrayWritable(4, &none);
    EXPECT_EQ(none, nullptr);
}

TEST_F(ValueTest, ValueToIntegerTruncatesAndRejectsNonNumbers) {
    ArgRecord r;
    r.SetDouble(-2.7);
    EXPECT_EQ(ValueToInteger(r), -2);
    r.SetFloat(3.9f);
    EXPECT_EQ(ValueToInteger(r), 3);
    r.SetLong((int64_t{1} << 32) + 5);
    EXPECT_EQ(ValueToInteger(r), 5);
    r.SetByte(0xFF);
    EXPECT_EQ(ValueToInteger(r), 255);
    r.SetShort(-1);
    EXPECT_EQ(ValueToInteger(r), -1);
    // Out-of-range reals saturate instead of being undefined.
    r.SetDouble(1e300);
    EXPECT_EQ(ValueToInteger(r), INT32_MAX);
    r.SetDouble(NAN);
    EXPECT_EQ(ValueToInteger(r), 0);

    r.SetText("12");
    EXPECT_EQ(ExitCodeOf([&] { ValueToInteger(r); }), -1);
    EXPECT_NE(LastBoxText().find(errmsg::kNotNumeric), std::string::npos);
}

TEST_F(ValueTest, ByteSizesAndBytes) {
    ArgRecord b, s, i, l, f, d, t, e, bs, dt, sub, lib;
    b.SetByte(1);
    s.SetShort(1);
    i.SetInt(1);
    l.SetLong(1);
    f.SetFloat(1);
    d.SetDouble(1);
    dt.SetDateTime(1);
    t.SetText("abc");
    e.SetText(nullptr);
    uint8_t* set = MakeByteSet("\x05\x06", 2);
    bs.SetByteSet(set);
    sub.SetPtr(nullptr, kTypeSubroutine);
    lib.SetPtr(nullptr, kUnitEditBox);
    EXPECT_EQ(ValueByteSize(b), 1u);
    EXPECT_EQ(ValueByteSize(s), 2u);
    EXPECT_EQ(ValueByteSize(i), 4u);
    EXPECT_EQ(ValueByteSize(f), 4u);
    EXPECT_EQ(ValueByteSize(sub), 4u);
    EXPECT_EQ(ValueByteSize(l), 8u);
    EXPECT_EQ(ValueByteSize(d), 8u);
    EXPECT_EQ(ValueByteSize(dt), 8u);
    EXPECT_EQ(ValueByteSize(t), 4u);  // the terminator counts
    EXPECT_EQ(ValueByteSize(e), 1u);
    EXPECT_EQ(ValueByteSize(bs), 2u);  // data only
    EXPECT_EQ(ValueByteSize(lib), 0u);

    uint8_t out[8] = {0xAA, 0xAA, 0xAA, 0xAA};
    WriteValueBytes(t, out);
    EXPECT_EQ(std::memcmp(out, "abc", 4), 0);
    WriteValueBytes(bs, out);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
    ArgRecord sh;
    sh.SetShort(0x1234);
    WriteValueBytes(sh, out);
    EXPECT_EQ(out[0], 0x34);
    EXPECT_EQ(out[1], 0x12);
    MemFree(set);
}

TEST_F(ValueTest, CanonicalTextForms) {
    ArgRecord r;
    r.SetByte(200);
    EXPECT_EQ(CanonicalText(r), "200");
    r.SetShort(-5);
    EXPECT_EQ(CanonicalText(r), "-5");
    r.SetLong(-9000000000LL);
    EXPECT_EQ(CanonicalText(r), "-9000000000");
    r.SetFloat(0.1f);
    EXPECT_EQ(CanonicalText(r), "0.1");
    r.SetDouble(1.0 / 3.0);
    EXPECT_EQ(CanonicalText(r), "0.3333333333333");
    // Exponents take at least three digits, in both real widths.
    r.SetDouble(1e20);
    EXPECT_EQ(CanonicalText(r), "1e+020");
    r.SetFloat(-2.5e-7f);
    EXPECT_EQ(CanonicalText(r), "-2.5e-007");
    r.SetBool(true);
    EXPECT_EQ(CanonicalText(r), "\xD5\xE6");  // 真
    r.SetBool(false);
    EXPECT_EQ(CanonicalText(r), "\xBC\xD9");  // 假
    r.SetText(nullptr);
    EXPECT_EQ(CanonicalText(r), "");
    uint8_t* set = MakeByteSet("ab\0cd", 5);
    r.SetByteSet(set);
    EXPECT_EQ(CanonicalText(r), "ab");
    MemFree(set);
}

// "%d年%d月%d日" and the time parts down to the last non-zero one.
std::string DateText(double days) {
    ArgRecord r;
    r.SetDateTime(days);
    return CanonicalText(r);
}

TEST(DateTime, ClampsSplitsAndRendersTrailingParts) {
    EXPECT_EQ(DateText(3000000),
              "9999\xC4\xEA"
              "12\xD4\xC2"
              "31\xC8\xD5");
    EXPECT_EQ(DateText(-1e9),
              "100\xC4\xEA"
              "1\xD4\xC2"
              "1\xC8\xD5");
    EXPECT_EQ(DateText(0),
              "1899\xC4\xEA"
              "12\xD4\xC2"
              "30\xC8\xD5");
    // 12:00 shows the hour only; 06:30 hour and minute; seconds all three.
    EXPECT_EQ(DateText(1.5),
              "1899\xC4\xEA"
              "12\xD4\xC2"
              "31\xC8\xD5"
              "12\xCA\xB1");
    EXPECT_EQ(DateText(2 + (6 * 60 + 30) / 1440.0),
              "1900\xC4\xEA"
              "1\xD4\xC2"
              "1\xC8\xD5"
              "6\xCA\xB1"
              "30\xB7\xD6");
    EXPECT_EQ(DateText(1 + 5.0 / 86400),
              "1899\xC4\xEA"
              "12\xD4\xC2"
              "31\xC8\xD5"
              "0\xCA\xB1"
              "0\xB7\xD6"
              "5\xC3\xEB");

    // Negative dates count days backwards with the time still forwards.
    DateTimeParts p = SplitDateTime(-1.25);
    EXPECT_EQ(p.year, 1899);
    EXPECT_EQ(p.month, 12);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);

    DateTimeParts leap{2024, 2, 29, 23, 59, 59};
    DateTimeParts back = SplitDateTime(JoinDateTime(leap));
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.second, 59);
    // A time that rounds up to midnight moves to the next day.
    p = SplitDateTime(1.9999999999);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.month, 1);
    EXPECT_EQ(p.hour, 0);
}

TEST_F(ValueTest, AllocationFailureEndsWithTheSizeInTheMessage) {
    SetAllocationLimitForTesting(999);
    void* small = MemAlloc(999);
    EXPECT_NE(small, nullptr);
    EXPECT_EQ(TryMemAlloc(1000), nullptr);
    EXPECT_EQ(ExitCodeOf([] { MemAlloc(1000); }), -1);
    // 分配 1000 字节内存失败!
    EXPECT_NE(LastBoxText().find("\xB7\xD6\xC5\xE4 1000 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7"
                                 "\xB0\xDC!"),
              std::string::npos);
    // A failed reallocation keeps nothing half-done: the old block is still
    // owned by the caller.
    EXPECT_EQ(ExitCodeOf([&] { small = MemRealloc(small, 5000); }), -1);
    MemFree(small);
    SetAllocationLimitForTesting(0);
    // Requests beyond the 32-bit size range cannot succeed.
    EXPECT_EQ(TryMemAlloc(size_t{1} << 33), nullptr);
}

}  // namespace
}  // namespace kesu
