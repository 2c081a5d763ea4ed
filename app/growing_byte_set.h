// A byte set of the value model that grows at its end in amortised constant time.
//
// The receive path appends one or three bytes per received byte to the pending display data, and
// up to a whole refresh period's worth of data may pile up between two refreshes at a high line
// rate. Growing a plain byte set by reallocating it to the exact new length would copy everything
// gathered so far on every append; this holder keeps spare room behind the data instead. The block
// it holds is always a valid byte set {1, length, bytes}: the spare room is simply not counted, so
// Value() can be handed to any command as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kesu::app {

class GrowingByteSet {
  public:
    GrowingByteSet() = default;
    ~GrowingByteSet();
    GrowingByteSet(const GrowingByteSet&) = delete;
    GrowingByteSet& operator=(const GrowingByteSet&) = delete;

    void Append(uint8_t byte);
    void Append(const void* bytes, size_t count);
    void Append(std::string_view bytes) { Append(bytes.data(), bytes.size()); }
    // Appends the data of a byte set of the value model (null appends nothing).
    void AppendByteSet(const uint8_t* byteSet);

    // The value becomes the empty byte set. The room is kept for the next batch.
    void Clear();
    // Keeps only the last `count` bytes (all of them when there are fewer). The bytes dropped at
    // the front are skipped, not moved, until they make up half of the room, so keeping a short
    // window over a long stream costs constant time per byte.
    void KeepLast(size_t count);
    // Releases the block: the value is empty and no memory is held.
    void Release();

    size_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }
    const uint8_t* Data() const;
    std::string_view View() const;
    // The byte set as a value of the value model, borrowed: null when empty, otherwise the held
    // block. Compacts dropped front bytes first so that the block starts with the data.
    const uint8_t* Value();

  private:
    void Reserve(size_t needed);
    void Compact();
    void StoreLength();

    uint8_t* block_ = nullptr;  // {int32 1, int32 length, bytes...} with spare room behind
    size_t capacity_ = 0;       // data bytes the block can hold
    size_t start_ = 0;          // bytes dropped at the front, not yet moved out
    size_t length_ = 0;         // bytes of the value
};

}  // namespace kesu::app
