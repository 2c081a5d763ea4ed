#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <optional>

#include "platform/qt/qt_loop.h"
#include "platform/qt/qt_menu.h"

namespace kesu::platform::qt {

namespace {

class QtTrayIcon final : public TrayIcon {
  public:
    explicit QtTrayIcon(QtLoop& loop) : loop_(loop) {
        QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (auto how = ClickOf(reason)) loop_.Work([&] { Clicked(*how); });
                         });
        SetIcon({});
        icon_.show();
    }

    void SetIcon(std::string_view bytes) override {
        QPixmap picture;
        if (!bytes.empty()) {
            picture.loadFromData(
                QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
        }
        // A notification-area entry without an icon would show nothing to click.
        icon_.setIcon(picture.isNull() ? QApplication::windowIcon() : QIcon(picture));
    }
    void SetTip(std::string_view gbk) override { icon_.setToolTip(ToQString(gbk)); }

  private:
    static std::optional<TrayClick> ClickOf(QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
            case QSystemTrayIcon::Trigger:
                return TrayClick::LeftReleased;
            case QSystemTrayIcon::DoubleClick:
                return TrayClick::LeftDoubleClick;
            case QSystemTrayIcon::Context:
                return TrayClick::Context;
            default:
                return std::nullopt;
        }
    }

    QtLoop& loop_;
    QSystemTrayIcon icon_;
};

}  // namespace

std::unique_ptr<TrayIcon> CreateQtTrayIcon(QtLoop& loop) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return nullptr;
    return std::make_unique<QtTrayIcon>(loop);
}

}  // namespace kesu::platform::qt
