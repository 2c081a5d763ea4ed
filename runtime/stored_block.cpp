#include <algorithm>
#include <limits>

#include "runtime/unit.h"

namespace kesu {

int32_t BlockReader::Word() {
    if (failed_ || remaining() < 4) {
        failed_ = true;
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return static_cast<int32_t>(v);
}

std::string BlockReader::Counted() {
    int32_t count = Word();
    if (failed_ || count <= 0) return {};
    return Bytes(static_cast<size_t>(count));
}

std::string BlockReader::Bytes(size_t count) {
    if (failed_ || remaining() < count) {
        failed_ = true;
        return {};
    }
    std::string out(data_.substr(pos_, count));
    pos_ += count;
    return out;
}

void BlockWriter::Word(int32_t value) {
    auto v = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    out_.append(bytes, 4);
}

void BlockWriter::Counted(std::string_view bytes) {
    // Blocks are 32-bit sized; nothing a unit stores comes near that limit.
    Word(static_cast<int32_t>(std::min<size_t>(bytes.size(), std::numeric_limits<int32_t>::max())));
    out_.append(
        bytes.substr(0, std::min<size_t>(bytes.size(), std::numeric_limits<int32_t>::max())));
}

}  // namespace kesu
