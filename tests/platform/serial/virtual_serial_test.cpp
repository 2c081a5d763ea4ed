// What only the virtual ports have: line rates on a substituted clock, flow control against the
// far end's lines, the simulated device, and unplugging.
#include "platform/virtual/virtual_serial.h"

#include <gtest/gtest.h>

#include <string>

namespace kesu::platform {
namespace {

std::string Take(SerialDevice& device) {
    uint32_t errors = 0;
    size_t count = 0;
    device.ClearErrors(errors, count);
    std::string out(count, '\0');
    out.resize(device.Read(reinterpret_cast<uint8_t*>(out.data()), count));
    return out;
}

bool Put(SerialDevice& device, const std::string& bytes) {
    return device.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class VirtualSerialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hub.SetClock([this] { return now_ns; });
        ASSERT_TRUE(hub.AddPair("A", "B"));
        a = hub.OpenNamed("A");
        b = hub.OpenNamed("B");
        ASSERT_TRUE(a && b);
    }
    int64_t now_ns = 1'000'000'000;
    VirtualSerialHub hub;
    std::unique_ptr<SerialDevice> a, b;
};

TEST_F(VirtualSerialTest, BytesArriveOneCharacterTimeApartAtTheSendersRate) {
    LineSettings s;
    ASSERT_TRUE(a->GetSettings(s));
    s.baud_rate = 1200;  // 8N1: ten bits, 8333333 ns per character
    ASSERT_TRUE(a->SetSettings(s));
    ASSERT_TRUE(Put(*a, "abc"));
    EXPECT_EQ(Take(*b), "");
    now_ns += 8'333'333;
    EXPECT_EQ(Take(*b), "a");
    now_ns += 2 * 8'333'333;
    EXPECT_EQ(Take(*b), "bc");
    // A line error keeps its place behind the bytes still on the line.
    ASSERT_TRUE(Put(*a, "d"));
    ASSERT_TRUE(hub.InjectLineError("B", kCeFrame));
    now_ns += 8'333'333;
    EXPECT_EQ(Take(*b), "d");
    uint32_t errors = 0;
    size_t count = 0;
    ASSERT_TRUE(b->ClearErrors(errors, count));
    EXPECT_EQ(errors, kCeFrame);
    EXPECT_FALSE(hub.InjectLineError("nowhere", kCeFrame));
    EXPECT_FALSE(hub.InjectLineError("B", 0));
}

TEST_F(VirtualSerialTest, ControlLinesCrossAndFlowControlHoldsOutput) {
    uint32_t status = 0;
    ASSERT_TRUE(b->ModemStatus(status));
    EXPECT_EQ(status, kMsCtsOn | kMsDsrOn | kMsRlsdOn);  // A raised DTR and RTS when it opened
    ASSERT_TRUE(a->SetLine(Line::Rts, false));
    ASSERT_TRUE(a->SetLine(Line::Dtr, false));
    ASSERT_TRUE(b->ModemStatus(status));
    EXPECT_EQ(status, 0u);

    LineSettings s;
    ASSERT_TRUE(b->GetSettings(s));
    s.cts_flow = true;
    ASSERT_TRUE(b->SetSettings(s));
    ASSERT_TRUE(b->SetTimeouts({0, 0, 0, 0, 1}));
    // While CTS is off the write waits for it, and gives up once the 1 ms limit has passed on
    // the hub's clock (here a clock that moves 2 ms whenever it is read).
    hub.SetPaced(false);
    hub.SetClock([this] { return now_ns += 2'000'000; });
    EXPECT_FALSE(Put(*b, "held"));
    ASSERT_TRUE(a->SetLine(Line::Rts, true));
    EXPECT_TRUE(Put(*b, "go"));
    EXPECT_EQ(Take(*a), "go");
}

TEST_F(VirtualSerialTest, TheSimulatedDeviceEchoesAndAnswersRequests) {
    b.reset();
    auto device = std::make_shared<DeviceSimulator>();
    device->Answer("AT\r", "OK\r\n");
    ASSERT_TRUE(hub.Attach("B", device));
    EXPECT_FALSE(hub.Attach("B", device));
    EXPECT_EQ(hub.OpenNamed("B"), nullptr);
    hub.SetPaced(false);
    ASSERT_TRUE(Put(*a, "A"));
    ASSERT_TRUE(Put(*a, "T\r"));
    EXPECT_EQ(Take(*a), "OK\r\n");
    device->SetEcho(true);
    ASSERT_TRUE(Put(*a, "xAT\r"));
    EXPECT_EQ(Take(*a), "xAT\rOK\r\n");
    EXPECT_EQ(device->Received(), "AT\rxAT\r");
    ASSERT_TRUE(hub.Detach("B"));
    ASSERT_TRUE(Put(*a, "AT\r"));  // nobody listens any more
    EXPECT_EQ(Take(*a), "");
}

TEST_F(VirtualSerialTest, AnUnpluggedPortIsDeadUntilReplugged) {
    ASSERT_TRUE(hub.Unplug("A"));
    EXPECT_FALSE(Put(*a, "x"));
    uint32_t status = 0;
    EXPECT_FALSE(a->ModemStatus(status));
    EXPECT_FALSE(a->SetLine(Line::Rts, true));
    ASSERT_TRUE(b->ModemStatus(status));
    EXPECT_EQ(status, 0u);  // the far end sees the lines drop
    EXPECT_EQ(hub.OpenNamed("A"), nullptr);
    ASSERT_TRUE(hub.Replug("A"));
    auto fresh = hub.OpenNamed("A");
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(Put(*a, "x"));  // the old handle stays dead
    hub.SetPaced(false);
    EXPECT_TRUE(Put(*fresh, "y"));
    EXPECT_EQ(Take(*b), "y");
    a.reset();  // releasing the old handle leaves the new owner alone
    EXPECT_TRUE(hub.IsOpen("A"));
}

TEST(VirtualSerialHubTest, NamesAreUniqueAndHandlesMayOutliveTheHub) {
    std::unique_ptr<SerialDevice> kept;
    {
        VirtualSerialHub hub;
        EXPECT_FALSE(hub.AddPair("X", "X"));
        ASSERT_TRUE(hub.AddPair("COM3", "X"));
        EXPECT_FALSE(hub.AddPort("X"));
        EXPECT_FALSE(hub.AddPair("Y", "COM3"));
        EXPECT_TRUE(hub.AddPort("Y"));
        kept = hub.Open(3);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(hub.Open(4), nullptr);
    }
    EXPECT_TRUE(Put(*kept, "into the void"));
    kept.reset();
}

}  // namespace
}  // namespace kesu::platform
