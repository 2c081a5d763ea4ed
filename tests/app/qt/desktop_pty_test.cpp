// The program as users run it: the Qt backend (offscreen here) and a POSIX serial port, this time
// a pseudo-terminal mapped as COM5 through a port directory. The port is opened from the window,
// a manual send reaches the device and what the device answers shows in the receive box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/form/main_window_form.h"
#include "app/program.h"
#include "app/window_units.h"
#include "platform/gbk.h"
#include "platform/platform.h"
#include "platform/posix/serial_posix.h"
#include "platform/qt/qt_platform.h"
#include "runtime/unit.h"
#include "runtime/windows.h"
#include "tests/platform/qt_user_input.h"
#include "tests/platform/qt_widgets.h"
#include "tests/platform/serial/pty.h"

namespace kesu::app {
namespace {

using platform::Gbk;

platform::Control& ControlOf(uint32_t unitId) {
    Unit* unit = FindUnit(kMainWindowId, unitId);
    EXPECT_NE(unit, nullptr);
    return *unit->control();
}

bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        platform::Current().Loop().ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ClickButton(uint32_t unitId) {
    QWidget* button = platform::qt::WidgetOf(ControlOf(unitId));
    ASSERT_NE(button, nullptr);
    kesu::testing::ClickCentreOf(button);
}

TEST(DesktopProgram, OpensAPseudoTerminalFromTheWindowSendsAndReceives) {
    testing::Pty pty;
    ASSERT_TRUE(pty.ok());
    const auto portDir =
        std::filesystem::temp_directory_path() / ("kesu-qt-ports-" + std::to_string(::getpid()));
    std::filesystem::create_directories(portDir);
    std::filesystem::create_symlink(pty.slave_path(), portDir / "COM5");
    platform::PosixSerialPorts ports(portDir.string());
    platform::qt::QtPlatform desktop({.serial_ports = &ports});
    platform::ScopedInstall install(desktop);

    AssistantStates states;
    InstallAssistant();
    StartAssistant();
    auto* list = qobject_cast<QComboBox*>(platform::qt::WidgetOf(ControlOf(unit_id::kPortList)));
    ASSERT_NE(list, nullptr);
    const int com5 = list->findText("COM5");
    ASSERT_GE(com5, 0) << "the scan did not list the pseudo-terminal";
    // Chooses the item as the window's own handlers do; a real tty may come first in the list.
    kPortList.SetListIndex(com5);
    EXPECT_EQ(ControlOf(unit_id::kPortButton).Text(), Gbk("打开串口"));

    ClickButton(unit_id::kPortButton);
    EXPECT_TRUE(WaitFor([] { return ControlOf(unit_id::kPortButton).Text() == Gbk(" 关闭串口"); }));
    EXPECT_EQ(ControlOf(kWindowRecordId).Text(), Gbk(" Kesu串口调试工具 V10"));

    // The send runs on a worker that needs the window thread, so the loop keeps running while
    // the device side reads.
    ClickButton(unit_id::kManualSend);
    std::string sent;
    EXPECT_TRUE(WaitFor([&] {
        sent += pty.Receive(27 - sent.size(), std::chrono::milliseconds(1));
        return sent.size() >= 27;
    }));
    EXPECT_EQ(sent, "02 2e 41 01 01 6f 10 03 10 ");

    const std::string before = ControlOf(unit_id::kReceiveBox).Text();
    ASSERT_TRUE(pty.Send(Gbk("Hello, 你好")));
    EXPECT_TRUE(WaitFor(
        [&] { return ControlOf(unit_id::kReceiveBox).Text() == before + Gbk("Hello, 你好"); }));
    EXPECT_TRUE(WaitFor([] { return ControlOf(unit_id::kReceivedCount).Text() == "11"; }));
    EXPECT_TRUE(WaitFor([] { return ControlOf(unit_id::kSentCount).Text() == "27"; }));

    StopAssistant();
    std::filesystem::remove_all(portDir);
}

}  // namespace
}  // namespace kesu::app
