// One suite for every serial backend: the port under test is opened by COM number through the
// backend's SerialPorts, and the test plays the device at the far end of the cable. Run over
// pseudo-terminals (the termios backend) and over a virtual null-modem pair.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "platform/posix/serial_posix.h"
#include "platform/serial.h"
#include "platform/virtual/virtual_serial.h"
#include "tests/platform/serial/pty.h"

namespace kesu::platform {
namespace {

using namespace std::chrono_literals;

constexpr int kPortNumber = 5;

// The far end of the cable and the backend that opens the near end.
class Cable {
  public:
    virtual ~Cable() = default;
    virtual SerialPorts& ports() = 0;
    virtual bool Send(const std::string& bytes) = 0;
    virtual std::string Receive(size_t count) = 0;
    virtual void Vanish() = 0;
    // Pseudo-terminals carry every character as 8 bits without parity, whatever is asked.
    virtual bool ForcesEightBitsNoParity() const { return false; }
};

class PtyCable : public Cable {
  public:
    PtyCable() {
        char dir_template[] = "/tmp/kesu-ports-XXXXXX";
        dir_ = ::mkdtemp(dir_template);
        std::filesystem::create_symlink(pty_.slave_path(),
                                        dir_ + "/COM" + std::to_string(kPortNumber));
        ports_ = std::make_unique<PosixSerialPorts>(dir_);
    }
    ~PtyCable() override { std::filesystem::remove_all(dir_); }
    SerialPorts& ports() override { return *ports_; }
    bool Send(const std::string& bytes) override { return pty_.Send(bytes); }
    std::string Receive(size_t count) override { return pty_.Receive(count); }
    void Vanish() override { pty_.CloseMaster(); }
    bool ForcesEightBitsNoParity() const override { return true; }

  private:
    testing::Pty pty_;
    std::string dir_;
    std::unique_ptr<PosixSerialPorts> ports_;
};

class VirtualCable : public Cable {
  public:
    VirtualCable() {
        hub_.SetPaced(false);
        hub_.AddPair("COM" + std::to_string(kPortNumber), "FAR");
        far_ = hub_.OpenNamed("FAR");
    }
    SerialPorts& ports() override { return hub_; }
    bool Send(const std::string& bytes) override {
        return far_->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::string Receive(size_t count) override {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + 10s;
        uint8_t buffer[4096];
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            uint32_t errors;
            size_t n;
            far_->ClearErrors(errors, n);
            size_t r = far_->Read(buffer, sizeof buffer);
            got.append(reinterpret_cast<char*>(buffer), r);
            if (r == 0) std::this_thread::sleep_for(1ms);  // polling the far end for bytes
        }
        return got;
    }
    void Vanish() override { hub_.Unplug("COM" + std::to_string(kPortNumber)); }

  private:
    VirtualSerialHub hub_;
    std::unique_ptr<SerialDevice> far_;
};

// Wakes a device every few milliseconds so that waits in a test can give up at a deadline.
class Ticker {
  public:
    explicit Ticker(SerialDevice& device)
        : thread_([&device](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  std::this_thread::sleep_for(10ms);
                  device.Wake();
              }
          }) {}

  private:
    std::jthread thread_;
};

// Waits until any of `wanted` was reported; returns all events seen meanwhile.
uint32_t WaitFor(SerialDevice& device, uint32_t wanted, std::chrono::milliseconds deadline = 5s) {
    Ticker ticker(device);
    uint32_t seen = 0;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while ((seen & wanted) == 0 && std::chrono::steady_clock::now() < end) {
        uint32_t events = 0;
        if (device.WaitEvent(events) == WaitStatus::Events) seen |= events;
    }
    return seen;
}

// Reads `count` bytes through waits, error clearing and block reads, as the engine does.
std::string ReadBytes(SerialDevice& device, size_t count) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        uint32_t errors = 0;
        size_t available = 0;
        device.ClearErrors(errors, available);
        if (available == 0) {
            WaitFor(device, kEvRxChar, 100ms);
            continue;
        }
        std::string block(available, '\0');
        block.resize(device.Read(reinterpret_cast<uint8_t*>(block.data()), available));
        got += block;
    }
    return got;
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(count, '\0');
    for (char& c : out) c = static_cast<char>(random() & 0xFF);
    return out;
}

