#include <algorithm>
#include <limits>

#include "runtime/unit.h"

namespace kesu {

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
