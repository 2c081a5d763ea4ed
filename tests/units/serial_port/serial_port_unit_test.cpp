// The SerialPort unit: its properties and stored block, the open procedure's exact line
// configuration over virtual ports, its methods and their command bodies, and its events.
#include "units/serial_port/serial_port_unit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/virtual/virtual_serial.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
#include "tests/units/serial_port/gated_device.h"
#include "tests/units/serial_port/window_queue.h"

namespace kesu::units {
namespace {

using platform::LineControl;
using platform::Parity;
using platform::StopBits;
using Settings = SerialPortSettings;

std::string Words(std::initializer_list<int32_t> words) {
    std::string out;
    for (int32_t w : words) {
        const auto v = static_cast<uint32_t>(w);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return out;
}

PropertyValue Number(int64_t n) {
    return PropertyValue{n, {}};
}

TEST(SerialPortSettingsTest, StoredBlocksOfEveryVersionLoad) {
    Settings p;
    // The assistant's own 52-byte block: the defaults with ParityCheck true.
    const std::string assistant = Words({4, 1, 19200, 8, 1, 1, 1000, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(assistant.size(), 52u);
    ASSERT_TRUE(p.Load(assistant));
    Settings expected;
    expected.parityCheck = true;
    EXPECT_EQ(p.Save(), expected.Save());

    // Version 1 stops after the event character; later fields keep their defaults even when a
    // stale previous load had set them.
    p.parity = 3;
    p.flowControl = 2;
    ASSERT_TRUE(p.Load(Words({1, 7, 4800, 7, 3, 0, 250, 1, 1}) + "\r"));
    EXPECT_EQ(p.portNumber, 7);
    EXPECT_EQ(p.baudRate, 4800);
    EXPECT_EQ(p.dataBits, 7);
    EXPECT_EQ(p.stopBits, 3);
    EXPECT_FALSE(p.parityCheck);
    EXPECT_EQ(p.timeout, 250);
    EXPECT_TRUE(p.openAtStart);
    EXPECT_EQ(p.eventChar, "\r");
    EXPECT_EQ(p.parity, 0);
    EXPECT_EQ(p.flowControl, 0);
    EXPECT_EQ(p.rtsMode, 0);

    ASSERT_TRUE(p.Load(Words({3, 2, 9600, 8, 1, 0, 100, 0, 0, 2, 5})));
    EXPECT_EQ(p.parity, 2);
    EXPECT_EQ(p.flowControl, 5);
    EXPECT_EQ(p.dtrMode, 0);

    // Read values are taken as they stand, without the clamps of property writes.
    ASSERT_TRUE(p.Load(Words({4, -5, -1, 99, 9, 1, -2, 0, 0, 8, 9, 7, 6})));
    EXPECT_EQ(p.portNumber, -5);
    EXPECT_EQ(p.stopBits, 9);
    EXPECT_EQ(p.flowControl, 9);

    Settings saved;
    saved.portNumber = 12;
    saved.eventChar = "\n";
    saved.dtrMode = 2;
    ASSERT_TRUE(p.Load(saved.Save()));
    EXPECT_EQ(p.Save(), saved.Save());

    EXPECT_TRUE(p.Load(""));
    EXPECT_EQ(p.Save(), Settings{}.Save());
}

TEST(SerialPortSettingsTest, NewerOrTruncatedBlocksFailAndLeaveDefaults) {
    Settings p;
    EXPECT_FALSE(p.Load(Words({5, 1, 19200, 8, 1, 1, 1000, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(p.Save(), Settings{}.Save());
    EXPECT_FALSE(p.Load(Words({4, 3, 9600})));
    EXPECT_EQ(p.Save(), Settings{}.Save());
    // An event character whose length runs past the end.
    EXPECT_FALSE(p.Load(Words({1, 3, 9600, 8, 1, 0, 100, 0, 50}) + "ab"));
    EXPECT_EQ(p.portNumber, 1);
}

TEST(SerialPortValuesTest, BasicValuesBecomeTheirLineBytes) {
    std::string out;
    ArgRecord v;
    v.SetText("AT\r\n");
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "AT\r\n");
    v.SetText(nullptr);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "");

    const uint8_t block[] = {1, 0, 0, 0, 3, 0, 0, 0, 0x00, 0xFF, 0x10};
    v.SetByteSet(block);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, std::string("\x00\xFF\x10", 3));
    v.SetByteSet(nullptr);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "");

    v.SetInt(0x31);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, std::string("\x31\0\0\0", 4));
    v.SetByte(0xAB);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "\xAB");
    v.SetShort(-2);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "\xFE\xFF");
    v.SetBool(true);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, std::string("\x01\0\0\0", 4));
    v.SetLong(0x0102030405060708LL);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "\x08\x07\x06\x05\x04\x03\x02\x01");
    v.SetDouble(1.0);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, std::string("\0\0\0\0\0\0\xF0\x3F", 8));
    v.SetFloat(1.0f);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, std::string("\0\0\x80\x3F", 4));
    v.SetDateTime(2.5);
    ASSERT_TRUE(ValueToLineBytes(v, out));
    EXPECT_EQ(out.size(), 8u);

    v.SetArray(block, kTypeInt);
    EXPECT_FALSE(ValueToLineBytes(v, out));
    EXPECT_EQ(out, "");
    v = ArgRecord{};
    EXPECT_FALSE(ValueToLineBytes(v, out));
    v.type = kTypeUnlNum;
    EXPECT_FALSE(ValueToLineBytes(v, out));
}

