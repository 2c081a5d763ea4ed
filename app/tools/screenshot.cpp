// kesu-screenshot: renders the main window into a PNG file, as the README shows it. The assistant
// starts on the Qt backend with a simulated device on COM1 (a virtual cable), opens the port,
// sends once by hand and lets the device's echo reach the receive box, then saves the window.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/form/main_window_form.h"
#include "app/handlers.h"
#include "app/program.h"
#include "platform/platform.h"
#include "platform/qt/qt_platform.h"
#include "platform/virtual/virtual_serial.h"
#include "runtime/unit.h"
#include "runtime/windows.h"

namespace {

kesu::platform::Control* ControlOf(uint32_t unitId) {
    kesu::Unit* unit = kesu::FindUnit(kesu::app::kMainWindowId, unitId);
    return unit ? unit->control() : nullptr;
}

// Runs the window thread's queue for a while of real time.
void Spin(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        kesu::platform::Current().Loop().ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    // Start-up makes the program's directory the current one; a relative name means the
    // directory the tool was started in.
    const std::string path = std::filesystem::absolute(argv[1]).string();
    kesu::platform::VirtualSerialHub hub;
    hub.AddPair("COM1", "DEVICE");
    auto device = std::make_shared<kesu::platform::DeviceSimulator>();
    device->SetEcho(true);
    hub.Attach("DEVICE", device);
    kesu::platform::qt::QtPlatform desktop({.serial_ports = &hub});
    kesu::platform::ScopedInstall install(desktop);

    auto states = std::make_unique<kesu::app::AssistantStates>();
    kesu::app::InstallAssistant();
    kesu::app::StartAssistant();
    Spin(200);
    // What a click on 串口状态按钮 and then on 手动发送按钮 runs.
    kesu::app::OnPortButtonClicked();
    Spin(200);
    kesu::app::OnManualSendClicked();
    Spin(600);

    auto* window = dynamic_cast<kesu::platform::Window*>(ControlOf(kesu::kWindowRecordId));
    const bool saved = window && kesu::platform::qt::SaveWindowPng(*window, path);
    kesu::app::StopAssistant();
    states.reset();
    if (!saved) {
        std::fprintf(stderr, "kesu-screenshot: could not save %s\n", path.c_str());
        return 1;
    }
    return 0;
}
