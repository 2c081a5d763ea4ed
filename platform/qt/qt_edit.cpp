#include <QClipboard>
#include <QKeyEvent>
#include <algorithm>
#include <functional>
#include <utility>

#include "platform/edit_text.h"
#include "platform/qt/qt_control.h"
#include "platform/qt/qt_text_view.h"

namespace kesu::platform::qt {

namespace {

// A change between two views of a text: `removed` characters at `pos`
// replaced by `added` others.
struct ViewChange {
    std::size_t pos = 0;
    std::size_t removed = 0;
    std::size_t added = 0;
};

// The change is what lies between the common start and the common end.
ViewChange ChangeBetween(const std::u16string& before, const std::u16string& after) {
    std::size_t p = 0;
    while (p < before.size() && p < after.size() && before[p] == after[p]) ++p;
    std::size_t s = 0;
    while (s < before.size() - p && s < after.size() - p &&
           before[before.size() - 1 - s] == after[after.size() - 1 - s]) {
        ++s;
    }
    return {p, before.size() - p - s, after.size() - p - s};
}

// The bytes live in an EditText; the widget shows its view. Program changes
// are applied to the widget as the small view edits the model computes, and
// a user's edit is turned into bytes and applied to the model the same way.
template <class W>
class QtEditBase : public QtLeaf<Edit, W> {
  public:
    QtEditBase(QtUi& ui, W* w, Control* parent, const EditStyle& style)
        : QtLeaf<Edit, W>(ui, w, parent), style_(style), model_(style.multi_line) {
        this->back_colour_ = kWhite;
        this->ApplyPalette();
        // A box covers its rectangle: when its text changes (a counter at every refresh), the
        // frame or box drawn beneath it need not be painted again.
        if (this->w_) this->w_->setAutoFillBackground(true);
    }
    EditStyle Style() const override { return style_; }
    std::string Text() const override { return model_.Bytes(); }
    std::size_t TextLength() const override { return model_.Size(); }
    void SetLimit(std::size_t bytes) override { limit_ = bytes; }
    std::size_t Limit() const override { return limit_; }
    void SetInputFilter(Edit::InputFilter f) override { filter_ = std::move(f); }
    void SetReadOnly(bool ro) override {
        style_.read_only = ro;
        if (this->w_) this->w_->setReadOnly(ro);
    }
    // The toolkit draws its own password character; the one asked for is kept.
    void SetPassword(bool on, char c) override {
        style_.password = on;
        style_.password_char = c;
    }

    void SetText(std::string_view gbk) override {
        // A counter written with the count it already shows is not drawn again.
        if (gbk != model_.Bytes()) Apply(model_.Assign(gbk, ViewNeedsText()));
        SetSelection(0, 0);
        this->Emit(Notify::TextChanged);
    }
    void SetSelection(std::size_t start, std::size_t end) override {
        start = model_.Snap(std::min(start, end));
        end = model_.Snap(std::max(start, end));
        SetViewSelection(model_.ByteToView(start), model_.ByteToView(end));
    }
    std::pair<std::size_t, std::size_t> Selection() const override {
        auto [a, b] = ViewSelection();
        return {model_.ViewToByte(a), model_.ViewToByte(b)};
    }
    void ReplaceSelection(std::string_view gbk) override {
        auto [a, b] = Selection();
        Insert(a, b, gbk);
        this->ScrollToCaret();
    }
    void Append(std::string_view gbk) override {
        std::size_t n = model_.Size();
        Insert(n, n, gbk);
        this->ScrollToCaret();
    }

  protected:
    // What a copy or a drag takes: the selected bytes as text, every line
    // break as the bytes have it, never the stand-ins the view shows.
    QString SelectedText() const {
        auto [a, b] = Selection();
        return ToQ(std::string_view(model_.Bytes()).substr(a, b - a));
    }

    virtual void ApplyView(const EditText::ViewEdit& e) = 0;
    // Whether ApplyView needs the characters a change inserts, or only where it starts.
    virtual bool ViewNeedsText() const { return true; }
    virtual void SetViewSelection(std::size_t a, std::size_t b) = 0;
    virtual std::pair<std::size_t, std::size_t> ViewSelection() const = 0;

    void Apply(const EditText::ViewEdit& e) {
        programmatic_ = true;
        ApplyView(e);
        programmatic_ = false;
    }

