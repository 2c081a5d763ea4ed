#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "platform/qt/qt_control.h"

namespace kesu::platform::qt {

namespace {

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
    QtCheckBox(QtUi& ui, Control* parent) : QtClickable(ui, new CheckWidget, parent) {
        // A change of the mark the user made is told at once, before the click moves the focus
        // and is told.
        QObject::connect(w_, &QAbstractButton::toggled, ctx_.get(), [this] {
            if (!setting_) Notify_(Notify::Toggled);
        });
    }
    void SetChecked(bool c) override {
        if (!w_) return;
        setting_ = true;
        w_->setChecked(c);
        setting_ = false;
    }
    bool IsChecked() const override { return w_ && w_->isChecked(); }
    void SetCheckStyle(const CheckStyle& s) override {
        if (!w_) return;
        w_->setLayoutDirection(s.text_left ? Qt::RightToLeft : Qt::LeftToRight);
        w_->push_like = s.push_like;
        w_->flat = s.flat;
        w_->update();
    }

  private:
    bool setting_ = false;
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

}  // namespace

std::unique_ptr<Button> MakeButton(QtUi& ui, Control* parent) {
    return std::make_unique<QtButton>(ui, parent);
}

std::unique_ptr<CheckBox> MakeCheckBox(QtUi& ui, Control* parent) {
    return std::make_unique<QtCheckBox>(ui, parent);
}

std::unique_ptr<GroupBox> MakeGroupBox(QtUi& ui, Control* parent) {
    return std::make_unique<QtGroupBox>(ui, parent);
}

}  // namespace kesu::platform::qt
