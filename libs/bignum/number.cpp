#include "libs/bignum/number.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace kesu::bignum {

namespace {

// Drops zero groups above the highest non-zero integer group, keeping one.
void TrimIntegerTop(Groups& integer) {
    while (integer.size() > 1 && integer.back() == 0) integer.pop_back();
    if (integer.empty()) integer.push_back(0);
}

bool AllZero(const Groups& groups) {
    return std::all_of(groups.begin(), groups.end(), [](uint32_t g) { return g == 0; });
}

size_t SignificantIntegerGroups(const Groups& integer) {
    size_t n = integer.size();
    while (n > 1 && integer[n - 1] == 0) --n;
    return n;
}

// Magnitude exactly 1, whatever fraction groups (all zero) it carries.
bool IsOne(const Number& n) {
    return SignificantIntegerGroups(n.integer) == 1 && n.integer[0] == 1 && AllZero(n.fraction);
}

int CompareMagnitude(const Number& a, const Number& b) {
    size_t la = SignificantIntegerGroups(a.integer);
    size_t lb = SignificantIntegerGroups(b.integer);
    if (la != lb) return la < lb ? -1 : 1;
    for (size_t i = la; i-- > 0;) {
        if (a.integer[i] != b.integer[i]) return a.integer[i] < b.integer[i] ? -1 : 1;
    }
    size_t frac = std::max(a.fraction.size(), b.fraction.size());
    for (size_t i = 0; i < frac; ++i) {
        uint32_t ga = i < a.fraction.size() ? a.fraction[i] : 0;
        uint32_t gb = i < b.fraction.size() ? b.fraction[i] : 0;
        if (ga != gb) return ga < gb ? -1 : 1;
    }
    return 0;
}

// Lays a magnitude out as one array, least significant group first, with the
// given numbers of fraction and integer groups (missing groups are zero).
Groups Flatten(const Number& n, size_t fraction_groups, size_t integer_groups) {
    Groups flat(fraction_groups + integer_groups, 0);
    for (size_t i = 0; i < n.fraction.size(); ++i) flat[fraction_groups - 1 - i] = n.fraction[i];
    for (size_t i = 0; i < n.integer.size() && i < integer_groups; ++i) {
        flat[fraction_groups + i] = n.integer[i];
    }
    return flat;
}

// The inverse of Flatten: the lowest groups become the fraction.
Number Unflatten(const Groups& flat, size_t fraction_groups, bool negative) {
    Number result;
    result.negative = negative;
    result.fraction.assign(fraction_groups, 0);
    for (size_t i = 0; i < fraction_groups; ++i) result.fraction[i] = flat[fraction_groups - 1 - i];
    result.integer.assign(flat.begin() + static_cast<std::ptrdiff_t>(fraction_groups), flat.end());
    TrimIntegerTop(result.integer);
    return result;
}

// Both magnitudes laid out with the same group counts (the larger of each),
// so that groups at one index have the same weight; then `combine` runs over
// the pairs, lowest first, and the lowest `frac` groups become the fraction.
template <class Combine>
Number CombineMagnitudes(const Number& a, const Number& b, bool negative, Combine combine) {
    size_t frac = std::max(a.fraction.size(), b.fraction.size());
    size_t integer = std::max(a.integer.size(), b.integer.size());
    Groups x = Flatten(a, frac, integer);
    Groups y = Flatten(b, frac, integer);
    combine(x, y);
    return Unflatten(x, frac, negative);
}

Number AddMagnitudes(const Number& a, const Number& b, bool negative) {
    return CombineMagnitudes(a, b, negative, [](Groups& x, const Groups& y) {
        uint32_t carry = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            uint32_t sum = x[i] + y[i] + carry;
            carry = sum >= kGroupBase ? 1 : 0;
            x[i] = sum - carry * kGroupBase;
        }
        if (carry) x.push_back(carry);  // a carry out of the top makes a new top group
    });
}

