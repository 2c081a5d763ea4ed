#include "platform/qt/qt_ui.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGradient>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "platform/combo_items.h"
#include "platform/edit_text.h"
#include "platform/gbk.h"
#include "platform/qt/qt_loop.h"
#include "platform/qt/qt_menu.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text_view.h"

namespace kesu::platform::qt {

namespace {

// A multi-line box breaks paragraphs longer than this into blocks of their
// own (see EditText): enough that the short row ending a block shows up only
// every fifty rows or so, little enough that laying out the block being
// appended to stays cheap (a 5 KB append of letters takes about 2.6 ms, of
// which about half goes on laying out the block again).
constexpr std::size_t kBlockColumns = 4096;

QString ToQ(std::string_view gbk) {
    return ToQString(gbk);
}

QString ViewQ(const std::u16string& v) {
    return QString::fromUtf16(v.data(), static_cast<qsizetype>(v.size()));
}

std::u16string ViewOf(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

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

QColor ToColour(Colour c, QPalette::ColorRole face_role = QPalette::Button) {
    if (c == kButtonFace) return QApplication::palette().color(face_role);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

Qt::Alignment ToAlign(HAlign h, VAlign v) {
    Qt::Alignment a = h == HAlign::Left     ? Qt::AlignLeft
                      : h == HAlign::Centre ? Qt::AlignHCenter
                                            : Qt::AlignRight;
    a |= v == VAlign::Top ? Qt::AlignTop : v == VAlign::Centre ? Qt::AlignVCenter : Qt::AlignBottom;
    return a;
}

QFont ToQFont(const Font& f) {
    QFont q = QApplication::font();
    std::string family = FamilyFor(f.face);
    if (!family.empty()) q.setFamily(QString::fromUtf8(family.c_str()));
    if (f.height < 0) q.setPixelSize(-f.height);
    // A positive height is the cell height, of which the character takes
    // roughly four fifths.
    if (f.height > 0) q.setPixelSize(std::max(1, f.height * 4 / 5));
    q.setBold(f.weight >= 700);
    q.setItalic(f.italic);
    q.setUnderline(f.underline);
    q.setStrikeOut(f.strike_out);
    return q;
}

// Picture bytes as the program stored them, and what they show, read once
// per change.
struct StoredPicture {
    std::string bytes;
    QPixmap shown;  // null for none or for bytes in no format the toolkit reads

    // False when `b` is what is stored already.
    bool Set(std::string_view b) {
        if (b == bytes) return false;
        bytes = std::string(b);
        shown = QPixmap();
        if (!b.empty()) {
            shown.loadFromData(QByteArray::fromRawData(b.data(), static_cast<qsizetype>(b.size())));
        }
        return true;
    }
};

// The system shapes by Cursor value; Default has none.
constexpr Qt::CursorShape kCursorShapes[] = {
    Qt::ArrowCursor,   Qt::ArrowCursor,     Qt::CrossCursor,       Qt::IBeamCursor,
    Qt::WaitCursor,    Qt::WhatsThisCursor, Qt::BusyCursor,        Qt::ForbiddenCursor,
    Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,     Qt::SizeFDiagCursor,
    Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::PointingHandCursor};
static_assert(std::size(kCursorShapes) == static_cast<std::size_t>(Cursor::Hand) + 1);

// Puts the pointer shape on `w`. The shape a widget has from its kind (the
// beam of a text field) is noted on first use, and Default gives it back.
void ApplyCursor(QWidget* w, Cursor c) {
    static const char* const kKindShape = "kesu_kind_cursor";
    QVariant kind = w->property(kKindShape);
    if (!kind.isValid()) {
        kind = w->testAttribute(Qt::WA_SetCursor) ? static_cast<int>(w->cursor().shape()) : -1;
        w->setProperty(kKindShape, kind);
    }
    if (c != Cursor::Default) {
        w->setCursor(kCursorShapes[static_cast<std::size_t>(c)]);
    } else if (kind.toInt() >= 0) {
        w->setCursor(static_cast<Qt::CursorShape>(kind.toInt()));
    } else {
        w->unsetCursor();
    }
}

QWidget* ParentWidget(Control* parent) {
    if (!parent) return nullptr;
    auto* node = dynamic_cast<QtNode*>(parent);
    return node ? node->ChildArea() : nullptr;
}

}  // namespace

std::string FamilyFor(const std::string& gbk_face) {
    static const std::string kSimSun = "\xCB\xCE\xCC\xE5";             // 宋体
    static const std::string kNewSimSun = "\xD0\xC2\xCB\xCE\xCC\xE5";  // 新宋体
    static const std::string kCjk = "WenQuanYi Micro Hei";
    if (gbk_face.empty() || gbk_face == "System" || gbk_face == "MS Sans Serif") {
        return QApplication::font().family().toStdString();
    }
    if (gbk_face == kSimSun || gbk_face == "SimSun" || gbk_face == kNewSimSun) return kCjk;
    std::string utf8 = GbkToUtf8(gbk_face);
    if (QFontDatabase::hasFamily(QString::fromUtf8(utf8.c_str()))) return utf8;
    return kCjk;
}

// The common part of every control: one widget, its looks, and the logical
// focus. Connections are made with `ctx_` as context, so destroying the
// control cuts them even while the widget waits for its deferred deletion.
template <class Base, class W>
class QtControl : public Base, public QtNode {
  public:
    QtControl(QtUi& ui, W* widget, Control* parent) : ui_(ui), w_(widget) {
        if (QWidget* p = ParentWidget(parent)) {
            // A new child goes beneath its siblings, as on the other backend.
            w_->setParent(p);
            w_->lower();
        }
        // Children of a shown parent would appear on their own; a control is
        // hidden until told otherwise, as on the other backend.
        w_->hide();
        font_ = ui.DefaultFont();
        ui_.Register(w_, this);
    }
    ~QtControl() override {
        if (ui_.focused == this) ui_.focused = nullptr;
        ctx_.reset();
        ui_.Unregister(this);
        if (w_) {
            ++ui_.quiet;
            w_->hide();
            --ui_.quiet;
            w_->deleteLater();
        }
    }

    QWidget* Widget() const override { return w_; }

    void SetGeometry(const Rect& r) override {
        if (w_) w_->setGeometry(r.left, r.top, r.width, r.height);
    }
    Rect Geometry() const override {
        if (!w_) return {};
        QRect g = w_->geometry();
        return Rect{g.x(), g.y(), g.width(), g.height()};
    }
    void SetParent(Control* parent) override {
        if (!w_) return;
        bool shown = !w_->isHidden();
        // The toolkit puts an adopted child on top of its new siblings; it
        // goes beneath them, as a new child does, until it is placed.
        w_->setParent(ParentWidget(parent));
        w_->lower();
        if (shown) w_->show();
        ui_.OrderTabs(w_->window());
    }
    void PlaceAfter(Control* sibling) override {
        if (!w_) return;
        QWidget* s = ParentWidget(sibling);
        if (s && s->parentWidget() == w_->parentWidget()) {
            w_->stackUnder(s);
        } else {
            w_->raise();
        }
        ui_.OrderTabs(w_->window());
    }
    void SetVisible(bool v) override {
        if (!w_) return;
        ++ui_.quiet;
        w_->setVisible(v);
        --ui_.quiet;
    }
    bool IsVisible() const override { return w_ && w_->isVisible(); }
    void SetEnabled(bool e) override {
        if (w_) w_->setEnabled(e);
    }
    bool IsEnabled() const override { return w_ && !w_->testAttribute(Qt::WA_ForceDisabled); }
    void SetFont(const Font& f) override {
        font_ = f;
        if (w_) w_->setFont(ToQFont(f));
    }
    Font GetFont() const override { return font_; }
    void SetTextColour(Colour c) override {
        text_colour_ = c;
        ApplyPalette();
    }
    void SetBackColour(Colour c) override {
        back_colour_ = c;
        ApplyPalette();
    }
    void SetBorder(Border b) override {
        border_ = b;
        if (auto* f = qobject_cast<QFrame*>(w_.data())) {
            f->setFrameStyle(b == Border::None     ? QFrame::NoFrame
                             : b == Border::Single ? QFrame::Box | QFrame::Plain
                             : b == Border::Raised ? QFrame::Panel | QFrame::Raised
                                                   : QFrame::Panel | QFrame::Sunken);
        }
    }
    void SetFocus() override {
        Control* old = ui_.focused;
        if (old == this) return;
        ui_.focused = this;
        if (w_) w_->setFocus(Qt::OtherFocusReason);
        if (old) NotifyOther(old, Notify::FocusOut);
        if (ui_.focused == this) this->Emit(Notify::FocusIn);
    }
    bool HasFocus() const override { return ui_.focused == this; }
    void SetCursor(Cursor c) override {
        ForPointerWidgets([c](QWidget* w) { ApplyCursor(w, c); });
    }
    void SetCursorImage(const CursorImage& image) override {
        ForPointerWidgets([&image](QWidget* w) { ApplyCursorImage(w, image); });
    }

    void EmitNotify(Notify n) { this->Emit(n); }

  protected:
    // The widget and, where the pointer mostly is, the text area of a box
    // and the edit field of a combo box.
    template <class F>
    void ForPointerWidgets(F&& apply) {
        if (!w_) return;
        apply(w_.data());
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w_.data())) apply(area->viewport());
        if (auto* box = qobject_cast<QComboBox*>(w_.data()); box && box->lineEdit()) {
            apply(box->lineEdit());
        }
    }
    static void NotifyOther(Control* c, Notify n);
    virtual void ApplyPalette() {
        if (!w_) return;
        QPalette p = w_->palette();
        QColor fg = ToColour(text_colour_);
        // The text colour is the enabled look only: a disabled control keeps the style's grey
        // text, as users expect of a control they cannot use.
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::WindowText, fg);
            p.setColor(group, QPalette::Text, fg);
            p.setColor(group, QPalette::ButtonText, fg);
        }
        QColor bg = ToColour(back_colour_);
        p.setColor(QPalette::Window, bg);
        p.setColor(QPalette::Base, bg);
        w_->setPalette(p);
    }
    void Notify_(Notify n) {
        ui_.loop().Work([this, n] { this->Emit(n); });
    }

    QtUi& ui_;
    QPointer<W> w_;
    std::unique_ptr<QObject> ctx_ = std::make_unique<QObject>();
    Font font_;
    Colour text_colour_ = kBlack;
    Colour back_colour_ = kButtonFace;
    Border border_ = Border::None;
};

