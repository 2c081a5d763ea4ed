// kesu: the serial assistant on the desktop. The same runtime and assistant that the tests run
// over the headless backends run here over the Qt backend, the POSIX serial ports and files.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/program.h"
#include "platform/platform.h"
#include "platform/posix/file_posix.h"
#include "platform/posix/serial_posix.h"
#include "platform/qt/qt_platform.h"
#include "platform/serial.h"

#ifndef KESU_VERSION
#define KESU_VERSION "unknown"
#endif

namespace {

// Answers --help and --version on the terminal, before any window system is touched, and
// gives the exit code; nothing for a command line that asks for the window. These texts are
// for the terminal and stay ASCII: the sources here are compiled to GBK.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: kesu [--help | --version | --list-ports]\n"
                "\n"
                "Serial-port debugging assistant: find the free ports, open one with its line\n"
                "settings, send text or hexadecimal bytes, and watch what comes back.\n"
                "Started without options, it opens its window.\n"
                "\n"
                "  -h, --help     show this help and exit\n"
                "      --version  show the version and exit\n"
                "      --list-ports  show the device each COM number resolves to and exit\n"
                "\n"
                "COM1 to COM100 resolve through the port directory ($KESU_PORT_DIR, or\n"
                "~/.config/kesu/ports when unset: COMn there is a link to a device), then\n"
                "ttyS0-31, ttyUSB0-31 and ttyACM0-31 as COM1-32, COM33-64 and COM65-96.\n"
                "Texts are saved in the program's directory, or in the user's documents\n"
                "directory when the program's directory is not writable.\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kesu %s\n", KESU_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

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
    if (std::optional<int> code = AnswerHelpOrVersion(argc, argv)) return *code;
    if (argc == 2 && std::strcmp(argv[1], "--list-ports") == 0) {
        return ListPorts();
    }
    // COM ports resolve through the port directory ($KESU_PORT_DIR or the user's default), then
    // the built-in table of tty devices.
    kesu::platform::PosixSerialPorts ports;
    kesu::platform::PosixFiles files;
    kesu::platform::qt::QtPlatform desktop({.serial_ports = &ports, .files = &files});
    kesu::platform::ScopedInstall install(desktop);
    // The run's state, made after the backend and so gone before it: units still alive at the
    // end are torn down while the backend that shows them exists.
    kesu::app::AssistantStates states;
    kesu::app::InstallAssistant();
    return kesu::app::RunAssistant();
}
