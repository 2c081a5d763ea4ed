#pragma once

// The item list of a combo box, shared by the backends so that sorted
// insertion, item data and the current selection behave the same on both.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::platform {

class ComboItems {
  public:
    explicit ComboItems(bool sorted) : sorted_(sorted) {}

    // Inserts the item at the end, or after every item that sorts before or
    // equal to it (case-insensitive for ASCII letters, byte order otherwise)
    // in a sorted list. Returns its index; the current selection follows its
    // item.
    int Add(std::string_view text);
    void Clear();

    int Count() const { return static_cast<int>(items_.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    // Empty when out of range.
    std::string Text(int index) const;
    void SetData(int index, std::uint32_t data);
    std::uint32_t Data(int index) const;
    void SetTip(int index, std::string_view tip);
    std::string Tip(int index) const;  // empty when out of range or none

    // An index out of range clears the selection.
    void SetCurrent(int index) { current_ = Valid(index) ? index : -1; }
    int Current() const { return current_; }

    // Ordering used for sorted lists; negative, zero or positive.
    static int Compare(std::string_view a, std::string_view b);

  private:
    struct Item {
        std::string text;
        std::uint32_t data = 0;
        std::string tip;
    };
    bool sorted_;
    std::vector<Item> items_;
    int current_ = -1;
};

}  // namespace kesu::platform
