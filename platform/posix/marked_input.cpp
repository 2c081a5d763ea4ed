#include "platform/posix/marked_input.h"

namespace kesu::platform {

void MarkedInputDecoder::Feed(const uint8_t* data, size_t length, std::vector<uint8_t>& out,
                              std::vector<size_t>& errored) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = data[i];
        switch (state_) {
            case State::Plain:
                if (byte == 0xFF) {
                    state_ = State::AfterFF;
                    continue;
                }
                break;
            case State::AfterFF:
                if (byte == 0x00) {
                    state_ = State::AfterFF00;
                    continue;
                }
                // FF FF is a real FF. The tty sends nothing else after an FF; should it, the FF
                // is kept as a byte of its own rather than lost.
                state_ = State::Plain;
                if (byte != 0xFF) {
                    out.push_back(0xFF);
                }
                break;
            case State::AfterFF00:
                state_ = State::Plain;
                errored.push_back(out.size());
                break;
        }
        out.push_back(byte);
    }
}

}  // namespace kesu::platform
