#pragma once

// Builds stored blocks byte by byte in the order a template holds them, so that
// tests check the units' readers against the format rather than against their
// own writers.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kesu::units::testing {

class RawBlock {
  public:
    RawBlock& words(std::initializer_list<std::int64_t> values) {
        for (auto v : values) {
            auto u = static_cast<std::uint32_t>(v);
            for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(u >> (8 * i)));
        }
        return *this;
    }
    RawBlock& half(std::uint16_t v) {
        bytes_.push_back(static_cast<char>(v & 0xFF));
        bytes_.push_back(static_cast<char>(v >> 8));
        return *this;
    }
    RawBlock& counted(std::string_view text) {
        words({static_cast<std::int64_t>(text.size())});
        bytes_.append(text);
        return *this;
    }
    const std::string& str() const { return bytes_; }
    operator std::string_view() const { return bytes_; }

  private:
    std::string bytes_;
};

}  // namespace kesu::units::testing
