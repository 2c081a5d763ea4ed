// Start state, port scan, line settings, open and close, and the two line-signal check boxes.
#include <gtest/gtest.h>

#include "app/form/main_window_form.h"
#include "platform/gbk.h"
#include "tests/e2e/assistant_harness.h"

namespace kesu::e2e {
namespace {

namespace id = app::unit_id;
using platform::Gbk;

const std::string kUsage =
    Gbk("\r\n Kesu串口调试助手\r\n 版本：V3.0\r\n 使用说明：\r\n 1.<数字> 代表超时换行及超时次数；"
        "\r\n 2.[数字] 代表触发换行及触发次数；\r\n");
const std::string kScanStart =
    Gbk("\r\n---------------------------------------- \r\n 正在扫描1-100号端口...\r\n");
const std::string kScanEnd = "----------------------------------------\r\n";

const uint32_t kPortUseUnits[] = {id::kManualSend,   id::kPeriodicSend, id::kHexSend,
                                  id::kHexDisplay,   id::kTimeoutBreak, id::kTriggerBreak,
                                  id::kWatchReceive, id::kAutoReply,    id::kDtrOutput,
                                  id::kRtsOutput,    id::kTriggerBeep};
const uint32_t kLineSettingUnits[] = {id::kPortList, id::kBaudRate, id::kDataBits, id::kStopBits,
                                      id::kParity};

class PortScenarios : public AssistantHarness {};

TEST_F(PortScenarios, StartStateShowsTheScanReportAndTheStartSettings) {
    Start();
    EXPECT_EQ(Title(), Gbk(" Kesu串口调试工具 V10"));
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("打开串口"));
    EXPECT_EQ(Items(id::kPortList), (std::vector<std::string>{"COM1", "COM3", "COM12"}));
    EXPECT_EQ(CurrentItem(id::kPortList), 0);
    EXPECT_EQ(TextOf(id::kPortList), "COM1");

    // The usage text, then the scan report with one line per port, in probing order.
    const std::string box = TextOf(id::kReceiveBox);
    const std::string head = kUsage + kScanStart;
    ASSERT_EQ(box.substr(0, head.size()), head);
    std::vector<std::string> lines;
    for (size_t at = head.size(); at < box.size();) {
        const size_t end = box.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(box.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 4u) << box;
    const std::string ports[] = {Gbk(" COM1 --> 可用 "), Gbk(" COM3 --> 可用 "),
                                 Gbk(" COM12 --> 可用 ")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i].rfind(ports[i], 0), 0u) << lines[i];
        EXPECT_GT(lines[i].size(), ports[i].size()) << "no date-time in " << lines[i];
    }
    EXPECT_EQ(lines[3] + "\r\n", kScanEnd);

    // The sorted parity list reads from "0无校验"; the rate shown is the stored content.
    EXPECT_EQ(Items(id::kParity).front(), Gbk("0无校验"));
    EXPECT_EQ(TextOf(id::kParity), Gbk("0无校验"));
    EXPECT_EQ(TextOf(id::kBaudRate), "115200");
    EXPECT_EQ(TextOf(id::kDataBits), "8");
    EXPECT_EQ(TextOf(id::kStopBits), "1");

    for (uint32_t unit : kPortUseUnits) EXPECT_FALSE(Enabled(unit)) << std::hex << unit;
    for (uint32_t unit : kLineSettingUnits) EXPECT_TRUE(Enabled(unit)) << std::hex << unit;
    for (uint32_t unit : {id::kDtrOutput, id::kRtsOutput, id::kHexDisplay, id::kTimeoutBreak,
                          id::kHexSend, id::kPeriodicSend, id::kTriggerBreak, id::kWatchReceive,
                          id::kTriggerBeep, id::kAutoReply}) {
        EXPECT_FALSE(Checked(unit)) << std::hex << unit;
    }
    EXPECT_EQ(TextOf(id::kSentCount), "0");
    EXPECT_EQ(TextOf(id::kSendBox), "02 2e 41 01 01 6f 10 03 10 ");
    EXPECT_EQ(TextOf(id::kDtrOutput), Gbk("高电平"));
}

class NoPortScenarios : public AssistantHarness {
  protected:
    NoPortScenarios() : AssistantHarness({}) {}
};

TEST_F(NoPortScenarios, NoFreePortAsksToCheckTheDevicesAndTheButtonDoesNothing) {
    Start();
    EXPECT_EQ(Title(), Gbk("【无空闲端口，请检查串口设备】！！！"));
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("请选择端口"));
    EXPECT_TRUE(Items(id::kPortList).empty());
    const std::string box = TextOf(id::kReceiveBox);
    EXPECT_EQ(box, kUsage + kScanStart + Gbk(" 无可用端口...\r\n") + kScanEnd);

    Click(id::kPortButton);
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("请选择端口"));
    EXPECT_EQ(Title(), Gbk("【无空闲端口，请检查串口设备】！！！"));
    EXPECT_FALSE(Enabled(id::kManualSend));
}

