// Checks the big-number arithmetic against GMP's exact rationals on many
// seeded random operands.

#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "libs/bignum/number.h"

namespace kesu::bignum {
namespace {

// A GMP rational that cleans up after itself.
struct Rational {
    mpq_t q;
    Rational() { mpq_init(q); }
    explicit Rational(std::string_view decimal) : Rational() { Set(decimal); }
    ~Rational() { mpq_clear(q); }
    Rational(const Rational&) = delete;
    Rational& operator=(const Rational&) = delete;

    // Reads a decimal text with an optional sign and point.
    void Set(std::string_view decimal) {
        bool negative = !decimal.empty() && decimal[0] == '-';
        if (negative) decimal.remove_prefix(1);
        std::string digits;
        size_t places = 0;
        size_t point = decimal.find('.');
        if (point == std::string_view::npos) {
            digits = std::string(decimal);
        } else {
            digits = std::string(decimal.substr(0, point)) + std::string(decimal.substr(point + 1));
            places = decimal.size() - point - 1;
        }
        if (digits.empty()) digits = "0";
        std::string fraction = (negative ? "-" : "") + digits + "/1" + std::string(places, '0');
        ASSERT_EQ(mpq_set_str(q, fraction.c_str(), 10), 0) << fraction;
        mpq_canonicalize(q);
    }
};

// trunc(x * 10^places) as an integer text, toward zero.
std::string TruncatedScaled(const mpq_t x, int places) {
    mpz_t scale, num, quotient;
    mpz_inits(scale, num, quotient, nullptr);
    mpz_ui_pow_ui(scale, 10, static_cast<unsigned long>(places));
    mpz_mul(num, mpq_numref(x), scale);
    mpz_tdiv_q(quotient, num, mpq_denref(x));
    char* text = mpz_get_str(nullptr, 10, quotient);
    std::string result(text);
    void (*free_fn)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &free_fn);
    free_fn(text, std::strlen(text) + 1);
    mpz_clears(scale, num, quotient, nullptr);
    return result;
}

class OperandGenerator {
  public:
    explicit OperandGenerator(uint64_t seed) : rng_(seed) {}

    std::string Next() {
        int kind = Uniform(0, 19);
        if (kind == 0) return "0";
        if (kind == 1) return Uniform(0, 1) ? "1" : "-1";
        int int_digits = Uniform(0, 40);
        int frac_digits = Uniform(0, 20);
        if (Uniform(0, 3) == 0) frac_digits = 0;
        std::string text;
        for (int i = 0; i < int_digits; ++i)
            text += static_cast<char>('0' + Uniform(i == 0 ? 1 : 0, 9));
        if (text.empty()) text = "0";
        if (frac_digits > 0) {
            text += '.';
            for (int i = 0; i < frac_digits; ++i) text += static_cast<char>('0' + Uniform(0, 9));
        }
        // "-0.000" is not a valid text; keep negative zeros out of the operands.
        bool all_zero = text.find_first_not_of("0.") == std::string::npos;
        if (!all_zero && Uniform(0, 1)) text.insert(0, 1, '-');
        return text;
    }

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  private:
    std::mt19937_64 rng_;
};

void ExpectSameValue(const Number& actual, const mpq_t expected, const std::string& context) {
    Rational got(ToText(actual));
    EXPECT_TRUE(mpq_equal(got.q, expected)) << context << " gave " << ToText(actual);
}

TEST(BignumDifferential, ArithmeticMatchesExactRationals) {
    OperandGenerator gen(20261207);
    Rational expected;
    for (int i = 0; i < 20000; ++i) {
        std::string ta = gen.Next();
        std::string tb = gen.Uniform(0, 9) ? gen.Next() : ta;  // sometimes equal operands
        Number a = *Parse(ta);
        Number b = *Parse(tb);
        Rational qa(ta), qb(tb);
        std::string context = ta + " , " + tb;

        mpq_add(expected.q, qa.q, qb.q);
        ExpectSameValue(Add(a, b), expected.q, "add " + context);

        mpq_mul(expected.q, qa.q, qb.q);
        ExpectSameValue(Multiply(a, b), expected.q, "multiply " + context);

        int places = gen.Uniform(0, 25);
        Number quotient = Divide(a, b, places);
        if (mpq_sgn(qb.q) == 0) {
            EXPECT_TRUE(quotient.IsZero()) << "divide " << context;
        } else {
            mpq_div(expected.q, qa.q, qb.q);
            Rational got(ToText(quotient));
            EXPECT_EQ(TruncatedScaled(got.q, places), TruncatedScaled(expected.q, places))
                << "divide " << context << " places " << places << " gave " << ToText(quotient);
            // The quotient itself is truncated, never rounded: |quotient| <= |a/b|.
            mpq_abs(got.q, got.q);
            mpq_abs(expected.q, expected.q);
            EXPECT_LE(mpq_cmp(got.q, expected.q), 0) << "divide " << context;
        }

        // a - b * trunc(a / b), and a itself when b is 0.
        if (mpq_sgn(qb.q) == 0) {
            mpq_set(expected.q, qa.q);
        } else {
            mpq_div(expected.q, qa.q, qb.q);
            Rational truncated(TruncatedScaled(expected.q, 0));
            mpq_mul(expected.q, truncated.q, qb.q);
            mpq_sub(expected.q, qa.q, expected.q);
        }
        ExpectSameValue(Mod(a, b), expected.q, "mod " + context);

        EXPECT_EQ(Compare(a, b) > 0, mpq_cmp(qa.q, qb.q) > 0) << "compare " << context;
        if (HasFailure()) break;
    }
}

TEST(BignumDifferential, TextAndDoubleRoundTrips) {
    OperandGenerator gen(77);
    for (int i = 0; i < 20000; ++i) {
        std::string text = gen.Next();
        Number n = *Parse(text);
        std::string printed = ToText(n);
        auto again = Parse(printed);
        ASSERT_TRUE(again.has_value()) << printed;
        EXPECT_EQ(Compare(*again, n), 0) << text;
        EXPECT_EQ(ToText(*again), printed);
        Rational original(text), reread(printed);
        EXPECT_TRUE(mpq_equal(original.q, reread.q)) << text << " printed as " << printed;
    }
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-4, 12);
    for (int i = 0; i < 20000; ++i) {
        double value = mantissa(rng) * std::pow(10.0, exponent(rng));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.13g", value);
        auto n = FromDouble(value);
        bool has_exponent = std::strchr(expected, 'e') != nullptr;
        ASSERT_EQ(n.has_value(), !has_exponent && std::string(expected) != "-0") << expected;
        if (n) {
            Rational want(expected);
            Rational got(ToText(*n));
            EXPECT_TRUE(mpq_equal(want.q, got.q)) << expected << " became " << ToText(*n);
        }
    }
}

}  // namespace
}  // namespace kesu::bignum
