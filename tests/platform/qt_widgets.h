// What Qt tests look at behind a control: the widget that shows it, and the pointer a widget
// shows. The program itself never needs either, so they live with the tests.
#pragma once

#include <QWidget>
#include <cstddef>

#include "platform/qt/qt_control.h"

namespace kesu::platform::qt {

// The widget behind a control of this backend, for tests that act on it like a user; null for
// a control of another backend or one already destroyed.
inline QWidget* WidgetOf(Control& control) {
    auto* node = dynamic_cast<QtNode*>(&control);
    return node ? node->Widget() : nullptr;
}

// The pointer a widget shows over itself, Default when it has none of its own.
inline Cursor CursorShownBy(QWidget* w) {
    if (!w || !w->testAttribute(Qt::WA_SetCursor)) return Cursor::Default;
    for (std::size_t i = 1; i < std::size(kCursorShapes); ++i) {
        if (kCursorShapes[i] == w->cursor().shape()) return static_cast<Cursor>(i);
    }
    return Cursor::Default;
}

}  // namespace kesu::platform::qt