class SerialConformance : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "pty") {
            cable = std::make_unique<PtyCable>();
        } else {
            cable = std::make_unique<VirtualCable>();
        }
        device = cable->ports().Open(kPortNumber);
        ASSERT_NE(device, nullptr);
        device->SetEventMask(kEvRxChar | kEvRxFlag);
        device->SetTimeouts({0, 0, 0, 0, 2000});
    }

    bool Write(const std::string& bytes) {
        return device->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    std::unique_ptr<Cable> cable;
    std::unique_ptr<SerialDevice> device;
};

TEST_P(SerialConformance, BytesPassUnchangedInBothDirections) {
    // Every byte value, including the ones a cooked terminal would translate or act on.
    const std::string in = RandomBytes(48 * 1024, 1) + std::string("\r\n\x03\x04\x11\x13\xff\0", 8);
    std::thread sender([&] { EXPECT_TRUE(cable->Send(in)); });
    EXPECT_EQ(ReadBytes(*device, in.size()), in);
    sender.join();

    const std::string out = RandomBytes(48 * 1024, 2) + std::string("\n\r\x7f\0", 4);
    std::string received;
    std::thread receiver([&] { received = cable->Receive(out.size()); });
    EXPECT_TRUE(Write(out));
    receiver.join();
    EXPECT_EQ(received, out);
}

TEST_P(SerialConformance, LineSettingsAreAppliedAndReportedBack) {
    struct Case {
        uint32_t baud;
        uint8_t data_bits;
        Parity parity;
        StopBits stop;
        bool check, cts, xon;
    };
    const Case cases[] = {
        {9600, 8, Parity::None, StopBits::One, false, false, false},
        {115200, 7, Parity::Even, StopBits::Two, true, true, false},
        {1843200, 5, Parity::Odd, StopBits::OneAndHalf, false, false, true},
        {12345, 6, Parity::Mark, StopBits::One, true, false, false},
        {300, 8, Parity::Space, StopBits::Two, false, true, true},
    };
    for (const Case& c : cases) {
        LineSettings s;
        ASSERT_TRUE(device->GetSettings(s));
        s.baud_rate = c.baud;
        s.data_bits = c.data_bits;
        s.parity = c.parity;
        s.stop_bits = c.stop;
        s.parity_check = c.check;
        s.cts_flow = c.cts;
        s.rts = c.cts ? LineControl::Handshake : LineControl::Enable;
        s.xon_in = s.xon_out = c.xon;
        s.xon_char = 0x11;
        s.xoff_char = 0x13;
        s.event_char = '\n';
        ASSERT_TRUE(device->SetSettings(s)) << c.baud;
        LineSettings back;
        ASSERT_TRUE(device->GetSettings(back));
        EXPECT_EQ(back.baud_rate, c.baud);
        if (cable->ForcesEightBitsNoParity()) {
            EXPECT_EQ(back.data_bits, 8);
            EXPECT_EQ(back.parity, Parity::None);
        } else {
            EXPECT_EQ(back.data_bits, c.data_bits);
            EXPECT_EQ(back.parity, c.parity) << c.baud;
        }
        EXPECT_EQ(back.stop_bits, c.stop) << c.baud;
        EXPECT_EQ(back.parity_check, c.check);
        EXPECT_EQ(back.cts_flow, c.cts);
        EXPECT_EQ(back.rts == LineControl::Handshake, c.cts);
        EXPECT_EQ(back.xon_in, c.xon);
        EXPECT_EQ(back.xon_out, c.xon);
        EXPECT_EQ(back.event_char, '\n');
    }
}

TEST_P(SerialConformance, SettingsOutsideTheLineRangeAreRefusedAndChangeNothing) {
    LineSettings before;
    ASSERT_TRUE(device->GetSettings(before));
    for (int bits : {0, 4, 9, 16}) {
        LineSettings s = before;
        s.data_bits = static_cast<uint8_t>(bits);
        EXPECT_FALSE(device->SetSettings(s)) << bits;
    }
    LineSettings s = before;
    s.baud_rate = 0;
    EXPECT_FALSE(device->SetSettings(s));
    LineSettings after;
    ASSERT_TRUE(device->GetSettings(after));
    EXPECT_EQ(after.baud_rate, before.baud_rate);
    EXPECT_EQ(after.data_bits, before.data_bits);
}