// Emitting on another control goes through its own type; every control of
// this backend offers EmitNotify through this small interface.
class Emitter {
  public:
    virtual ~Emitter() = default;
    virtual void EmitFrom(Notify n) = 0;
};

template <class Base, class W>
void QtControl<Base, W>::NotifyOther(Control* c, Notify n) {
    if (auto* e = dynamic_cast<Emitter*>(c)) e->EmitFrom(n);
}

template <class Base, class W>
class QtLeaf : public QtControl<Base, W>, public Emitter {
  public:
    using QtControl<Base, W>::QtControl;
    void EmitFrom(Notify n) override { this->Emit(n); }
};

// ---- Window ----

void PaintPicture(QPainter& p, const QRect& r, const QPixmap& picture, PictureLayout layout);

class WindowWidget final : public QWidget {
  public:
    // Over the back colour; null for none.
    QPixmap picture;
    PictureLayout layout = PictureLayout::Stretched;
    // The height at the top that the menu bar takes from the client area.
    int top_band = 0;
    std::function<void()> on_close;
    std::function<void(bool)> on_show;
    std::function<void()> on_geometry;
    std::function<void()> on_activation;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (picture.isNull()) return;
        QPainter p(this);
        PaintPicture(p, rect().adjusted(0, top_band, 0, 0), picture, layout);
    }
    void closeEvent(QCloseEvent* e) override {
        // Closing is the program's decision: it destroys the window itself.
        e->ignore();
        if (on_close) on_close();
    }
    void showEvent(QShowEvent*) override {
        if (on_show) on_show(true);
    }
    void hideEvent(QHideEvent*) override {
        if (on_show) on_show(false);
    }
    void moveEvent(QMoveEvent*) override {
        if (on_geometry) on_geometry();
    }
    void resizeEvent(QResizeEvent*) override {
        if (on_geometry) on_geometry();
    }
    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::ActivationChange && on_activation) on_activation();
    }
};

