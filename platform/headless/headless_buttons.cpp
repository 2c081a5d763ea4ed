#include "platform/headless/headless_buttons.h"

#include "platform/headless/headless_ui.h"

namespace kesu::platform::headless {

bool HeadlessButton::UserClick() {
    if (!UserCanReach()) return false;
    TakeFocus();
    Emit(Notify::Clicked);
    return true;
}

bool HeadlessCheckBox::UserClick() {
    if (!UserCanReach()) return false;
    TakeFocus();
    checked_ = !checked_;
    Emit(Notify::Toggled);
    Emit(Notify::Clicked);
    return true;
}

}  // namespace kesu::platform::headless
