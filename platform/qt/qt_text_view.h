// A multi-line text view drawn straight from an edit control's EditText.
//
// A toolkit text document would hold the whole text a second time, as UTF-16 with a layout per
// paragraph, and lay out again whatever paragraph an append touches. A receive box that grows by
// megabytes a second cannot afford either. This view keeps only where each row starts (a byte
// offset and a view position, so sixteen bytes a row), finds the row breaks of new text from a
// table of character widths (an append costs the size of the piece), and renders and paints only
// the rows on the screen. The vertical scroll bar counts rows over the whole text.
//
// Rows follow the view text of the model: a CR LF pair ends a row, and without a horizontal
// scroll bar a row that would be wider than the view breaks after its last blank, or before the
// character that does not fit when it has none. Lone CR and LF bytes and NULs show as their
// stand-in characters, as the model renders them.
//
// The view edits nothing itself: typing, deleting and pasting are handed to `on_edit` as a view
// range and the characters that replace it, and the owner applies them to the model (with its
// filter, letter case and limit) and then calls TextChanged.
#pragma once

#include <QAbstractScrollArea>
#include <QRawFont>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/edit_text.h"
#include "platform/qt/row_positions.h"

namespace kesu::platform::qt {

class TextView final : public QAbstractScrollArea {
  public:
    explicit TextView(QWidget* parent = nullptr);

    // The text shown; the model must outlive the view or be replaced first.
    void SetModel(const EditText* model);
    // The model changed from view position `from` on (and nothing before it).
    void TextChanged(std::size_t from);
    // Rows break at the view's width unless the text scrolls sideways.
    void SetWrap(bool wrap);
    // Named as the toolkit's own edits name it, so that code written for them fits.
    void setReadOnly(bool read_only) { read_only_ = read_only; }
    bool isReadOnly() const { return read_only_; }

    // Anchor and caret as view positions; the caret is where typing goes.
    void SetSelection(std::size_t anchor, std::size_t caret);
    std::pair<std::size_t, std::size_t> Selection() const;
    void EnsureCaretVisible();

    // The user asks to replace `removed` view characters at `pos` by `typed`.
    std::function<void(std::size_t pos, std::size_t removed, const std::u16string& typed)> on_edit;
    // What a copy or a cut puts on the clipboard; without it, the selection's view text.
    std::function<QString()> selected_text;

    // What the view shows: the number of rows, the first row on the screen and the characters
    // of a row (without the line break that ends it).
    std::size_t RowCount();
    std::size_t TopRow() const;
    QString ShownRow(std::size_t row);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    // Lays out rows up to the end of the text and sets the scroll bars.
    void EnsureLayout();
    void Relayout();
    std::size_t RowOf(std::size_t view_pos);
    std::size_t RowEnd(std::size_t row) const;  // view position of the row's last character end
    std::u16string RowText(std::size_t row) const;
    double Advance(std::string_view unit);
    double RowWidthTo(std::size_t row, std::size_t view_pos) const;
    std::size_t PositionAt(const QPoint& p);
    // The position in `row` nearest to `x` (from the row's left edge).
    std::size_t PositionInRow(std::size_t row, double x) const;
    void MoveCaret(std::size_t pos, bool extend);
    void Edit(std::size_t pos, std::size_t removed, const std::u16string& typed);
    void ReplaceSelection(const std::u16string& typed);
    int VisibleRows() const;
    int LineHeight() const;
    std::u16string SelectedText() const;
    void TakeFont();  // after a change of font
    // Draws a row with its baseline starting at `at`.
    void DrawRow(QPainter& p, const QPointF& at, const QString& s);
    bool DrawUnshaped(QPainter& p, const QPointF& at, const QString& s);

    // Rows of printable ASCII, most of what a receive box shows, are drawn from the glyphs and
    // the pair spacing the toolkit's own layout gives each character and each pair of them
    // (kerning included), which is what shaping the row would give, at a fraction of its cost,
    // in a face whose layout tables do nothing else to such text. Rows with anything else, pairs
    // the font joins into one glyph, and every row in other faces are shaped as a whole.
    static constexpr int kAscii = 0x7F - 0x20;
    bool PrintableAsciiGlyphs();                // looks the characters up once per font
    float PairAdvance(char16_t a, char16_t b);  // from a's origin to b's; < 0: shape the row

    const EditText* model_ = nullptr;
    bool wrap_ = true;
    bool read_only_ = false;
    // Row starts: byte offsets and view positions. The first `rows_` entries are laid out; the
    // last of them may still grow when text is appended.
    RowPositions row_byte_;
    RowPositions row_view_;
    std::size_t laid_bytes_ = 0;                   // how far the rows are laid out, in bytes
    std::size_t laid_view_ = 0;                    // and in view characters
    double row_x_ = 0;                             // width of the last row so far
    std::size_t blank_byte_ = 0, blank_view_ = 0;  // just after the last row's last blank
    double blank_x_ = -1;                          // its x, -1 when the row has no blank
    double widest_ = 0;
    int layout_width_ = -1;
    std::vector<float> advances_;  // by character code (see Advance), negative: not measured yet
    QRawFont raw_font_;            // the font's own face, without fallbacks
    bool unshaped_ok_ = false;     // whether the font's settings allow drawing without shaping
    std::vector<quint32> ascii_glyphs_;  // by character - 0x20; empty: not looked up yet
    std::vector<float> pair_advances_;   // by pair, kAscii x kAscii; NaN: not measured yet
    std::vector<quint32> run_glyphs_;
    std::vector<QPointF> run_positions_;
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    double goal_x_ = -1;  // the column an up or down movement keeps to
};

}  // namespace kesu::platform::qt