TEST(SerialPortValuesTest, NotificationCodesMapToLineEvents) {
    const int codes[] = {1026, 1027, 1028, 1029, 1030, 1031, 1033, 1034, 1035, 1036};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<int>(LineEventOf(codes[i])), i + 1);
    EXPECT_EQ(LineEventOf(1032), LineEvent::kNone);
    EXPECT_EQ(LineEventOf(1025), LineEvent::kNone);
    EXPECT_EQ(LineEventOf(1037), LineEvent::kNone);
}

// ---- The unit over virtual ports ----------------------------------------------------------------

class RecordingUnit : public SerialPortUnit {
  public:
    RecordingUnit(const UnitCreateInfo& info, testing::WindowQueue& window)
        : SerialPortUnit(info, window.Poster()) {}
    std::vector<std::pair<int, int>> events;

  protected:
    void RaiseUnitEvent(int event, int32_t argument) override {
        events.emplace_back(event, argument);
    }
};

class SerialPortUnitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hub.SetPaced(false);
        ASSERT_TRUE(hub.AddPair("COM1", "FAR1"));
        ASSERT_TRUE(hub.AddPair("COM12", "FAR12"));
        install = std::make_unique<platform::ScopedInstall>(backend);
        info.window_id = 0x52010001;
        info.unit_id = 0x16010010;
        unit = std::make_unique<RecordingUnit>(info, window);
    }
    void TearDown() override {
        unit.reset();
        install.reset();
    }

    SerialPortSettings& props() { return unit->settings(); }

    std::string FarReceived(platform::SerialDevice& far, size_t count) {
        std::string got;
        window.RunUntil([&] {
            uint8_t buffer[256];
            uint32_t errors;
            size_t n;
            far.ClearErrors(errors, n);
            got.append(reinterpret_cast<char*>(buffer), far.Read(buffer, sizeof buffer));
            return got.size() >= count;
        });
        return got;
    }

    RuntimeState runtime;  // a fresh run: the window services a test installs live in it
    platform::VirtualSerialHub hub;
    platform::headless::HeadlessPlatform backend{{.serial_ports = &hub}};
    std::unique_ptr<platform::ScopedInstall> install;
    testing::WindowQueue window;
    UnitCreateInfo info;
    std::unique_ptr<RecordingUnit> unit;
};

