#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace kesu::platform::qt {

// Ascending positions (where the rows of a view start) in four bytes each: every block of
// positions has a full base, and each position is held as its distance from it. A day's
// capture has tens of millions of rows, so this halves what the row tables cost. A distance
// that does not fit (a row of more than 4 GiB) is kept aside, whole.
class RowPositions {
  public:
    RowPositions() { Reset(); }

    // Holds only position 0.
    void Reset() {
        bases_.assign(1, 0);
        offsets_.assign(1, 0);
        far_.clear();
    }

    std::size_t size() const { return offsets_.size(); }
    std::size_t operator[](std::size_t i) const {
        const std::uint32_t d = offsets_[i];
        return d != kFar ? bases_[i >> kShift] + d : far_.at(i);
    }
    std::size_t back() const { return (*this)[size() - 1]; }

    // `p` is not below the last position.
    void push_back(std::size_t p) {
        const std::size_t i = offsets_.size();
        if ((i & kMask) == 0) bases_.push_back(p);
        const std::size_t d = p - bases_[i >> kShift];
        if (d < kFar) {
            offsets_.push_back(static_cast<std::uint32_t>(d));
        } else {
            offsets_.push_back(kFar);
            far_[i] = p;
        }
    }

    // Keeps the first `n` positions (at least one).
    void resize(std::size_t n) {
        n = std::clamp<std::size_t>(n, 1, size());
        offsets_.resize(n);
        bases_.resize(((n - 1) >> kShift) + 1);
        far_.erase(far_.lower_bound(n), far_.end());
    }

    // The index of the last position not above `p` (the first, 0, is never above).
    std::size_t LastAtOrBefore(std::size_t p) const {
        const auto block = static_cast<std::size_t>(
            std::upper_bound(bases_.begin() + 1, bases_.end(), p) - bases_.begin() - 1);
        std::size_t lo = block << kShift;  // (*this)[lo] <= p
        std::size_t hi = std::min(size(), (block + 1) << kShift);
        while (hi - lo > 1) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if ((*this)[mid] <= p) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        return lo;
    }

  private:
    static constexpr unsigned kShift = 10;
    static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
    static constexpr std::uint32_t kFar = UINT32_MAX;

    std::vector<std::size_t> bases_;  // bases_[k]: the position at index k << kShift
    std::vector<std::uint32_t> offsets_;
    std::map<std::size_t, std::size_t> far_;
};

}  // namespace kesu::platform::qt
