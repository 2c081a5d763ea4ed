// The engine over virtual null-modem pairs: the order in which notifications reach the window
// thread, the write handshake, and closing.
#include "units/serial_port/comm_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "platform/virtual/virtual_serial.h"
#include "tests/units/serial_port/gated_device.h"
#include "tests/units/serial_port/window_queue.h"

namespace kesu::units {
namespace {

using platform::VirtualSerialHub;
using testing::GatedDevice;
using testing::WindowQueue;

// Records what the drain fires: "L<code>" for line notifications, the byte itself for data.
class RecordingPort : public CommPort {
  public:
    explicit RecordingPort(WindowQueue& window) : CommPort(window.Poster()) {}
    ~RecordingPort() override { Shutdown(); }

    std::vector<std::string> fired;
    // Kept outside the object, since a callback may destroy the port.
    std::function<void(uint8_t)>* on_data = nullptr;

    std::string Bytes() const {
        std::string out;
        for (const auto& f : fired) {
            if (f.size() == 1) out += f;
        }
        return out;
    }

  protected:
    void FireLineEvent(int code) override { fired.push_back("L" + std::to_string(code)); }
    void FireDataEvent(uint8_t byte) override {
        fired.push_back(std::string(1, static_cast<char>(byte)));
        if (on_data != nullptr) (*on_data)(byte);
    }
};

std::vector<std::string> Seq(std::initializer_list<const char*> items) {
    return {items.begin(), items.end()};
}

class CommPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hub.SetPaced(false);
        ASSERT_TRUE(hub.AddPair("HOST", "FAR"));
        far = hub.OpenNamed("FAR");
        ASSERT_NE(far, nullptr);
    }

    // Opens HOST behind a gate (closed unless `open_gate`), with the given mask and event char.
    GatedDevice* Start(uint32_t mask = 0x1F9, uint8_t event_char = 0, bool open_gate = false) {
        auto device = hub.OpenNamed("HOST");
        EXPECT_NE(device, nullptr);
        platform::LineSettings s;
        device->GetSettings(s);
        s.event_char = event_char;
        device->SetSettings(s);
        device->SetEventMask(mask);
        auto gated = std::make_unique<GatedDevice>(std::move(device), open_gate);
        GatedDevice* raw = gated.get();
        port.Attach(std::move(gated));
        EXPECT_TRUE(port.StartThread());
        // Waiting until the thread listens keeps the gate tests' order fixed.
        EXPECT_TRUE(window.RunUntil([raw] { return raw->waits > 0; }));
        return raw;
    }

