// The units of the main window as typed handles.
//
// A handle knows its unit id; each member is one property read or write through the system
// function table (ReadUnitProperty, WriteUnitProperty) or one unit method called as a command
// with the unit reference as its first argument. The handlers use the handles named after the
// window's units, so `kReceiveBox.AddText(...)` is 接收框.AddText(...) of the window.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "app/form/main_window_form.h"
#include "app/owned_value.h"
#include "runtime/properties.h"
#include "units/button/button.h"
#include "units/check_box/check_box.h"
#include "units/combo_box/combo_box.h"
#include "units/common_dialog/common_dialog.h"
#include "units/edit_box/edit_box.h"
#include "units/serial_port/serial_port_unit.h"
#include "units/timer/timer.h"
#include "units/window/window.h"

namespace kesu::app {

// Property indices as the runtime numbers them: the common ones, then each type's own after them.
namespace property {
// A unit type's own property (unit-relative index) as the runtime numbers it.
constexpr int TypeProperty(int own) {
    return kFirstTypeProperty + own;
}
inline constexpr int kDisabled = kPropDisabled;
inline constexpr int kWindowTitle = TypeProperty(units::WindowUnit::kTitle);
inline constexpr int kEditContent = TypeProperty(units::EditBoxUnit::kContent);
inline constexpr int kEditTextColour = TypeProperty(units::EditBoxUnit::kTextColour);
inline constexpr int kButtonCaption = TypeProperty(units::ButtonUnit::kCaption);
inline constexpr int kCheckCaption = TypeProperty(units::CheckBoxUnit::kCaption);
inline constexpr int kChecked = TypeProperty(units::CheckBoxUnit::kChecked);
inline constexpr int kComboContent = TypeProperty(units::ComboBoxUnit::kContent);
inline constexpr int kComboListIndex = TypeProperty(units::ComboBoxUnit::kListIndex);
inline constexpr int kTimerInterval = TypeProperty(units::TimerUnit::kInterval);
inline constexpr int kPortNumber = TypeProperty(units::SerialPortUnit::kPortNumber);
inline constexpr int kBaudRate = TypeProperty(units::SerialPortUnit::kBaudRate);
inline constexpr int kDataBits = TypeProperty(units::SerialPortUnit::kDataBits);
inline constexpr int kStopBits = TypeProperty(units::SerialPortUnit::kStopBits);
inline constexpr int kParity = TypeProperty(units::SerialPortUnit::kParity);
inline constexpr int kDialogType = TypeProperty(units::CommonDialogUnit::kDialogType);
inline constexpr int kDialogTitle = TypeProperty(units::CommonDialogUnit::kTitle);
inline constexpr int kDialogFileName = TypeProperty(units::CommonDialogUnit::kFileName);
inline constexpr int kDialogFilter = TypeProperty(units::CommonDialogUnit::kFilter);
inline constexpr int kDialogInitialDir = TypeProperty(units::CommonDialogUnit::kInitialDir);
inline constexpr int kDialogDefaultExt = TypeProperty(units::CommonDialogUnit::kDefaultExt);
}  // namespace property

class UnitHandle {
  public:
    constexpr explicit UnitHandle(uint32_t unitId) : id_(unitId) {}
    uint32_t id() const { return id_; }
    bool Disabled() const;
    void SetDisabled(bool disabled) const;

  protected:
    OwnedText ReadText(int property) const;
    void WriteText(int property, const char* text) const;
    int32_t ReadInt(int property) const;
    void WriteInt(int property, int32_t value) const;

    uint32_t id_;
};

class WindowHandle : public UnitHandle {
  public:
    constexpr WindowHandle() : UnitHandle(kWindowRecordId) {}
    OwnedText Title() const { return ReadText(property::kWindowTitle); }
    void SetTitle(const char* title) const { WriteText(property::kWindowTitle, title); }
};

class EditBoxHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    OwnedText Content() const { return ReadText(property::kEditContent); }
    void SetContent(const char* text) const { WriteText(property::kEditContent, text); }
    uint32_t TextColour() const;
    void SetTextColour(uint32_t colour) const;
    // Appends each text at the end of the box and scrolls to it.
    void AddText(std::initializer_list<const char*> texts) const;
};

class ButtonHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    OwnedText Caption() const { return ReadText(property::kButtonCaption); }
    void SetCaption(const char* caption) const { WriteText(property::kButtonCaption, caption); }
};

class CheckBoxHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    bool Checked() const { return ReadInt(property::kChecked) != 0; }
    void SetChecked(bool checked) const { WriteInt(property::kChecked, checked ? 1 : 0); }
    OwnedText Caption() const { return ReadText(property::kCheckCaption); }
    void SetCaption(const char* caption) const { WriteText(property::kCheckCaption, caption); }
};

class ComboBoxHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    OwnedText Content() const { return ReadText(property::kComboContent); }
    int32_t ListIndex() const { return ReadInt(property::kComboListIndex); }
    void SetListIndex(int32_t index) const { WriteInt(property::kComboListIndex, index); }
    void ClearItems() const;
    int32_t AddItem(const char* text) const;
    void SetItemToolTip(int32_t index, const char* text) const;
};

class TimerHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    int32_t Interval() const { return ReadInt(property::kTimerInterval); }
    void SetInterval(int32_t ms) const { WriteInt(property::kTimerInterval, ms); }
};

class SerialPortHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    void SetPortNumber(int32_t n) const { WriteInt(property::kPortNumber, n); }
    int32_t PortNumber() const { return ReadInt(property::kPortNumber); }
    void SetBaudRate(int32_t v) const { WriteInt(property::kBaudRate, v); }
    void SetDataBits(int32_t v) const { WriteInt(property::kDataBits, v); }
    void SetStopBits(int32_t v) const { WriteInt(property::kStopBits, v); }
    void SetParity(int32_t v) const { WriteInt(property::kParity, v); }
    int32_t Parity() const { return ReadInt(property::kParity); }
    bool Open() const;
    void Close() const;
    // Hands the bytes of a byte set (null: none) to the port; blocks until written.
    bool SendData(const uint8_t* byteSet) const;
    bool SetLineSignal(units::SignalAction action, units::SignalLine line) const;
    // Whether the port is open and running: an empty send, which never waits for a device.
    bool IsOpen() const { return SendData(nullptr); }
};

class CommonDlgHandle : public UnitHandle {
  public:
    using UnitHandle::UnitHandle;
    void SetDialogType(int32_t type) const { WriteInt(property::kDialogType, type); }
    void SetTitle(const char* t) const { WriteText(property::kDialogTitle, t); }
    OwnedText FileName() const { return ReadText(property::kDialogFileName); }
    void SetFileName(const char* t) const { WriteText(property::kDialogFileName, t); }
    void SetFilter(const char* t) const { WriteText(property::kDialogFilter, t); }
    void SetInitialDir(const char* t) const { WriteText(property::kDialogInitialDir, t); }
    void SetDefaultExt(const char* t) const { WriteText(property::kDialogDefaultExt, t); }
    bool OpenDialog() const;
};

// The main window and its units, named after the window's units.
inline constexpr WindowHandle kWindow;
inline constexpr ComboBoxHandle kPortList{unit_id::kPortList};           // 端口号
inline constexpr ComboBoxHandle kBaudRate{unit_id::kBaudRate};           // 波特率
inline constexpr ComboBoxHandle kDataBits{unit_id::kDataBits};           // 数据位
inline constexpr ComboBoxHandle kStopBits{unit_id::kStopBits};           // 停止位
inline constexpr ComboBoxHandle kParity{unit_id::kParity};               // 校验位
inline constexpr ButtonHandle kPortButton{unit_id::kPortButton};         // 串口状态按钮
inline constexpr CheckBoxHandle kDtrOutput{unit_id::kDtrOutput};         // DTR输出
inline constexpr CheckBoxHandle kRtsOutput{unit_id::kRtsOutput};         // RTS输出
inline constexpr EditBoxHandle kSentCount{unit_id::kSentCount};          // 发送计数
inline constexpr EditBoxHandle kReceivedCount{unit_id::kReceivedCount};  // 接收计数
inline constexpr EditBoxHandle kTriggerCount{unit_id::kTriggerCount};    // 触发计数
inline constexpr EditBoxHandle kReceiveBox{unit_id::kReceiveBox};        // 接收框
inline constexpr CheckBoxHandle kHexDisplay{unit_id::kHexDisplay};       // HEX显示
inline constexpr CheckBoxHandle kTimeoutBreak{unit_id::kTimeoutBreak};   // 超时换行
inline constexpr EditBoxHandle kTimeoutPeriod{unit_id::kTimeoutPeriod};  // 换行间隔时间
inline constexpr EditBoxHandle kSendBox{unit_id::kSendBox};              // 发送框
inline constexpr CheckBoxHandle kHexSend{unit_id::kHexSend};             // HEX发送
inline constexpr CheckBoxHandle kPeriodicSend{unit_id::kPeriodicSend};   // 周期发送
inline constexpr EditBoxHandle kSendPeriod{unit_id::kSendPeriod};        // 周期发送时间
inline constexpr ButtonHandle kManualSend{unit_id::kManualSend};         // 手动发送按钮
inline constexpr CheckBoxHandle kTriggerBreak{unit_id::kTriggerBreak};   // 触发换行1
inline constexpr CheckBoxHandle kWatchReceive{unit_id::kWatchReceive};   // 收到1
inline constexpr EditBoxHandle kConditionBox{unit_id::kConditionBox};    // 触发条件框1
inline constexpr CheckBoxHandle kTriggerBeep{unit_id::kTriggerBeep};     // 触发鸣叫1
inline constexpr CheckBoxHandle kAutoReply{unit_id::kAutoReply};         // 应答1
inline constexpr EditBoxHandle kReplyBox{unit_id::kReplyBox};            // 触发应答框1
inline constexpr SerialPortHandle kSerialPort{unit_id::kSerialPort};     // 串口
inline constexpr CommonDlgHandle kFileDialog{unit_id::kFileDialog};      // 通用对话框
inline constexpr TimerHandle kRefreshTimer{unit_id::kRefreshTimer};      // 界面刷新定时器
inline constexpr TimerHandle kPeriodicTimer{unit_id::kPeriodicTimer};    // 周期发送定时器
inline constexpr TimerHandle kTimeoutTimer{unit_id::kTimeoutTimer};      // 超时换行定时器

}  // namespace kesu::app