    void Insert(std::size_t a, std::size_t b, std::string_view gbk) {
        std::string_view piece = EditText::CutToLimit(gbk, model_.Size(), b - a, limit_);
        if (piece.empty() && a == b) return;
        Apply(model_.Replace(a, b, piece, ViewNeedsText()));
        std::size_t caret = model_.ByteToView(a + piece.size());
        SetViewSelection(caret, caret);
        this->Emit(Notify::TextChanged);
    }

    // The user replaced `removed` view characters at `pos` by `typed`; the
    // widget already shows that. The model takes the edit as bytes, after the
    // box's filter, letter case and limit, and the widget is corrected where
    // it shows something else.
    void UserEdit(std::size_t pos, std::size_t removed, const std::u16string& typed) {
        this->SetFocus();
        std::size_t a = model_.ViewToByte(pos);
        std::size_t b = model_.ViewToByte(pos + removed);
        std::string bytes = model_.FromView(typed);
        bytes = EditText::Filter(bytes, filter_);
        bytes = EditText::ApplyCase(bytes, style_.letter_case == LetterCase::Lower,
                                    style_.letter_case == LetterCase::Upper);
        bytes.resize(EditText::CutToLimit(bytes, model_.Size(), b - a, limit_).size());
        std::size_t widget_len = CurrentViewLength();
        EditText::ViewEdit e = model_.Replace(a, b, bytes);
        // The same stretch in the widget: the model's old range, grown or
        // shrunk by what the user's edit changed in length.
        std::size_t shown_len = e.removed + typed.size() - removed;
        (void)widget_len;
        std::size_t caret = model_.ByteToView(a + bytes.size());
        if (ShownText(e.start, shown_len) != e.inserted) {
            Correct(EditText::ViewEdit{e.start, shown_len, e.inserted, e.inserted.size()}, caret);
        } else {
            SetViewSelection(caret, caret);
        }
        this->Notify_(Notify::TextChanged);
    }

    // Makes the widget show the model again after a user edit that the
    // box's rules changed; `caret` is the view position after the edit.
    virtual void Correct(const EditText::ViewEdit& fix, std::size_t caret) {
        Apply(fix);
        SetViewSelection(caret, caret);
    }
    virtual std::size_t CurrentViewLength() const = 0;
    virtual std::u16string ShownText(std::size_t start, std::size_t len) const = 0;

    EditStyle style_;
    EditText model_;
    Edit::InputFilter filter_;
    std::size_t limit_ = 0;
    bool programmatic_ = false;
};

// A multi-line box whose view paints the model itself (see TextView): the text is held once, and
// the rows need no blocks of their own, so the model makes no soft breaks.
class QtViewEdit final : public QtEditBase<TextView> {
  public:
    QtViewEdit(QtUi& ui, Control* parent, const EditStyle& style)
        : QtEditBase(ui, new TextView, parent, style) {
        TextView* v = w_;
        v->SetModel(&model_);
        v->SetWrap(!style.hscroll);
        v->setHorizontalScrollBarPolicy(style.hscroll ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);
        v->setVerticalScrollBarPolicy(style.vscroll ? Qt::ScrollBarAlwaysOn
                                                    : Qt::ScrollBarAlwaysOff);
        v->setReadOnly(style.read_only);
        v->selected_text = [this] { return SelectedText(); };
        v->on_edit = [this](std::size_t pos, std::size_t removed, const std::u16string& typed) {
            ui_.loop().Work([&] { UserEdit(pos, removed, typed); });
            // The edit may have joined the character before it (a CR with an LF, a lead byte
            // with its trail byte), so the rows are laid out again from there.
            if (w_) w_->TextChanged(pos > 0 ? pos - 1 : 0);
        };
        SetBorder(Border::Sunken);
    }
    ~QtViewEdit() override {
        if (w_) {
            w_->on_edit = nullptr;
            w_->selected_text = nullptr;
            w_->SetModel(nullptr);
        }
    }
    void ScrollToCaret() override {
        if (w_) w_->EnsureCaretVisible();
    }

