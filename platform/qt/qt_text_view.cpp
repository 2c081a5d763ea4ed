#include "platform/qt/qt_text_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QGlyphRun>
#include <QHoverEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gbk.h"

namespace kesu::platform::qt {

namespace {

// Space between the frame and the text, as a toolkit text document keeps it.
constexpr int kMargin = 4;

QString ToQString(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::u16string FromQString(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

// The toolkit fills a rectangle of about a hundred rows or more on worker threads, and waits
// for them: a round of thread wake-ups at every repaint of a part that is shown again for each
// refresh. Bands of fewer rows are filled on this thread.
template <class F>
void InBands(const QRect& r, F&& paint) {
    constexpr int kBand = 64;
    for (int y = r.top(); y <= r.bottom(); y += kBand) {
        paint(QRect(r.left(), y, r.width(), std::min(kBand, r.bottom() + 1 - y)));
    }
}

void FillInBands(QPainter& p, const QRect& r, const QBrush& brush) {
    InBands(r, [&](const QRect& band) { p.fillRect(band, brush); });
}

// The box's vertical bar changes at every refresh of a growing text. The style paints its
// groove in one fill and one line from top to bottom, so it is painted a band at a time, as
// the bar itself would, with the part under the pointer or held by it marked.
class BandedScrollBar final : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

  protected:
    void paintEvent(QPaintEvent* e) override {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        opt.subControls = QStyle::SC_All;
        if (pressed_ != QStyle::SC_None) {
            opt.activeSubControls = pressed_;
            opt.state |= QStyle::State_Sunken;
        } else if (hovered_) {
            opt.activeSubControls =
                style()->hitTestComplexControl(QStyle::CC_ScrollBar, &opt, *hovered_, this);
        }
        QPainter p(this);
        InBands(e->rect(), [&](const QRect& band) {
            p.setClipRect(band);
            style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, this);
        });
    }
    void mousePressEvent(QMouseEvent* e) override {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        pressed_ = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &opt,
                                                  e->position().toPoint(), this);
        QScrollBar::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        pressed_ = QStyle::SC_None;
        QScrollBar::mouseReleaseEvent(e);
        update();
    }

    bool event(QEvent* e) override {
        if (e->type() == QEvent::HoverEnter || e->type() == QEvent::HoverMove) {
            hovered_ = static_cast<QHoverEvent*>(e)->position().toPoint();
        } else if (e->type() == QEvent::HoverLeave) {
            hovered_.reset();
        }
        return QScrollBar::event(e);
    }

