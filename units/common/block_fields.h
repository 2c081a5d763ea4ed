#pragma once

// Typed field helpers over the runtime's stored-block reader and writer, so
// that each unit's settings read and write their fields in one visible order.
// A failed read leaves the field at its default; callers check failed() once.
//
// Every unit type keeps its stored block in a settings struct of the same
// shape: its fields with the block's defaults, a kVersion, a Load that reads a
// block over the defaults (false for a version above kVersion or a damaged
// block, and then the defaults again) and a Save that writes version kVersion.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/unit.h"

namespace kesu::units {

// Ends a failed Load: the settings go back to their defaults, so that nothing
// of a damaged block is half taken. Always false.
template <class Settings>
bool RejectBlock(Settings& settings) {
    settings = Settings{};
    return false;
}

// Reads the format version and accepts it when it is not above newest. The
// version is compared unsigned, so a damaged negative version fails as well.
inline bool ReadVersion(BlockReader& in, std::uint32_t newest, std::uint32_t& version) {
    version = static_cast<std::uint32_t>(in.Word());
    return !in.failed() && version <= newest;
}
inline bool ReadVersion(BlockReader& in, std::uint32_t newest) {
    std::uint32_t version = 0;
    return ReadVersion(in, newest, version);
}

inline void ReadWord(BlockReader& in, std::int32_t& out) {
    std::int32_t v = in.Word();
    if (!in.failed()) out = v;
}
inline void ReadWord(BlockReader& in, std::uint32_t& out) {
    std::int32_t v = in.Word();
    if (!in.failed()) out = static_cast<std::uint32_t>(v);
}
inline void ReadFlag(BlockReader& in, bool& out) {
    std::int32_t v = in.Word();
    if (!in.failed()) out = v != 0;
}
inline void ReadHalf(BlockReader& in, std::uint16_t& out) {
    std::string b = in.Bytes(2);
    if (!in.failed() && b.size() == 2) {
        out = static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                         static_cast<unsigned char>(b[1]) << 8);
    }
}
inline void ReadCounted(BlockReader& in, std::string& out) {
    std::string v = in.Counted();
    if (!in.failed()) out = std::move(v);
}
// A counted block of bytes (picture data): unlike a counted text, a negative
// count is damaged data.
void ReadCountedBlock(BlockReader& in, std::string& out);
// A text list: a count word, then each text counted. A count that the rest of
// the block cannot hold (every entry needs its length word) is damaged data.
void ReadTextList(BlockReader& in, std::vector<std::string>& out);

inline void WriteWord(BlockWriter& out, std::int32_t v) {
    out.Word(v);
}
inline void WriteWord(BlockWriter& out, std::uint32_t v) {
    out.Word(static_cast<std::int32_t>(v));
}
inline void WriteFlag(BlockWriter& out, bool v) {
    out.Word(v ? 1 : 0);
}
inline void WriteHalf(BlockWriter& out, std::uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.Bytes(std::string_view(b, 2));
}
inline void WriteCounted(BlockWriter& out, std::string_view v) {
    out.Counted(v);
}
void WriteTextList(BlockWriter& out, const std::vector<std::string>& items);

}  // namespace kesu::units
