// Input for Qt tests the way a user gives it: a click is a point in a top-level window and the
// window system decides which widget it reaches; keys go to the window and from there to the
// widget with the focus. A test that hands an event straight to a chosen widget would pass for a
// control that no user can reach (one covered by a group box, say).
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <string_view>

namespace kesu::testing {

// Activation is asynchronous: the window system reports it when it is done.
inline void ActivateAndWait(QWidget* window) {
    window->activateWindow();
    QElapsedTimer t;
    t.start();
    while (QApplication::activeWindow() != window && t.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// A left click at the middle of `w`, delivered to its top-level window at that point. Nothing
// may touch `w` afterwards: the click may destroy it.
inline void ClickCentreOf(QWidget* w) {
    QWidget* top = w->window();
    ActivateAndWait(top);
    const QPoint at = w->mapTo(top, w->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

// Characters typed on the keyboard into whatever has the focus in `window`: a line break is
// the Return key, anything else a key that produces that character (QTest's own helpers know
// only ASCII keys).
inline void TypeToWindow(QWidget* window, std::u16string_view text) {
    QWindow* handle = window->window()->windowHandle();
    for (char16_t ch : text) {
        if (ch == u'\n') {
            QTest::keyClick(handle, Qt::Key_Return);
        } else {
            QTest::sendKeyEvent(QTest::Click, handle, Qt::Key_unknown, QString(QChar(ch)),
                                Qt::NoModifier);
        }
        QApplication::processEvents();  // as between two keys of a real user
    }
}

}  // namespace kesu::testing