  private:
    QStyle::SubControl pressed_ = QStyle::SC_None;
    std::optional<QPoint> hovered_;  // where the pointer is over the bar, as hover events tell
};

// The feature tags of an OpenType layout table (GSUB or GPOS), each with the lookup types its
// lookups have (an extension lookup counts as the type it wraps). An empty list for a table that
// is missing; nullopt for one that does not read as such a table.
using FeatureLookups = std::vector<std::pair<std::string, std::vector<unsigned>>>;
std::optional<FeatureLookups> LayoutFeatures(const QByteArray& table, unsigned extension_type) {
    FeatureLookups out;
    if (table.isEmpty()) return out;
    const auto* d = reinterpret_cast<const unsigned char*>(table.constData());
    const auto size = static_cast<std::size_t>(table.size());
    bool ok = true;
    const auto u16 = [&](std::size_t at) -> unsigned {
        if (at + 2 > size) {
            ok = false;
            return 0;
        }
        return (d[at] << 8) | d[at + 1];
    };
    const std::size_t features = u16(6), lookups = u16(8);
    const unsigned feature_count = u16(features);
    const unsigned lookup_count = u16(lookups);
    // Real faces list a few hundred lookups in all; a table that claims more is not read.
    std::size_t budget = 1 << 16;
    for (unsigned i = 0; i < feature_count && ok; ++i) {
        const std::size_t record = features + 2 + 6 * i;
        if (record + 4 > size) return std::nullopt;
        std::string tag(reinterpret_cast<const char*>(d + record), 4);
        const std::size_t feature = features + u16(record + 4);
        std::vector<unsigned> types;
        const unsigned n = u16(feature + 2);
        for (unsigned k = 0; k < n && ok; ++k) {
            if (budget-- == 0) return std::nullopt;
            const unsigned index = u16(feature + 4 + 2 * k);
            if (index >= lookup_count) return std::nullopt;
            const std::size_t lookup = lookups + u16(lookups + 2 + 2 * index);
            unsigned type = u16(lookup);
            if (type == extension_type && u16(lookup + 4) > 0) {
                type = u16(lookup + u16(lookup + 6) + 2);
            }
            types.push_back(type);
        }
        out.emplace_back(std::move(tag), std::move(types));
    }
    if (!ok) return std::nullopt;
    return out;
}

// Whether what shaping does to a row of printable ASCII in this face is the sum of what it does
// to each pair: no glyph substitution that applies by default (ligatures, contextual forms,
// language forms, composition), no layout tables of another kind, and kerning by pairs only.
bool ShapesByPairs(const QRawFont& f) {
    if (!f.fontTable("morx").isEmpty() || !f.fontTable("mort").isEmpty()) return false;
    const auto subs = LayoutFeatures(f.fontTable("GSUB"), 7);
    const auto pos = LayoutFeatures(f.fontTable("GPOS"), 9);
    if (!subs || !pos) return false;
    static const char* const kDefaultSubstitutions[] = {"rvrn", "ccmp", "locl", "rlig",
                                                        "liga", "clig", "calt", "rclt"};
    for (const auto& [tag, types] : *subs) {
        for (const char* d : kDefaultSubstitutions) {
            if (tag == d) return false;
        }
    }
    for (const auto& [tag, types] : *pos) {
        if (tag != "kern") continue;
        for (unsigned t : types) {
            if (t != 2) return false;  // pair adjustments only
        }
    }
    return true;
}

}  // namespace

TextView::TextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    // The paint fills the whole view itself.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setVerticalScrollBar(new BandedScrollBar(Qt::Vertical, this));
    verticalScrollBar()->setSingleStep(1);
    TakeFont();
    // The scroll bars change with every append; they cover their rectangles, so what lies
    // beneath the box (a group box's frame) is not painted again each time.
    verticalScrollBar()->setAutoFillBackground(true);
    horizontalScrollBar()->setAutoFillBackground(true);
}

void TextView::SetModel(const EditText* model) {
    model_ = model;
    Relayout();
}

void TextView::SetWrap(bool wrap) {
    wrap_ = wrap;
    Relayout();
}

void TextView::Relayout() {
    row_byte_.Reset();
    row_view_.Reset();
    laid_bytes_ = 0;
    laid_view_ = 0;
    row_x_ = 0;
    blank_x_ = -1;
    widest_ = 0;
    layout_width_ = -1;
    viewport()->update();
}

void TextView::TextChanged(std::size_t from) {
    const std::size_t length = model_ ? model_->ViewLength() : 0;
    anchor_ = std::min(anchor_, length);
    caret_ = std::min(caret_, length);
    if (from < laid_view_) {
        // Rows before the one the change starts in keep their breaks; that row is laid out again
        // from its start. An append finds everything before it laid out already and goes on.
        const std::size_t row = RowOf(from);
        row_byte_.resize(row + 1);
        row_view_.resize(row + 1);
        laid_bytes_ = row_byte_.back();
        laid_view_ = row_view_.back();
        row_x_ = 0;
        blank_x_ = -1;
    }
    viewport()->update();
}

double TextView::Advance(std::string_view unit) {
    // Characters are keyed by their bytes: single bytes by the byte, double-byte characters by
    // both (which start at 0x8140, above every single byte).
    const unsigned key = unit.size() == 2 ? (static_cast<unsigned char>(unit[0]) << 8) |
                                                static_cast<unsigned char>(unit[1])
                                          : static_cast<unsigned char>(unit[0]);
    if (advances_.empty()) advances_.assign(0x10000, -1.0F);
    float& a = advances_[key];
    if (a < 0) {
        const QFontMetricsF fm(font());
        a = static_cast<float>(fm.horizontalAdvance(ToQString(EditText::Render(unit, true))));
    }
    return a;
}

