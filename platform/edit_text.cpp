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

bool EditText::BreaksBefore(const Column& c, char16_t shown, std::size_t wrap) {
    if (wrap == 0 || shown == u'\n') return false;
    return c.count >= wrap + wrap / 8 + 1 || (c.count >= wrap && c.after_blank);
}

void EditText::Advance(Column& c, char16_t shown) {
    if (shown == u'\n') {
        c = Column{};
        return;
    }
    ++c.count;
    c.after_blank = shown == u' ' || shown == u'\t' || shown == kShownCr || shown == kShownLf;
}

std::u16string EditText::Render(std::string_view bytes, bool pair_crlf, std::size_t wrap_column) {
    std::u16string out;
    out.reserve(bytes.size() + (wrap_column ? bytes.size() / wrap_column : 0));
    Column col;
    for (std::size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        char16_t shown;
        // Runs of plain ASCII are by far the most common input; copy them
        // without the per-character dispatch.
        if (c >= 0x20 && c < 0x80) {
            shown = static_cast<char16_t>(c);
            ++i;
        } else {
            i += UnitAt(bytes, i, pair_crlf, &shown);
        }
        if (BreaksBefore(col, shown, wrap_column)) {
            out += u'\n';
            col = Column{};
        }
        out += shown;
        Advance(col, shown);
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

std::size_t EditText::SoftBreaksBefore(std::size_t pos) const {
    return static_cast<std::size_t>(
        std::lower_bound(soft_breaks_.begin(), soft_breaks_.end(), pos) - soft_breaks_.begin());
}

bool EditText::SoftBreakAt(std::size_t pos) const {
    return std::binary_search(soft_breaks_.begin(), soft_breaks_.end(), pos);
}

EditText::Column EditText::ColumnBefore(std::size_t pos) const {
    if (wrap_ == 0) return Column{};
    // The block starts at the last soft break before `pos` or just after the
    // last line break, whichever is later. A CR LF pair is always a line
    // break (neither byte trails a lead byte), so it may be found going back.
    std::size_t k = SoftBreaksBefore(pos);
    std::size_t lo = k ? soft_breaks_[k - 1] : 0;
    if (pair_crlf_) {
        for (std::size_t q = pos; q >= lo + 2; --q) {
            if (bytes_[q - 1] == '\n' && bytes_[q - 2] == '\r') {
                lo = q;
                break;
            }
        }
    }
    Column col;
    char16_t shown;
    for (std::size_t q = lo; q < pos;) {
        q += UnitAt(bytes_, q, pair_crlf_, &shown);
        Advance(col, shown);
    }
    return col;
}

template <class More>
void EditText::ExtendMarks(More more) const {
    while (marks_.back().byte < bytes_.size() && more(marks_.back())) {
        const Mark last = marks_.back();
        std::size_t i = last.byte;
        std::size_t view = last.view;
        std::size_t k = SoftBreaksBefore(i);
        char16_t shown;
        // On to the first character start past the spacing, counting the
        // characters and soft breaks on the way.
        while (i < bytes_.size() && i < last.byte + mark_spacing_) {
            if (k < soft_breaks_.size() && soft_breaks_[k] == i) {
                ++k;
                ++view;
            }
            i += UnitAt(bytes_, i, pair_crlf_, &shown);
            ++view;
        }
        if (i >= bytes_.size()) return;
        marks_.push_back(Mark{i, view});
    }
}

const EditText::Mark& EditText::MarkBefore(std::size_t b) const {
    auto it = std::upper_bound(marks_.begin(), marks_.end(), b,
                               [](std::size_t x, const Mark& m) { return x < m.byte; });
    return *(it - 1);
}

std::size_t EditText::ByteToView(std::size_t b) const {
    b = Snap(b);
    // A soft break before `b` counts: the character starts its block.
    std::size_t breaks_to_b = SoftBreaksBefore(b) + (SoftBreakAt(b) ? 1 : 0);
    // Near the end, as after an append, counting back from the end is
    // cheapest; elsewhere counting on from the last mark before `b`.
    if (bytes_.size() - b < mark_spacing_) {
        return view_length_ - CountUnits(bytes_, b, bytes_.size(), pair_crlf_) -
               (soft_breaks_.size() - breaks_to_b);
    }
    ExtendMarks([&](const Mark& m) { return m.byte + mark_spacing_ <= b; });
    const Mark& m = MarkBefore(b);
    return m.view + CountUnits(bytes_, m.byte, b, pair_crlf_) + breaks_to_b -
           SoftBreaksBefore(m.byte);
}

std::size_t EditText::ViewToByte(std::size_t v) const {
    ExtendMarks([&](const Mark& m) { return m.view < v; });
    auto it = std::upper_bound(marks_.begin(), marks_.end(), v,
                               [](std::size_t x, const Mark& m) { return x < m.view; });
    const Mark& m = *(it - 1);
    std::size_t i = m.byte;
    std::size_t k = SoftBreaksBefore(i);
    char16_t shown;
    for (std::size_t n = m.view; n < v && i < bytes_.size(); ++n) {
        if (k < soft_breaks_.size() && soft_breaks_[k] == i) {
            ++k;  // the soft break stands for no byte
            continue;
        }
        i += UnitAt(bytes_, i, pair_crlf_, &shown);
    }
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

EditText::ViewEdit EditText::Replace(std::size_t start, std::size_t end, std::string_view s,
                                     bool with_view_text) {
    start = Snap(start);
    end = std::max(start, Snap(end));
    // The character before the change may read differently afterwards (a CR
    // that meets an LF, a lead byte that meets a trail byte), so rendering
    // starts there, before any soft break that precedes it.
    const std::size_t from = start == 0 ? 0 : UnitStartContaining(start - 1);
    const std::size_t view_from = ByteToView(from) - (SoftBreakAt(from) ? 1 : 0);
    Column col = ColumnBefore(from);
    const std::string old_middle = bytes_.substr(start, end - start);

    const std::size_t old_tail_start = tail_start_;
    bytes_.replace(start, end - start, s);
    // Marks up to `from` read the same; the text after it may not.
    while (marks_.back().byte > from) marks_.pop_back();
    const std::size_t changed_end = start + s.size();
    // Old offsets past the change are new offsets less `grown` (or plus
    // `shrunk`).
    const std::size_t grown = changed_end > end ? changed_end - end : 0;
    const std::size_t shrunk = end > changed_end ? end - changed_end : 0;
    auto old_offset = [&](std::size_t np) { return np - grown + shrunk; };
    auto old_byte = [&](std::size_t op) -> char {
        if (op < start) return bytes_[op];
        if (op < end) return old_middle[op - start];
        return bytes_[op + grown - shrunk];
    };

    // Render until the old and the new text are back in step: past the
    // inserted bytes, at a position that no earlier byte can influence and,
    // with soft breaks, where both views start a block at the same byte.
    std::u16string inserted;
    std::size_t inserted_length = 0;
    std::vector<std::size_t> breaks;
    std::size_t np = from;
    std::size_t last_start = from;
    char16_t shown;
    const auto printable = [](char c) { return static_cast<unsigned char>(c) - 0x20u < 0x60u; };
    while (np < bytes_.size()) {
        if (wrap_ == 0 && !with_view_text && np < changed_end && printable(bytes_[np])) {
            // A run of printable ASCII within the inserted bytes, most of what a receive box
            // is given: each byte is a character of its own, no soft break can come (columns
            // count only with a wrap column) and no position in it is compared with the old
            // text, so the run is only counted.
            std::size_t run = np + 1;
            while (run < changed_end && printable(bytes_[run])) ++run;
            inserted_length += run - np;
            last_start = run - 1;
            np = run;
            continue;
        }
        // Printable ASCII, most of what arrives, is its own view character.
        const auto c = static_cast<unsigned char>(bytes_[np]);
        std::size_t len = 1;
        if (c >= 0x20 && c < 0x80) {
            shown = static_cast<char16_t>(c);
        } else {
            len = UnitAt(bytes_, np, pair_crlf_, &shown);
        }
        const bool soft = BreaksBefore(col, shown, wrap_);
        if (np > changed_end && IsAnchor(bytes_, np)) {
            if (wrap_ == 0) break;
            // Both must start the block the same way: a soft break kept
            // from the old text is one the new text needs there, and a block
            // after a line break has none.
            const std::size_t op = old_offset(np);
            const bool old_after_line_break =
                pair_crlf_ && op >= 2 && old_byte(op - 1) == '\n' && old_byte(op - 2) == '\r';
            if (soft ? SoftBreakAt(op) : col.count == 0 && old_after_line_break) break;
        }
        if (soft) {
            if (with_view_text) inserted += u'\n';
            ++inserted_length;
            breaks.push_back(np);
            col = Column{};
        }
        last_start = np;
        np += len;
        if (with_view_text) inserted += shown;
        ++inserted_length;
        Advance(col, shown);
    }
    const bool to_end = np >= bytes_.size();
    // Rendering either reached the end, and its last character is the text's,
    // or stopped where the old and the new text read alike again, and the old
    // last character has only moved by the change in length.
    tail_start_ = to_end ? last_start : old_tail_start + changed_end - end;

    // The same stretch of the old text: what preceded the change, the bytes
    // it removed and what followed up to the resynchronising position, with
    // the soft breaks it held.
    std::string old_slice = bytes_.substr(from, start - from);
    old_slice += old_middle;
    if (np > changed_end) old_slice.append(bytes_, changed_end, np - changed_end);
    const std::size_t old_stop = from + old_slice.size();
    auto first = std::lower_bound(soft_breaks_.begin(), soft_breaks_.end(), from);
    auto last = std::lower_bound(first, soft_breaks_.end(), old_stop);
    const std::size_t removed = CountUnits(old_slice, 0, old_slice.size(), pair_crlf_) +
                                static_cast<std::size_t>(last - first);

    // Breaks past the stretch move with the text; those within it are the
    // ones just rendered.
    for (auto it = last; it != soft_breaks_.end(); ++it) *it = *it + grown - shrunk;
    first = soft_breaks_.erase(first, last);
    soft_breaks_.insert(first, breaks.begin(), breaks.end());

    view_length_ = view_length_ - removed + inserted_length;
    return ViewEdit{view_from, removed, std::move(inserted), inserted_length};
}

}  // namespace kesu::platform
