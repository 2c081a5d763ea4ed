#include "libs/bignum/number.h"

#include <gtest/gtest.h>

#include "tests/libs/bignum/allocation_failure.h"

namespace kesu::bignum {
namespace {

Number N(std::string_view text) {
    auto n = Parse(text);
    EXPECT_TRUE(n.has_value()) << text;
    return n.value_or(Number());
}

TEST(BignumParse, AcceptsTheTextFormAndRefusesEverythingElse) {
    for (const char* good : {"0", "12", "-12", "-0.5", "0.5", "5.",
                             "123456789012345678901234567890", "-1.000000000", "007", ".5"}) {
        EXPECT_TRUE(Parse(good).has_value()) << good;
    }
    for (const char* bad : {"", "-", "-0", "-05", "-0.", "1e5", " 1", "1 ", "1..2", "1.2.3", "--1",
                            "1-", "+1", "0x10", "abc", "-.5"}) {
        EXPECT_FALSE(Parse(bad).has_value()) << bad;
    }
}

TEST(BignumParse, CutsGroupsOfNineFromThePoint) {
    Number n = N("1234567890.1234567891");
    ASSERT_EQ(n.integer.size(), 2u);
    EXPECT_EQ(n.integer[0], 234567890u);
    EXPECT_EQ(n.integer[1], 1u);
    ASSERT_EQ(n.fraction.size(), 2u);
    EXPECT_EQ(n.fraction[0], 123456789u);
    EXPECT_EQ(n.fraction[1], 100000000u);  // padded on the right
    EXPECT_TRUE(N("5.").fraction.empty());
    EXPECT_EQ(N("000000000000000007").integer.size(), 1u);
}

TEST(BignumText, PrintsGroupsAndTrimsOnlyFractionZeros) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"12.5", "12.5"},
        {"0.000000000", "0"},
        {"-0.0", "-0"},
        {"100", "100"},
        {"1000000000", "1000000000"},
        {"3.330000000", "3.33"},
        {"-12.050", "-12.05"},
        {"1000000000.000000001", "1000000000.000000001"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToText(N(c.in)), c.out) << c.in;
}

