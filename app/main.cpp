// kesu: the serial assistant on the desktop. The same runtime and assistant that the tests run
// over the headless backends run here over the Qt backend and the POSIX serial ports.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program.h"
#include "platform/platform.h"
#include "platform/posix/serial_posix.h"
#include "platform/qt/qt_platform.h"
#include "platform/serial.h"

namespace {

// `kesu --list-ports`: which device each COM number resolves to, without opening any port (an
// open moves DTR, which resets some boards) and without a window.
int ListPorts() {
    kesu::platform::PosixSerialPorts ports;
    for (int n = 1; n <= 100; ++n) {
        const kesu::platform::PortInfo info = ports.Describe(n);
        if (info.device.empty()) continue;
        std::string text = kesu::platform::PortInfoText(info, "\n       ");
        text.resize(text.size() - 7);  // the separator after the last line
        std::printf("COM%-3d %s\n", n, text.c_str());
        if (info.denied) {
            std::printf("       no permission: join the group %s, then log in again\n",
                        info.group.c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list-ports") == 0) {
        return ListPorts();
    }
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
