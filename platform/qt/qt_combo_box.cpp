#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <algorithm>
#include <functional>

#include "platform/combo_items.h"
#include "platform/edit_text.h"
#include "platform/qt/qt_control.h"

namespace kesu::platform::qt {

namespace {

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

}  // namespace

std::unique_ptr<ComboBox> MakeComboBox(QtUi& ui, Control* parent, const ComboStyle& style) {
    return std::make_unique<QtComboBox>(ui, parent, style);
}

}  // namespace kesu::platform::qt
