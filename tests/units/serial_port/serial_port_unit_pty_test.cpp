// The SerialPort unit over a pseudo-terminal through the termios ports: a close that must not wait
// for a peer that never reads, the flow-control choices Linux cannot honour, and the lock file a
// port holds while it is open.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/headless/headless.h"
#include "platform/posix/port_claim.h"
#include "platform/posix/serial_posix.h"
#include "tests/platform/serial/pty.h"
#include "tests/units/serial_port/window_queue.h"
#include "units/serial_port/serial_port_unit.h"

namespace kesu::units {
namespace {

class SerialPortUnitPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        char name[] = "/tmp/kesu-unit-pty-XXXXXX";
        dir = ::mkdtemp(name);
        std::filesystem::create_symlink(pty.slave_path(), dir + "/COM1");
        std::filesystem::create_directory(dir + "/locks");
        ::setenv("KESU_LOCK_DIR", (dir + "/locks").c_str(), 1);
        ports = std::make_unique<platform::PosixSerialPorts>(dir);
        backend.SetDevices({.serial_ports = ports.get()});
        install = std::make_unique<platform::ScopedInstall>(backend);
        info.window_id = 0x52010001;
        info.unit_id = 0x16010033;
        unit = std::make_unique<SerialPortUnit>(info, window.Poster());
    }
    void TearDown() override {
        unit.reset();
        install.reset();
        ::unsetenv("KESU_LOCK_DIR");
        std::filesystem::remove_all(dir);
    }

    // Bytes the tty holds for the master, which nobody reads.
    int Unread() {
        int n = 0;
        ::ioctl(pty.master(), FIONREAD, &n);
        return n;
    }

    testing::Pty pty;
    std::string dir;
    std::unique_ptr<platform::PosixSerialPorts> ports;
    platform::headless::HeadlessPlatform backend;
    std::unique_ptr<platform::ScopedInstall> install;
    testing::WindowQueue window;
    UnitCreateInfo info;
    std::unique_ptr<SerialPortUnit> unit;
};

TEST_F(SerialPortUnitPtyTest, ClosingDuringASendToAPeerThatNeverReadsReturnsAtOnce) {
    // The window's close and the window's end, each during a 200,000-byte send that, at the
    // default Timeout of 1000 ms per byte, would otherwise hold the port for days.
    for (const bool destroy : {false, true}) {
        ASSERT_TRUE(unit->Open());
        const std::string lock = dir + "/locks/" + platform::LockFileName(pty.slave_path());
        EXPECT_TRUE(std::filesystem::exists(lock));
        std::atomic<int> sent{-1};
        std::thread sender([&] { sent = unit->SendData(std::string(200000, 'x')) ? 1 : 0; });
        // The tty fills up and the write waits for a reader that never comes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Unread() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GT(Unread(), 0);
        const auto start = std::chrono::steady_clock::now();
        if (destroy) {
            unit->Detach();
        } else {
            unit->Close();
        }
        const auto took = std::chrono::steady_clock::now() - start;
        sender.join();
        std::printf("closing during the send took %.2f ms\n",
                    std::chrono::duration<double, std::milli>(took).count());
        // The bound users need is 100 ms; a loaded test machine gets some slack.
        EXPECT_LT(took, std::chrono::milliseconds(500));
        EXPECT_EQ(sent, 0);  // the send failed: not all of it went out
        EXPECT_FALSE(std::filesystem::exists(lock));
    }
}

TEST_F(SerialPortUnitPtyTest, FlowControlHoldsOutputOnlyOnCts) {
    // The test's own descriptor reads the tty's settings; it belongs to this process, which the
    // port does not count as another program.
    const int fd = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    // 1 RTS/CTS and 2 DTR/CTS wait for CTS; 3 RTS/DSR and 4 DTR/DSR would wait on a line Linux
    // cannot watch, so output is held by nothing; 5 is XON/XOFF.
    const bool crtscts[] = {false, true, true, false, false, false};
    for (int flow = 0; flow <= 5; ++flow) {
        unit->settings().flowControl = flow;
        ASSERT_TRUE(unit->Open()) << flow;
        termios2 tio{};
        ASSERT_EQ(::ioctl(fd, TCGETS2, &tio), 0);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, crtscts[flow]) << flow;
        EXPECT_EQ((tio.c_iflag & IXON) != 0, flow == 5) << flow;
        unit->Close();
    }
    ::close(fd);
}

}  // namespace
}  // namespace kesu::units