  protected:
    void ApplyView(const EditText::ViewEdit& ed) override {
        if (w_) w_->TextChanged(ed.start);
    }
    bool ViewNeedsText() const override { return false; }
    void SetViewSelection(std::size_t a, std::size_t b) override {
        if (w_) w_->SetSelection(a, b);
    }
    std::pair<std::size_t, std::size_t> ViewSelection() const override {
        return w_ ? w_->Selection() : std::pair<std::size_t, std::size_t>{0, 0};
    }
    std::size_t CurrentViewLength() const override { return model_.ViewLength(); }
    // The view shows the model as it is.
    std::u16string ShownText(std::size_t start, std::size_t len) const override {
        const std::size_t a = model_.ViewToByte(start);
        const std::size_t b = model_.ViewToByte(start + len);
        return EditText::Render(std::string_view(model_.Bytes()).substr(a, b - a),
                                model_.PairsCrLf());
    }
};

// A line edit whose copied or cut text comes from the bytes.
class LineEdit final : public QLineEdit {
  public:
    std::function<QString()> selected_text;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        const bool copy = e->matches(QKeySequence::Copy);
        const bool cut = e->matches(QKeySequence::Cut);
        if ((copy || cut) && selected_text && hasSelectedText() &&
            echoMode() == QLineEdit::Normal) {
            QApplication::clipboard()->setText(selected_text());
            if (cut && !isReadOnly()) del();
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};

class QtLineEdit final : public QtEditBase<QLineEdit> {
  public:
    QtLineEdit(QtUi& ui, Control* parent, const EditStyle& style)
        : QtEditBase(ui, new LineEdit, parent, style) {
        QLineEdit* e = w_;
        static_cast<LineEdit*>(e)->selected_text = [this] { return SelectedText(); };
        e->setAlignment(ToAlign(style.align, VAlign::Centre));
        e->setReadOnly(style.read_only);
        e->setEchoMode(style.password ? QLineEdit::Password : QLineEdit::Normal);
        shown_ = model_.View();
        // Every change the program did not make is the user's: typing, a
        // paste, a drop, an undo.
        QObject::connect(e, &QLineEdit::textChanged, ctx_.get(), [this](const QString& now) {
            if (!w_ || programmatic_) return;
            // A line edit reports its whole new text; the edit is what lies
            // between the common start and the common end.
            std::u16string after = ViewOf(now);
            const ViewChange c = ChangeBetween(shown_, after);
            std::u16string typed = after.substr(c.pos, c.added);
            shown_ = std::move(after);
            ui_.loop().Work([&] { UserEdit(c.pos, c.removed, typed); });
        });
        SetBorder(Border::Sunken);
    }
    ~QtLineEdit() override {
        if (w_) static_cast<LineEdit*>(w_.data())->selected_text = nullptr;
    }
    void SetPassword(bool on, char c) override {
        QtEditBase::SetPassword(on, c);
        if (w_) w_->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
    }
    void ScrollToCaret() override {}
    void SetBorder(Border b) override {
        border_ = b;
        if (w_) w_->setFrame(b != Border::None);
    }

  protected:
    void ApplyView(const EditText::ViewEdit& ed) override {
        shown_.replace(ed.start, ed.removed, ed.inserted);
        if (w_) w_->setText(ViewQ(shown_));
    }
    void SetViewSelection(std::size_t a, std::size_t b) override {
        if (!w_) return;
        if (a == b) {
            w_->setCursorPosition(static_cast<int>(a));
        } else {
            w_->setSelection(static_cast<int>(a), static_cast<int>(b - a));
        }
    }
    std::pair<std::size_t, std::size_t> ViewSelection() const override {
        if (!w_) return {0, 0};
        if (!w_->hasSelectedText()) {
            auto c = static_cast<std::size_t>(w_->cursorPosition());
            return {c, c};
        }
        auto s = static_cast<std::size_t>(w_->selectionStart());
        return {s, s + static_cast<std::size_t>(w_->selectionLength())};
    }
    // A line edit must not be changed while it reports an edit: the fix waits
    // for the loop, which runs before the user's next key.
    void Correct(const EditText::ViewEdit&, std::size_t caret) override {
        QMetaObject::invokeMethod(
            ctx_.get(),
            [this, caret] {
                if (!w_) return;
                programmatic_ = true;
                shown_ = model_.View();
                w_->setText(ViewQ(shown_));
                programmatic_ = false;
                SetViewSelection(std::min(caret, shown_.size()), std::min(caret, shown_.size()));
            },
            Qt::QueuedConnection);
    }
    std::size_t CurrentViewLength() const override { return shown_.size(); }
    std::u16string ShownText(std::size_t start, std::size_t len) const override {
        if (start >= shown_.size()) return {};
        return shown_.substr(start, len);
    }

  private:
    std::u16string shown_;  // what the widget shows, kept to find the user's edit
};

}  // namespace

std::unique_ptr<Edit> MakeEdit(QtUi& ui, Control* parent, const EditStyle& style) {
    if (style.multi_line) return std::make_unique<QtViewEdit>(ui, parent, style);
    return std::make_unique<QtLineEdit>(ui, parent, style);
}

}  // namespace kesu::platform::qt