class QtWindow final : public QtLeaf<Window, WindowWidget> {
  public:
    explicit QtWindow(QtUi& ui) : QtLeaf(ui, new WindowWidget, nullptr) {
        w_->setAttribute(Qt::WA_DeleteOnClose, false);
        w_->setAutoFillBackground(true);
        w_->on_close = [this] { Notify_(Notify::CloseRequested); };
        w_->on_show = [this](bool shown) { Notify_(shown ? Notify::Shown : Notify::Hidden); };
        w_->on_geometry = [this] { GeometryChanged(); };
        // A new frame hides and shows the window again; the activation it
        // loses for that moment is not the user's doing.
        w_->on_activation = [this] {
            if (applying_ == 0) ui_.ActivationChanged();
        };
        ApplyFlags();
    }
    ~QtWindow() override {
        if (w_) {
            w_->on_close = nullptr;
            w_->on_show = nullptr;
            w_->on_geometry = nullptr;
            w_->on_activation = nullptr;
        }
    }
    void SetGeometry(const Rect& r) override {
        const Rect before = outer_;
        outer_ = r;
        FrameInsets f = FrameFor(style_);
        if (w_) {
            // The widget echoes the change it is given; that is not news.
            placed_ = QRect(r.left + f.left, r.top + f.top, std::max(0, r.width - f.left - f.right),
                            std::max(0, r.height - f.top - f.bottom));
            ++applying_;
            w_->setGeometry(placed_);
            --applying_;
        }
        ui_.loop().Work([&] { EmitGeometryChange(before, r); });
    }
    Rect Geometry() const override { return outer_; }
    void SetText(std::string_view gbk) override {
        title_ = std::string(gbk);
        if (w_) w_->setWindowTitle(ToQ(gbk));
    }
    std::string Text() const override { return title_; }
    void SetStyle(const WindowStyle& s) override {
        style_ = s;
        // Until the client area is placed in the new frame, the widget's
        // position says nothing about the outer rectangle.
        ++applying_;
        ApplyFlags();
        --applying_;
        SetGeometry(outer_);
    }
    WindowStyle Style() const override { return style_; }
    Rect ClientRect() const override {
        FrameInsets f = FrameFor(style_, menu_.Bar() != nullptr);
        return Rect{0, 0, std::max(0, outer_.width - f.left - f.right),
                    std::max(0, outer_.height - f.top - f.bottom)};
    }
    void Show(WindowShow how) override {
        if (!w_) return;
        if (how == WindowShow::Minimised) {
            w_->showMinimized();
        } else if (how == WindowShow::Maximised) {
            w_->showMaximized();
        } else {
            w_->showNormal();
        }
        state_ = how;
        Activate();
    }
    WindowShow State() const override {
        if (!w_) return state_;
        Qt::WindowStates s = w_->windowState();
        if (s & Qt::WindowMinimized) return WindowShow::Minimised;
        if (s & Qt::WindowMaximized) return WindowShow::Maximised;
        return WindowShow::Normal;
    }
    void Activate() override {
        if (!w_) return;
        w_->raise();
        w_->activateWindow();
    }
    void SetBackPicture(std::string_view bytes, PictureLayout layout) override {
        back_picture_.Set(bytes);
        if (!w_) return;
        w_->picture = back_picture_.shown;
        w_->layout = layout;
        w_->update();
    }
    std::string BackPicture() const override { return back_picture_.bytes; }
    void SetIcon(std::string_view bytes) override {
        if (!icon_.Set(bytes) || !w_) return;
        w_->setWindowIcon(icon_.shown.isNull() ? QIcon() : QIcon(icon_.shown));
    }
    std::string Icon() const override { return icon_.bytes; }
    void SetAlwaysOnTop(bool on_top) override {
        on_top_ = on_top;
        ApplyFlags();
    }
    void SetMenuBar(std::unique_ptr<MenuBar> bar) override {
        menu_.SetBar(std::move(bar));
        if (w_) {
            w_->top_band = menu_.Band();
            w_->update();
        }
    }
    MenuBar* GetMenuBar() const override { return menu_.Bar(); }
    QWidget* ChildArea() const override { return menu_.ClientArea(); }

