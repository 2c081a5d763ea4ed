#include "platform/qt/qt_ui.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <functional>
#include <utility>
#include <vector>

#include "platform/qt/qt_control.h"
#include "platform/qt/qt_platform.h"

namespace kesu::platform::qt {

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
    return MakeWindow(*this);
}

std::unique_ptr<MenuBar> QtUi::CreateMenuBar(const std::vector<MenuEntry>& entries) {
    return std::make_unique<QtMenuBar>(loop_, entries);
}

std::unique_ptr<TrayIcon> QtUi::CreateTrayIcon() {
    return CreateQtTrayIcon(loop_);
}

std::unique_ptr<Edit> QtUi::CreateEdit(Control* parent, const EditStyle& style) {
    return MakeEdit(*this, parent, style);
}

std::unique_ptr<Button> QtUi::CreateButton(Control* parent) {
    return MakeButton(*this, parent);
}

std::unique_ptr<CheckBox> QtUi::CreateCheckBox(Control* parent) {
    return MakeCheckBox(*this, parent);
}

std::unique_ptr<GroupBox> QtUi::CreateGroupBox(Control* parent) {
    return MakeGroupBox(*this, parent);
}

std::unique_ptr<ComboBox> QtUi::CreateComboBox(Control* parent, const ComboStyle& style) {
    return MakeComboBox(*this, parent, style);
}

std::unique_ptr<Label> QtUi::CreateLabel(Control* parent) {
    return MakeLabel(*this, parent);
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

bool SaveWindowPng(Window& window, const std::string& path) {
    auto* node = dynamic_cast<QtNode*>(&window);
    QWidget* w = node ? node->Widget() : nullptr;
    if (!w) return false;
    return w->grab().save(QString::fromUtf8(path.c_str()), "PNG");
}

}  // namespace kesu::platform::qt