void TextView::EnsureLayout() {
    if (!model_) return;
    const int width = viewport()->width() - 2 * kMargin;
    if (wrap_ && width != layout_width_) {
        Relayout();
        layout_width_ = width;
    }
    const std::string& b = model_->Bytes();
    const std::size_t n = b.size();
    const bool pairs = model_->PairsCrLf();
    const double room = wrap_ ? std::max(width, 1) : 1e300;
    // A whole refresh's worth of text comes here at once; the row being laid out is kept in
    // locals, and the widest row is taken where a row ends rather than at every character.
    std::size_t i = laid_bytes_;
    std::size_t v = laid_view_;
    double row_x = row_x_, blank_x = blank_x_, widest = widest_;
    std::size_t blank_byte = blank_byte_, blank_view = blank_view_;
    std::size_t row_start = row_view_.back();
    const auto end_row = [&](std::size_t byte, std::size_t view) {
        widest = std::max(widest, row_x);
        row_byte_.push_back(byte);
        row_view_.push_back(view);
        row_start = view;
        blank_x = -1;
    };
    while (i < n) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c == '\r' && pairs && i + 1 < n && b[i + 1] == '\n') {
            i += 2;
            ++v;
            end_row(i, v);
            row_x = 0;
            continue;
        }
        // Printable ASCII, most of what arrives, is one byte whose width is in the table.
        const float known = c >= 0x20 && c < 0x80 && !advances_.empty() ? advances_[c] : -1.0F;
        const bool ascii = known >= 0;
        const std::size_t len = ascii ? 1 : GbkUnitLength(b, i);
        const double a = ascii ? known : Advance(std::string_view(b).substr(i, len));
        if (row_x + a > room && v > row_start) {
            if (blank_x >= 0 && blank_view > row_start) {
                const double carried = row_x - blank_x;
                end_row(blank_byte, blank_view);
                row_x = carried;
            } else {
                end_row(i, v);
                row_x = 0;
            }
            continue;
        }
        row_x += a;
        if (c == ' ') {
            blank_byte = i + 1;
            blank_view = v + 1;
            blank_x = row_x;
        }
        i += len;
        ++v;
    }
    widest_ = std::max(widest, row_x);
    row_x_ = row_x;
    blank_x_ = blank_x;
    blank_byte_ = blank_byte;
    blank_view_ = blank_view;
    laid_bytes_ = i;
    laid_view_ = v;

    const int rows = static_cast<int>(row_view_.size());
    const int visible = VisibleRows();
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setRange(0, std::max(0, rows - visible));
    const int wide = wrap_ ? 0 : static_cast<int>(widest_) + 2 * kMargin + 1;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, wide - viewport()->width()));
}

std::size_t TextView::RowCount() {
    EnsureLayout();
    return row_view_.size();
}

QString TextView::ShownRow(std::size_t row) {
    EnsureLayout();
    return row < row_view_.size() ? ToQString(RowText(row)) : QString();
}

std::size_t TextView::TopRow() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

std::size_t TextView::RowOf(std::size_t view_pos) {
    return row_view_.LastAtOrBefore(view_pos);
}

std::u16string TextView::RowText(std::size_t row) const {
    if (!model_) return {};
    const std::size_t from = row_byte_[row];
    const std::size_t to = row + 1 < row_byte_.size() ? row_byte_[row + 1] : laid_bytes_;
    std::u16string s =
        EditText::Render(std::string_view(model_->Bytes()).substr(from, to - from), true);
    if (!s.empty() && s.back() == u'\n') s.pop_back();
    return s;
}

std::size_t TextView::RowEnd(std::size_t row) const {
    return row_view_[row] + RowText(row).size();
}

int TextView::LineHeight() const {
    return std::max(1, QFontMetrics(font()).lineSpacing());
}

int TextView::VisibleRows() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight());
}

double TextView::RowWidthTo(std::size_t row, std::size_t view_pos) const {
    const std::u16string s = RowText(row);
    const std::size_t k = std::min(s.size(), view_pos - row_view_[row]);
    return QFontMetricsF(font()).horizontalAdvance(ToQString(s.substr(0, k)));
}