    void Send(const std::string& bytes) {
        ASSERT_TRUE(far->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }

    // Opens the gate and collects notifications until `count` have been fired.
    void Release(GatedDevice* gate, size_t count) {
        ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
        gate->OpenGate();
        ASSERT_TRUE(window.RunUntil([&] { return port.fired.size() >= count; }))
            << "fired " << port.fired.size() << " of " << count;
    }

    std::string FarReceived(size_t count) {
        std::string got;
        uint8_t buffer[256];
        window.RunUntil([&] {
            uint32_t errors;
            size_t n = 0;
            do {
                far->ClearErrors(errors, n);
                got.append(reinterpret_cast<char*>(buffer), far->Read(buffer, sizeof buffer));
            } while (n > 0);
            return got.size() >= count;
        });
        return got;
    }

    VirtualSerialHub hub;
    std::unique_ptr<platform::SerialDevice> far;
    WindowQueue window;
    RecordingPort port{window};
};

TEST_F(CommPortTest, BurstsBecomeOneDataEventPerByteInOrderWithFewWakeUps) {
    Start(0x1F9, 0, true);
    std::string sent;
    for (int i = 0; i < 2000; ++i) {
        std::string chunk(1 + i % 7, static_cast<char>('A' + i % 26));
        sent += chunk;
        Send(chunk);
    }
    ASSERT_TRUE(window.RunUntil([&] { return port.fired.size() >= sent.size(); }));
    window.RunPending();
    EXPECT_EQ(port.Bytes(), sent);
    EXPECT_EQ(port.fired.size(), sent.size());
    // Wake-ups are coalesced: never more drains than bursts, usually far fewer.
    EXPECT_LE(window.posted(), 2000u);
}

TEST_F(CommPortTest, AFloodIsHeldInABoundedQueueAndDeliveredInSlicesWhileWritesGoOn) {
    GatedDevice* device = Start(0x1F9, 0, true);
    std::string sent(3 * CommPort::kQueueLimit, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('A' + i * 7 % 26);
    Send(sent);

    // While the window thread takes nothing, the I/O thread reads up to the limit and no further,
    // and a write still goes out past the full queue instead of waiting for the window thread.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (device->bytes_read < CommPort::kQueueLimit &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    const uint8_t ping[] = {'!'};
    EXPECT_EQ(port.Write(ping, 1), 1);
    EXPECT_GE(device->bytes_read, CommPort::kQueueLimit);
    EXPECT_LE(device->bytes_read, CommPort::kQueueLimit + 16384);
    EXPECT_EQ(window.posted(), 1u);  // one drain waits, and nothing has run it yet

    // One drain does not deliver a whole queue in one go: it stops after its slice and posts
    // itself again, so the window thread gets to its input in between.
    ASSERT_TRUE(window.RunOne());
    EXPECT_GT(port.fired.size(), 0u);
    EXPECT_LT(port.fired.size(), CommPort::kQueueLimit);

    ASSERT_TRUE(window.RunUntil([&] { return port.fired.size() >= sent.size(); }));
    window.RunPending();
    EXPECT_EQ(port.fired.size(), sent.size());
    EXPECT_TRUE(port.Bytes() == sent);
    EXPECT_EQ(FarReceived(1), "!");
}

TEST_F(CommPortTest, OneBurstOfThreeBytesFiresEachExactlyOnce) {
    GatedDevice* gate = Start();
    Send("ABC");
    Release(gate, 3);
    window.RunPending();
    EXPECT_EQ(port.fired, Seq({"A", "B", "C"}));
}

TEST_F(CommPortTest, LineEventsOfOnePortEventComeInFixedOrderBeforeTheBytes) {
    GatedDevice* gate = Start(0x1F9 | platform::kEvRxFlag, '\n');
    ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
    // CTS and DSR/carrier drop, a break, a ring, a line error and bytes with the event
    // character, all before the I/O thread looks again.
    far->SetLine(platform::Line::Rts, false);
    far->SetLine(platform::Line::Dtr, false);
    far->SetLine(platform::Line::Break, true);
    hub.Ring("HOST");
    Send("x\ny");
    hub.InjectLineError("HOST", platform::kCeFrame);
    Release(gate, 11);
    window.RunPending();
    EXPECT_EQ(port.fired, Seq({"L1026", "L1029", "L1033", "L1030", "L1034", "L1035", "L1036", "x",
                               "\n", "y", "L1029"}));
}

TEST_F(CommPortTest, CtsRiseAndAByteInOneEventGiveTheLineEventFirst) {
    far->SetLine(platform::Line::Rts, false);
    GatedDevice* gate = Start();
    ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
    far->SetLine(platform::Line::Rts, true);
    Send("Z");
    Release(gate, 2);
    EXPECT_EQ(port.fired, Seq({"L1027", "Z"}));
}

TEST_F(CommPortTest, EventCharacterPrecedesTheBytesReadAfterItsPortEvent) {
    GatedDevice* gate = Start(0x1F9 | platform::kEvRxFlag, 10);
    Send("ab\ncd");
    Release(gate, 6);
    EXPECT_EQ(port.fired, Seq({"L1033", "a", "b", "\n", "c", "d"}));
}

TEST_F(CommPortTest, LineErrorWhileReadingIsReportedAtItsPlaceAndReadingGoesOn) {
    GatedDevice* gate = Start();
    Send("AB");
    hub.InjectLineError("HOST", platform::kCeRxParity);
    Send("CD");
    hub.InjectLineError("HOST", platform::kCeRxOver);  // not one of the reported errors
    Send("E");
    Release(gate, 7);
    window.RunPending();
    EXPECT_EQ(port.fired, Seq({"L1029", "A", "B", "L1029", "C", "D", "E"}));
}

TEST_F(CommPortTest, ReceivedBytesSurviveAWriteAndNothingIsPurged) {
    GatedDevice* gate = Start();
    ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
    Send("XYZ");
    const int rx_purges_before = gate->rx_purges;
    const int tx_purges_before = gate->tx_purges;
    const std::string hello = "hello";
    EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(hello.data()), 5), 1);
    EXPECT_EQ(FarReceived(5), "hello");
    EXPECT_EQ(gate->rx_purges, rx_purges_before);
    EXPECT_EQ(gate->tx_purges, tx_purges_before);
    Release(gate, 3);
    EXPECT_EQ(port.fired, Seq({"X", "Y", "Z"}));
}

TEST_F(CommPortTest, BytesThatArriveBeforeTheThreadFirstRunsAreDelivered) {
    // The device answers the moment the port opens, before the I/O thread gets the processor.
    auto device = hub.OpenNamed("HOST");
    ASSERT_NE(device, nullptr);
    device->SetEventMask(0x1F9);
    port.Attach(std::move(device));
    Send("early");
    ASSERT_TRUE(port.StartThread());
    ASSERT_TRUE(window.RunUntil([&] { return port.fired.size() >= 5; }));
    EXPECT_EQ(port.Bytes(), "early");
}

