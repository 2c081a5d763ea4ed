#include <QCloseEvent>
#include <QIcon>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <utility>

#include "platform/qt/qt_control.h"
#include "platform/qt/qt_painting.h"

namespace kesu::platform::qt {

namespace {

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

}  // namespace

std::unique_ptr<Window> MakeWindow(QtUi& ui) {
    return std::make_unique<QtWindow>(ui);
}

}  // namespace kesu::platform::qt