// |big| - |small| where |big| >= |small|.
Number SubtractMagnitudes(const Number& big, const Number& small, bool negative) {
    return CombineMagnitudes(big, small, negative, [](Groups& x, const Groups& y) {
        uint32_t borrow = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            uint32_t take = y[i] + borrow;
            borrow = x[i] < take ? 1 : 0;
            x[i] = x[i] + borrow * kGroupBase - take;
        }
    });
}

// The magnitude scaled by 10^(9 * fraction groups) as decimal digits without
// leading zeros ("" for zero).
std::string ScaledDigits(const Number& n) {
    std::string digits = std::to_string(n.integer[SignificantIntegerGroups(n.integer) - 1]);
    char group[16];
    for (size_t i = SignificantIntegerGroups(n.integer) - 1; i-- > 0;) {
        std::snprintf(group, sizeof group, "%09u", n.integer[i]);
        digits += group;
    }
    for (uint32_t g : n.fraction) {
        std::snprintf(group, sizeof group, "%09u", g);
        digits += group;
    }
    size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

// Compares digit strings that have no leading zeros.
int CompareDigits(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// a -= b for digit strings without leading zeros where a >= b; the result has
// no leading zeros either ("" for zero).
void SubtractDigits(std::string& a, std::string_view b) {
    int borrow = 0;
    size_t ia = a.size(), ib = b.size();
    while (ia > 0) {
        --ia;
        int d = (a[ia] - '0') - borrow - (ib > 0 ? b[--ib] - '0' : 0);
        borrow = d < 0 ? 1 : 0;
        a[ia] = static_cast<char>('0' + d + borrow * 10);
        if (ib == 0 && borrow == 0) break;
    }
    size_t first = a.find_first_not_of('0');
    a.erase(0, first == std::string::npos ? a.size() : first);
}

std::string MultiplyDigits(std::string_view digits, int factor) {
    std::string out(digits.size() + 1, '0');
    int carry = 0;
    for (size_t i = digits.size(); i-- > 0;) {
        int v = (digits[i] - '0') * factor + carry;
        out[i + 1] = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    out[0] = static_cast<char>('0' + carry);
    size_t first = out.find_first_not_of('0');
    return first == std::string::npos ? std::string() : out.substr(first);
}

// Schoolbook long division of decimal digit strings: for every digit of the
// dividend the largest multiple of the divisor that fits is taken off the
// running remainder. Returns the truncated quotient without leading zeros.
std::string LongDivide(std::string_view dividend, std::string_view divisor) {
    std::array<std::string, 10> multiples;
    for (int d = 1; d <= 9; ++d) multiples[d] = MultiplyDigits(divisor, d);
    std::string quotient;
    quotient.reserve(dividend.size());
    std::string remainder;
    for (char c : dividend) {
        if (!remainder.empty() || c != '0') remainder.push_back(c);
        int digit = 0;
        for (int d = 9; d >= 1; --d) {
            if (CompareDigits(multiples[d], remainder) <= 0) {
                digit = d;
                break;
            }
        }
        if (digit) SubtractDigits(remainder, multiples[digit]);
        if (digit || !quotient.empty()) quotient.push_back(static_cast<char>('0' + digit));
    }
    return quotient.empty() ? std::string("0") : quotient;
}

}  // namespace

namespace detail {
thread_local int64_t allocationsUntilFailure = -1;

bool ShouldFailAllocation() {
    if (allocationsUntilFailure < 0) return false;
    if (allocationsUntilFailure == 0) return true;
    --allocationsUntilFailure;
    return false;
}
}  // namespace detail

bool Number::IsZero() const {
    return AllZero(integer) && AllZero(fraction);
}

bool Number::SameAs(const Number& other) const {
    return negative == other.negative && integer == other.integer && fraction == other.fraction;
}

std::optional<Number> Parse(std::string_view text) {
    if (text.empty()) return std::nullopt;
    Number n;
    size_t pos = 0;
    if (text[0] == '-') {
        // A negative number starts with 1 to 9, or with "0." and at least one more
        // character, so that "-0" and "-05" are refused while "-0.5" is read.
        bool leading_ok = text.size() > 1 && text[1] >= '1' && text[1] <= '9';
        bool zero_point = text.size() > 3 && text[1] == '0' && text[2] == '.';
        if (!leading_ok && !zero_point) return std::nullopt;
        n.negative = true;
        pos = 1;
    }
    size_t point = std::string_view::npos;
    for (size_t i = pos; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.') {
            if (point != std::string_view::npos) return std::nullopt;
            point = i;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    std::string_view int_digits =
        text.substr(pos, point == std::string_view::npos ? text.npos : point - pos);
    std::string_view frac_digits =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    // Leading zeros of the integer part carry no value; dropping them keeps the
    // top group significant, as every operation expects.
    size_t first = int_digits.find_first_not_of('0');
    int_digits = first == std::string_view::npos ? std::string_view() : int_digits.substr(first);

    n.integer.clear();
    for (size_t end = int_digits.size(); end > 0;) {
        size_t begin = end >= kGroupDigits ? end - kGroupDigits : 0;
        uint32_t g = 0;
        for (size_t i = begin; i < end; ++i)
            g = g * 10 + static_cast<uint32_t>(int_digits[i] - '0');
        n.integer.push_back(g);
        end = begin;
    }
    if (n.integer.empty()) n.integer.push_back(0);
    for (size_t begin = 0; begin < frac_digits.size(); begin += kGroupDigits) {
        uint32_t g = 0;
        for (size_t i = begin; i < begin + kGroupDigits; ++i) {
            g = g * 10 + (i < frac_digits.size() ? static_cast<uint32_t>(frac_digits[i] - '0') : 0);
        }
        n.fraction.push_back(g);
    }
    return n;
}

std::string ToText(const Number& n) {
    std::string text = n.negative ? "-" : "";
    size_t top = SignificantIntegerGroups(n.integer) - 1;
    text += std::to_string(n.integer[top]);
    char group[16];
    for (size_t i = top; i-- > 0;) {
        std::snprintf(group, sizeof group, "%09u", n.integer[i]);
        text += group;
    }
    if (!n.fraction.empty()) {
        text += '.';
        for (uint32_t g : n.fraction) {
            std::snprintf(group, sizeof group, "%09u", g);
            text += group;
        }
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

Number FromInt32(int32_t value) {
    Number n;
    n.negative = value < 0;
    uint64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    n.integer[0] = static_cast<uint32_t>(magnitude % kGroupBase);
    if (magnitude >= kGroupBase) n.integer.push_back(static_cast<uint32_t>(magnitude / kGroupBase));
    return n;
}

Number FromInt64(int64_t value) {
    return *Parse(std::to_string(value));
}

std::optional<Number> FromDouble(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return Parse(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

std::optional<int32_t> ToInt32(const Number& n) {
    if (!n.fraction.empty() || SignificantIntegerGroups(n.integer) > 2) return std::nullopt;
    int64_t magnitude = n.integer[0];
    if (n.integer.size() > 1) magnitude += static_cast<int64_t>(n.integer[1]) * kGroupBase;
    int64_t value = n.negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

int Compare(const Number& a, const Number& b) {
    bool a_neg = a.negative && !a.IsZero();
    bool b_neg = b.negative && !b.IsZero();
    if (a_neg != b_neg) return a_neg ? -1 : 1;
    int magnitude = CompareMagnitude(a, b);
    return a_neg ? -magnitude : magnitude;
}

Number IntegerPart(const Number& n) {
    Number result;
    result.negative = n.negative;
    result.integer = n.integer;
    return result;
}

Number Add(const Number& a, const Number& b) {
    if (a.negative == b.negative) return AddMagnitudes(a, b, a.negative);
    int c = CompareMagnitude(a, b);
    if (c == 0) return Number();
    return c > 0 ? SubtractMagnitudes(a, b, a.negative) : SubtractMagnitudes(b, a, b.negative);
}

Number Multiply(const Number& a, const Number& b) {
    if (a.IsZero() || b.IsZero()) return Number();
    bool negative = a.negative != b.negative;
    if (IsOne(a) || IsOne(b)) {
        Number copy = IsOne(a) ? b : a;
        copy.negative = negative;
        return copy;
    }
    auto layout = [](const Number& n) {
        // An integer part of 0 contributes no group; zero groups on top go.
        size_t int_groups = AllZero(n.integer) ? 0 : SignificantIntegerGroups(n.integer);
        Groups flat = Flatten(n, n.fraction.size(), int_groups);
        while (!flat.empty() && flat.back() == 0) flat.pop_back();
        return flat;
    };
    Groups x = layout(a);
    Groups y = layout(b);
    size_t frac = a.fraction.size() + b.fraction.size();
    Groups product(std::max(x.size() + y.size(), frac + 1), 0);
    for (size_t i = 0; i < x.size(); ++i) {
        uint64_t carry = 0;
        for (size_t j = 0; j < y.size(); ++j) {
            uint64_t cur = product[i + j] + static_cast<uint64_t>(x[i]) * y[j] + carry;
            product[i + j] = static_cast<uint32_t>(cur % kGroupBase);
            carry = cur / kGroupBase;
        }
        for (size_t k = i + y.size(); carry; ++k) {
            uint64_t cur = product[k] + carry;
            product[k] = static_cast<uint32_t>(cur % kGroupBase);
            carry = cur / kGroupBase;
        }
    }
    return Unflatten(product, frac, negative);
}

Number Divide(const Number& a, const Number& b, int32_t places) {
    if (a.IsZero() || b.IsZero()) return Number();
    bool negative = a.negative != b.negative;
    if (IsOne(b)) {
        Number copy = a;
        copy.negative = negative;
        return copy;
    }
    if (a.SameAs(b)) {
        Number one;
        one.integer[0] = 1;
        one.fraction.assign(places > 0 ? (static_cast<size_t>(places) + 8) / 9 : 0, 0);
        return one;
    }
    int64_t fa = static_cast<int64_t>(a.fraction.size());
    int64_t fb = static_cast<int64_t>(b.fraction.size());
    std::string dividend = ScaledDigits(a);
    std::string divisor = ScaledDigits(b);
    int64_t scale = fa > fb ? 9 * (fa - fb) : 0;
    int64_t raised = places > scale ? places - scale : 0;
    scale += raised;
    int64_t padding = (fb > fa ? 9 * (fb - fa) : 0) + raised;
    // Long division takes time quadratic in the digits; a request for
    // millions of places would run for hours. It is refused like a quotient
    // too large for memory.
    if (static_cast<int64_t>(dividend.size()) + padding > kMaxDivisionDigits)
        throw std::bad_alloc();
    dividend.append(static_cast<size_t>(padding), '0');
    if (dividend.size() < divisor.size()) {
        scale += static_cast<int64_t>(divisor.size() - dividend.size());
        dividend.resize(divisor.size(), '0');
    }
    std::string quotient = LongDivide(dividend, divisor);
    Number result;
    if (quotient != "0") {
        // Q x 10^-scale: put the point `scale` digits from the right.
        if (static_cast<int64_t>(quotient.size()) <= scale) {
            quotient.insert(0, static_cast<size_t>(scale) - quotient.size() + 1, '0');
        }
        if (scale > 0) quotient.insert(quotient.size() - static_cast<size_t>(scale), 1, '.');
        result = *Parse(quotient);
    }
    result.negative = negative;
    return result;
}

Number Mod(const Number& a, const Number& b) {
    Number q = Divide(a, b, 0);
    q.fraction.clear();
    Number product = Multiply(q, b);
    product.negative = !product.negative;
    return Add(a, product);
}

}  // namespace kesu::bignum
