#pragma once

// The one place that holds the installed backend. `main` installs the Qt
// backend, tests install the headless one; everything above the platform layer
// reaches the event loop, the controls, the dialogs and the sound through
// Current().

#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/ui.h"

namespace kesu::platform {

class Platform {
  public:
    virtual ~Platform() = default;
    virtual EventLoop& Loop() = 0;
    virtual Ui& UserInterface() = 0;
    virtual Dialogs& Dialog() = 0;
    virtual Sound& Audio() = 0;
};

// The installed backend. Calling it with none installed is a programming
// error and aborts with a message.
Platform& Current();
bool HasCurrent();

// Installs `p` (not owned; null uninstalls). Returns the previous one.
Platform* Install(Platform* p);

// Installs a backend for the lifetime of the guard and restores the previous
// one afterwards; for tests and `main`.
class ScopedInstall {
  public:
    explicit ScopedInstall(Platform& p) : previous_(Install(&p)) {}
    ~ScopedInstall() { Install(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

  private:
    Platform* previous_;
};

}  // namespace kesu::platform