TEST_F(SerialPortUnitTest, WritesClampAsTheTableSays) {
    using P = SerialPortUnit;
    struct Case {
        int index;
        int64_t written;
        int64_t read;
    };
    const Case cases[] = {
        {P::kPortNumber, 0, 1},  {P::kPortNumber, -7, 1},    {P::kPortNumber, 12, 12},
        {P::kBaudRate, -1, 0},   {P::kBaudRate, 9600, 9600}, {P::kDataBits, 99, 99},
        {P::kDataBits, -3, -3},  {P::kStopBits, 0, 1},       {P::kStopBits, 7, 3},
        {P::kStopBits, 2, 2},    {P::kParityCheck, 5, 1},    {P::kTimeout, -10, 0},
        {P::kOpenAtStart, 1, 1}, {P::kParity, 9, 4},         {P::kParity, -1, 0},
        {P::kFlowControl, 6, 5}, {P::kRtsMode, 3, 2},        {P::kDtrMode, -2, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(unit->SetProperty(c.index, Number(c.written)), 0);
        PropertyValue out;
        ASSERT_EQ(unit->GetProperty(c.index, out), 1);
        EXPECT_EQ(out.number, c.read) << "index " << c.index << " written " << c.written;
    }
    ASSERT_EQ(unit->SetProperty(P::kEventChar, PropertyValue{0, "\nrest"}), 0);
    PropertyValue out;
    ASSERT_EQ(unit->GetProperty(P::kEventChar, out), 1);
    EXPECT_EQ(out.bytes, "\nrest");

    // Indices outside the table change nothing and read nothing.
    const std::string before = props().Save();
    EXPECT_EQ(unit->SetProperty(12, Number(1)), 0);
    EXPECT_EQ(unit->SetProperty(-1, Number(1)), 0);
    EXPECT_EQ(unit->GetProperty(12, out), 0);
    EXPECT_EQ(props().Save(), before);
}

TEST_F(SerialPortUnitTest, OpenAppliesTheLineSettingsOfTheProperties) {
    props().portNumber = 12;
    props().baudRate = 57600;
    props().dataBits = 7 + 256;  // only the low byte counts
    props().parity = 2;
    props().stopBits = 2;
    props().parityCheck = true;
    props().timeout = 300;
    ASSERT_TRUE(unit->Open());
    ASSERT_TRUE(hub.IsOpen("COM12"));
    EXPECT_FALSE(hub.IsOpen("COM1"));
    const auto s = hub.Settings("COM12");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->baud_rate, 57600u);
    EXPECT_EQ(s->data_bits, 7);
    EXPECT_EQ(s->parity, Parity::Even);
    EXPECT_EQ(s->stop_bits, StopBits::OneAndHalf);
    EXPECT_TRUE(s->parity_check);
    EXPECT_EQ(s->event_char, 0);
    EXPECT_EQ(hub.Timeouts("COM12"), (platform::SerialTimeouts{300, 300, 300, 300, 300}));
    EXPECT_EQ(hub.EventMask("COM12"), 0x1F9u);

    // Stop-bit and parity codes outside their tables fall back to one stop bit and no parity.
    for (auto [stop, parity, want_stop, want_parity] :
         {std::tuple{3, 4, StopBits::Two, Parity::Space},
          {1, 3, StopBits::One, Parity::Mark},
          {9, 7, StopBits::One, Parity::None},
          {0, -1, StopBits::One, Parity::None}}) {
        props().stopBits = stop;
        props().parity = parity;
        ASSERT_TRUE(unit->Open());
        EXPECT_EQ(hub.Settings("COM12")->stop_bits, want_stop) << stop;
        EXPECT_EQ(hub.Settings("COM12")->parity, want_parity) << parity;
    }

    props().eventChar = "\nX";
    ASSERT_TRUE(unit->Open());
    EXPECT_EQ(hub.EventMask("COM12"), 0x1FBu);
    EXPECT_EQ(hub.Settings("COM12")->event_char, '\n');
}

TEST_F(SerialPortUnitTest, FlowControlAndTheRtsAndDtrModes) {
    struct Case {
        int flow, rts_mode, dtr_mode;
        bool cts, dsr;
        LineControl rts, dtr;
        bool xon;
    };
    const Case cases[] = {
        {0, 0, 2, false, false, LineControl::Enable, LineControl::Enable, false},
        {0, 1, 1, false, false, LineControl::Disable, LineControl::Disable, false},
        {0, 2, 0, false, false, LineControl::Enable, LineControl::Enable, false},
        {1, 1, 0, true, false, LineControl::Handshake, LineControl::Enable, false},
        {2, 1, 1, true, false, LineControl::Disable, LineControl::Handshake, false},
        {3, 0, 1, false, true, LineControl::Handshake, LineControl::Disable, false},
        {4, 0, 2, false, true, LineControl::Enable, LineControl::Handshake, false},
        {5, 0, 0, false, false, LineControl::Enable, LineControl::Enable, true},
    };
    for (const Case& c : cases) {
        props().flowControl = c.flow;
        props().rtsMode = c.rts_mode;
        props().dtrMode = c.dtr_mode;
        ASSERT_TRUE(unit->Open());
        const auto s = hub.Settings("COM1");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->cts_flow, c.cts) << "flow " << c.flow;
        EXPECT_EQ(s->dsr_flow, c.dsr) << "flow " << c.flow;
        EXPECT_EQ(s->rts, c.rts) << "flow " << c.flow;
        EXPECT_EQ(s->dtr, c.dtr) << "flow " << c.flow;
        EXPECT_EQ(s->xon_in, c.xon);
        EXPECT_EQ(s->xon_out, c.xon);
        if (c.xon) {
            EXPECT_EQ(s->xon_char, 0x11);
            EXPECT_EQ(s->xoff_char, 0x13);
            EXPECT_EQ(s->xon_limit, 100);
            EXPECT_EQ(s->xoff_limit, 100);
        }
        EXPECT_EQ(hub.OutputLine("COM1", platform::Line::Rts), c.rts != LineControl::Disable);
    }
}