void TextView::paintEvent(QPaintEvent*) {
    EnsureLayout();
    QPainter p(viewport());
    const QPalette& pal = palette();
    FillInBands(p, viewport()->rect(), pal.base());
    p.setFont(font());
    const QFontMetricsF fm(font());
    const int line = LineHeight();
    const auto [sel_a, sel_b] = Selection();
    const double x0 = kMargin - horizontalScrollBar()->value();
    int y = kMargin;
    for (std::size_t r = TopRow(); r < row_view_.size() && y < viewport()->height();
         ++r, y += line) {
        const std::u16string text = RowText(r);
        const QString s = ToQString(text);
        const std::size_t start = row_view_[r];
        const std::size_t end = start + text.size();
        p.setPen(pal.color(QPalette::Text));
        DrawRow(p, QPointF(x0, y + fm.ascent()), s);
        if (sel_a < sel_b && sel_a <= end && sel_b > start) {
            const std::size_t a = std::max(sel_a, start) - start;
            const std::size_t b = std::min(sel_b, end) - start;
            const double xa = x0 + fm.horizontalAdvance(s.left(static_cast<qsizetype>(a)));
            double xb = x0 + fm.horizontalAdvance(s.left(static_cast<qsizetype>(b)));
            if (sel_b > end) xb += fm.averageCharWidth();  // the selected line break
            const QRectF band(xa, y, xb - xa, line);
            p.fillRect(band, pal.brush(QPalette::Highlight));
            p.save();
            p.setClipRect(band);
            p.setPen(pal.color(QPalette::HighlightedText));
            DrawRow(p, QPointF(x0, y + fm.ascent()), s);
            p.restore();
        }
        if (hasFocus() && caret_ >= start && caret_ <= end && RowOf(caret_) == r) {
            const double xc =
                x0 + fm.horizontalAdvance(s.left(static_cast<qsizetype>(caret_ - start)));
            p.setPen(pal.color(QPalette::Text));
            p.drawLine(QPointF(xc, y), QPointF(xc, y + line - 1));
        }
    }
}

void TextView::TakeFont() {
    ascii_glyphs_.clear();
    const QFont& f = font();
    raw_font_ = QRawFont::fromFont(f);
    unshaped_ok_ = raw_font_.isValid() && !f.underline() && !f.strikeOut() && !f.overline() &&
                   f.letterSpacing() == 0 && f.wordSpacing() == 0 && ShapesByPairs(raw_font_);
}

void TextView::DrawRow(QPainter& p, const QPointF& at, const QString& s) {
    if (!DrawUnshaped(p, at, s)) p.drawText(at, s);
}

bool TextView::DrawUnshaped(QPainter& p, const QPointF& at, const QString& s) {
    // Right to left, the blanks and punctuation at the ends of a row would move.
    if (!unshaped_ok_ || s.isEmpty() || p.layoutDirection() != Qt::LeftToRight ||
        !PrintableAsciiGlyphs()) {
        return false;
    }
    run_glyphs_.clear();
    run_positions_.clear();
    double x = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x20 || c >= 0x7F) return false;
        if (i > 0) {
            const float step = PairAdvance(s[i - 1].unicode(), c);
            if (step < 0) return false;
            x += step;
        }
        run_glyphs_.push_back(ascii_glyphs_[c - 0x20]);
        run_positions_.emplace_back(x, 0);
    }
    QGlyphRun run;
    run.setRawFont(raw_font_);
    run.setRawData(run_glyphs_.data(), run_positions_.data(), static_cast<int>(run_glyphs_.size()));
    p.drawGlyphRun(at, run);
    return true;
}

bool TextView::PrintableAsciiGlyphs() {
    if (ascii_glyphs_.empty()) {
        QString all;
        for (char16_t c = 0x20; c < 0x7F; ++c) all += QChar(c);
        ascii_glyphs_.assign(kAscii, 0);
        int n = kAscii;
        if (!raw_font_.glyphIndexesForChars(all.constData(), kAscii, ascii_glyphs_.data(), &n) ||
            n != kAscii) {
            n = 0;
        }
        // A character the font lacks comes from a fallback font: such a font is always shaped.
        if (std::count(ascii_glyphs_.begin(), ascii_glyphs_.begin() + n, 0u) != 0 || n == 0) {
            unshaped_ok_ = false;
        }
        pair_advances_.assign(static_cast<std::size_t>(kAscii) * kAscii,
                              std::numeric_limits<float>::quiet_NaN());
    }
    return unshaped_ok_;
}

