#pragma once

// Menu bars, notification-area icons and drawn pointers on Qt.

#include <QMenuBar>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/ui.h"

class QAction;

namespace kesu::platform::qt {

class QtLoop;

QString ToQString(std::string_view gbk);

// A QMenuBar built from the entries. It belongs to no window until a
// MenuFrame places it.
class QtMenuBar final : public MenuBar {
  public:
    QtMenuBar(QtLoop& loop, const std::vector<MenuEntry>& entries);
    ~QtMenuBar() override;
    QMenuBar* Bar() const { return bar_; }
    // The action that shows an entry, for tests that find where to click.
    QAction* ActionOf(std::size_t index) const;

  protected:
    void Show(std::size_t index) override;

  private:
    QtLoop& loop_;
    QPointer<QMenuBar> bar_;
    std::vector<QPointer<QAction>> actions_;
};

// Lays a top-level widget out as a window with a menu bar: the bar across the
// top, kMenuBarHeight high, and below it the client area that holds the
// window's children. Without a bar the top-level widget is the client area.
class MenuFrame {
  public:
    explicit MenuFrame(QWidget* top);
    ~MenuFrame();
    MenuFrame(const MenuFrame&) = delete;
    MenuFrame& operator=(const MenuFrame&) = delete;

    void SetBar(std::unique_ptr<MenuBar> bar);
    MenuBar* Bar() const { return bar_.get(); }
    // Where children go.
    QWidget* ClientArea() const;
    // The height of the band the bar takes at the top of the widget.
    int Band() const { return bar_ ? kMenuBarHeight : 0; }

  private:
    void Layout();

    QPointer<QWidget> top_;
    std::unique_ptr<QtMenuBar> bar_;
    QPointer<QWidget> client_;
    std::unique_ptr<QObject> filter_;
};

// An icon in the notification area; Create gives null where the desktop has
// no notification area.
std::unique_ptr<TrayIcon> CreateQtTrayIcon(QtLoop& loop);

// Puts a drawn pointer on a widget.
void ApplyCursorImage(QWidget* widget, const CursorImage& image);

}  // namespace kesu::platform::qt
