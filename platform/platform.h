#pragma once

// The one place that holds the installed backend. `main` installs the Qt
// backend with the POSIX serial ports and files, tests install the headless
// one with virtual ports (or pseudo-terminals) and files in a temporary
// directory; everything above the platform layer reaches the event loop, the
// controls, the dialogs, the sound, the serial ports and the files through
// Current().

#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "platform/ui.h"

namespace kesu::platform {

// What a backend is given rather than makes: the serial ports and the file
// system belong to the machine (or to a test), whatever draws the windows.
// Neither is owned; each must outlive the platform it is given to. Null means
// none: every open fails.
struct Devices {
    SerialPorts* serial_ports = nullptr;
    Files* files = nullptr;
};

class Platform {
  public:
    explicit Platform(const Devices& devices = {}) : devices_(devices) {}
    virtual ~Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    virtual EventLoop& Loop() = 0;
    virtual Ui& UserInterface() = 0;
    virtual Dialogs& Dialog() = 0;
    virtual Sound& Audio() = 0;

    SerialPorts& Ports() { return devices_.serial_ports ? *devices_.serial_ports : no_ports_; }
    Files& FileSystem() { return devices_.files ? *devices_.files : no_files_; }

    // Gives the platform other devices. Not synchronised with their use:
    // change them only while no port and no file of the old ones is open.
    void SetDevices(const Devices& devices) { devices_ = devices; }

  private:
    Devices devices_;
    NoSerialPorts no_ports_;
    NoFiles no_files_;
};

// The installed backend. Calling it with none installed is a programming
// error and aborts with a message.
Platform& Current();
bool HasCurrent();

// Installs `p` (not owned; null uninstalls). Returns the previous one.
Platform* Install(Platform* p);
// Whether the calling thread is the UI thread of the installed backend's loop (true when none
// is installed). Cheap: the answer is kept per thread until the next install.
bool OnUiThreadOfCurrent();

// Installs a backend, with every part of it, for the lifetime of the guard
// and restores the previous one afterwards; for tests and `main`.
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
