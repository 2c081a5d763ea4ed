// Port scan, line settings, open and close, and the DTR and RTS check boxes.
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"
#include "units/serial_port/serial_port_unit.h"

namespace kesu::app {

namespace {

const char* const kCaptionLoading = "Loading...";
const char* const kCaptionChoosePort = "请选择端口";
const char* const kCaptionOpenPort = "打开串口";
const char* const kCaptionClosePort = " 关闭串口";
const char* const kTitlePortsFound = " Kesu串口调试工具 V10";

constexpr int32_t kHighestPort = 100;
using units::SignalAction;
using units::SignalLine;

bool CaptionIs(const ButtonHandle& button, std::string_view caption) {
    return button.Caption() == caption;
}

const ComboBoxHandle* const kLineSettingUnits[] = {&kPortList, &kBaudRate, &kDataBits, &kStopBits,
                                                   &kParity};
const UnitHandle* const kPortUseUnits[] = {
    &kManualSend,   &kPeriodicSend, &kHexSend,   &kHexDisplay, &kTimeoutBreak, &kTriggerBreak,
    &kWatchReceive, &kAutoReply,    &kDtrOutput, &kRtsOutput,  &kTriggerBeep};

void SetGroupsDisabled(bool lineSettingsDisabled, bool portUseDisabled) {
    for (const ComboBoxHandle* unit : kLineSettingUnits) unit->SetDisabled(lineSettingsDisabled);
    for (const UnitHandle* unit : kPortUseUnits) unit->SetDisabled(portUseDisabled);
}

// Drives one line from its check box at open time, without a line in the receive box.
void ApplyLineFromBox(const CheckBoxHandle& box, SignalLine line) {
    if (box.Checked()) {
        kSerialPort.SetLineSignal(SignalAction::kSet, line);
        box.SetCaption("低电平");
    } else {
        kSerialPort.SetLineSignal(SignalAction::kClear, line);
        box.SetCaption("高电平");
    }
}

void DriveLineByHand(const CheckBoxHandle& box, SignalLine line, const char* setReport,
                     const char* clearReport) {
    if (box.Checked()) {
        kSerialPort.SetLineSignal(SignalAction::kSet, line);
        box.SetCaption("低电平");
        kReceiveBox.AddText({setReport});
    } else {
        kSerialPort.SetLineSignal(SignalAction::kClear, line);
        box.SetCaption("高电平");
        kReceiveBox.AddText({clearReport});
    }
}

// On Linux a COM number stands for a device path that the user cannot see in the list: each item
// tells it in its tool tip.
void ShowPortDevice(int32_t item, int32_t port) {
    std::string tip = platform::PortInfoText(units::DescribeSerialPort(port), "\n");
    if (!tip.empty()) tip.pop_back();
    kPortList.SetItemToolTip(item, tip.c_str());
}

// A device this user may not open is the usual reason for an empty list on a fresh Linux system;
// the scan names it, with the remedy, instead of leaving it out silently.
std::string DeniedPortLine(int32_t port) {
    const platform::PortInfo info = units::DescribeSerialPort(port);
    if (!info.denied) return {};
    const std::string group = info.group.empty() ? "拥有该设备的" : " " + info.group + " ";
    OwnedText number = IntToText(port);
    return std::string(" COM") + number.c_str() + " --> 无权限 " + info.device + "：请将用户加入" +
           group + "组，然后重新登录\r\n";
}

}  // namespace

void ScanPorts() {
    kPortList.ClearItems();
    kPortButton.SetCaption(kCaptionLoading);
    kReceiveBox.AddText(
        {"\r\n---------------------------------------- \r\n 正在扫描1-100号端口...\r\n"});
    std::vector<std::string> deniedLines;
    for (int32_t n = 1; n <= kHighestPort; ++n) {
        Assistant().scanPortNumber = n;
        kSerialPort.SetPortNumber(n);
        if (kSerialPort.Open()) {
            kSerialPort.Close();
            OwnedText number = IntToText(n);
            const int32_t item = kPortList.AddItem((std::string("COM") + number.c_str()).c_str());
            ShowPortDevice(item, n);
            OwnedText now = DateTimeToText(Now());
            const std::string line =
                std::string(" COM") + number.c_str() + " --> 可用 " + now.c_str() + "\r\n";
            kReceiveBox.AddText({line.c_str()});
        } else if (std::string line = DeniedPortLine(n); !line.empty()) {
            deniedLines.push_back(std::move(line));
        }
    }
    for (const std::string& line : deniedLines) kReceiveBox.AddText({line.c_str()});
    kPortList.SetListIndex(0);
    if (kPortList.Content().empty()) kReceiveBox.AddText({" 无可用端口...\r\n"});
    if (kPortList.Content().empty()) {
        kWindow.SetTitle("【无空闲端口，请检查串口设备】！！！");
        kPortButton.SetCaption(kCaptionChoosePort);
    } else {
        kWindow.SetTitle(kTitlePortsFound);
        kPortButton.SetCaption(kCaptionOpenPort);
    }
    kReceiveBox.AddText({"----------------------------------------\r\n"});
}

void ApplyLineSettings() {
    {
        OwnedText port = kPortList.Content();
        OwnedText digits = MidText(port.c_str(), 4, 4);
        kSerialPort.SetPortNumber(IntegerOf(ToNumber(digits.c_str())));
    }
    OwnedText baud = kBaudRate.Content();
    kSerialPort.SetBaudRate(IntegerOf(ToNumber(baud.c_str())));
    OwnedText dataBits = kDataBits.Content();
    kSerialPort.SetDataBits(IntegerOf(ToNumber(dataBits.c_str())));
    OwnedText stopBits = kStopBits.Content();
    if (stopBits == "1") {
        kSerialPort.SetStopBits(1);
    } else if (stopBits == "1.5") {
        kSerialPort.SetStopBits(2);
    } else if (stopBits == "2") {
        kSerialPort.SetStopBits(3);
    }
    {
        OwnedText parity = kParity.Content();
        OwnedText digit = LeftText(parity.c_str(), 1);
        kSerialPort.SetParity(IntegerOf(ToNumber(digit.c_str())));
    }
    const double parityBits = kSerialPort.Parity() == 0 ? 1.0 : 2.0;
    Assistant().bitsPerCharacter =
        static_cast<float>(ToNumber(dataBits.c_str()) + ToNumber(stopBits.c_str()) + parityBits);
}

void OpenPort() {
    if (kSerialPort.Open()) {
        kPortButton.SetCaption(kCaptionClosePort);
        kWindow.SetTitle(kTitlePortsFound);
        SetGroupsDisabled(true, false);
        ApplyLineFromBox(kDtrOutput, SignalLine::kDtr);
        ApplyLineFromBox(kRtsOutput, SignalLine::kRts);
    } else {
        kWindow.SetTitle(" 串口打开失败");
    }
}

void ClosePort() {
    kSerialPort.Close();
    kPortButton.SetCaption(kCaptionOpenPort);
    kWindow.SetTitle(" 串口已关闭");
    SetGroupsDisabled(false, true);
    kPeriodicSend.SetChecked(false);
}

void OnPortLineEvent(int32_t what) {
    // A device that vanishes while open (a USB adapter pulled out) is reported as a line error;
    // unlike a parity or framing error it leaves the port no longer open, and the window then
    // closes it as the user would, so that the loss shows at once and a later scan finds the
    // device again when it returns.
    if (static_cast<units::LineEvent>(what) != units::LineEvent::kLineError ||
        !CaptionIs(kPortButton, kCaptionClosePort)) {
        return;
    }
    if (kSerialPort.IsOpen()) return;
    ClosePort();
}

void OnPortListDroppingDown() {
    if (CaptionIs(kPortButton, kCaptionLoading)) return;
    StartWorker<ScanPorts>();
}

void OnPortButtonClicked() {
    ApplyLineSettings();
    if (CaptionIs(kPortButton, kCaptionOpenPort)) {
        OpenPort();
    } else if (CaptionIs(kPortButton, kCaptionClosePort)) {
        ClosePort();
    }
}

void OnRtsClicked() {
    DriveLineByHand(kRtsOutput, SignalLine::kRts,
                    "\r\n---------------------------------------- \r\n "
                    "RTS脚输出：低电平；DB9第7脚输出：正电平\r\n",
                    "\r\n---------------------------------------- \r\n "
                    "RTS脚输出：高电平；DB9第7脚输出：负电平\r\n");
}

void OnDtrClicked() {
    DriveLineByHand(kDtrOutput, SignalLine::kDtr,
                    "\r\n---------------------------------------- \r\n "
                    "DTR脚输出：低电平；DB9第4脚输出：正电平\r\n",
                    "\r\n---------------------------------------- \r\n "
                    "DTR脚输出：高电平；DB9第4脚输出：负电平\r\n");
}

}  // namespace kesu::app
