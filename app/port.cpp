// Port scan, line settings, open and close, and the DTR and RTS check boxes.
#include <string>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

namespace {

const char* const kCaptionLoading = "Loading...";
const char* const kCaptionChoosePort = "请选择端口";
const char* const kCaptionOpenPort = "打开串口";
const char* const kCaptionClosePort = " 关闭串口";
const char* const kTitlePortsFound = " Kesu串口调试工具 V10";

constexpr int32_t kHighestPort = 100;
constexpr int32_t kActionClear = 1;
constexpr int32_t kActionSet = 2;
constexpr int32_t kLineDtr = 1;
constexpr int32_t kLineRts = 2;

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
void ApplyLineFromBox(const CheckBoxHandle& box, int32_t line) {
    if (box.Checked()) {
        kSerialPort.SetLineSignal(kActionSet, line);
        box.SetCaption("低电平");
    } else {
        kSerialPort.SetLineSignal(kActionClear, line);
        box.SetCaption("高电平");
    }
}

void DriveLineByHand(const CheckBoxHandle& box, int32_t line, const char* setReport,
                     const char* clearReport) {
    if (box.Checked()) {
        kSerialPort.SetLineSignal(kActionSet, line);
        box.SetCaption("低电平");
        kReceiveBox.AddText({setReport});
    } else {
        kSerialPort.SetLineSignal(kActionClear, line);
        box.SetCaption("高电平");
        kReceiveBox.AddText({clearReport});
    }
}

}  // namespace

void ScanPorts() {
    kPortList.ClearItems();
    kPortButton.SetCaption(kCaptionLoading);
    kReceiveBox.AddText(
        {"\r\n---------------------------------------- \r\n 正在扫描1-100号端口...\r\n"});
    for (int32_t n = 1; n <= kHighestPort; ++n) {
        scanPortNumber = n;
        kSerialPort.SetPortNumber(n);
        if (kSerialPort.Open()) {
            kSerialPort.Close();
            OwnedText number = IntToText(n);
            kPortList.AddItem((std::string("COM") + number.c_str()).c_str());
            OwnedText now = DateTimeToText(Now());
            const std::string line =
                std::string(" COM") + number.c_str() + " --> 可用 " + now.c_str() + "\r\n";
            kReceiveBox.AddText({line.c_str()});
        }
    }
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
    bitsPerCharacter =
        static_cast<float>(ToNumber(dataBits.c_str()) + ToNumber(stopBits.c_str()) + parityBits);
}

void OpenPort() {
    if (kSerialPort.Open()) {
        kPortButton.SetCaption(kCaptionClosePort);
        kWindow.SetTitle(kTitlePortsFound);
        SetGroupsDisabled(true, false);
        ApplyLineFromBox(kDtrOutput, kLineDtr);
        ApplyLineFromBox(kRtsOutput, kLineRts);
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
    DriveLineByHand(kRtsOutput, kLineRts,
                    "\r\n---------------------------------------- \r\n "
                    "RTS脚输出：低电平；DB9第7脚输出：正电平\r\n",
                    "\r\n---------------------------------------- \r\n "
                    "RTS脚输出：高电平；DB9第7脚输出：负电平\r\n");
}

void OnDtrClicked() {
    DriveLineByHand(kDtrOutput, kLineDtr,
                    "\r\n---------------------------------------- \r\n "
                    "DTR脚输出：低电平；DB9第4脚输出：正电平\r\n",
                    "\r\n---------------------------------------- \r\n "
                    "DTR脚输出：高电平；DB9第4脚输出：负电平\r\n");
}

}  // namespace kesu::app
