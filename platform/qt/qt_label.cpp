#include <QFrame>
#include <QPainter>
#include <vector>

#include "platform/qt/qt_control.h"
#include "platform/qt/qt_painting.h"

namespace kesu::platform::qt {

namespace {

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

}  // namespace

std::unique_ptr<Label> MakeLabel(QtUi& ui, Control* parent) {
    return std::make_unique<QtLabel>(ui, parent);
}

}  // namespace kesu::platform::qt
