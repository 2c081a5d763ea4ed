// Owning holders for the texts and byte sets that commands and property reads hand back.
//
// Every such value is a fresh block that belongs to the receiver and must be released with
// MemFree after its last use; the holders do exactly that, so a handler cannot leak a temporary
// or free it twice. Null stays the empty value: c_str() gives "" for it, never a block.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "runtime/value.h"

namespace kesu::app {

template <typename T>
class Owned {
  public:
    Owned() = default;
    explicit Owned(T* block) : block_(block) {}
    ~Owned() { MemFree(block_); }
    Owned(Owned&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            MemFree(block_);
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    T* get() const { return block_; }
    T* release() { return std::exchange(block_, nullptr); }
    void reset(T* block = nullptr) {
        MemFree(block_);
        block_ = block;
    }

  protected:
    T* block_ = nullptr;
};

// A text: zero-terminated GBK bytes.
class OwnedText : public Owned<char> {
  public:
    using Owned::Owned;
    const char* c_str() const { return block_ ? block_ : ""; }
    std::string_view view() const { return block_ ? std::string_view(block_) : std::string_view(); }
    size_t size() const { return TextLength(block_); }
    bool empty() const { return size() == 0; }
    bool operator==(std::string_view other) const { return view() == other; }
};

// A byte set: {int32 1, int32 length, bytes}.
class OwnedBytes : public Owned<uint8_t> {
  public:
    using Owned::Owned;
    size_t size() const { return ByteSetLength(block_); }
    std::string_view view() const {
        return block_ ? std::string_view(reinterpret_cast<const char*>(ByteSetData(block_)), size())
                      : std::string_view();
    }
};

}  // namespace kesu::app