TEST_F(PortScenarios, OpeningAppliesTheChosenLineSettingsAndClosingRestores) {
    Start();
    PickPort(2);  // COM12
    TypeInto(id::kBaudRate, "9600");
    Pick(id::kDataBits, 3);  // 7
    Pick(id::kStopBits, 2);  // 2
    Pick(id::kParity, 2);    // 2偶校验
    Click(id::kPortButton);

    EXPECT_EQ(TextOf(id::kPortButton), Gbk(" 关闭串口"));
    EXPECT_EQ(Title(), Gbk(" Kesu串口调试工具 V10"));
    ASSERT_TRUE(hub().IsOpen("COM12"));
    const auto settings = hub().Settings("COM12");
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->baud_rate, 9600u);
    EXPECT_EQ(settings->data_bits, 7);
    EXPECT_EQ(settings->stop_bits, platform::StopBits::Two);
    EXPECT_EQ(settings->parity, platform::Parity::Even);
    EXPECT_TRUE(settings->parity_check);
    for (uint32_t unit : kPortUseUnits) EXPECT_TRUE(Enabled(unit)) << std::hex << unit;
    for (uint32_t unit : kLineSettingUnits) EXPECT_FALSE(Enabled(unit)) << std::hex << unit;

    // Options survive a close; periodic sending does not.
    Click(id::kHexDisplay);
    Click(id::kPeriodicSend);
    Click(id::kPortButton);
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("打开串口"));
    EXPECT_EQ(Title(), Gbk(" 串口已关闭"));
    EXPECT_FALSE(hub().IsOpen("COM12"));
    EXPECT_FALSE(Checked(id::kPeriodicSend));
    EXPECT_TRUE(Checked(id::kHexDisplay));
    for (uint32_t unit : kPortUseUnits) EXPECT_FALSE(Enabled(unit)) << std::hex << unit;
    for (uint32_t unit : kLineSettingUnits) EXPECT_TRUE(Enabled(unit)) << std::hex << unit;
}

TEST_F(PortScenarios, DtrCheckedBeforeAnOpenIsDrivenAtOnce) {
    Start();
    OpenPort(0);
    FarEnd far = OpenFarEnd(1);
    Click(id::kDtrOutput);
    Click(id::kPortButton);  // close; DTR输出 stays checked
    EXPECT_TRUE(Checked(id::kDtrOutput));
    Click(id::kPortButton);  // open again
    EXPECT_TRUE(hub().OutputLine("COM1", platform::Line::Dtr));
    EXPECT_EQ(TextOf(id::kDtrOutput), Gbk("低电平"));
    uint32_t status = 0;
    ASSERT_TRUE(far.device().ModemStatus(status));
    EXPECT_TRUE(status & platform::kMsDsrOn);
}

TEST_F(PortScenarios, AFailedOpenKeepsTheClosedState) {
    Start();
    PickPort(1);  // COM3, taken away after the scan listed it
    ASSERT_TRUE(hub().Unplug("COM3"));
    Click(id::kPortButton);
    EXPECT_EQ(Title(), Gbk(" 串口打开失败"));
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("打开串口"));
    EXPECT_FALSE(Enabled(id::kManualSend));
    EXPECT_TRUE(Enabled(id::kPortList));

    // A rate typed as text becomes 0, which the port refuses.
    ASSERT_TRUE(hub().Replug("COM3"));
    TypeInto(id::kBaudRate, "fast");
    Click(id::kPortButton);
    EXPECT_EQ(Title(), Gbk(" 串口打开失败"));
    EXPECT_FALSE(hub().IsOpen("COM3"));
}

TEST_F(PortScenarios, LineSignalBoxesDriveDtrAndRtsSeenAsDsrAndCts) {
    Start();
    OpenPort(0);
    FarEnd far = OpenFarEnd(1);
    uint32_t status = 0;
    const std::string before = TextOf(id::kReceiveBox);

    Click(id::kRtsOutput);
    ASSERT_TRUE(far.device().ModemStatus(status));
    EXPECT_TRUE(status & platform::kMsCtsOn);
    EXPECT_EQ(TextOf(id::kRtsOutput), Gbk("低电平"));
    Click(id::kDtrOutput);
    ASSERT_TRUE(far.device().ModemStatus(status));
    EXPECT_TRUE(status & platform::kMsDsrOn);
    Click(id::kRtsOutput);
    ASSERT_TRUE(far.device().ModemStatus(status));
    EXPECT_FALSE(status & platform::kMsCtsOn);
    EXPECT_EQ(TextOf(id::kRtsOutput), Gbk("高电平"));
    Click(id::kDtrOutput);
    ASSERT_TRUE(far.device().ModemStatus(status));
    EXPECT_FALSE(status & platform::kMsDsrOn);

    const std::string rule = "\r\n---------------------------------------- \r\n";
    EXPECT_EQ(TextOf(id::kReceiveBox),
              before + rule + Gbk(" RTS脚输出：低电平；DB9第7脚输出：正电平\r\n") + rule +
                  Gbk(" DTR脚输出：低电平；DB9第4脚输出：正电平\r\n") + rule +
                  Gbk(" RTS脚输出：高电平；DB9第7脚输出：负电平\r\n") + rule +
                  Gbk(" DTR脚输出：高电平；DB9第4脚输出：负电平\r\n"));
}