TEST(BignumConvert, IntegersAndDoubles) {
    EXPECT_EQ(ToText(FromInt32(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(FromInt32(1000000000).integer.size(), 2u);
    EXPECT_EQ(ToText(FromInt64(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(ToText(*FromDouble(123456789012.5)), "123456789012.5");
    EXPECT_EQ(ToText(*FromDouble(0.0001)), "0.0001");
    EXPECT_FALSE(FromDouble(1e13).has_value());
    EXPECT_FALSE(FromDouble(1e-5).has_value());
    EXPECT_FALSE(FromDouble(-0.0).has_value());  // "%.13g" writes "-0"
    EXPECT_FALSE(FromDouble(std::numeric_limits<double>::quiet_NaN()).has_value());
    EXPECT_EQ(ToInt32(N("-2147483648")), -2147483647 - 1);
    EXPECT_EQ(ToInt32(N("2147483647")), 2147483647);
    EXPECT_FALSE(ToInt32(N("2147483648")).has_value());
    EXPECT_FALSE(ToInt32(N("5.0")).has_value());
    EXPECT_FALSE(ToInt32(N("99999999999999999999")).has_value());
}

TEST(BignumCompare, ByValueWithMissingGroupsAsZero) {
    EXPECT_LT(Compare(N("-5"), N("-3")), 0);
    EXPECT_GT(Compare(N("1"), N("0.5")), 0);
    EXPECT_EQ(Compare(N("1.000000000"), N("1")), 0);
    EXPECT_EQ(Compare(N("-0.0"), N("0")), 0);
    EXPECT_LT(Compare(N("-0.5"), N("0")), 0);
    EXPECT_GT(Compare(N("1000000000"), N("999999999.999")), 0);
    EXPECT_LT(Compare(N("0.000000000000000001"), N("0.000000000000000002")), 0);
}

struct BinaryCase {
    const char* a;
    const char* b;
    const char* expected;
};

TEST(BignumArithmetic, Add) {
    BinaryCase cases[] = {
        {"999999999", "1", "1000000000"},
        {"5", "-8", "-3"},
        {"-5", "5", "0"},
        {"0.999999999", "0.000000001", "1"},
        {"-1.5", "-2.75", "-4.25"},
        {"1000000000", "-0.000000001", "999999999.999999999"},
        {"123456789123456789.5", "-123456789123456789", "0.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToText(Add(N(c.a), N(c.b))), c.expected) << c.a << "+" << c.b;
    EXPECT_EQ(Add(N("999999999"), N("1")).integer.size(), 2u);
    // Equal magnitudes of opposite sign give a plain zero without fraction groups.
    EXPECT_TRUE(Add(N("-2.5"), N("2.5")).fraction.empty());
}

TEST(BignumArithmetic, MultiplyKeepsFractionGroupsAsIdentity) {
    Number quarter = Multiply(N("0.5"), N("0.5"));
    EXPECT_EQ(ToText(quarter), "0.25");
    EXPECT_EQ(quarter.fraction.size(), 2u);
    Number five = Multiply(N("2.5"), N("2"));
    EXPECT_EQ(ToText(five), "5");
    EXPECT_EQ(five.fraction.size(), 1u);
    EXPECT_FALSE(ToInt32(five).has_value());
    EXPECT_EQ(ToInt32(IntegerPart(five)), 5);
    BinaryCase cases[] = {
        {"2", "3", "6"},
        {"-1", "7.25", "-7.25"},
        {"123456789", "1000000000", "123456789000000000"},
        {"0", "-5", "0"},
        {"0.000000000000000001", "0.5", "0.0000000000000000005"},
        {"999999999999999999", "999999999999999999", "999999999999999998000000000000000001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToText(Multiply(N(c.a), N(c.b))), c.expected) << c.a << "*" << c.b;
    }
    // Multiplying by one copies the other operand, fraction groups included.
    EXPECT_EQ(Multiply(N("1.000000000"), N("3")).fraction.size(), 0u);
    EXPECT_EQ(Multiply(N("-1"), N("3.000000000000000000")).fraction.size(), 2u);
}

TEST(BignumArithmetic, DivideTruncatesAndPlacesThePoint) {
    struct Case {
        const char* a;
        const char* b;
        int places;
        const char* expected;
    } cases[] = {
        {"10", "3", 2, "3.33"},  {"10", "3", 0, "3"},      {"1", "8", 2, "0.12"},
        {"9", "10", 0, "0.9"},   {"5", "0", 2, "0"},       {"0", "5", 2, "0"},
        {"-7", "2", 0, "-3"},    {"7", "-2", 1, "-3.5"},   {"1", "3", 12, "0.333333333333"},
        {"7.5", "2.5", 0, "3"},  {"1", "0.3", 3, "3.333"}, {"2.5", "1", 0, "2.5"},
        {"-1", "3000", 0, "-0"}, {"100", "7", -3, "14"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToText(Divide(N(c.a), N(c.b), c.places)), c.expected)
            << c.a << "/" << c.b << " places " << c.places;
    }
    Number one = Divide(N("4.5"), N("4.5"), 10);
    EXPECT_EQ(ToText(one), "1");
    EXPECT_EQ(one.fraction.size(), 2u);
    EXPECT_EQ(Divide(N("10"), N("3"), 2).fraction.size(), 1u);
    // -4.5 and 4.5 are not the same number, so the quotient is computed.
    EXPECT_EQ(ToText(Divide(N("-4.5"), N("4.5"), 0)), "-1");
}

TEST(BignumArithmetic, ModTakesTheSignOfTheDividend) {
    BinaryCase cases[] = {
        {"17", "5", "2"},    {"-17", "5", "-2"}, {"17", "0", "17"},       {"17", "-5", "2"},
        {"7.5", "2", "1.5"}, {"5", "17", "5"},   {"-0.5", "0.2", "-0.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToText(Mod(N(c.a), N(c.b))), c.expected) << c.a << "%" << c.b;
}

TEST(BignumArithmetic, IntegerPartTruncatesTowardZero) {
    EXPECT_EQ(ToText(IntegerPart(N("-0.5"))), "-0");
    EXPECT_EQ(ToText(IntegerPart(N("12345678901.99"))), "12345678901");
    EXPECT_TRUE(IntegerPart(N("3.25")).fraction.empty());
}

// Every operation must either finish or throw std::bad_alloc with nothing
// leaked, whichever allocation fails; LeakSanitizer checks the second half.
TEST(BignumArithmetic, SurvivesAllocationFailureAtEveryStep) {
    Number a = N("-123456789123456789123.456789123456789");
    Number b = N("987654321.000000000123");
    const std::string sum = ToText(Add(a, b));
    const std::string product = ToText(Multiply(a, b));
    const std::string quotient = ToText(Divide(a, b, 20));
    const std::string rest = ToText(Mod(a, b));
    int completed = 0;
    for (int64_t budget = 0; budget < 200; ++budget) {
        testing::FailAllocationsAfter(budget);
        try {
            Number s = Add(a, b);
            Number p = Multiply(a, b);
            Number q = Divide(a, b, 20);
            Number r = Mod(a, b);
            testing::FailAllocationsAfter(-1);
            EXPECT_EQ(ToText(s), sum);
            EXPECT_EQ(ToText(p), product);
            EXPECT_EQ(ToText(q), quotient);
            EXPECT_EQ(ToText(r), rest);
            ++completed;
        } catch (const std::bad_alloc&) {
            testing::FailAllocationsAfter(-1);
        }
    }
    testing::FailAllocationsAfter(-1);
    EXPECT_GT(completed, 0);
    EXPECT_LT(completed, 200);
}

}  // namespace
}  // namespace kesu::bignum
