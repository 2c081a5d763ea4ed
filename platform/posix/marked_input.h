// Received bytes as the tty hands them over with PARMRK set: a byte that arrived with a parity or
// framing error comes as FF 00 x, a real FF byte as FF FF, every other byte as itself. The
// decoder turns that stream back into the bytes that came down the line and says which of them
// arrived with an error. An escape may be split across reads; the decoder keeps its place.
//
// With IGNBRK clear a break would also come as FF 00 00; it then reads as a 00 byte with an
// error, which is what a UART receives for a break.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesu::platform {

class MarkedInputDecoder {
  public:
    // Appends the decoded bytes of `data` to `out`, and for each byte that arrived with an error
    // its index in `out` to `errored`.
    void Feed(const uint8_t* data, size_t length, std::vector<uint8_t>& out,
              std::vector<size_t>& errored);
    // Forgets a partial escape (after the input was purged).
    void Reset() { state_ = State::Plain; }

  private:
    enum class State : uint8_t { Plain, AfterFF, AfterFF00 };
    State state_ = State::Plain;
};

}  // namespace kesu::platform
