#include "units/common/block_fields.h"

namespace kesu::units {

void ReadCountedBlock(BlockReader& in, std::string& out) {
    std::int32_t count = in.Word();
    if (in.failed()) return;
    if (count < 0) {
        // Reading past the end marks the reader failed, as any short block does.
        in.Bytes(in.remaining() + 1);
        return;
    }
    std::string v = in.Bytes(static_cast<std::size_t>(count));
    if (!in.failed()) out = std::move(v);
}

void ReadTextList(BlockReader& in, std::vector<std::string>& out) {
    std::int32_t count = in.Word();
    if (in.failed()) return;
    if (count < 0 || static_cast<std::size_t>(count) > in.remaining() / 4) {
        // Reading past the end marks the reader failed, as any short block does.
        in.Bytes(in.remaining() + 1);
        return;
    }
    std::vector<std::string> items(static_cast<std::size_t>(count));
    for (auto& item : items) {
        item = in.Counted();
        if (in.failed()) return;
    }
    out = std::move(items);
}

void WriteTextList(BlockWriter& out, const std::vector<std::string>& items) {
    out.Word(static_cast<std::int32_t>(items.size()));
    for (const auto& item : items) out.Counted(item);
}

}  // namespace kesu::units
