#include "platform/headless/headless_window.h"

#include <algorithm>

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

Rect HeadlessWindow::ClientRect() const {
    FrameInsets f = FrameFor(style_, GetMenuBar() != nullptr);
    return Rect{0, 0, std::max(0, rect_.width - f.left - f.right),
                std::max(0, rect_.height - f.top - f.bottom)};
}

void HeadlessWindow::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Emit(v ? Notify::Shown : Notify::Hidden);
    // A hidden window cannot stay the active one; no other window takes
    // over by itself.
    if (!v && ui_.active_ == this) ui_.SetActive(nullptr);
}

void HeadlessWindow::SetGeometry(const Rect& r) {
    const Rect before = rect_;
    rect_ = r;
    EmitGeometryChange(before, r);
}

bool HeadlessWindow::UserMove(int left, int top) {
    if (!visible_) return false;
    SetGeometry(Rect{left, top, rect_.width, rect_.height});
    return true;
}

bool HeadlessWindow::UserResize(int width, int height) {
    if (!visible_) return false;
    SetGeometry(Rect{rect_.left, rect_.top, width, height});
    return true;
}

bool HeadlessWindow::UserActivate() {
    if (!visible_) return false;
    Activate();
    return true;
}

bool HeadlessWindow::UserDeactivate() {
    if (!visible_) return false;
    if (ui_.active_ == this) ui_.SetActive(nullptr);
    return true;
}

void HeadlessWindow::Show(WindowShow how) {
    state_ = how;
    SetVisible(true);
    Activate();
}

void HeadlessWindow::Activate() {
    ui_.SetActive(this);
}

bool HeadlessWindow::Active() const {
    return ui_.active_ == this;
}

bool HeadlessWindow::UserClose() {
    if (!visible_) return false;
    Emit(Notify::CloseRequested);
    return true;
}

}  // namespace kesu::platform::headless