  private:
    // The window system moved or resized the client area: the user dragged
    // the window, or it was maximised or restored.
    void GeometryChanged() {
        if (applying_ > 0 || !w_) return;
        // The window's geometry is whole already while the widget still
        // hears of its position and its size one after the other.
        QWindow* native = w_->windowHandle();
        const QRect g = native && native->handle() ? native->geometry() : w_->geometry();
        // The window system echoes the program's placing late, and shows
        // an empty client area a pixel wide.
        auto shown = [](QRect r) { return QRect(r.topLeft(), r.size().expandedTo(QSize(1, 1))); };
        if (shown(g) == shown(placed_)) return;
        placed_ = g;
        const FrameInsets f = FrameFor(style_);
        const Rect now{g.x() - f.left, g.y() - f.top, g.width() + f.left + f.right,
                       g.height() + f.top + f.bottom};
        const Rect before = std::exchange(outer_, now);
        ui_.loop().Work([&] { EmitGeometryChange(before, now); });
    }
    void ApplyFlags() {
        if (!w_) return;
        bool shown = w_->isVisible();
        Qt::WindowFlags f = style_.tool_window ? Qt::Tool : Qt::Window;
        f |= Qt::CustomizeWindowHint;
        if (style_.caption) f |= Qt::WindowTitleHint;
        if (style_.system_menu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (style_.min_button) f |= Qt::WindowMinimizeButtonHint;
        if (style_.max_button) f |= Qt::WindowMaximizeButtonHint;
        if (!style_.caption) f |= Qt::FramelessWindowHint;
        if (on_top_) f |= Qt::WindowStaysOnTopHint;
        w_->setWindowFlags(f);
        if (shown) w_->show();
    }

    Rect outer_;
    std::string title_;
    WindowStyle style_;
    WindowShow state_ = WindowShow::Normal;
    bool on_top_ = false;
    StoredPicture back_picture_;
    StoredPicture icon_;
    QRect placed_;      // the client area as the program or the user last left it
    int applying_ = 0;  // while the program places the widget itself
    MenuFrame menu_{w_.data()};
};

// ---- Edit ----

// The bytes live in an EditText; the widget shows its view. Program changes
// are applied to the widget as the small view edits the model computes, and
// a user's edit is turned into bytes and applied to the model the same way.
template <class W>
class QtEditBase : public QtLeaf<Edit, W> {
  public:
    QtEditBase(QtUi& ui, W* w, Control* parent, const EditStyle& style,
               std::size_t block_columns = kBlockColumns)
        : QtLeaf<Edit, W>(ui, w, parent),
          style_(style),
          model_(style.multi_line, style.multi_line ? block_columns : 0) {
        this->back_colour_ = kWhite;
        this->ApplyPalette();
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
        Apply(model_.Assign(gbk));
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
        Apply(model_.Replace(a, b, piece));
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
            Correct(EditText::ViewEdit{e.start, shown_len, e.inserted}, caret);
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

// A plain text edit whose copied or dragged text comes from the bytes, so
// the soft breaks of the view never reach the clipboard, and whose Backspace
// and Delete step over a soft break to the character beyond it, as they would
// over the edge of a wrapped row.
class PlainTextEdit final : public QPlainTextEdit {
  public:
    std::function<QString()> selected_text;
    // Whether the view character at a position is a soft break.
    std::function<bool(int)> soft_break_at;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        QTextCursor c = textCursor();
        if (soft_break_at && !c.hasSelection() && e->modifiers() == Qt::NoModifier) {
            if (e->key() == Qt::Key_Backspace && c.atBlockStart() && c.position() > 0 &&
                soft_break_at(c.position() - 1)) {
                c.movePosition(QTextCursor::PreviousCharacter);
                setTextCursor(c);
            } else if (e->key() == Qt::Key_Delete && c.atBlockEnd() && !c.atEnd() &&
                       soft_break_at(c.position())) {
                c.movePosition(QTextCursor::NextCharacter);
                setTextCursor(c);
            }
        }
        QPlainTextEdit::keyPressEvent(e);
    }
    QMimeData* createMimeDataFromSelection() const override {
        if (!selected_text) return QPlainTextEdit::createMimeDataFromSelection();
        auto* data = new QMimeData;
        data->setText(selected_text());
        return data;
    }
};

class QtMultiEdit final : public QtEditBase<QPlainTextEdit> {
  public:
    QtMultiEdit(QtUi& ui, Control* parent, const EditStyle& style)
        : QtEditBase(ui, new PlainTextEdit, parent, style) {
        QPlainTextEdit* e = w_;
        auto* plain = static_cast<PlainTextEdit*>(e);
        plain->selected_text = [this] { return SelectedText(); };
        plain->soft_break_at = [this](int pos) {
            // The one view character that stands for no byte.
            auto v = static_cast<std::size_t>(pos);
            return v < model_.ViewLength() && model_.ViewToByte(v) == model_.ViewToByte(v + 1);
        };
        e->document()->setUndoRedoEnabled(false);
        e->setLineWrapMode(style.hscroll ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        e->setHorizontalScrollBarPolicy(style.hscroll ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);
        e->setVerticalScrollBarPolicy(style.vscroll ? Qt::ScrollBarAlwaysOn
                                                    : Qt::ScrollBarAlwaysOff);
        e->setReadOnly(style.read_only);
        QObject::connect(
            e->document(), &QTextDocument::contentsChange, ctx_.get(),
            [this](int pos, int removed, int added) {
                if (programmatic_ || !w_) return;
                const ViewChange c =
                    UserChange(static_cast<std::size_t>(pos), static_cast<std::size_t>(removed),
                               static_cast<std::size_t>(added));
                ui_.loop().Work([&] { UserEdit(c.pos, c.removed, ShownText(c.pos, c.added)); });
            });
        SetBorder(Border::Sunken);
    }
    ~QtMultiEdit() override {
        if (w_) {
            auto* plain = static_cast<PlainTextEdit*>(w_.data());
            plain->selected_text = nullptr;
            plain->soft_break_at = nullptr;
        }
    }
    void ScrollToCaret() override {
        if (w_) w_->ensureCursorVisible();
    }

  private:
    // The user's change as the view before it (the model's) and the
    // document now tell it. A change that reaches the end of the document
    // (a paste over everything, for one) is reported as running one
    // character further, through the document's closing paragraph mark, on
    // both sides; whatever else disagrees with the two lengths is found by
    // comparing the texts.
    ViewChange UserChange(std::size_t pos, std::size_t removed, std::size_t added) const {
        const std::size_t before = model_.ViewLength();
        const std::size_t now = CurrentViewLength();
        pos = std::min(pos, before);
        if (pos + removed > before) {
            const std::size_t over = pos + removed - before;
            removed -= over;
            added -= std::min(over, added);
        }
        if (before - removed + added == now) return {pos, removed, added};
        return ChangeBetween(model_.View(), ShownText(0, now));
    }

  protected:
    void ApplyView(const EditText::ViewEdit& ed) override {
        if (!w_) return;
        QTextCursor c(w_->document());
        c.setPosition(static_cast<int>(ed.start));
        c.setPosition(static_cast<int>(ed.start + ed.removed), QTextCursor::KeepAnchor);
        c.insertText(ViewQ(ed.inserted));
    }
    void SetViewSelection(std::size_t a, std::size_t b) override {
        if (!w_) return;
        QTextCursor c(w_->document());
        c.setPosition(static_cast<int>(a));
        c.setPosition(static_cast<int>(b), QTextCursor::KeepAnchor);
        w_->setTextCursor(c);
    }
    std::pair<std::size_t, std::size_t> ViewSelection() const override {
        if (!w_) return {0, 0};
        QTextCursor c = w_->textCursor();
        return {static_cast<std::size_t>(c.selectionStart()),
                static_cast<std::size_t>(c.selectionEnd())};
    }
    std::size_t CurrentViewLength() const override {
        return w_ ? static_cast<std::size_t>(w_->document()->characterCount() - 1) : 0;
    }
    std::u16string ShownText(std::size_t start, std::size_t len) const override {
        if (!w_ || len == 0) return {};
        QTextCursor c(w_->document());
        c.setPosition(static_cast<int>(start));
        c.setPosition(static_cast<int>(start + len), QTextCursor::KeepAnchor);
        QString s = c.selectedText();
        s.replace(QChar::ParagraphSeparator, QChar(u'\n'));
        return ViewOf(s);
    }
};

// A multi-line box whose view paints the model itself (see TextView): the text is held once, and
// the rows need no blocks of their own, so the model makes no soft breaks.
class QtViewEdit final : public QtEditBase<TextView> {
  public:
    QtViewEdit(QtUi& ui, Control* parent, const EditStyle& style)
        : QtEditBase(ui, new TextView, parent, style, 0) {
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

// ---- Buttons, group box ----

// Buttons and check boxes: a caption and a click that takes the focus.
template <class Base, class W>
class QtClickable : public QtLeaf<Base, W> {
  public:
    QtClickable(QtUi& ui, W* w, Control* parent) : QtLeaf<Base, W>(ui, w, parent) {
        QObject::connect(this->w_, &QAbstractButton::clicked, this->ctx_.get(), [this] {
            this->SetFocus();
            this->Notify_(Notify::Clicked);
        });
    }
    void SetText(std::string_view gbk) override {
        text_ = std::string(gbk);
        ShowPictureOrCaption();
    }
    std::string Text() const override { return text_; }
    void SetAlignment(HAlign h, VAlign) override {
        // Only the horizontal placement has a counterpart in the toolkit.
        if (!this->w_) return;
        this->w_->setStyleSheet(h == HAlign::Left    ? QStringLiteral("text-align: left")
                                : h == HAlign::Right ? QStringLiteral("text-align: right")
                                                     : QString());
    }
    void SetPicture(std::string_view bytes) override {
        if (picture_.Set(bytes)) ShowPictureOrCaption();
    }
    std::string Picture() const override { return picture_.bytes; }

  private:
    void ShowPictureOrCaption() {
        if (!this->w_) return;
        const QPixmap& shown = picture_.shown;
        if (shown.isNull()) {
            this->w_->setIcon(QIcon());
            this->w_->setText(ToQ(text_));
        } else {
            this->w_->setIcon(QIcon(shown));
            this->w_->setIconSize(shown.size());
            this->w_->setText(QString());
        }
    }

    std::string text_;
    StoredPicture picture_;
};

class QtButton final : public QtClickable<Button, QPushButton> {
  public:
    QtButton(QtUi& ui, Control* parent) : QtClickable(ui, new QPushButton, parent) {}
    void SetDefault(bool d) override {
        if (w_) w_->setDefault(d);
    }
};

// A check box that can also look like a push button that stays down while
// checked (flat: without its raised edge until pressed or checked).
class CheckWidget final : public QCheckBox {
  public:
    bool push_like = false;
    bool flat = false;

  protected:
    void paintEvent(QPaintEvent* e) override {
        if (!push_like) {
            QCheckBox::paintEvent(e);
            return;
        }
        QStylePainter p(this);
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.text = text();
        opt.icon = icon();
        opt.iconSize = iconSize();
        if (flat) opt.features |= QStyleOptionButton::Flat;
        if (isChecked()) opt.state |= QStyle::State_On;
        opt.state |= isDown() || isChecked() ? QStyle::State_Sunken : QStyle::State_Raised;
        p.drawControl(QStyle::CE_PushButton, opt);
    }
    // A click anywhere on the control toggles it, as with the classic check box, not only one
    // on the mark and the caption's text: the rest of its rectangle is its caption too.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class QtCheckBox final : public QtClickable<CheckBox, CheckWidget> {
  public:
    QtCheckBox(QtUi& ui, Control* parent) : QtClickable(ui, new CheckWidget, parent) {}
    void SetChecked(bool c) override {
        if (w_) w_->setChecked(c);
    }
    bool IsChecked() const override { return w_ && w_->isChecked(); }
    void SetCheckStyle(const CheckStyle& s) override {
        if (!w_) return;
        w_->setLayoutDirection(s.text_left ? Qt::RightToLeft : Qt::LeftToRight);
        w_->push_like = s.push_like;
        w_->flat = s.flat;
        w_->update();
    }
};

class QtGroupBox final : public QtLeaf<GroupBox, QGroupBox> {
  public:
    QtGroupBox(QtUi& ui, Control* parent) : QtLeaf(ui, new QGroupBox, parent) {}
    void SetText(std::string_view gbk) override {
        text_ = std::string(gbk);
        if (w_) w_->setTitle(ToQ(gbk));
    }
    std::string Text() const override { return text_; }
    void SetAlignment(HAlign h) override {
        if (w_)
            w_->setAlignment(h == HAlign::Left     ? Qt::AlignLeft
                             : h == HAlign::Centre ? Qt::AlignHCenter
                                                   : Qt::AlignRight);
    }

  private:
    std::string text_;
};

// ---- Combo box ----

class ComboWidget final : public QComboBox {
  public:
    std::function<void()> on_drop;
    std::function<void()> on_close;
    void showPopup() override {
        if (on_drop) on_drop();
        QComboBox::showPopup();
    }
    void hidePopup() override {
        bool was = view() && view()->isVisible();
        QComboBox::hidePopup();
        if (was && on_close) on_close();
    }
};

class QtComboBox final : public QtLeaf<ComboBox, ComboWidget> {
  public:
    QtComboBox(QtUi& ui, Control* parent, const ComboStyle& style)
        : QtLeaf(ui, new ComboWidget, parent), style_(style), items_(style.sorted) {
        back_colour_ = kWhite;
        w_->setEditable(style.kind != ComboKind::DropDownList);
        w_->setInsertPolicy(QComboBox::NoInsert);
        w_->setMaxVisibleItems(12);
        w_->on_drop = [this] { Notify_(Notify::DropDown); };
        w_->on_close = [this] { Notify_(Notify::ClosedUp); };
        QObject::connect(w_, &QComboBox::activated, ctx_.get(), [this](int index) {
            items_.SetCurrent(index);
            Notify_(Notify::SelectionEnded);
        });
        if (QLineEdit* le = w_->lineEdit()) {
            QObject::connect(le, &QLineEdit::textEdited, ctx_.get(), [this](const QString& now) {
                // Typing beyond the limit is refused, as the classic field
                // does; the field is put back once it has finished reporting.
                if (limit_ != 0 && EditText(false).FromView(ViewOf(now)).size() > limit_ &&
                    now.size() > accepted_.size()) {
                    QMetaObject::invokeMethod(
                        ctx_.get(),
                        [this] {
                            if (!w_) return;
                            QSignalBlocker block(w_.data());
                            w_->setEditText(accepted_);
                        },
                        Qt::QueuedConnection);
                    return;
                }
                accepted_ = now;
                Notify_(Notify::EditChanged);
            });
        }
    }
    ~QtComboBox() override {
        if (w_) {
            w_->on_drop = nullptr;
            w_->on_close = nullptr;
        }
    }
    ComboStyle Style() const override { return style_; }
    int AddItem(std::string_view gbk) override {
        int at = items_.Add(gbk);
        if (w_) {
            QSignalBlocker block(w_.data());
            QString edit = w_->currentText();
            w_->insertItem(at, ToQ(gbk));
            w_->setCurrentIndex(items_.Current());
            if (w_->isEditable()) SetEditText(edit);
        }
        return at;
    }
    void ClearItems() override {
        items_.Clear();
        if (w_) {
            QSignalBlocker block(w_.data());
            w_->clear();
            if (w_->isEditable()) SetEditText(QString());
        }
    }
    int Count() const override { return items_.Count(); }
    std::string Item(int index) const override { return items_.Text(index); }
    void SetItemData(int index, std::uint32_t data) override { items_.SetData(index, data); }
    std::uint32_t ItemData(int index) const override { return items_.Data(index); }
    void SetItemToolTip(int index, std::string_view gbk) override {
        items_.SetTip(index, gbk);
        if (w_ && items_.Valid(index)) {
            w_->setItemData(index, gbk.empty() ? QVariant() : QVariant(ToQ(gbk)), Qt::ToolTipRole);
        }
    }
    std::string ItemToolTip(int index) const override { return items_.Tip(index); }
    void SetCurrent(int index) override {
        items_.SetCurrent(index);
        if (!w_) return;
        QSignalBlocker block(w_.data());
        w_->setCurrentIndex(items_.Current());
        if (w_->isEditable()) {
            SetEditText(ToQ(items_.Text(items_.Current())));
            w_->lineEdit()->selectAll();
        }
    }
    int Current() const override { return items_.Current(); }
    void SetText(std::string_view gbk) override {
        if (style_.kind == ComboKind::DropDownList || !w_) return;
        QSignalBlocker block(w_.data());
        SetEditText(ViewQ(EditText::Render(gbk, false)));
        w_->lineEdit()->setCursorPosition(0);
    }
    std::string Text() const override {
        if (style_.kind == ComboKind::DropDownList || !w_) return items_.Text(items_.Current());
        return EditText(false).FromView(ViewOf(w_->currentText()));
    }
    void SetLimit(std::size_t bytes) override { limit_ = bytes; }
    void SetEditSelection(std::size_t start, std::size_t end) override {
        if (style_.kind == ComboKind::DropDownList || !w_) return;
        EditText m = EditModel();
        std::size_t a = m.ByteToView(std::min(start, end));
        std::size_t b = m.ByteToView(std::max(start, end));
        w_->lineEdit()->setSelection(static_cast<int>(a), static_cast<int>(b - a));
    }
    std::pair<std::size_t, std::size_t> EditSelection() const override {
        if (style_.kind == ComboKind::DropDownList || !w_) return {0, 0};
        EditText m = EditModel();
        QLineEdit* le = w_->lineEdit();
        std::size_t a = static_cast<std::size_t>(le->hasSelectedText() ? le->selectionStart()
                                                                       : le->cursorPosition());
        std::size_t b =
            a + static_cast<std::size_t>(le->hasSelectedText() ? le->selectionLength() : 0);
        return {m.ViewToByte(a), m.ViewToByte(b)};
    }
    void ReplaceEditSelection(std::string_view gbk) override {
        if (style_.kind == ComboKind::DropDownList || !w_) return;
        auto [a, b] = EditSelection();
        EditText m = EditModel();
        std::string_view piece = EditText::CutToLimit(gbk, m.Size(), b - a, limit_);
        m.Replace(a, b, piece);
        QSignalBlocker block(w_.data());
        SetEditText(ViewQ(m.View()));
        w_->lineEdit()->setCursorPosition(static_cast<int>(m.ByteToView(a + piece.size())));
    }
    void SetItemHeight(int extra) override {
        if (!w_) return;
        int height = QFontMetrics(w_->font()).height() + std::max(0, extra);
        w_->view()->setStyleSheet(
            QStringLiteral("QAbstractItemView::item { height: %1px; }").arg(height));
    }

  private:
    void SetEditText(const QString& text) {
        accepted_ = text;
        w_->setEditText(text);
    }

    // The edit field's text as bytes, for mapping its positions.
    EditText EditModel() const {
        EditText m(false);
        m.Assign(Text());
        return m;
    }

    ComboStyle style_;
    ComboItems items_;
    std::size_t limit_ = 0;
    QString accepted_;  // the edit field as last set or accepted
};

// ---- Label ----

// The usable colours of a grading in their order; fewer than two: none.
std::vector<QColor> GradingOf(const GradeColours& colours) {
    std::vector<QColor> out;
    for (Colour c : colours) {
        if (c != kButtonFace) out.push_back(ToColour(c));
    }
    if (out.size() < 2) out.clear();
    return out;
}

// The colour at `t` (0 to 1) of a grading whose colours lie evenly spaced
// from 0 to 1; between two of them the channels run in a straight line.
QColor ColourAt(const std::vector<QColor>& grading, double t) {
    const double pos = std::clamp(t, 0.0, 1.0) * static_cast<double>(grading.size() - 1);
    const auto i = std::min(static_cast<std::size_t>(pos), grading.size() - 2);
    const double f = pos - static_cast<double>(i);
    const QColor& a = grading[i];
    const QColor& b = grading[i + 1];
    auto mix = [f](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * f)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

// Paints `rings` one-pixel rectangle outlines from the edge of `r` inwards,
// graded from the first colour outside to the last inside. The graded frame
// and the box background are made of these.
void PaintRings(QPainter& p, const QRect& r, int rings, const std::vector<QColor>& grading) {
    for (int i = 0; i < rings; ++i) {
        const QRect ring = r.adjusted(i, i, -i, -i);
        if (ring.isEmpty()) break;
        const QColor c = ColourAt(grading, rings > 1 ? double(i) / (rings - 1) : 0.0);
        p.fillRect(ring.left(), ring.top(), ring.width(), 1, c);
        p.fillRect(ring.left(), ring.bottom(), ring.width(), 1, c);
        p.fillRect(ring.left(), ring.top(), 1, ring.height(), c);
        p.fillRect(ring.right(), ring.top(), 1, ring.height(), c);
    }
}

void PaintGradient(QPainter& p, const QRect& r, Gradient mode, const std::vector<QColor>& grading) {
    // Gradients run between the centres of the outermost pixels, so that the
    // first and last colours land exactly on the edge pixels.
    const QRectF c = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPointF mid = c.center();
    if (mode == Gradient::Box) {
        PaintRings(p, r, (std::min(r.width(), r.height()) + 1) / 2, grading);
        return;
    }
    QGradientStops stops;
    for (std::size_t i = 0; i < grading.size(); ++i) {
        stops.append({double(i) / double(grading.size() - 1), grading[i]});
    }
    if (mode == Gradient::Radial) {
        // The centre holds the last colour, the corners the first.
        QRadialGradient g(mid, std::hypot(c.width(), c.height()) / 2);
        for (auto& stop : stops) stop.first = 1.0 - stop.first;
        std::reverse(stops.begin(), stops.end());
        g.setStops(stops);
        p.fillRect(r, g);
        return;
    }
    QLinearGradient g;
    switch (mode) {
        case Gradient::LeftToRight:
            g = QLinearGradient(c.left(), mid.y(), c.right(), mid.y());
            break;
        case Gradient::TopToBottom:
            g = QLinearGradient(mid.x(), c.top(), mid.x(), c.bottom());
            break;
        case Gradient::TopLeftToBottomRight:
            g = QLinearGradient(c.topLeft(), c.bottomRight());
            break;
        case Gradient::BottomLeftToTopRight:
            g = QLinearGradient(c.bottomLeft(), c.topRight());
            break;
        case Gradient::SidesToCentre:
            // Mirrored at the middle: the far half runs back out.
            g = QLinearGradient(c.left(), mid.y(), mid.x(), mid.y());
            g.setSpread(QGradient::ReflectSpread);
            break;
        case Gradient::TopAndBottomToCentre:
            g = QLinearGradient(mid.x(), c.top(), mid.x(), mid.y());
            g.setSpread(QGradient::ReflectSpread);
            break;
        default:
            return;
    }
    g.setStops(stops);
    p.fillRect(r, g);
}

void PaintPicture(QPainter& p, const QRect& r, const QPixmap& picture, PictureLayout layout) {
    switch (layout) {
        case PictureLayout::TopLeft:
            p.drawPixmap(r.topLeft(), picture);
            break;
        case PictureLayout::Stretched:
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawPixmap(r, picture);
            break;
        case PictureLayout::Tiled:
            p.drawTiledPixmap(r, picture);
            break;
        case PictureLayout::Centred:
            p.drawPixmap(r.left() + (r.width() - picture.width()) / 2,
                         r.top() + (r.height() - picture.height()) / 2, picture);
            break;
    }
}

// A frame, so that the plain border styles draw as they do around the other
// controls; the graded frame is painted inside it.
class LabelWidget final : public QFrame {
  public:
    std::string caption;
    LabelStyle style;
    QColor fg = Qt::black;
    QColor bg;
    // Read once when set; null when there is none or it could not be read.
    QPixmap picture;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        drawFrame(&p);
        QRect r = contentsRect();
        const LabelFrame& frame = style.frame;
        if (frame.width > 0) {
            const std::vector<QColor> grading = GradingOf(frame.colours);
            if (!grading.empty()) PaintRings(p, r, frame.width, grading);
            r.adjust(frame.width, frame.width, -frame.width, -frame.width);
            if (r.isEmpty()) return;
        }
        p.setClipRect(r);
        PaintBackground(p, r);
        p.setFont(font());
        int flags = 0;
        flags |= style.h_align == HAlign::Left     ? Qt::AlignLeft
                 : style.h_align == HAlign::Centre ? Qt::AlignHCenter
                                                   : Qt::AlignRight;
        if (style.word_wrap) {
            flags |= Qt::TextWordWrap | Qt::AlignVCenter;
        } else {
            flags |= Qt::TextSingleLine | (style.v_align == VAlign::Top      ? Qt::AlignTop
                                           : style.v_align == VAlign::Centre ? Qt::AlignVCenter
                                                                             : Qt::AlignBottom);
        }
        QString text = ToQ(caption);
        // The effects draw the caption once more, offset, before the real one.
        switch (style.effect) {
            case TextEffect::Raised:
                p.setPen(Qt::white);
                p.drawText(r.translated(1, 1), flags, text);
                break;
            case TextEffect::Sunken:
                p.setPen(Qt::white);
                p.drawText(r, flags, text);
                r.translate(1, 1);
                break;
            case TextEffect::Shadowed:
                p.setPen(Qt::black);
                p.drawText(r.translated(2, 2), flags, text);
                break;
            case TextEffect::Plain:
                break;
        }
        p.setPen(isEnabled() ? fg : palette().color(QPalette::Disabled, QPalette::WindowText));
        p.drawText(r, flags, text);
    }

  private:
    // The picture alone when there is one: where it leaves room, what is
    // behind the label shows.
    void PaintBackground(QPainter& p, const QRect& r) {
        if (!picture.isNull()) {
            PaintPicture(p, r, picture, style.picture_layout);
            return;
        }
        if (style.gradient.mode != Gradient::None) {
            const std::vector<QColor> grading = GradingOf(style.gradient.colours);
            if (!grading.empty()) {
                PaintGradient(p, r, style.gradient.mode, grading);
                return;
            }
        }
        p.fillRect(r, bg);
    }
};

class QtLabel final : public QtLeaf<Label, LabelWidget> {
  public:
    QtLabel(QtUi& ui, Control* parent) : QtLeaf(ui, new LabelWidget, parent) { ApplyPalette(); }
    void SetText(std::string_view gbk) override {
        if (!w_) return;
        w_->caption = std::string(gbk);
        w_->update();
    }
    std::string Text() const override { return w_ ? w_->caption : std::string(); }
    void SetLabelStyle(const LabelStyle& s) override {
        style_ = s;
        if (w_) {
            w_->style = s;
            w_->update();
        }
    }
    LabelStyle GetLabelStyle() const override { return style_; }
    void SetPicture(std::string_view bytes) override {
        if (!picture_.Set(bytes) || !w_) return;
        w_->picture = picture_.shown;
        w_->update();
    }
    std::string Picture() const override { return picture_.bytes; }

  protected:
    void ApplyPalette() override {
        if (!w_) return;
        w_->fg = ToColour(text_colour_);
        w_->bg = ToColour(back_colour_, QPalette::Window);
        w_->update();
    }

  private:
    LabelStyle style_;
    StoredPicture picture_;
};

// ---- Ui ----

QtUi::QtUi(QtLoop& loop) : loop_(loop), ctx_(std::make_unique<QObject>()) {
    QObject::connect(qApp, &QApplication::focusChanged, ctx_.get(),
                     [this](QWidget*, QWidget* now) { UserFocusChanged(now); });
}

void QtUi::Register(QWidget* w, Control* c) {
    controls_[w] = c;
}

void QtUi::Unregister(Control* c) {
    // By control: its widget may already be gone with its parent window.
    std::erase_if(controls_, [c](const auto& entry) { return entry.second == c; });
    if (active == c) active = nullptr;
}

void QtUi::ActivationChanged() {
    // Qt tells both windows, the one gaining the activation first; the
    // change is reported at the first of them, the losing window first as on
    // the other backend.
    Control* now = nullptr;
    if (auto it = controls_.find(QApplication::activeWindow()); it != controls_.end()) {
        now = it->second;
    }
    if (now == active) return;
    Control* old = std::exchange(active, now);
    loop_.Work([&] {
        if (auto* e = dynamic_cast<Emitter*>(old)) e->EmitFrom(Notify::Deactivated);
        // The old window's handler may have destroyed the new one.
        if (now && active == now) {
            if (auto* e = dynamic_cast<Emitter*>(now)) e->EmitFrom(Notify::Activated);
        }
    });
}

void QtUi::OrderTabs(QWidget* window) {
    // The keyboard runs through the controls in their stacking order, the
    // topmost first, and through a control's children right after it.
    std::vector<QWidget*> chain;
    std::function<void(QWidget*)> collect = [&](QWidget* parent) {
        const QObjectList& kids = parent->children();
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            auto* w = qobject_cast<QWidget*>(*it);
            if (!w || w->isWindow() || !controls_.contains(w)) continue;
            if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w);
            collect(w);
        }
    };
    if (window) collect(window);
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void QtUi::UserFocusChanged(QWidget* now) {
    if (quiet > 0) return;
    // The focus may land on a part of a control (the edit field of a combo
    // box): the control is the nearest registered ancestor.
    for (QWidget* w = now; w; w = w->parentWidget()) {
        auto it = controls_.find(w);
        if (it == controls_.end()) continue;
        Control* c = it->second;
        if (c != focused) loop_.Work([c] { c->SetFocus(); });
        return;
    }
}

std::unique_ptr<Window> QtUi::CreateWindow() {
    return std::make_unique<QtWindow>(*this);
}

std::unique_ptr<MenuBar> QtUi::CreateMenuBar(const std::vector<MenuEntry>& entries) {
    return std::make_unique<QtMenuBar>(loop_, entries);
}

std::unique_ptr<TrayIcon> QtUi::CreateTrayIcon() {
    return CreateQtTrayIcon(loop_);
}

std::unique_ptr<Edit> QtUi::CreateEdit(Control* parent, const EditStyle& style) {
    if (style.multi_line) return std::make_unique<QtViewEdit>(*this, parent, style);
    return std::make_unique<QtLineEdit>(*this, parent, style);
}

std::unique_ptr<Button> QtUi::CreateButton(Control* parent) {
    return std::make_unique<QtButton>(*this, parent);
}

std::unique_ptr<CheckBox> QtUi::CreateCheckBox(Control* parent) {
    return std::make_unique<QtCheckBox>(*this, parent);
}

std::unique_ptr<GroupBox> QtUi::CreateGroupBox(Control* parent) {
    return std::make_unique<QtGroupBox>(*this, parent);
}

std::unique_ptr<ComboBox> QtUi::CreateComboBox(Control* parent, const ComboStyle& style) {
    return std::make_unique<QtComboBox>(*this, parent, style);
}

std::unique_ptr<Label> QtUi::CreateLabel(Control* parent) {
    return std::make_unique<QtLabel>(*this, parent);
}

Rect QtUi::Screen() const {
    QScreen* s = QApplication::primaryScreen();
    if (!s) return Rect{0, 0, 1280, 800};
    QRect g = s->geometry();
    return Rect{g.x(), g.y(), g.width(), g.height()};
}

Font QtUi::DefaultFont() const {
    Font f;
    QFont q = QApplication::font();
    f.height = -(q.pixelSize() > 0 ? q.pixelSize() : QFontMetrics(q).ascent());
    return f;
}

int QtUi::TextHeight(const Font& font, std::string_view gbk) const {
    QFontMetrics m(ToQFont(font));
    return m.boundingRect(ToQ(gbk)).height();
}

Cursor CursorShownBy(QWidget* w) {
    if (!w || !w->testAttribute(Qt::WA_SetCursor)) return Cursor::Default;
    for (std::size_t i = 1; i < std::size(kCursorShapes); ++i) {
        if (kCursorShapes[i] == w->cursor().shape()) return static_cast<Cursor>(i);
    }
    return Cursor::Default;
}

QWidget* WidgetOf(Control& control) {
    auto* node = dynamic_cast<QtNode*>(&control);
    return node ? node->Widget() : nullptr;
}

bool SaveWindowPng(Window& window, const std::string& path) {
    QWidget* w = WidgetOf(window);
    if (!w) return false;
    return w->grab().save(QString::fromUtf8(path.c_str()), "PNG");
}

}  // namespace kesu::platform::qt
