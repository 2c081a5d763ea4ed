#include "platform/combo_items.h"

#include <algorithm>

namespace kesu::platform {

int ComboItems::Compare(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int ComboItems::Add(std::string_view text) {
    std::size_t at = items_.size();
    if (sorted_) {
        auto it = std::upper_bound(
            items_.begin(), items_.end(), text,
            [](std::string_view t, const Item& item) { return Compare(t, item.text) < 0; });
        at = static_cast<std::size_t>(it - items_.begin());
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Item{std::string(text), 0, {}});
    int index = static_cast<int>(at);
    if (current_ >= index) ++current_;
    return index;
}

void ComboItems::Clear() {
    items_.clear();
    current_ = -1;
}

std::string ComboItems::Text(int index) const {
    return Valid(index) ? items_[index].text : "";
}

void ComboItems::SetData(int index, std::uint32_t data) {
    if (Valid(index)) items_[index].data = data;
}

std::uint32_t ComboItems::Data(int index) const {
    return Valid(index) ? items_[index].data : 0;
}

void ComboItems::SetTip(int index, std::string_view tip) {
    if (Valid(index)) items_[index].tip = tip;
}

std::string ComboItems::Tip(int index) const {
    return Valid(index) ? items_[index].tip : std::string();
}

}  // namespace kesu::platform
