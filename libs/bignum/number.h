#pragma once

// Signed decimal numbers of unlimited length with an exact fraction part.
//
// A number is kept as groups of nine decimal digits (base 1000000000): the
// integer groups least significant first, the fraction groups most significant
// first, so that the first fraction group holds the nine digits right after the
// point. How many fraction groups a number carries is part of its identity
// (0.5 x 0.5 carries two of them, 2.5 x 2 one), while its value ignores them.
// Every operation here is pure: it reads its operands and builds a new number.
// Allocation failures surface as std::bad_alloc, which the command layer turns
// into a cell without a number.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::bignum {

inline constexpr uint32_t kGroupBase = 1000000000;
inline constexpr int kGroupDigits = 9;
// The most digits a scaled dividend of Divide may have; more fails like an
// allocation (std::bad_alloc).
inline constexpr int64_t kMaxDivisionDigits = 1000000;

namespace detail {
// How many more group allocations of the calling thread may succeed before
// each further one fails; negative (as it starts) for no failures. Only tests
// set it, to prove that every operation survives running out of memory
// part-way. Per thread, so that a test's failures reach no other thread.
extern thread_local int64_t allocationsUntilFailure;
// Returns true when the next group allocation must fail, counting it down.
bool ShouldFailAllocation();
}  // namespace detail

// The allocator of every digit-group container. It behaves like the standard
// allocator except that tests can make it fail on demand.
template <class T>
struct GroupAllocator {
    using value_type = T;
    GroupAllocator() = default;
    template <class U>
    GroupAllocator(const GroupAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (detail::ShouldFailAllocation()) throw std::bad_alloc();
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) { std::allocator<T>().deallocate(p, n); }
    friend bool operator==(const GroupAllocator&, const GroupAllocator&) { return true; }
};

using Groups = std::vector<uint32_t, GroupAllocator<uint32_t>>;

struct Number {
    bool negative = false;
    Groups integer{0};  // least significant first; never empty
    Groups fraction;    // most significant first

    bool IsZero() const;
    // Exactly the same sign and the same groups, fraction group count included.
    bool SameAs(const Number& other) const;
};

// Parses the library's text form: an optional "-", digits, at most one ".",
// more digits. Returns nothing for anything else.
std::optional<Number> Parse(std::string_view text);

// The decimal text of a number: a "-" for negative numbers (also for a
// negative zero), trailing fraction zeros and a bare "." removed.
std::string ToText(const Number& n);

Number FromInt32(int32_t value);
Number FromInt64(int64_t value);
// Goes through the "%.13g" text, so magnitudes that print with an exponent
// (1e13 and above, below 1e-4) and non-finite values give nothing.
std::optional<Number> FromDouble(double value);

// Succeeds only for a number without fraction groups whose value fits.
std::optional<int32_t> ToInt32(const Number& n);

// Negative, zero or positive as a's value is below, equal to or above b's.
int Compare(const Number& a, const Number& b);

Number IntegerPart(const Number& n);
Number Add(const Number& a, const Number& b);
Number Multiply(const Number& a, const Number& b);
// The quotient truncated toward zero with at least `places` decimal places;
// division by zero gives 0. Throws std::bad_alloc when the scaled dividend
// would exceed kMaxDivisionDigits.
Number Divide(const Number& a, const Number& b, int32_t places);
// a - b * trunc(a / b); Mod(a, 0) is a.
Number Mod(const Number& a, const Number& b);

}  // namespace kesu::bignum
