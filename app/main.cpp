// kesu: the serial assistant on the desktop. The same runtime and assistant that the tests run
// over the headless backends run here over the Qt backend and the POSIX serial ports.
#include "app/program.h"
#include "platform/platform.h"
#include "platform/posix/serial_posix.h"
#include "platform/qt/qt_platform.h"
#include "platform/serial.h"

int main() {
    kesu::platform::qt::QtPlatform desktop;
    kesu::platform::ScopedInstall install(desktop);
    // COM ports resolve through the port directory ($KESU_PORT_DIR or the user's default), then
    // the built-in table of tty devices.
    kesu::platform::PosixSerialPorts ports;
    kesu::platform::InstallSerialPorts(&ports);
    kesu::app::InstallAssistant();
    const int code = kesu::app::RunAssistant();
    kesu::platform::InstallSerialPorts(nullptr);
    return code;
}