TEST_F(SerialPortUnitTest, AFailedOpenAlwaysLeavesThePortClosed) {
    ASSERT_TRUE(unit->Open());
    ASSERT_TRUE(hub.IsOpen("COM1"));
    props().dataBits = 9;
    EXPECT_FALSE(unit->Open());
    EXPECT_FALSE(hub.IsOpen("COM1"));
    EXPECT_FALSE(unit->SendData("x"));

    props().dataBits = 8;
    props().baudRate = 0;  // a baud rate typed as text
    EXPECT_FALSE(unit->Open());
    props().baudRate = 9600;
    props().portNumber = 0;  // only a stored block can hold this
    EXPECT_FALSE(unit->Open());
    props().portNumber = 3;  // no such port
    EXPECT_FALSE(unit->Open());
    props().portNumber = 1;
    auto other = hub.OpenNamed("COM1");  // in use by another program
    EXPECT_FALSE(unit->Open());
    other.reset();
    EXPECT_TRUE(unit->Open());
    unit->Close();
    unit->Close();
    EXPECT_FALSE(hub.IsOpen("COM1"));
}

TEST_F(SerialPortUnitTest, SendDataAndLineSignals) {
    EXPECT_FALSE(unit->SendData("x"));
    EXPECT_FALSE(unit->SetLineSignal(SignalAction::kSet, SignalLine::kRts));
    props().rtsMode = 1;
    props().dtrMode = 1;
    ASSERT_TRUE(unit->Open());
    auto far = hub.OpenNamed("FAR1");
    ASSERT_NE(far, nullptr);

    EXPECT_TRUE(unit->SendData(""));
    EXPECT_TRUE(unit->SendData(std::string("\x31\0\0\0", 4)));
    EXPECT_EQ(FarReceived(*far, 4), std::string("\x31\0\0\0", 4));

    uint32_t status = 0;
    ASSERT_FALSE(hub.OutputLine("COM1", platform::Line::Rts));
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kSet, SignalLine::kRts));
    EXPECT_TRUE(hub.OutputLine("COM1", platform::Line::Rts));
    ASSERT_TRUE(far->ModemStatus(status));
    EXPECT_TRUE(status & platform::kMsCtsOn);
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kSet, SignalLine::kDtr));
    EXPECT_TRUE(hub.OutputLine("COM1", platform::Line::Dtr));
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kClear, SignalLine::kDtr));
    EXPECT_FALSE(hub.OutputLine("COM1", platform::Line::Dtr));
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kSet, SignalLine::kBreak));
    EXPECT_TRUE(hub.OutputLine("COM1", platform::Line::Break));
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kClear, SignalLine::kBreak));
    EXPECT_FALSE(hub.OutputLine("COM1", platform::Line::Break));
    EXPECT_TRUE(unit->SetLineSignal(SignalAction::kClear, SignalLine::kRts));

    // Refusals change nothing.
    for (auto [action, line] : {std::pair{3, 1}, {0, 2}, {1, 0}, {2, 4}, {-1, -1}}) {
        EXPECT_FALSE(
            unit->SetLineSignal(static_cast<SignalAction>(action), static_cast<SignalLine>(line)))
            << action << "," << line;
    }
    EXPECT_FALSE(hub.OutputLine("COM1", platform::Line::Rts));
    EXPECT_FALSE(hub.OutputLine("COM1", platform::Line::Dtr));
}

