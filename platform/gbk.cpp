#include "platform/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace kesu::platform {

namespace {

// Both directions of the double-byte table, built once through iconv. Only
// pairs that survive the round trip count as characters; the rest decode as
// escaped bytes, which keeps the mapping one-to-one.
struct Tables {
    std::array<char16_t, 65536> decode{};       // pair (lead << 8 | trail) -> UTF-16, 0 if invalid
    std::array<std::uint16_t, 65536> encode{};  // UTF-16 -> pair, 0 if none
};

bool InLeadRange(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool InTrailRange(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

std::unique_ptr<Tables> BuildTables() {
    auto t = std::make_unique<Tables>();
    iconv_t cd = iconv_open("UTF-16LE", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) return t;  // every high byte escapes
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8] = {};
            char* inp = in;
            char* outp = out;
            std::size_t inleft = 2;
            std::size_t outleft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<std::size_t>(-1)) {
                continue;
            }
            if (inleft != 0 || sizeof out - outleft != 2) continue;  // not one BMP unit
            char16_t u = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                               (static_cast<unsigned char>(out[1]) << 8));
            if (u < 0x80 || (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF)) continue;
            std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
            if (t->encode[u] != 0) continue;  // a second pair for the same character
            t->encode[u] = code;
            t->decode[code] = u;
        }
    }
    iconv_close(cd);
    return t;
}

const Tables& GetTables() {
    // Built on first use, then never changed.
    static const std::unique_ptr<const Tables> tables = BuildTables();
    return *tables;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendGbk(std::string& out, char32_t c, const Tables& t) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c >= kEscapeBase + 0x80u && c <= kEscapeBase + 0xFFu) {
        out += static_cast<char>(c - kEscapeBase);
    } else if (c < 0x10000 && t.encode[c] != 0) {
        out += static_cast<char>(t.encode[c] >> 8);
        out += static_cast<char>(t.encode[c] & 0xFF);
    } else {
        out += '?';
    }
}

// Length of the UTF-8 character at `i` with its code point in `*c`, or 0 when
// no well-formed character starts there (a stray byte, a cut-short sequence,
// an overlong form or a surrogate).
std::size_t DecodeUtf8(std::string_view utf8, std::size_t i, char32_t* c) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > utf8.size()) return 0;
    char32_t v = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        unsigned char cb = static_cast<unsigned char>(utf8[i + k]);
        if ((cb & 0xC0) != 0x80) return 0;
        v = v << 6 | (cb & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kMin[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *c = v;
    return n;
}

}  // namespace

bool IsGbkPair(unsigned char lead, unsigned char trail) {
    if (!InLeadRange(lead) || !InTrailRange(trail)) return false;
    return GetTables().decode[lead << 8 | trail] != 0;
}

std::size_t GbkUnitLength(std::string_view gbk, std::size_t pos) {
    if (pos + 1 < gbk.size() &&
        IsGbkPair(static_cast<unsigned char>(gbk[pos]), static_cast<unsigned char>(gbk[pos + 1]))) {
        return 2;
    }
    return 1;
}

std::u16string GbkToUtf16(std::string_view gbk) {
    const Tables& t = GetTables();
    std::u16string out;
    out.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size();) {
        unsigned char b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        if (i + 1 < gbk.size()) {
            unsigned char b2 = static_cast<unsigned char>(gbk[i + 1]);
            if (InLeadRange(b) && InTrailRange(b2) && t.decode[b << 8 | b2] != 0) {
                out += t.decode[b << 8 | b2];
                i += 2;
                continue;
            }
        }
        out += static_cast<char16_t>(kEscapeBase + b);
        ++i;
    }
    return out;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
    const Tables& t = GetTables();
    std::string out;
    out.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char16_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            ++i;  // a character beyond the BMP: GBK has none
            out += '?';
            continue;
        }
        AppendGbk(out, c, t);
    }
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::u16string u = GbkToUtf16(gbk);
    std::string out;
    out.reserve(u.size() * 3);
    for (char16_t c : u) AppendUtf8(out, c);
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    const Tables& t = GetTables();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        std::size_t n = DecodeUtf8(utf8, i, &c);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        AppendGbk(out, c, t);
        i += n;
    }
    return out;
}

namespace {

constexpr char kNameEscape = '\xFF';
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool GbkHolds(char32_t c, const Tables& t) {
    if (c < 0x80) return true;
    // The escape code points stand for raw bytes inside the program; a name
    // that really contains one must keep it as the character it is.
    if (c >= kEscapeBase + 0x80u && c <= kEscapeBase + 0xFFu) return false;
    return c < 0x10000 && t.encode[c] != 0;
}

}  // namespace

std::string FsNameToGbk(std::string_view name) {
    const Tables& t = GetTables();
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = 0;
        std::size_t n = DecodeUtf8(name, i, &c);
        if (n != 0 && GbkHolds(c, t)) {
            AppendGbk(out, c, t);
            i += n;
            continue;
        }
        // A character GBK lacks escapes each of its bytes; a byte that starts
        // no UTF-8 character escapes alone.
        for (std::size_t k = 0; k < std::max<std::size_t>(n, 1); ++k, ++i) {
            auto b = static_cast<unsigned char>(name[i]);
            out += kNameEscape;
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0xF];
        }
    }
    return out;
}

std::string GbkToFsName(std::string_view gbk) {
    const Tables& t = GetTables();
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (std::size_t i = 0; i < gbk.size();) {
        auto b = static_cast<unsigned char>(gbk[i]);
        if (gbk[i] == kNameEscape && i + 2 < gbk.size()) {
            int hi = HexValue(gbk[i + 1]);
            int lo = HexValue(gbk[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi << 4 | lo);
                i += 3;
                continue;
            }
        }
        if (i + 1 < gbk.size()) {
            auto b2 = static_cast<unsigned char>(gbk[i + 1]);
            if (InLeadRange(b) && InTrailRange(b2) && t.decode[b << 8 | b2] != 0) {
                AppendUtf8(out, t.decode[b << 8 | b2]);
                i += 2;
                continue;
            }
        }
        out += gbk[i];  // ASCII, or a byte that is no GBK character: the byte itself
        ++i;
    }
    return out;
}

}  // namespace kesu::platform
