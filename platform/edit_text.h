#pragma once

// The authoritative text of an edit control and its one-to-one mapping onto
// the UTF-16 text a toolkit widget shows. Both backends keep their edit text
// here, so an edit control behaves byte for byte the same on either.
//
// The view shows a CR LF pair as one line break ('\n'; multi-line boxes
// only), a lone CR as U+240D, a lone LF as U+240A, a NUL as U+2400, each GBK
// character as itself and every other byte as its escape code point (see
// gbk.h). A view position is an index into that UTF-16 text; since one view
// character stands for one or two bytes, positions map both ways.
//
// A multi-line view may also break a long paragraph into blocks of its own
// (a soft break, shown as a line break that stands for no byte): a toolkit
// lays out a whole paragraph again whenever a part of it changes, so text
// that arrives without line breaks would otherwise get slower with every
// piece. A soft break goes before the character that would take a block past
// `wrap_column` characters, after a blank, a lone CR or a lone LF, or before
// the one that would take it past an eighth more. Where the breaks fall
// follows from the bytes alone, so an edit re-renders only up to the next
// place where the old and the new text start a block at the same byte.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kesu::platform {

class EditText {
  public:
    // Every `mark_spacing` bytes or so the model remembers where a character
    // starts in the view, so that mapping a position costs at most that much
    // reading, not the text up to it.
    static constexpr std::size_t kMarkSpacing = 64 * 1024;

    explicit EditText(bool pair_crlf, std::size_t wrap_column = 0,
                      std::size_t mark_spacing = kMarkSpacing)
        : pair_crlf_(pair_crlf), wrap_(wrap_column), mark_spacing_(mark_spacing) {}

    const std::string& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }
    std::size_t ViewLength() const { return view_length_; }
    bool PairsCrLf() const { return pair_crlf_; }
    std::size_t WrapColumn() const { return wrap_; }
    // Byte offsets of the characters that start a block after a soft break,
    // ascending.
    const std::vector<std::size_t>& SoftBreaks() const { return soft_breaks_; }

    std::u16string View() const { return Render(bytes_, pair_crlf_, wrap_); }
    static std::u16string Render(std::string_view bytes, bool pair_crlf,
                                 std::size_t wrap_column = 0);
    // Bytes for text the user entered into the view (which holds no soft
    // break: every line break in it is one the user typed).
    std::string FromView(std::u16string_view view) const;

    // A change to apply to a view that shows the text as it was before the
    // change: replace `removed` characters at `start` by `inserted`.
    struct ViewEdit {
        std::size_t start = 0;
        std::size_t removed = 0;
        std::u16string inserted;          // empty when the change was made without view text
        std::size_t inserted_length = 0;  // the characters inserted, also without view text
    };

    // Replaces bytes [start, end) by `s` (positions are clamped and snapped
    // to character starts). Only the characters around the change are
    // rendered again, so adding at the end costs the size of the piece. A CR
    // at the end followed by an LF added later become one line break, and a
    // lone lead byte followed by its trail byte becomes one character.
    // A view drawn from the model itself needs only where the change starts, not the characters
    // it inserts (`with_view_text` false), which saves building them.
    ViewEdit Replace(std::size_t start, std::size_t end, std::string_view s,
                     bool with_view_text = true);
    ViewEdit Assign(std::string_view s, bool with_view_text = true) {
        return Replace(0, bytes_.size(), s, with_view_text);
    }

    // Byte offset of view position `v` (clamped to the end). Both sides of a
    // soft break map to the character after it.
    std::size_t ViewToByte(std::size_t v) const;
    // View position of byte offset `b` (snapped to its character start); a
    // character after a soft break is at the start of its block.
    std::size_t ByteToView(std::size_t b) const;
    // `b` clamped to the text and moved back to the start of the character
    // it falls in.
    std::size_t Snap(std::size_t b) const;

    // `gbk` with its ASCII letters changed as a box with that letter case
    // changes typed text; double-byte characters are left alone.
    static std::string ApplyCase(std::string_view gbk, bool lower, bool upper);

    // The characters of `gbk` that `accept` lets in (all when it is empty).
    static std::string Filter(std::string_view gbk,
                              const std::function<bool(std::string_view)>& accept);

    // What of `piece` fits when it replaces `replaced` bytes of a text of
    // `size` bytes under `limit` (0: no limit), cut between characters.
    static std::string_view CutToLimit(std::string_view piece, std::size_t size,
                                       std::size_t replaced, std::size_t limit);

    // Length of the longest prefix of `s` that fits in `room` bytes without
    // splitting a double-byte character.
    static std::size_t FitLength(std::string_view s, std::size_t room);

  private:
    // Where a block stands before a character: how many characters it
    // holds, and whether the last one is a place to prefer for a break.
    struct Column {
        std::size_t count = 0;
        bool after_blank = false;
    };
    static bool BreaksBefore(const Column& c, char16_t shown, std::size_t wrap);
    static void Advance(Column& c, char16_t shown);
    // The column before the character at `pos` is placed, from the block
    // start before it (at most a block's length back).
    Column ColumnBefore(std::size_t pos) const;
    std::size_t SoftBreaksBefore(std::size_t pos) const;
    bool SoftBreakAt(std::size_t pos) const;

    // Length in bytes of the character starting at `i`, and what the view
    // shows for it.
    static std::size_t UnitAt(std::string_view b, std::size_t i, bool pair_crlf, char16_t* shown);
    static std::size_t CountUnits(std::string_view b, std::size_t from, std::size_t to,
                                  bool pair_crlf);
    // A position before which no earlier byte can change how later bytes
    // are read: the start, or just after a byte that is never part of a
    // longer character.
    static bool IsAnchor(std::string_view b, std::size_t pos);
    std::size_t UnitStartContaining(std::size_t byte) const;

    // A character start and its view position, before any soft break there.
    struct Mark {
        std::size_t byte = 0;
        std::size_t view = 0;
    };
    // Adds marks past the last one, a spacing apart, while `more` holds for
    // the last mark and the text goes on.
    template <class More>
    void ExtendMarks(More more) const;
    // The last mark at or before byte `b`.
    const Mark& MarkBefore(std::size_t b) const;

    bool pair_crlf_;
    std::size_t wrap_;
    std::string bytes_;
    std::vector<std::size_t> soft_breaks_;
    std::size_t mark_spacing_;
    // Ascending; always holds the start. Only the marks before an edit stay
    // valid; the others are found again when a position past them is asked
    // for.
    mutable std::vector<Mark> marks_{Mark{}};
    std::size_t view_length_ = 0;
    // Where the last character starts (0 for an empty text). Appends ask for
    // it every time, and finding it afresh means reading back to the last
    // anchor, which in a long run of letters or double-byte characters is
    // the whole text.
    std::size_t tail_start_ = 0;
};

}  // namespace kesu::platform
