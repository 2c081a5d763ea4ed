#pragma once

// What every control of the Qt backend shares: the conversions between the
// program's values and the toolkit's, the stored pictures, and the templates
// that implement the common Control methods over one widget. Each control
// kind lives in a file of its own and is made by its factory function below.

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/qt/qt_loop.h"
#include "platform/qt/qt_menu.h"
#include "platform/qt/qt_ui.h"

namespace kesu::platform::qt {

// GBK bytes as a toolkit string.
QString ToQ(std::string_view gbk);

// A view of a text (see EditText) as a toolkit string, and back.
QString ViewQ(const std::u16string& v);
std::u16string ViewOf(const QString& s);

// A colour of the program; the button face is the style's colour of
// `face_role`.
QColor ToColour(Colour c, QPalette::ColorRole face_role = QPalette::Button);

Qt::Alignment ToAlign(HAlign h, VAlign v);

// A font of the program, its face mapped by FamilyFor.
QFont ToQFont(const Font& f);

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
inline constexpr Qt::CursorShape kCursorShapes[] = {
    Qt::ArrowCursor,   Qt::ArrowCursor,     Qt::CrossCursor,       Qt::IBeamCursor,
    Qt::WaitCursor,    Qt::WhatsThisCursor, Qt::BusyCursor,        Qt::ForbiddenCursor,
    Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,     Qt::SizeFDiagCursor,
    Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::PointingHandCursor};
static_assert(std::size(kCursorShapes) == static_cast<std::size_t>(Cursor::Hand) + 1);

// Puts the pointer shape on `w`. The shape a widget has from its kind (the
// beam of a text field) is noted on first use, and Default gives it back.
void ApplyCursor(QWidget* w, Cursor c);

// The widget that holds the children of `parent`; null for no parent or one
// of another backend.
QWidget* ParentWidget(Control* parent);

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

// The control kinds, each made in its own file.
std::unique_ptr<Window> MakeWindow(QtUi& ui);
std::unique_ptr<Edit> MakeEdit(QtUi& ui, Control* parent, const EditStyle& style);
std::unique_ptr<Button> MakeButton(QtUi& ui, Control* parent);
std::unique_ptr<CheckBox> MakeCheckBox(QtUi& ui, Control* parent);
std::unique_ptr<GroupBox> MakeGroupBox(QtUi& ui, Control* parent);
std::unique_ptr<ComboBox> MakeComboBox(QtUi& ui, Control* parent, const ComboStyle& style);
std::unique_ptr<Label> MakeLabel(QtUi& ui, Control* parent);

}  // namespace kesu::platform::qt