TEST_F(SerialPortUnitTest, EventsCarryBytesAndLineChangesInOrder) {
    props().eventChar = "\n";
    ASSERT_TRUE(unit->Open());
    auto far = hub.OpenNamed("FAR1");
    ASSERT_NE(far, nullptr);
    // The far end's open raised its RTS and DTR: CTS, DSR and carrier come on.
    ASSERT_TRUE(window.RunUntil([&] { return unit->events.size() >= 3; }));
    EXPECT_EQ(unit->events, (std::vector<std::pair<int, int>>{{0, 2}, {0, 3}, {0, 6}}));
    unit->events.clear();

    const std::string line = "ok\n";
    ASSERT_TRUE(far->Write(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    ASSERT_TRUE(window.RunUntil([&] { return unit->events.size() >= 4; }));
    EXPECT_EQ(unit->events,
              (std::vector<std::pair<int, int>>{{0, 7}, {1, 'o'}, {1, 'k'}, {1, '\n'}}));
    unit->events.clear();

    far->SetLine(platform::Line::Break, true);
    hub.Ring("COM1");
    ASSERT_TRUE(window.RunUntil([&] { return unit->events.size() >= 2; }));
    EXPECT_EQ(unit->events, (std::vector<std::pair<int, int>>{{0, 1}, {0, 5}}));
    unit->events.clear();

    far.reset();  // the far end closes: its lines drop
    ASSERT_TRUE(window.RunUntil([&] { return unit->events.size() >= 3; }));
    EXPECT_EQ(unit->events, (std::vector<std::pair<int, int>>{{0, 8}, {0, 9}, {0, 10}}));
}

TEST_F(SerialPortUnitTest, CreateLoadsTheBlockAndOpensAtStart) {
    const std::string block = Words({4, 12, 9600, 8, 3, 0, 1000, 1, 0, 0, 0, 0, 0});
    info.data = block;
    auto created = SerialPortUnit::Create(info);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(hub.IsOpen("COM12"));
    EXPECT_EQ(hub.Settings("COM12")->stop_bits, StopBits::Two);
    std::string saved;
    EXPECT_EQ(created->Save(saved), 1);
    EXPECT_EQ(saved, block);
    PropertyValue out;
    EXPECT_EQ(created->GetProperty(SerialPortUnit::kOpenAtStart, out), 1);
    EXPECT_EQ(out.number, 1);
    EXPECT_EQ(created->GetProperty(12, out), 0);
    EXPECT_EQ(created->SetProperty(SerialPortUnit::kPortNumber, Number(-4)), 0);
    created->GetProperty(SerialPortUnit::kPortNumber, out);
    EXPECT_EQ(out.number, 1);
    created->OnDestroy();
    EXPECT_FALSE(hub.IsOpen("COM12"));

    const std::string newer = Words({5, 12, 9600, 8, 3, 0, 1000, 1, 0, 0, 0, 0, 0});
    info.data = newer;
    EXPECT_EQ(SerialPortUnit::Create(info), nullptr);
    EXPECT_FALSE(hub.IsOpen("COM12"));
}

// ---- Command bodies -----------------------------------------------------------------------------

Unit* g_found = nullptr;

intptr_t FindTheUnit(intptr_t, intptr_t) {
    return reinterpret_cast<intptr_t>(g_found);
}

TEST_F(SerialPortUnitTest, CommandBodiesReachTheUnitOfTheReference) {
    WindowServices services;
    services.findUnit = FindTheUnit;
    SetWindowServices(&services);
    g_found = unit.get();
    ArgRecord args[3];
    args[0].low = info.window_id;
    args[0].high = info.unit_id;
    args[0].type = kUnitSerialPort;

    ResultRecord result;
    SerialPortOpenCommand(&result, 1, args);
    EXPECT_EQ(result.type, kTypeBool);
    EXPECT_TRUE(result.AsBool());
    auto far = hub.OpenNamed("FAR1");

    args[1].SetInt(0x31);
    result = ResultRecord{};
    SerialPortSendDataCommand(&result, 2, args);
    EXPECT_TRUE(result.AsBool());
    EXPECT_EQ(FarReceived(*far, 4), std::string("\x31\0\0\0", 4));
    args[1].SetArray(nullptr, kTypeInt);
    result = ResultRecord{};
    SerialPortSendDataCommand(&result, 2, args);
    EXPECT_FALSE(result.AsBool());

    args[1].SetInt(2);
    args[2].SetInt(2);
    result = ResultRecord{};
    SerialPortSetLineSignalCommand(&result, 3, args);
    EXPECT_TRUE(result.AsBool());
    args[1].SetInt(3);
    result = ResultRecord{};
    SerialPortSetLineSignalCommand(&result, 3, args);
    EXPECT_FALSE(result.AsBool());

    result = ResultRecord{};
    SerialPortCloseCommand(&result, 1, args);
    EXPECT_EQ(result.type, kTypeNone);  // Close has no result
    EXPECT_FALSE(hub.IsOpen("COM1"));
    args[1].SetText("x");
    SerialPortSendDataCommand(&result, 2, args);
    EXPECT_FALSE(result.AsBool());
    SetWindowServices(nullptr);
    g_found = nullptr;
}

TEST_F(SerialPortUnitTest, SendOpenAndCloseFromManyThreadsAreSerialised) {
    ASSERT_TRUE(unit->Open());
    auto far = hub.OpenNamed("FAR1");
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 50; ++i) unit->SendData("0123456789");
        });
    }
    threads.emplace_back([this] {
        for (int i = 0; i < 20; ++i) {
            unit->Close();
            unit->Open();
        }
    });
    // Property writes arrive from the window thread while a worker opens the port.
    threads.emplace_back([this] {
        for (int i = 0; i < 200; ++i) {
            unit->SetProperty(SerialPortUnit::kBaudRate, Number(i % 2 ? 9600 : 19200));
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(unit->SendData("end"));
    window.RunPending();
}

// Ports whose writes stop at a barrier until the device is cancelled: a send can be held in
// progress, against a peer that never reads, while another thread acts on the unit.
class BarrierPorts : public platform::SerialPorts {
  public:
    explicit BarrierPorts(platform::VirtualSerialHub& hub) : hub_(hub) {}

    std::unique_ptr<platform::SerialDevice> Open(int port_number) override {
        auto inner = hub_.Open(port_number);
        if (!inner) return nullptr;
        return std::make_unique<Device>(std::move(inner), *this);
    }
    bool Writing() {
        std::lock_guard lock(mutex_);
        return writing_;
    }

  private:
    class Device : public testing::GatedDevice {
      public:
        Device(std::unique_ptr<platform::SerialDevice> inner, BarrierPorts& ports)
            : GatedDevice(std::move(inner)), ports_(ports) {}
        bool Write(const uint8_t* data, size_t length) override {
            {
                std::unique_lock lock(ports_.mutex_);
                ports_.writing_ = true;
                // A close that does not cancel the write leaves it here for a long time.
                ports_.cv_.wait_for(lock, std::chrono::seconds(3), [this] { return cancelled_; });
                ports_.writing_ = false;
            }
            return GatedDevice::Write(data, length);
        }
        void Cancel() override {
            GatedDevice::Cancel();
            std::lock_guard lock(ports_.mutex_);
            cancelled_ = true;
            ports_.cv_.notify_all();
        }

      private:
        BarrierPorts& ports_;
        bool cancelled_ = false;
    };

    platform::VirtualSerialHub& hub_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool writing_ = false;
};

std::atomic<int> g_lookups{0};
std::atomic<Unit*> g_current{nullptr};

intptr_t CountedLookUp(intptr_t, intptr_t) {
    ++g_lookups;
    return reinterpret_cast<intptr_t>(g_current.load());
}

TEST_F(SerialPortUnitTest, TheUnitGoesAtOnceDuringSendsAndOutlivesTheWorkersInside) {
    BarrierPorts ports(hub);
    platform::headless::HeadlessPlatform platform({.serial_ports = &ports});
    platform::ScopedInstall install(platform);
    WindowServices services;
    services.findUnit = CountedLookUp;
    SetWindowServices(&services);
    // Lookups after the unit went find another (closed) unit, as a fresh window's would.
    auto survivor = std::make_unique<RecordingUnit>(info, window);
    for (int round = 0; round < 3; ++round) {
        auto doomed = std::make_unique<RecordingUnit>(info, window);
        ASSERT_TRUE(doomed->Open());
        g_current = doomed.get();
        g_lookups = 0;
        std::atomic<int> succeeded{0};
        std::vector<std::thread> senders;
        for (int i = 0; i < 3; ++i) {
            senders.emplace_back([&] {
                ArgRecord args[2];
                args[0].low = info.window_id;
                args[0].high = info.unit_id;
                args[0].type = kUnitSerialPort;
                args[1].SetText("x");
                ResultRecord result;
                SerialPortSendDataCommand(&result, 2, args);
                if (result.AsBool()) ++succeeded;
            });
        }
        // One send holds the write; the others found the unit and wait for its port.
        ASSERT_TRUE(platform.loop().RunUntil([&] { return g_lookups == 3 && ports.Writing(); }));
        // The window thread takes the unit away, as closing the window does.
        g_current = survivor.get();
        const auto start = std::chrono::steady_clock::now();
        doomed->Detach();
        doomed.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        for (auto& t : senders) t.join();
        EXPECT_EQ(succeeded, 0) << "round " << round;
    }
    SetWindowServices(nullptr);
}

}  // namespace
}  // namespace kesu::units