TEST_F(CommPortTest, ZeroByteWritesNeitherWakeNorPurgeAndClosedEnginesRefuse) {
    const uint8_t byte = 0x55;
    EXPECT_EQ(port.Write(&byte, 1), 0);  // never opened
    EXPECT_EQ(port.Write(&byte, 0), 0);
    GatedDevice* gate = Start();
    ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
    const int wakes = gate->wakes, tx = gate->tx_purges, rx = gate->rx_purges;
    EXPECT_EQ(port.Write(nullptr, 0), 1);
    EXPECT_EQ(port.Write(&byte, -1), 0);
    EXPECT_EQ(gate->wakes, wakes);
    EXPECT_EQ(gate->tx_purges, tx);
    EXPECT_EQ(gate->rx_purges, rx);
    port.Close();
    EXPECT_FALSE(port.IsRunning());
    EXPECT_EQ(port.Write(&byte, 1), 0);
    port.Close();  // closing a closed engine does nothing
}

TEST_F(CommPortTest, CloseDropsQueuedNotificationsWithoutFiring) {
    Start(0x1F9, 0, true);
    Send("queued");
    ASSERT_TRUE(window.WaitPosted(1));
    port.Close();
    window.RunPending();
    EXPECT_TRUE(port.fired.empty());
    EXPECT_FALSE(hub.IsOpen("HOST"));
}

TEST_F(CommPortTest, DestroyingThePortDuringItsOwnEventsDropsTheRest) {
    auto owned = std::make_unique<RecordingPort>(window);
    std::vector<std::string>* seen = nullptr;
    std::vector<std::string> copy;
    auto device = hub.OpenNamed("HOST");
    device->SetEventMask(0x1F9);
    auto gated = std::make_unique<GatedDevice>(std::move(device), false);
    GatedDevice* gate = gated.get();
    owned->Attach(std::move(gated));
    ASSERT_TRUE(owned->StartThread());
    ASSERT_TRUE(window.RunUntil([gate] { return gate->waits > 0; }));
    seen = &owned->fired;
    std::function<void(uint8_t)> on_data = [&](uint8_t byte) {
        if (byte == 'B') {
            copy = *seen;
            owned.reset();  // the unit's window goes while its events are fired
        }
    };
    owned->on_data = &on_data;
    Send("ABCD");
    ASSERT_TRUE(window.RunUntil([&] { return gate->Parked(); }));
    gate->OpenGate();
    ASSERT_TRUE(window.RunUntil([&] { return owned == nullptr; }));
    window.RunPending();
    EXPECT_EQ(copy, Seq({"A", "B"}));
    EXPECT_FALSE(hub.IsOpen("HOST"));
}

TEST_F(CommPortTest, WritesFromManyThreadsAreServedOneAtATime) {
    Start(0x1F9, 0, true);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            const std::string block(100, static_cast<char>('a' + t));
            for (int i = 0; i < 20; ++i) {
                EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(block.data()), 100), 1);
            }
        });
    }
    for (auto& w : writers) w.join();
    const std::string got = FarReceived(8000);
    ASSERT_EQ(got.size(), 8000u);
    // Every request arrives whole: the 100-byte blocks are never interleaved.
    for (size_t i = 0; i < got.size(); i += 100) {
        EXPECT_EQ(got.substr(i, 100), std::string(100, got[i])) << "block at " << i;
    }
}

TEST_F(CommPortTest, ClosingFromSeveralThreadsAtOnceIsSafe) {
    for (int round = 0; round < 20; ++round) {
        Start(0x1F9, 0, true);
        std::vector<std::thread> closers;
        for (int t = 0; t < 3; ++t) closers.emplace_back([this] { port.Close(); });
        closers.emplace_back([this] {
            const uint8_t byte = 'w';
            const int result = port.Write(&byte, 1);
            EXPECT_TRUE(result == 0 || result == 1);
        });
        for (auto& c : closers) c.join();
        EXPECT_FALSE(port.IsRunning());
        EXPECT_FALSE(hub.IsOpen("HOST"));
    }
}

TEST_F(CommPortTest, AVanishedDeviceNeitherSpinsNorAcceptsWrites) {
    Start(0x1F9, 0, true);
    Send("A");
    ASSERT_TRUE(window.RunUntil([&] { return port.fired.size() == 1; }));
    ASSERT_TRUE(hub.Unplug("HOST"));
    const std::clock_t before = std::clock();
    // A fixed interval over which the process's processor time is measured, not a wait for
    // anything to happen.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpu_ms, 50.0);
    const uint8_t byte = 1;
    EXPECT_EQ(port.Write(&byte, 1), 0);
    port.Close();
    EXPECT_FALSE(port.IsRunning());
}

}  // namespace
}  // namespace kesu::units
