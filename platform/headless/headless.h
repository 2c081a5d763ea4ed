#pragma once

// The headless backend as a whole: give it the serial ports and files a test
// needs (virtual ports, files in a temporary directory), install it with
// ScopedInstall in the fixture, then drive the loop's clock, the controls and
// the dialogs.

#include "platform/headless/headless_dialogs.h"
#include "platform/headless/headless_loop.h"
#include "platform/headless/headless_menu.h"
#include "platform/headless/headless_ui.h"
#include "platform/platform.h"

namespace kesu::platform::headless {

class HeadlessPlatform final : public Platform {
  public:
    explicit HeadlessPlatform(const Devices& devices = {}) : Platform(devices) {}

    EventLoop& Loop() override { return loop_; }
    Ui& UserInterface() override { return ui_; }
    Dialogs& Dialog() override { return dialogs_; }
    Sound& Audio() override { return sound_; }

    HeadlessLoop& loop() { return loop_; }
    HeadlessUi& ui() { return ui_; }
    HeadlessDialogs& dialogs() { return dialogs_; }
    HeadlessSound& sound() { return sound_; }

  private:
    HeadlessLoop loop_;
    HeadlessUi ui_;
    HeadlessDialogs dialogs_;
    HeadlessSound sound_;
};

}  // namespace kesu::platform::headless
