#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QEvent>
#include <QFont>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_loop.h"
#include "platform/qt/qt_ui.h"

namespace kesu::platform::qt {

struct QtPlatform::Impl {
    // The command line the application is made with. The toolkit keeps
    // references to both for the application's lifetime, so they live here,
    // before it.
    int argc = 1;
    char arg0[5] = "kesu";
    char* argv[2] = {arg0, nullptr};
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QtLoop> loop;
    std::unique_ptr<QtUi> ui;
    std::unique_ptr<QtDialogs> dialogs;
    std::unique_ptr<QtSound> sound;
};

QtPlatform::QtPlatform(const Devices& devices)
    : Platform(devices), impl_(std::make_unique<Impl>()) {
    if (!QApplication::instance()) {
        impl_->app = std::make_unique<QApplication>(impl_->argc, impl_->argv);
    }
    // The program decides when it ends (when its last window is destroyed),
    // not the toolkit.
    QApplication::setQuitOnLastWindowClosed(false);
    // The program's fonts name Windows faces; show them with installed ones.
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"));
    QFont::insertSubstitution(QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"));
    impl_->loop = std::make_unique<QtLoop>();
    impl_->ui = std::make_unique<QtUi>(*impl_->loop);
    impl_->dialogs = std::make_unique<QtDialogs>(*impl_->loop);
    impl_->sound = std::make_unique<QtSound>(*impl_->loop);
}

QtPlatform::~QtPlatform() {
    impl_->loop->Close();
    // Widgets of destroyed controls wait for deferred deletion; free them now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    impl_->sound.reset();
    impl_->dialogs.reset();
    impl_->ui.reset();
    impl_->loop.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    impl_->app.reset();
}

EventLoop& QtPlatform::Loop() {
    return *impl_->loop;
}
Ui& QtPlatform::UserInterface() {
    return *impl_->ui;
}
Dialogs& QtPlatform::Dialog() {
    return *impl_->dialogs;
}
Sound& QtPlatform::Audio() {
    return *impl_->sound;
}

}  // namespace kesu::platform::qt
