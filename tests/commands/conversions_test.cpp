#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "commands/core_commands.h"
#include "commands/number_text.h"
#include "platform/gbk.h"
#include "tests/commands/command_call.h"

namespace kesu::commands {
namespace {

using namespace test;
using platform::Gbk;

using ByteSets = CommandTest;
using NumberConversion = CommandTest;
using TextCaseAndWidth = CommandTest;
using TextConversion = CommandTest;
using TextCutting = CommandTest;
using TextSearch = CommandTest;
using TextSplit = CommandTest;

TEST_F(TextCutting, LengthLeftMidCountBytes) {
    EXPECT_EQ(Call(TextLengthCommand, {Text("abc")}).AsInt(), 3);
    EXPECT_EQ(Call(TextLengthCommand, {Text(Gbk("中文"))}).AsInt(), 4);
    EXPECT_EQ(Call(TextLengthCommand, {ArgRecord::Text(nullptr)}).AsInt(), 0);

    EXPECT_EQ(CallText(LeftText, {Text("hello"), Int(2)}), "he");
    EXPECT_EQ(CallText(LeftText, {Text("hello"), Int(99)}), "hello");
    EXPECT_EQ(CallText(LeftText, {Text("hello"), Int(0)}), "");
    EXPECT_EQ(CallText(LeftText, {Text("hello"), Int(-3)}), "");
    // Plain byte counting may cut a two-byte character in half.
    EXPECT_EQ(CallText(LeftText, {Text(Gbk("中文")), Int(1)}), Gbk("中文").substr(0, 1));

    struct Case {
        int start, count;
        const char* expected;
    } mids[] = {
        {1, 2, "he"}, {2, 3, "ell"}, {5, 1, "o"}, {5, 9, "o"}, {0, 2, ""},
        {6, 1, ""},   {3, 0, ""},    {3, -1, ""}, {-5, 2, ""}, {4, 2147483647, "lo"},
    };
    for (const auto& c : mids) {
        EXPECT_EQ(CallText(MidText, {Text("hello"), Int(c.start), Int(c.count)}), c.expected)
            << c.start << "," << c.count;
    }
}

TEST_F(TextSearch, FindTextPositionsAndStart) {
    struct Case {
        std::string text, sought;
        ArgRecord start, ignore_case;
        int expected;
    } cases[] = {
        {"abcabc", "bc", Omitted(), Omitted(), 2},
        {"abcabc", "bc", Int(3), Omitted(), 5},   // position counts from the whole text
        {"abcabc", "bc", Int(-7), Omitted(), 2},  // a negative start is the beginning
        {"abcabc", "x", Omitted(), Omitted(), -1},
        {"abc", "", Omitted(), Omitted(), 1},
        {"abc", "", Int(4), Omitted(), -1},  // start beyond the text
        {"abc", "c", Int(4), Omitted(), -1},
        {"", "", Omitted(), Omitted(), -1},
        {"ABC", "bc", Omitted(), Bool(true), 2},
        {"ABC", "bc", Omitted(), Omitted(), -1},
        {"abc", "abcd", Omitted(), Omitted(), -1},
        // The ignore-case switch is taken from the value word: only 1 counts.
        {"ABC", "bc", Omitted(), Int(2), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            Call(FindTextCommand, {Text(c.text), Text(c.sought), c.start, c.ignore_case}).AsInt(),
            c.expected)
            << c.text << " / " << c.sought;
    }
}

TEST_F(TextSearch, FindTextNeverMatchesOnATrailByte) {
    // "丄" is 0x81 0x41 in GBK: its trail byte is the letter A.
    std::string text = Gbk("丄") + "A";
    ASSERT_EQ(text.size(), 3u);
    ASSERT_EQ(text[1], 'A');
    EXPECT_EQ(Call(FindTextCommand, {Text(text), Text("A")}).AsInt(), 3);
    EXPECT_EQ(Call(FindTextCommand, {Text(text), Text("a"), Omitted(), Bool(true)}).AsInt(), 3);
    // Case folding leaves the letter-like trail bytes of characters alone.
    std::string upper_trail = Gbk("丄");
    std::string lower_trail = upper_trail;
    lower_trail[1] = 'a';
    EXPECT_EQ(Call(FindTextCommand, {Text(lower_trail), Text(upper_trail), Omitted(), Bool(true)})
                  .AsInt(),
              -1);
}

TEST_F(TextSearch, CompareText) {
    auto compare = [](const std::string& a, const std::string& b, bool sensitive) {
        int r = Call(CompareTextCommand, {Text(a), Text(b), Bool(sensitive)}).AsInt();
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    };
    EXPECT_EQ(compare("abc", "abc", true), 0);
    EXPECT_EQ(compare("abc", "abd", true), -1);
    EXPECT_EQ(compare("abc", "ab", true), 1);
    EXPECT_EQ(compare("ABC", "abc", true), -1);
    EXPECT_EQ(compare("ABC", "abc", false), 0);
    EXPECT_EQ(compare("", "a", false), -1);
    // Two-byte characters sort above every single-byte character.
    EXPECT_EQ(compare(Gbk("中"), "z", true), 1);
    EXPECT_EQ(compare(Gbk("啊"), Gbk("中"), true), -1);
}

TEST_F(TextSplit, PartsSeparatorsAndLimits) {
    auto split = [](std::vector<ArgRecord> args) {
        ResultRecord r = Call(SplitTextCommand, std::move(args));
        void* array = r.AsArray();
        EXPECT_NE(array, nullptr) << "the array block is always made";
        EXPECT_EQ(ArrayDimCount(array), 1);
        std::vector<std::string> parts;
        auto** elements = static_cast<char**>(ArrayData(array));
        for (size_t i = 0; i < ArrayElementCount(array); ++i) {
            EXPECT_TRUE(elements[i] == nullptr || *elements[i] != 0);
            parts.push_back(TextToString(elements[i]));
        }
        FreeArray(kTypeText | kTypeArrayFlag, array);
        return parts;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split({Text("a,b,c"), Omitted(), Omitted()}), (V{"a", "b", "c"}));
    EXPECT_EQ(split({Text("a,b,c"), Omitted(), Int(2)}), (V{"a", "b"}));
    EXPECT_EQ(split({Text("a,,b,"), Omitted(), Omitted()}), (V{"a", "", "b"}));
    EXPECT_EQ(split({Text(",a"), Omitted(), Omitted()}), (V{"", "a"}));
    EXPECT_EQ(split({Text("abc"), Text("abc"), Omitted()}), (V{""}));
    EXPECT_EQ(split({Text("a b"), Text(""), Omitted()}), (V{"a b"}));
    EXPECT_EQ(split({Text(""), Omitted(), Omitted()}), V{});
    EXPECT_EQ(split({Text("a,b"), Omitted(), Int(0)}), V{});
    EXPECT_EQ(split({Text("a,b"), Omitted(), Int(-4)}), V{});
    EXPECT_EQ(split({Text("1::2::3"), Text("::"), Int(10)}), (V{"1", "2", "3"}));
    // The separator never matches across a two-byte character: 0x81 0x41 "A".
    EXPECT_EQ(split({Text(Gbk("丄") + "A1"), Text("A"), Omitted()}), (V{Gbk("丄"), "1"}));
}

TEST_F(TextCaseAndWidth, UpperAndHalfWidth) {
    EXPECT_EQ(CallText(ToUpperCommand, {Text("abz09AZ{")}), "ABZ09AZ{");
    std::string chars = Gbk("丄") + "a";  // trail byte 'A' stays, the letter changes
    std::string expected = Gbk("丄") + "A";
    EXPECT_EQ(CallText(ToUpperCommand, {Text(chars)}), expected);
    std::string lower_trail = Gbk("丄");
    lower_trail[1] = 'a';  // 0x81 0x61 is a character too; its trail is not a letter
    EXPECT_EQ(CallText(ToUpperCommand, {Text(lower_trail)}), lower_trail);
    EXPECT_EQ(CallText(ToUpperCommand, {Text("")}), "");

    EXPECT_EQ(CallText(ToHalfWidthCommand, {Text(Gbk("１２３ＡＢｃ！～"))}), "123ABc!~");
    EXPECT_EQ(CallText(ToHalfWidthCommand, {Text(Gbk("　"))}), " ");
    EXPECT_EQ(CallText(ToHalfWidthCommand, {Text("\xA1\xAB\xA1\xEE\xA1\xEF")}), "~**");
    EXPECT_EQ(CallText(ToHalfWidthCommand, {Text(Gbk("中文ａ"))}), Gbk("中文") + "a");
    // A broken character at the end is kept, not dropped.
    EXPECT_EQ(CallText(ToHalfWidthCommand, {Text("a\xA3")}), "a\xA3");
}

TEST_F(NumberConversion, ToNumberByType) {
    auto number = [](ArgRecord v) { return Call(ToNumber, {v}).AsDouble(); };
    EXPECT_EQ(number(Text(Gbk("１２３"))), 123);
    EXPECT_EQ(number(Text("12abc")), 12);
    EXPECT_EQ(number(Text("")), 0);
    EXPECT_EQ(number(Text("  -1.5e3x")), -1500);
    EXPECT_EQ(number(Text("+.5")), 0.5);
    EXPECT_EQ(number(Text("5.")), 5);
    EXPECT_EQ(number(Text("1e")), 1);
    EXPECT_EQ(number(Text("1e+")), 1);
    EXPECT_EQ(number(Text("0x10")), 0);  // no hexadecimal
    EXPECT_EQ(number(Text("inf")), 0);
    EXPECT_EQ(number(Text(".")), 0);
    EXPECT_EQ(number(Text("1e999")), HUGE_VAL);
    EXPECT_EQ(number(Text("1e-999")), 0);
    EXPECT_EQ(number(Bool(true)), 1);
    ArgRecord b;
    b.SetByte(250);
    EXPECT_EQ(number(b), 250);
    ArgRecord s;
    s.SetShort(-7);
    EXPECT_EQ(number(s), -7);
    ArgRecord l;
    l.SetLong(-5000000000);
    EXPECT_EQ(number(l), -5000000000.0);
    ArgRecord f;
    f.SetFloat(0.25f);
    EXPECT_EQ(number(f), 0.25);
    ArgRecord dt;
    dt.SetDateTime(40000.5);
    EXPECT_EQ(number(dt), 0);
    EXPECT_EQ(number(Omitted()), 0);
}

// A text read as a number gives what the C library's strtod reads from it, bit for bit, over
// texts built to reach every corner: long runs of leading zeros, long mantissas, exponents that
// push a value out of range in either direction or pull it back in, and trailing junk.
TEST_F(NumberConversion, DecimalPrefixReadsAsStrtod) {
    std::mt19937 random(7);
    auto digits = [&](size_t n, bool zeros = false) {
        std::string d;
        for (size_t i = 0; i < n; ++i) d += zeros ? '0' : static_cast<char>('0' + random() % 10);
        return d;
    };
    auto some = [&](size_t most) { return static_cast<size_t>(random() % (most + 1)); };
    std::vector<std::string> texts = {
        "0." + std::string(400, '0') + "1",
        "1" + std::string(400, '0') + "e-5",
        std::string(400, '0') + "1e-5",
        "0." + std::string(400, '0') + "1e700",
        "1" + std::string(600, '0') + "e-600",
        "2.4703282292062327e-324",
        "2.4703282292062328e-324",
        "1.7976931348623158e308",
        "1.7976931348623159e308",
        "-0",
        "0e999999999999999999999",
    };
    for (int i = 0; i < 3000; ++i) {
        std::string t = std::string(some(2), ' ') + std::string(random() % 4 == 0, '\t');
        if (random() % 2) t += "+-"[random() % 2];
        t += digits(random() % 4 == 0 ? some(400) : 0, true);
        t += digits(random() % 8 == 0 ? some(800) : some(20));
        if (random() % 2) {
            t += '.';
            t += digits(random() % 4 == 0 ? some(400) : 0, true);
            t += digits(random() % 8 == 0 ? some(800) : some(20));
        }
        if (random() % 2) {
            t += "eE"[random() % 2];
            if (random() % 2) t += "+-"[random() % 2];
            t += digits(random() % 8 == 0 ? some(30) : 0, true);
            t += digits(some(4));
        }
        t += std::string(some(2), "#,;.eE+- "[random() % 9]);
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        const double ours = ParseDecimalPrefix(t);
        const double theirs = std::strtod(t.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0)
            << t << " gives " << ours << ", strtod " << theirs;
    }
}

TEST_F(NumberConversion, ToByteTakesTheLowEightBits) {
    auto byte = [](ArgRecord v) { return static_cast<int>(Call(ToByte, {v}).AsByte()); };
    EXPECT_EQ(byte(Text("300")), 44);
    EXPECT_EQ(byte(Text(Gbk("２５５"))), 255);
    EXPECT_EQ(byte(Text("-1")), 255);
    EXPECT_EQ(byte(Text("  12x")), 12);
    EXPECT_EQ(byte(Text("99999999999")), 255);  // saturates like atoi, low byte of INT32_MAX
    EXPECT_EQ(byte(Int(0x1234)), 0x34);
    EXPECT_EQ(byte(Double(257.9)), 1);
    EXPECT_EQ(byte(Double(-1.5)), 255);
    EXPECT_EQ(byte(Double(std::numeric_limits<double>::quiet_NaN())), 0);
    EXPECT_EQ(byte(Double(1e300)), 255);
    EXPECT_EQ(byte(Bool(true)), 1);
    EXPECT_EQ(byte(Omitted()), 0);
}

TEST_F(TextConversion, ToTextForEveryType) {
    auto text = [](ArgRecord v) { return CallText(ToText, {v}); };
    EXPECT_EQ(text(Int(-5)), "-5");
    EXPECT_EQ(text(Double(0.1)), "0.1");
    EXPECT_EQ(text(Double(1e20)), "1e+020");
    EXPECT_EQ(text(Double(1e15)), "1e+015");
    EXPECT_EQ(text(Double(1.5e-7)), "1.5e-007");
    EXPECT_EQ(text(Double(1e300)), "1e+300");
    EXPECT_EQ(text(Double(123456789012.5)), "123456789012.5");
    EXPECT_EQ(text(Double(1.0 / 3)), "0.3333333333333");
    ArgRecord f;
    f.SetFloat(0.1f);
    EXPECT_EQ(text(f), "0.1");
    f.SetFloat(3.14159274f);
    EXPECT_EQ(text(f), "3.14159");
    f.SetFloat(2.5e10f);
    EXPECT_EQ(text(f), "2.5e+010");
    // An exact half at the sixth digit rounds away from zero, where "%.6g"
    // alone would round to even.
    f.SetFloat(1234565.0f);
    EXPECT_EQ(text(f), "1.23457e+006");
    f.SetFloat(-1234565.0f);
    EXPECT_EQ(text(f), "-1.23457e+006");
    ArgRecord b;
    b.SetByte(200);
    EXPECT_EQ(text(b), "200");
    ArgRecord l;
    l.SetLong(INT64_MIN);
    EXPECT_EQ(text(l), "-9223372036854775808");
    EXPECT_EQ(text(Bool(true)), Gbk("真"));
    EXPECT_EQ(text(Bool(false)), Gbk("假"));
    ArgRecord dt;
    dt.SetDateTime(JoinDateTime({2024, 3, 5, 14, 30, 0}));
    EXPECT_EQ(text(dt), Gbk("2024年3月5日14时30分"));
    dt.SetDateTime(JoinDateTime({2024, 3, 5, 0, 0, 0}));
    EXPECT_EQ(text(dt), Gbk("2024年3月5日"));
    dt.SetDateTime(3000000);
    EXPECT_EQ(text(dt), Gbk("9999年12月31日"));
    EXPECT_EQ(text(Text("copy")), "copy");

    uint8_t raw[] = {'A', 'B', 0, 'C'};
    uint8_t* set = MakeByteSet(raw, sizeof raw);
    EXPECT_EQ(text(ArgRecord::ByteSet(set)), "AB");
    MemFree(set);
    const int32_t dims[] = {2};
    void* ints = AllocArray(kTypeInt, dims);
    static_cast<int32_t*>(ArrayData(ints))[0] = 0x44434241;  // "ABCD"
    static_cast<int32_t*>(ArrayData(ints))[1] = 0x00004645;  // "EF" then zeros
    ArgRecord arr;
    arr.SetArray(ints, kTypeInt);
    EXPECT_EQ(text(arr), "ABCDEF");
    MemFree(ints);
    void* texts = AllocArray(kTypeText, dims);
    arr.SetArray(texts, kTypeText);
    EXPECT_EQ(Call(ToText, {arr}).AsText(), nullptr);
    FreeArray(kTypeText, texts);
    EXPECT_EQ(Call(ToText, {Omitted()}).AsText(), nullptr);
}

TEST_F(TextConversion, ToHexText) {
    EXPECT_EQ(CallText(ToHexText, {Int(255)}), "FF");
    EXPECT_EQ(CallText(ToHexText, {Int(-1)}), "FFFFFFFF");
    EXPECT_EQ(CallText(ToHexText, {Int(0)}), "0");
    EXPECT_EQ(CallText(ToHexText, {Int(0x1A2b3C)}), "1A2B3C");
}

TEST_F(TextConversion, FormatNumber) {
    struct Case {
        double value;
        ArgRecord places, separators;
        const char* expected;
    } cases[] = {
        {1234567.891, Int(2), Bool(true), "1,234,567.89"},
        {5, Int(2), Omitted(), "5.00"},
        {-123, Omitted(), Bool(true), "-123"},
        {-1234.5, Int(1), Bool(true), "-1,234.5"},
        {2.675, Int(2), Omitted(), "2.68"},  // 1e-12 lifts the binary 2.67499...
        {-2.5, Int(0), Omitted(), "-3"},     // halves round away from zero
        {1234.5678, Int(-2), Omitted(), "1200"},
        {0.125, Int(5), Omitted(), "0.12500"},
        {1.23456, Int(2), Int(2), "1.23"},  // only the value 1 switches separators on
        {123456, Omitted(), Int(1), "123,456"},
        {1e20, Int(2), Bool(true), "1e+020"},  // an exponent form is left alone
        {0, Int(3), Omitted(), "0.000"},
        {1e300, Int(2), Omitted(), "1e+300"},  // never overflows while rounding
        {0.3333333333333333, Omitted(), Omitted(), "0.3333333333333"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CallText(FormatNumberCommand, {Double(c.value), c.places, c.separators}),
                  c.expected)
            << c.value;
    }
    // An absurd number of places is padded only as far as a double can mean.
    std::string wide = CallText(FormatNumberCommand, {Double(1), Int(2000000000), Omitted()});
    EXPECT_LT(wide.size(), 400u);
    EXPECT_EQ(wide.substr(0, 4), "1.00");
}

TEST_F(TextConversion, AmountTextInBothTables) {
    struct Case {
        double value;
        const char* expected;  // UTF-8, compared as GBK
    } formal[] = {
        {1234.56, "壹仟贰佰叁拾肆元伍角陆分"},
        {100, "壹佰元整"},
        {1005, "壹仟零伍元整"},
        {100000, "壹拾万元整"},
        {0.5, "伍角整"},
        {-2, "负贰元整"},
        {0.004, "零"},
        {-0.004, "零"},
        {1e13, "溢出"},
        {-1e13, "溢出"},
        {10.05, "壹拾元零伍分"},
        {100000000, "壹亿元整"},
        {1000000000000, "壹万亿元整"},
        {100010000, "壹亿零壹万元整"},
        {20000001, "贰仟万零壹元整"},
        {0.01, "壹分"},
        {9999999999999.99, "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
    };
    for (const auto& c : formal) {
        EXPECT_EQ(CallText(ToAmountText, {Double(c.value), Omitted()}), Gbk(c.expected)) << c.value;
    }
    EXPECT_EQ(CallText(ToAmountText, {Double(1234.56), Bool(true)}),
              Gbk("一千二百三十四元五角六分"));
    EXPECT_EQ(CallText(ToAmountText, {Double(0), Bool(true)}), Gbk("零"));
    EXPECT_EQ(CallText(ToAmountText, {Double(std::numeric_limits<double>::quiet_NaN())}),
              Gbk("溢出"));
}

TEST_F(ByteSets, ToBytesOfEveryKind) {
    auto bytes = [](ArgRecord v) { return TakeBytes(Call(ToBytes, {v})); };
    EXPECT_EQ(bytes(Text("AB")), "AB");
    EXPECT_EQ(Call(ToBytes, {Text("")}).AsByteSet(), nullptr);
    EXPECT_EQ(bytes(Int(0x04030201)), std::string("\x01\x02\x03\x04", 4));
    ArgRecord s;
    s.SetShort(-2);
    EXPECT_EQ(bytes(s), "\xFE\xFF");
    ArgRecord b;
    b.SetByte(7);
    EXPECT_EQ(bytes(b), "\x07");
    ArgRecord l;
    l.SetLong(1);
    EXPECT_EQ(bytes(l), std::string("\x01\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(bytes(Double(1.0)), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
    ArgRecord f;
    f.SetFloat(1.0f);
    EXPECT_EQ(bytes(f), std::string("\0\0\x80\x3F", 4));
    EXPECT_EQ(bytes(Bool(true)), std::string("\x01\0\0\0", 4));
    ArgRecord dt;
    dt.SetDateTime(2.0);
    EXPECT_EQ(bytes(dt).size(), 8u);

    uint8_t raw[] = {0, 1, 2};
    uint8_t* set = MakeByteSet(raw, 3);
    EXPECT_EQ(bytes(ArgRecord::ByteSet(set)), std::string("\0\1\2", 3));
    MemFree(set);
    const int32_t dims[] = {2, 2};
    void* shorts = AllocArray(kTypeShort, dims);
    for (int i = 0; i < 4; ++i)
        static_cast<int16_t*>(ArrayData(shorts))[i] = static_cast<int16_t>(i + 1);
    ArgRecord arr;
    arr.SetArray(shorts, kTypeShort);
    EXPECT_EQ(bytes(arr), std::string("\1\0\2\0\3\0\4\0", 8));
    MemFree(shorts);
    arr.SetArray(nullptr, kTypeShort);
    EXPECT_EQ(Call(ToBytes, {arr}).AsByteSet(), nullptr);
    ArgRecord library_type;
    library_type.SetPtr(&arr, kTypeUnlNum);
    EXPECT_EQ(Call(ToBytes, {library_type}).AsByteSet(), nullptr);
}

TEST_F(ByteSets, LengthAndRightBytes) {
    uint8_t raw[] = {1, 2, 3, 4};
    uint8_t* set = MakeByteSet(raw, 4);
    ArgRecord arg = ArgRecord::ByteSet(set);
    EXPECT_EQ(Call(BytesLength, {arg}).AsInt(), 4);
    EXPECT_EQ(Call(BytesLength, {ArgRecord::ByteSet(nullptr)}).AsInt(), 0);
    EXPECT_EQ(TakeBytes(Call(RightBytes, {arg, Int(2)})), "\x03\x04");
    EXPECT_EQ(TakeBytes(Call(RightBytes, {arg, Int(10)})), "\x01\x02\x03\x04");
    EXPECT_EQ(Call(RightBytes, {arg, Int(0)}).AsByteSet(), nullptr);
    EXPECT_EQ(Call(RightBytes, {arg, Int(-1)}).AsByteSet(), nullptr);
    EXPECT_EQ(Call(RightBytes, {ArgRecord::ByteSet(nullptr), Int(3)}).AsByteSet(), nullptr);
    MemFree(set);
}

}  // namespace
}  // namespace kesu::commands