TEST_P(SerialConformance, APortIsOpenedByOneOwnerAtATime) {
    EXPECT_EQ(cable->ports().Open(kPortNumber), nullptr);
    device.reset();
    auto again = cable->ports().Open(kPortNumber);
    EXPECT_NE(again, nullptr);
}

TEST_P(SerialConformance, TheEventCharacterIsReportedWhenItArrives) {
    LineSettings s;
    ASSERT_TRUE(device->GetSettings(s));
    s.event_char = '\n';
    ASSERT_TRUE(device->SetSettings(s));
    ASSERT_TRUE(cable->Send("ab"));
    uint32_t seen = WaitFor(*device, kEvRxChar);
    EXPECT_TRUE(seen & kEvRxChar);
    EXPECT_FALSE(seen & kEvRxFlag);
    EXPECT_EQ(ReadBytes(*device, 2), "ab");
    ASSERT_TRUE(cable->Send("c\n"));
    EXPECT_TRUE(WaitFor(*device, kEvRxFlag) & kEvRxFlag);
    EXPECT_EQ(ReadBytes(*device, 2), "c\n");
}

TEST_P(SerialConformance, WakeEndsAWaitFromAnotherThreadAndIsNotLost) {
    device->Wake();  // before the wait: the next wait returns at once
    uint32_t events = 1;
    EXPECT_EQ(device->WaitEvent(events), WaitStatus::Interrupted);
    EXPECT_EQ(events, 0u);

    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        uint32_t e = 0;
        EXPECT_EQ(device->WaitEvent(e), WaitStatus::Interrupted);
        returned = true;
    });
    device->Wake();
    waiter.join();
    EXPECT_TRUE(returned);
}

TEST_P(SerialConformance, PurgingTheReceiveSideDropsWhatArrived) {
    ASSERT_TRUE(cable->Send("junk"));
    WaitFor(*device, kEvRxChar);
    ASSERT_TRUE(device->Purge(kPurgeRx));
    uint32_t errors = 0;
    size_t count = 99;
    ASSERT_TRUE(device->ClearErrors(errors, count));
    EXPECT_EQ(count, 0u);
    ASSERT_TRUE(cable->Send("ok"));
    EXPECT_EQ(ReadBytes(*device, 2), "ok");
}

TEST_P(SerialConformance, AVanishedDeviceBlocksWaitsAndFailsWrites) {
    ASSERT_TRUE(cable->Send("x"));
    EXPECT_EQ(ReadBytes(*device, 1), "x");
    // Consume the events and any wake-up the reading left behind.
    device->Wake();
    uint32_t stale = 0;
    while (device->WaitEvent(stale) != WaitStatus::Interrupted) {
    }
    cable->Vanish();
    // The first wait after the loss reports it; from then on a wait returns only when woken.
    std::atomic<int> returns{0};
    std::atomic<bool> reported{false};
    std::thread waiter([&] {
        for (int i = 0; i < 3; ++i) {
            uint32_t e = 0;
            const WaitStatus status = device->WaitEvent(e);
            if (i == 0) {
                reported = status == WaitStatus::Vanished;
            }
            ++returns;
        }
    });
    // Watch for a while: a wait that returns unwoken would spin the engine's I/O thread.
    auto watch = [&](int expected, std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end && returns == expected) {
            std::this_thread::sleep_for(5ms);
        }
    };
    watch(0, 5s);
    EXPECT_EQ(returns, 1);
    EXPECT_TRUE(reported) << "the first wait after the loss did not report it";
    watch(1, 300ms);
    EXPECT_EQ(returns, 1) << "a wait on a vanished device returned unwoken";
    for (int i = 2; i <= 3; ++i) {
        device->Wake();
        watch(i - 1, 5s);
        EXPECT_EQ(returns, i);
    }
    waiter.join();
    EXPECT_FALSE(Write("lost"));
    device.reset();  // closing still works
}

INSTANTIATE_TEST_SUITE_P(Backends, SerialConformance, ::testing::Values("pty", "virtual"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace kesu::platform
