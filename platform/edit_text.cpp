#include "platform/edit_text.h"

#include <algorithm>

#include "platform/gbk.h"

namespace kesu::platform {

namespace {
constexpr char16_t kShownCr = 0x240D;
constexpr char16_t kShownLf = 0x240A;
constexpr char16_t kShownNul = 0x2400;
constexpr char16_t kParagraph = 0x2029;
}  // namespace

std::size_t EditText::UnitAt(std::string_view b, std::size_t i, bool pair_crlf, char16_t* shown) {
    unsigned char c = static_cast<unsigned char>(b[i]);
    if (c == '\r') {
        if (pair_crlf && i + 1 < b.size() && b[i + 1] == '\n') {
            *shown = u'\n';
            return 2;
        }
        *shown = kShownCr;
        return 1;
    }
    if (c == '\n') {
        *shown = kShownLf;
        return 1;
    }
    if (c == 0) {
        *shown = kShownNul;
        return 1;
    }
    if (c < 0x80) {
        *shown = static_cast<char16_t>(c);
        return 1;
    }
    if (GbkUnitLength(b, i) == 2) {
        *shown = GbkToUtf16(b.substr(i, 2))[0];
        return 2;
    }
    *shown = static_cast<char16_t>(kEscapeBase + c);
    return 1;
}

std::u16string EditText::Render(std::string_view bytes, bool pair_crlf) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        // Runs of plain ASCII are by far the most common input; copy them
        // without the per-character dispatch.
        if (c >= 0x20 && c < 0x80) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        char16_t shown;
        i += UnitAt(bytes, i, pair_crlf, &shown);
        out += shown;
    }
    return out;
}

std::size_t EditText::CountUnits(std::string_view b, std::size_t from, std::size_t to,
                                 bool pair_crlf) {
    std::size_t n = 0;
    char16_t shown;
    for (std::size_t i = from; i < to; ++n) i += UnitAt(b, i, pair_crlf, &shown);
    return n;
}

std::string EditText::FromView(std::u16string_view view) const {
    std::string out;
    std::u16string run;
    auto flush = [&] {
        out += Utf16ToGbk(run);
        run.clear();
    };
    for (char16_t c : view) {
        if (c == u'\n' || c == kParagraph || c == u'\r') {
            flush();
            out += pair_crlf_ ? "\r\n" : "\n";
        } else if (c == kShownCr) {
            flush();
            out += '\r';
        } else if (c == kShownLf) {
            flush();
            out += '\n';
        } else if (c == kShownNul) {
            flush();
            out += '\0';
        } else {
            run += c;
        }
    }
    flush();
    return out;
}

bool EditText::IsAnchor(std::string_view b, std::size_t pos) {
    if (pos == 0 || pos >= b.size()) return true;
    unsigned char c = static_cast<unsigned char>(b[pos - 1]);
    // Bytes below 0x40 never trail a lead byte; a CR may still pair with the
    // LF after it.
    return c < 0x40 && c != '\r';
}

std::size_t EditText::UnitStartContaining(std::size_t byte) const {
    if (byte >= tail_start_) return tail_start_;  // within the last character
    std::size_t q = byte;
    while (!IsAnchor(bytes_, q)) --q;
    char16_t shown;
    while (true) {
        std::size_t len = UnitAt(bytes_, q, pair_crlf_, &shown);
        if (q + len > byte) return q;
        q += len;
    }
}

std::size_t EditText::Snap(std::size_t b) const {
    if (b >= bytes_.size()) return bytes_.size();
    return UnitStartContaining(b);
}

std::size_t EditText::ByteToView(std::size_t b) const {
    b = Snap(b);
    if (b > bytes_.size() / 2)
        return view_length_ - CountUnits(bytes_, b, bytes_.size(), pair_crlf_);
    return CountUnits(bytes_, 0, b, pair_crlf_);
}

std::size_t EditText::ViewToByte(std::size_t v) const {
    std::size_t i = 0;
    char16_t shown;
    for (std::size_t n = 0; n < v && i < bytes_.size(); ++n)
        i += UnitAt(bytes_, i, pair_crlf_, &shown);
    return i;
}

std::string EditText::ApplyCase(std::string_view gbk, bool lower, bool upper) {
    std::string out(gbk);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t len = GbkUnitLength(out, i);
        if (len == 1) {
            char& c = out[i];
            if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        i += len;
    }
    return out;
}

std::string EditText::Filter(std::string_view gbk,
                             const std::function<bool(std::string_view)>& accept) {
    if (!accept) return std::string(gbk);
    std::string out;
    for (std::size_t i = 0; i < gbk.size();) {
        std::size_t len = GbkUnitLength(gbk, i);
        std::string_view ch = gbk.substr(i, len);
        if (accept(ch)) out += ch;
        i += len;
    }
    return out;
}

std::string_view EditText::CutToLimit(std::string_view piece, std::size_t size,
                                      std::size_t replaced, std::size_t limit) {
    if (limit == 0) return piece;
    std::size_t kept = size - replaced;
    return piece.substr(0, FitLength(piece, limit > kept ? limit - kept : 0));
}

std::size_t EditText::FitLength(std::string_view s, std::size_t room) {
    if (s.size() <= room) return s.size();
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t len = GbkUnitLength(s, i);
        if (i + len > room) break;
        i += len;
    }
    return i;
}

EditText::ViewEdit EditText::Replace(std::size_t start, std::size_t end, std::string_view s) {
    start = Snap(start);
    end = std::max(start, Snap(end));
    // The character before the change may read differently afterwards (a CR
    // that meets an LF, a lead byte that meets a trail byte), so rendering
    // starts there.
    const std::size_t from = start == 0 ? 0 : UnitStartContaining(start - 1);
    const std::size_t view_from = ByteToView(from);
    const std::string old_middle = bytes_.substr(start, end - start);

    const std::size_t old_tail_start = tail_start_;
    bytes_.replace(start, end - start, s);
    const std::size_t changed_end = start + s.size();

    // Render until the old and the new text are back in step: past the
    // inserted bytes, at a position that no earlier byte can influence.
    std::u16string inserted;
    std::size_t np = from;
    std::size_t last_start = from;
    char16_t shown;
    while (np < bytes_.size()) {
        last_start = np;
        np += UnitAt(bytes_, np, pair_crlf_, &shown);
        inserted += shown;
        if (np > changed_end && IsAnchor(bytes_, np)) break;
    }
    // Rendering either reached the end, and its last character is the text's,
    // or stopped where the old and the new text read alike again, and the old
    // last character has only moved by the change in length.
    tail_start_ = np >= bytes_.size() ? last_start : old_tail_start + changed_end - end;

    // The same stretch of the old text: what preceded the change, the bytes
    // it removed and what followed up to the resynchronising position.
    std::string old_slice = bytes_.substr(from, start - from);
    old_slice += old_middle;
    if (np > changed_end) old_slice.append(bytes_, changed_end, np - changed_end);
    const std::size_t removed = CountUnits(old_slice, 0, old_slice.size(), pair_crlf_);

    view_length_ = view_length_ - removed + inserted.size();
    return ViewEdit{view_from, removed, std::move(inserted)};
}

}  // namespace kesu::platform