float TextView::PairAdvance(char16_t a, char16_t b) {
    float& step = pair_advances_[static_cast<std::size_t>(a - 0x20) * kAscii + (b - 0x20)];
    if (!std::isnan(step)) return step;
    step = -1;
    const QChar pair[2] = {QChar(a), QChar(b)};
    QTextLayout layout(QString(pair, 2), font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1) return step;
    const QList<quint32> glyphs = runs[0].glyphIndexes();
    const QList<QPointF> positions = runs[0].positions();
    if (glyphs.size() == 2 && positions.size() == 2 && glyphs[0] == ascii_glyphs_[a - 0x20] &&
        glyphs[1] == ascii_glyphs_[b - 0x20]) {
        step = static_cast<float>(positions[1].x() - positions[0].x());
    }
    return step;
}

void TextView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    EnsureLayout();
}

void TextView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        advances_.clear();
        TakeFont();
        Relayout();
    }
}

void TextView::scrollContentsBy(int, int) {
    viewport()->update();
}

void TextView::SetSelection(std::size_t anchor, std::size_t caret) {
    const std::size_t length = model_ ? model_->ViewLength() : 0;
    anchor_ = std::min(anchor, length);
    caret_ = std::min(caret, length);
    goal_x_ = -1;
    viewport()->update();
}

std::pair<std::size_t, std::size_t> TextView::Selection() const {
    return {std::min(anchor_, caret_), std::max(anchor_, caret_)};
}

void TextView::EnsureCaretVisible() {
    EnsureLayout();
    const int row = static_cast<int>(RowOf(caret_));
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + VisibleRows()) {
        bar->setValue(row - VisibleRows() + 1);
    }
    if (!wrap_) {
        const int x = static_cast<int>(RowWidthTo(static_cast<std::size_t>(row), caret_));
        QScrollBar* h = horizontalScrollBar();
        const int w = viewport()->width() - 2 * kMargin;
        if (x < h->value()) {
            h->setValue(x);
        } else if (x > h->value() + w) {
            h->setValue(x - w);
        }
    }
}

std::size_t TextView::PositionAt(const QPoint& pt) {
    EnsureLayout();
    const int line = LineHeight();
    const long row_at =
        static_cast<long>(TopRow()) + (pt.y() - kMargin) / line - (pt.y() < kMargin ? 1 : 0);
    const std::size_t row = static_cast<std::size_t>(
        std::clamp<long>(row_at, 0, static_cast<long>(row_view_.size()) - 1));
    return PositionInRow(row, pt.x() - kMargin + horizontalScrollBar()->value());
}

std::size_t TextView::PositionInRow(std::size_t row, double x) const {
    const QString s = ToQString(RowText(row));
    const QFontMetricsF fm(font());
    double at = 0;
    qsizetype k = 0;
    for (; k < s.size(); ++k) {
        const double w = fm.horizontalAdvance(s.at(k));
        if (x < at + w / 2) break;
        at += w;
    }
    return row_view_[row] + static_cast<std::size_t>(k);
}

void TextView::MoveCaret(std::size_t pos, bool extend) {
    const std::size_t length = model_ ? model_->ViewLength() : 0;
    caret_ = std::min(pos, length);
    if (!extend) anchor_ = caret_;
    EnsureCaretVisible();
    viewport()->update();
}

void TextView::Edit(std::size_t pos, std::size_t removed, const std::u16string& typed) {
    if (read_only_ || !on_edit || (removed == 0 && typed.empty())) return;
    on_edit(pos, removed, typed);
    EnsureCaretVisible();
}

void TextView::ReplaceSelection(const std::u16string& typed) {
    const auto [a, b] = Selection();
    Edit(a, b - a, typed);
}

std::u16string TextView::SelectedText() const {
    if (!model_) return {};
    const auto [a, b] = Selection();
    const std::size_t from = model_->ViewToByte(a);
    const std::size_t to = model_->ViewToByte(b);
    return EditText::Render(std::string_view(model_->Bytes()).substr(from, to - from),
                            model_->PairsCrLf());
}

