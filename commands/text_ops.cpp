#include "commands/text_ops.h"

#include <algorithm>

namespace kesu::commands {

namespace {

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares `sought` with the bytes of `text` at `pos`. Without case folding it
// is a plain byte comparison. With it, only single-byte letters fold: the
// bytes of two-byte characters (whose trail bytes may look like letters)
// always compare exactly.
bool MatchesAt(std::string_view text, size_t pos, std::string_view sought, bool ignore_case) {
    if (!ignore_case) {
        // The first byte rules out almost every position before a full compare.
        return text[pos] == sought[0] && text.compare(pos, sought.size(), sought) == 0;
    }
    for (size_t i = 0; i < sought.size();) {
        char a = text[pos + i];
        char b = sought[i];
        if (IsLeadByte(b) && i + 1 < sought.size()) {
            if (a != b || text[pos + i + 1] != sought[i + 1]) return false;
            i += 2;
        } else {
            if (FoldCase(a) != FoldCase(b)) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace

int32_t FindText(std::string_view text, std::string_view sought, std::optional<int32_t> start,
                 bool ignore_case) {
    int64_t from = start ? std::max<int64_t>(int64_t{*start} - 1, 0) : 0;
    if (from >= static_cast<int64_t>(text.size())) return -1;
    if (sought.empty()) return 1;
    for (size_t pos = static_cast<size_t>(from); text.size() - pos >= sought.size();) {
        if (MatchesAt(text, pos, sought, ignore_case)) return static_cast<int32_t>(pos + 1);
        pos += CharLength(text, pos);
        if (pos >= text.size()) break;
    }
    return -1;
}

int32_t CompareText(std::string_view a, std::string_view b, bool case_sensitive) {
    // Comparing unsigned bytes in order gives the same order as comparing
    // two-byte characters whole: a lead byte is above every single-byte
    // character, and within a pair the lead byte decides first.
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (!case_sensitive) {
            x = static_cast<unsigned char>(FoldCase(static_cast<char>(x)));
            y = static_cast<unsigned char>(FoldCase(static_cast<char>(y)));
        }
        if (x != y) return x < y ? -1 : 1;
        // Trail bytes are never letters to fold: step over the pair at once.
        if (x >= 0x80 && i + 1 < n) {
            ++i;
            if (a[i] != b[i])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
        }
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator,
                                        std::optional<int32_t> max_parts) {
    std::vector<std::string_view> parts;
    int64_t remaining = max_parts ? std::max<int32_t>(*max_parts, 0) : -1;
    if (text.empty() || remaining == 0) return parts;
    if (separator.empty()) {
        parts.push_back(text);
        return parts;
    }
    size_t cut = 0;
    for (size_t pos = 0; pos < text.size();) {
        if (text.size() - pos >= separator.size() &&
            text.compare(pos, separator.size(), separator) == 0) {
            parts.push_back(text.substr(cut, pos - cut));
            pos += separator.size();
            cut = pos;
            if (remaining > 0 && --remaining == 0) return parts;
        } else {
            pos += CharLength(text, pos);
        }
    }
    if (cut < text.size()) parts.push_back(text.substr(cut));
    return parts;
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (size_t pos = 0; pos < out.size();) {
        size_t len = CharLength(out, pos);
        if (len == 1 && out[pos] >= 'a' && out[pos] <= 'z')
            out[pos] = static_cast<char>(out[pos] - 'a' + 'A');
        pos += len;
    }
    return out;
}

std::string ToHalfWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        size_t len = CharLength(text, pos);
        if (len == 2) {
            auto lead = static_cast<unsigned char>(text[pos]);
            auto trail = static_cast<unsigned char>(text[pos + 1]);
            char ascii = 0;
            if (lead == 0xA1 && trail == 0xA1) {
                ascii = ' ';  // ideographic space
            } else if (lead == 0xA1 && trail == 0xAB) {
                ascii = '~';
            } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
                ascii = '*';
            } else if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                ascii = static_cast<char>(trail & 0x7F);  // full-width forms
            }
            if (ascii) {
                out.push_back(ascii);
            } else {
                out.append(text.substr(pos, 2));
            }
        } else {
            out.push_back(text[pos]);
        }
        pos += len;
    }
    return out;
}

}  // namespace kesu::commands
