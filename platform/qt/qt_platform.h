#pragma once

// The Qt 6 Widgets backend. Construct one QtPlatform on the thread that will
// run the user interface (it creates the QApplication when there is none yet),
// give it the serial ports and files the program uses, and install it.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace kesu::platform::qt {

class QtLoop;
class QtUi;
class QtDialogs;
class QtSound;

class QtPlatform final : public Platform {
  public:
    explicit QtPlatform(const Devices& devices = {});
    ~QtPlatform() override;

    EventLoop& Loop() override;
    Ui& UserInterface() override;
    Dialogs& Dialog() override;
    Sound& Audio() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Renders a window with its children into a PNG file.
bool SaveWindowPng(Window& window, const std::string& path);

// The family that a face name from the program is shown with (宋体 and
// "System" map to an installed CJK face).
std::string FamilyFor(const std::string& gbk_face);

}  // namespace kesu::platform::qt