void TextView::keyPressEvent(QKeyEvent* e) {
    if (!model_) return;
    EnsureLayout();
    const bool shift = (e->modifiers() & Qt::ShiftModifier) != 0;
    const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
    const std::size_t length = model_->ViewLength();
    const auto [a, b] = Selection();
    if (e == QKeySequence::SelectAll) {
        anchor_ = 0;
        MoveCaret(length, true);
        return;
    }
    if (e == QKeySequence::Copy || e == QKeySequence::Cut) {
        if (a < b) {
            QApplication::clipboard()->setText(selected_text ? selected_text()
                                                             : ToQString(SelectedText()));
        }
        if (e == QKeySequence::Cut && a < b) ReplaceSelection(u"");
        return;
    }
    if (e == QKeySequence::Paste) {
        QString s = QApplication::clipboard()->text();
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (!s.isEmpty()) ReplaceSelection(FromQString(s));
        return;
    }
    const std::size_t row = RowOf(caret_);
    const auto vertical = [&](long rows) {
        if (goal_x_ < 0) goal_x_ = RowWidthTo(row, caret_);
        const double goal = goal_x_;
        const long target = std::clamp<long>(static_cast<long>(row) + rows, 0,
                                             static_cast<long>(row_view_.size()) - 1);
        MoveCaret(PositionInRow(static_cast<std::size_t>(target), goal), shift);
        goal_x_ = goal;
    };
    switch (e->key()) {
        case Qt::Key_Left:
            goal_x_ = -1;
            MoveCaret(!shift && a < b ? a : (caret_ > 0 ? caret_ - 1 : 0), shift);
            return;
        case Qt::Key_Right:
            goal_x_ = -1;
            MoveCaret(!shift && a < b ? b : caret_ + 1, shift);
            return;
        case Qt::Key_Up:
            vertical(-1);
            return;
        case Qt::Key_Down:
            vertical(1);
            return;
        case Qt::Key_PageUp:
            vertical(-VisibleRows());
            return;
        case Qt::Key_PageDown:
            vertical(VisibleRows());
            return;
        case Qt::Key_Home:
            goal_x_ = -1;
            MoveCaret(ctrl ? 0 : row_view_[row], shift);
            return;
        case Qt::Key_End:
            goal_x_ = -1;
            MoveCaret(ctrl ? length : RowEnd(row), shift);
            return;
        case Qt::Key_Backspace:
            if (a < b) {
                ReplaceSelection(u"");
            } else if (caret_ > 0) {
                Edit(caret_ - 1, 1, u"");
            }
            return;
        case Qt::Key_Delete:
            if (a < b) {
                ReplaceSelection(u"");
            } else if (caret_ < length) {
                Edit(caret_, 1, u"");
            }
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ReplaceSelection(u"\n");
            return;
        default:
            break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && !ctrl && text.at(0).unicode() >= 0x20 && text.at(0).unicode() != 0x7F) {
        ReplaceSelection(FromQString(text));
        return;
    }
    e->ignore();
}

void TextView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    goal_x_ = -1;
    MoveCaret(PositionAt(e->position().toPoint()), (e->modifiers() & Qt::ShiftModifier) != 0);
}

void TextView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    MoveCaret(PositionAt(e->position().toPoint()), true);
}

void TextView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !model_) return;
    // A word is a run of characters that are neither blanks nor line breaks.
    const std::size_t pos = PositionAt(e->position().toPoint());
    const std::size_t row = RowOf(pos);
    const std::u16string s = RowText(row);
    const std::size_t start = row_view_[row];
    auto word = [&](std::size_t k) { return k < s.size() && s[k] != u' ' && s[k] != u'\t'; };
    std::size_t from = pos - start;
    std::size_t to = from;
    while (from > 0 && word(from - 1)) --from;
    while (word(to)) ++to;
    anchor_ = start + from;
    MoveCaret(start + to, true);
}

void TextView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void TextView::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

void TextView::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) ReplaceSelection(FromQString(e->commitString()));
    e->accept();
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) return !read_only_;
    return QAbstractScrollArea::inputMethodQuery(query);
}

}  // namespace kesu::platform::qt
