#pragma once

// Text conversion between the runtime's GBK bytes and the UTF-8 / UTF-16 that
// the toolkit and the operating system speak.
//
// The conversion is lossless for every byte string: a byte that is not part of
// a valid GBK character (a lone lead byte, 0x80, 0xFF, a lead byte followed by
// a byte that cannot trail it) decodes to a private-use code point
// (kEscapeBase + byte) and encodes back to that very byte. A code point that
// GBK cannot hold (an emoji typed by the user) encodes to '?'.

#include <cstddef>
#include <string>
#include <string_view>

namespace kesu::platform {

// Private-use code points U+F780..U+F7FF stand for the undecodable bytes
// 0x80..0xFF. GBK's own user-defined area maps below U+E900, so these never
// collide with a real character.
inline constexpr char16_t kEscapeBase = 0xF700;

std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Number of bytes of the GBK character that starts at `pos`: 2 for a valid
// double-byte character, 1 otherwise (ASCII, an escaped byte, or pos at the
// last byte). Positions inside `gbk` are byte offsets.
std::size_t GbkUnitLength(std::string_view gbk, std::size_t pos);

// True when the two bytes form a valid GBK double-byte character.
bool IsGbkPair(unsigned char lead, unsigned char trail);

// File system names. A name on Linux is any byte string, usually UTF-8 but
// not always (a name written by an old program in Latin-1), while the
// program's texts are GBK. A name passes through a text reversibly:
// FsNameToGbk writes every UTF-8 character that GBK holds as its GBK bytes
// and every other byte of the name (a character GBK lacks, a byte that is not
// UTF-8) as the escape 0xFF followed by the byte in two upper-case hex digits.
// 0xFF is never part of a GBK character and the digits never pair with a
// neighbour, so the escape stays one piece through any text operation that
// steps over GBK characters, and the edit text shows it as its escape code
// point and the two digits. GbkToFsName turns the escapes back into their
// bytes, GBK characters into UTF-8 and any other byte into itself, so
// GbkToFsName(FsNameToGbk(n)) == n for every name n.
std::string FsNameToGbk(std::string_view name);
std::string GbkToFsName(std::string_view gbk);

// GBK bytes of a UTF-8 literal, for texts written in C++ source as UTF-8.
inline std::string Gbk(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

}  // namespace kesu::platform
