#include "app/growing_byte_set.h"

#include <cstring>

#include "runtime/value.h"

namespace kesu::app {

namespace {
constexpr size_t kHeader = 8;
constexpr size_t kMinimumRoom = 64;
}  // namespace

GrowingByteSet::~GrowingByteSet() {
    Release();
}

void GrowingByteSet::Release() {
    MemFree(block_);
    block_ = nullptr;
    capacity_ = start_ = length_ = 0;
}

const uint8_t* GrowingByteSet::Data() const {
    return length_ == 0 ? nullptr : block_ + kHeader + start_;
}

std::string_view GrowingByteSet::View() const {
    return length_ == 0 ? std::string_view()
                        : std::string_view(reinterpret_cast<const char*>(Data()), length_);
}

void GrowingByteSet::StoreLength() {
    if (block_ == nullptr) return;
    const int32_t header[2] = {1, static_cast<int32_t>(length_)};
    std::memcpy(block_, header, sizeof header);
}

void GrowingByteSet::Compact() {
    if (start_ == 0) return;
    if (length_ > 0) std::memmove(block_ + kHeader, block_ + kHeader + start_, length_);
    start_ = 0;
}

void GrowingByteSet::Reserve(size_t needed) {
    if (start_ + needed <= capacity_) return;
    // When the live bytes need at most half of the room, moving them to the front is enough; a
    // window that keeps w bytes therefore moves them once per (room - w) appends. Otherwise the
    // room doubles, so appending copies every byte a bounded number of times on average.
    Compact();
    if (needed <= capacity_ / 2) return;
    size_t room = capacity_ < kMinimumRoom ? kMinimumRoom : capacity_;
    while (room < 2 * needed) room *= 2;
    block_ = static_cast<uint8_t*>(MemRealloc(block_, kHeader + room));
    capacity_ = room;
}

void GrowingByteSet::Append(uint8_t byte) {
    Reserve(length_ + 1);
    block_[kHeader + start_ + length_] = byte;
    ++length_;
    StoreLength();
}

void GrowingByteSet::Append(const void* bytes, size_t count) {
    if (count == 0) return;
    Reserve(length_ + count);
    std::memcpy(block_ + kHeader + start_ + length_, bytes, count);
    length_ += count;
    StoreLength();
}

void GrowingByteSet::AppendByteSet(const uint8_t* byteSet) {
    Append(ByteSetData(byteSet), ByteSetLength(byteSet));
}

void GrowingByteSet::Clear() {
    start_ = 0;
    length_ = 0;
    StoreLength();
}

void GrowingByteSet::KeepLast(size_t count) {
    if (count >= length_) return;
    start_ += length_ - count;
    length_ = count;
    if (length_ == 0) start_ = 0;
    StoreLength();
}

const uint8_t* GrowingByteSet::Value() {
    if (length_ == 0) return nullptr;
    Compact();
    return block_;
}

}  // namespace kesu::app
