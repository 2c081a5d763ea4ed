#include "platform/qt/qt_menu.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <functional>

#include "platform/gbk.h"
#include "platform/qt/qt_loop.h"

namespace kesu::platform::qt {

QString ToQString(std::string_view gbk) {
    std::u16string u = GbkToUtf16(gbk);
    return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

// ---- Menu bar ----

QtMenuBar::QtMenuBar(QtLoop& loop, const std::vector<MenuEntry>& entries)
    : MenuBar(entries), loop_(loop), bar_(new QMenuBar) {
    bar_->setNativeMenuBar(false);
    // The pop-ups open so far, by level: an entry of level n goes into the
    // one of level n - 1. Levels that skip a step are taken as one deeper
    // than the last pop-up, so that every entry finds a place.
    std::vector<QWidget*> open{bar_.data()};
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        MenuEntry& e = entries_[i];
        e.level = std::clamp(e.level, 0, static_cast<int>(open.size()) - 1);
        open.resize(static_cast<std::size_t>(e.level) + 1);
        QWidget* container = open.back();
        const bool opens_popup = i + 1 < entries_.size() && entries_[i + 1].level > e.level;
        QAction* action = nullptr;
        if (opens_popup) {
            auto* menu = new QMenu(container);
            action = menu->menuAction();
            open.push_back(menu);
        } else {
            action = new QAction(container);
            action->setSeparator(e.IsSeparator());
            QObject::connect(action, &QAction::triggered, bar_.data(), [this, i] {
                // The mark is the program's to set: a click does not toggle it.
                Show(i);
                loop_.Work([&] { Choose(entries_[i].command); });
            });
        }
        container->addAction(action);
        actions_.emplace_back(action);
        Show(i);
    }
}

QtMenuBar::~QtMenuBar() {
    delete bar_.data();
}

QAction* QtMenuBar::ActionOf(std::size_t index) const {
    return index < actions_.size() ? actions_[index].data() : nullptr;
}

void QtMenuBar::Show(std::size_t index) {
    QAction* a = ActionOf(index);
    if (!a) return;
    const MenuEntry& e = entries_[index];
    if (!a->isSeparator()) a->setText(ToQString(e.caption));
    a->setCheckable(e.checked);
    a->setChecked(e.checked);
    a->setEnabled(e.enabled);
    a->setVisible(e.visible);
    a->setShortcut(QKeySequence::fromString(QString::fromLatin1(e.shortcut.c_str()),
                                            QKeySequence::PortableText));
}

// ---- The frame of a window with a menu bar ----

namespace {

class ResizeFilter final : public QObject {
  public:
    explicit ResizeFilter(std::function<void()> on_resize) : on_resize_(std::move(on_resize)) {}

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize) on_resize_();
        return false;
    }

  private:
    std::function<void()> on_resize_;
};

}  // namespace

MenuFrame::MenuFrame(QWidget* top) : top_(top) {}

MenuFrame::~MenuFrame() {
    if (top_ && filter_) top_->removeEventFilter(filter_.get());
    bar_.reset();
    delete client_.data();
}

void MenuFrame::SetBar(std::unique_ptr<MenuBar> bar) {
    // Only a bar of this backend can be shown here.
    if (bar && !dynamic_cast<QtMenuBar*>(bar.get())) return;
    bar_.reset(static_cast<QtMenuBar*>(bar.release()));
    if (!top_ || !bar_) return;
    if (!client_) {
        client_ = new QWidget(top_);
        client_->show();
        filter_ = std::make_unique<ResizeFilter>([this] { Layout(); });
        top_->installEventFilter(filter_.get());
    }
    bar_->Bar()->setParent(top_);
    bar_->Bar()->show();
    Layout();
}

QWidget* MenuFrame::ClientArea() const {
    return bar_ && client_ ? client_.data() : top_.data();
}

void MenuFrame::Layout() {
    if (!top_ || !client_ || !bar_) return;
    const int width = top_->width();
    bar_->Bar()->setGeometry(0, 0, width, kMenuBarHeight);
    client_->setGeometry(0, kMenuBarHeight, width, std::max(0, top_->height() - kMenuBarHeight));
}

}  // namespace kesu::platform::qt
