// The engine over a pseudo-terminal: the termios data path both ways, and a device that vanishes
// under a running I/O thread.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>

#include "platform/posix/serial_posix.h"
#include "tests/platform/serial/pty.h"
#include "tests/units/serial_port/gated_device.h"
#include "tests/units/serial_port/window_queue.h"
#include "units/serial_port/comm_port.h"

namespace kesu::units {
namespace {

class BytePort : public CommPort {
  public:
    explicit BytePort(testing::WindowQueue& window) : CommPort(window.Poster()) {}
    ~BytePort() override { Shutdown(); }
    std::string bytes;
    int line_events = 0;

  protected:
    void FireLineEvent(int) override { ++line_events; }
    void FireDataEvent(uint8_t byte) override { bytes.push_back(static_cast<char>(byte)); }
};

class CommPortPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        auto device = platform::OpenPosixSerial(pty.slave_path());
        ASSERT_NE(device, nullptr);
        device->SetEventMask(0x1F9);
        device->SetTimeouts({1000, 1000, 1000, 1000, 1000});
        auto watched = std::make_unique<testing::GatedDevice>(std::move(device));
        testing::GatedDevice* raw = watched.get();
        port.Attach(std::move(watched));
        ASSERT_TRUE(port.StartThread());
        // The thread purges the tty as it starts; nothing is sent before it listens.
        ASSERT_TRUE(window.RunUntil([raw] { return raw->waits > 0; }));
    }

    int Write(const std::string& bytes) {
        return port.Write(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<int64_t>(bytes.size()));
    }

    testing::Pty pty;
    testing::WindowQueue window;
    BytePort port{window};
};

TEST_F(CommPortPtyTest, BytesFlowBothWaysThroughTheTty) {
    std::string in;
    for (int i = 0; i < 20000; ++i) in.push_back(static_cast<char>(i * 7));
    std::thread sender([&] { pty.Send(in); });
    ASSERT_TRUE(window.RunUntil([&] { return port.bytes.size() >= in.size(); }));
    sender.join();
    EXPECT_EQ(port.bytes, in);
    EXPECT_EQ(port.line_events, 0);  // a pseudo-terminal has no modem lines to report

    std::string received;
    const std::string out = "AT+GMR\r\n" + std::string(5000, '\x55');
    std::thread receiver([&] { received = pty.Receive(out.size()); });
    EXPECT_EQ(Write(out), 1);
    receiver.join();
    EXPECT_EQ(received, out);
}

TEST_F(CommPortPtyTest, AWriteKeepsWhatEarlierWritesLeftInTheTtyUnsent) {
    // A write returns once the tty holds the bytes, not once they are on the line: a following
    // write must not throw away what the earlier one left in the output queue.
    EXPECT_EQ(Write("first "), 1);
    EXPECT_EQ(Write("second"), 1);
    EXPECT_EQ(pty.Receive(12), "first second");
}

TEST_F(CommPortPtyTest, AVanishedTtyLeavesTheThreadIdleAndWritesFail) {
    pty.Send("hi");
    ASSERT_TRUE(window.RunUntil([&] { return port.bytes == "hi"; }));
    pty.CloseMaster();
    // The loss is reported once, as a line error, without waiting for a write to find it.
    ASSERT_TRUE(window.RunUntil([&] { return port.line_events == 1; }));
    const std::clock_t before = std::clock();
    // A second of wall time over which the process's processor time is measured; the I/O
    // thread is the only thread with anything it could do.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpu_ms, 50.0);
    EXPECT_EQ(Write("lost"), 0);
    EXPECT_EQ(Write(""), 0);  // the port no longer counts as open
    window.RunPending();
    EXPECT_EQ(port.line_events, 1);
    EXPECT_TRUE(port.IsRunning());
    port.Close();
    EXPECT_FALSE(port.IsRunning());
}

}  // namespace
}  // namespace kesu::units