TEST_F(PortScenarios, DroppingDownRescansOnAWorkerAndNeverTwiceAtOnce) {
    Start();
    ASSERT_TRUE(hub().AddPair("COM7", "DEV7"));
    ASSERT_TRUE(hub().Unplug("COM3"));
    const size_t before = TextOf(id::kReceiveBox).size();

    DropDown(id::kPortList);
    // While the worker scans, the button reads "Loading..."; a second drop-down starts nothing.
    RunUntil([&] { return TextOf(id::kPortButton) == "Loading..."; }, "the scan to start");
    DropDown(id::kPortList);
    WaitForWorkers();

    EXPECT_EQ(Items(id::kPortList), (std::vector<std::string>{"COM1", "COM7", "COM12"}));
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("打开串口"));
    const std::string added = TextOf(id::kReceiveBox).substr(before);
    EXPECT_EQ(added.find(kScanStart), 0u);
    EXPECT_EQ(added.find(kScanStart, 1), std::string::npos) << "a second scan ran";
}

// Ports that describe their devices, as the termios ports do from the file system: COM1 is a USB
// adapter, and COM5 exists but its device may not be opened by this user.
class DescribedPorts : public platform::SerialPorts {
  public:
    explicit DescribedPorts(platform::SerialPorts& inner) : inner_(inner) {}
    std::unique_ptr<platform::SerialDevice> Open(int port_number) override {
        return inner_.Open(port_number);
    }
    platform::PortInfo Describe(int port_number) override {
        if (port_number == 1) {
            return {"/dev/ttyUSB0",
                    "/dev/ttyUSB0",
                    "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00",
                    "0403:6001 FTDI FT232R USB UART",
                    false,
                    "dialout"};
        }
        if (port_number == 5) return {"/dev/ttyS4", "/dev/ttyS4", "", "", true, "dialout"};
        return {};
    }

  private:
    platform::SerialPorts& inner_;
};

TEST_F(PortScenarios, PortItemsNameTheirDevicesAndTheScanNamesPortsTheUserMayNotOpen) {
    DescribedPorts ports(hub());
    UsePorts(ports);
    Start();
    EXPECT_EQ(Items(id::kPortList), (std::vector<std::string>{"COM1", "COM3", "COM12"}));
    EXPECT_EQ(ItemToolTip(id::kPortList, 0),
              "/dev/ttyUSB0\n/dev/serial/by-id/usb-FTDI_FT232R_A1-if00\n"
              "0403:6001 FTDI FT232R USB UART");
    EXPECT_EQ(ItemToolTip(id::kPortList, 1), "");
    // After the port lines, one line for the port the user may not open, with the remedy.
    const std::string box = TextOf(id::kReceiveBox);
    const std::string denied =
        Gbk(" COM5 --> 无权限 /dev/ttyS4：请将用户加入 dialout 组，然后重新登录\r\n");
    const size_t at = box.find(denied);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(box.find(" COM12 --> "), at);
    EXPECT_EQ(box.substr(at + denied.size()), kScanEnd);
}

TEST_F(PortScenarios, AnUnpluggedDeviceClosesThePortAtOnceAndIsFoundAgainWhenItReturns) {
    FarEnd far = StartOpen();
    ASSERT_EQ(TextOf(id::kPortButton), Gbk(" 关闭串口"));
    // An ordinary line error leaves the port open.
    ASSERT_TRUE(hub().InjectLineError("COM1", platform::kCeRxParity));
    Receive(far, "ok");
    EXPECT_EQ(TextOf(id::kPortButton), Gbk(" 关闭串口"));

    const uint64_t unplugged = loop().NowMs();
    ASSERT_TRUE(hub().Unplug("COM1"));
    RunUntil([&] { return Title() == Gbk(" 串口已关闭"); }, "the port to close");
    EXPECT_LE(loop().NowMs() - unplugged, 1000u);
    EXPECT_EQ(TextOf(id::kPortButton), Gbk("打开串口"));
    EXPECT_TRUE(Enabled(id::kPortList));
    EXPECT_FALSE(Enabled(id::kManualSend));
    EXPECT_FALSE(hub().IsOpen("COM1"));

    ASSERT_TRUE(hub().Replug("COM1"));
    PickPort(0);
    EXPECT_EQ(Items(id::kPortList), (std::vector<std::string>{"COM1", "COM3", "COM12"}));
    Click(id::kPortButton);
    EXPECT_EQ(Title(), Gbk(" Kesu串口调试工具 V10"));
    EXPECT_TRUE(hub().IsOpen("COM1"));
}

}  // namespace
}  // namespace kesu::e2e
