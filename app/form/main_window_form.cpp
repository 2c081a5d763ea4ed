// The main window's description. Texts are written as they appear on screen; this file is
// compiled with the GBK execution character set, so every literal is already the GBK bytes that
// the template stores.
#include "app/form/main_window_form.h"

#include <string_view>

#include "runtime/font.h"
#include "runtime/value.h"
#include "units/button/button.h"
#include "units/check_box/check_box.h"
#include "units/combo_box/combo_box.h"
#include "units/common_dialog/common_dialog_settings.h"
#include "units/edit_box/edit_box.h"
#include "units/group_box/group_box_settings.h"
#include "units/label/label_settings.h"
#include "units/serial_port/serial_port_unit.h"
#include "units/timer/timer.h"
#include "units/window/window_settings.h"

namespace kesu::app {

namespace {

namespace id = unit_id;

constexpr uint8_t kGb2312CharSet = 134;

std::string Font(int32_t pixelHeight, std::string_view face = "宋体", bool bold = false) {
    FontRecord font;
    font.height = -pixelHeight;
    font.weight = bold ? 700 : 400;
    font.char_set = kGb2312CharSet;
    const size_t n = face.size() < sizeof font.face - 1 ? face.size() : sizeof font.face - 1;
    face.copy(font.face, n);
    return FontToBytes(font);
}

// The counters and the two millisecond fields use the bold system font at 12 pixels.
std::string SystemBold12() {
    return Font(12, "System", true);
}

std::pair<int32_t, int32_t> Bind(int32_t event, Handler handler) {
    return {event, static_cast<int32_t>(handler)};
}

// Builds the records in template order and keeps the tab order running.
class FormBuilder {
  public:
    FormUnit& Add(std::string_view name, uint32_t unitId, uint32_t type, int32_t left, int32_t top,
                  int32_t width, int32_t height, std::string_view data) {
        FormUnit unit;
        unit.name = std::string(name);
        unit.id = unitId;
        unit.type = type;
        unit.left = left;
        unit.top = top;
        unit.width = width;
        unit.height = height;
        unit.data.assign(data.begin(), data.end());
        unit.tabOrder = nextTabOrder_++;
        // Units the user types into or clicks take the keyboard focus in turn.
        unit.tabStop = type == kUnitEditBox || type == kUnitButton || type == kUnitCheckBox ||
                       type == kUnitComboBox;
        units_.push_back(std::move(unit));
        return units_.back();
    }

    FormUnit& Label(std::string_view name, uint32_t unitId, int32_t left, int32_t top,
                    int32_t width, std::string_view caption, uint32_t colour = 0) {
        units::LabelSettings s;
        s.caption = std::string(caption);
        s.font = Font(14);
        s.textColour = colour;
        s.backColour = platform::kButtonFace;
        s.hAlign = 1;
        s.vAlign = 1;
        return Add(name, unitId, kUnitLabel, left, top, width, 25, s.Save());
    }

    FormUnit& Group(std::string_view name, uint32_t unitId, int32_t left, int32_t top,
                    int32_t width, int32_t height, std::string_view caption, int32_t fontHeight) {
        units::GroupBoxSettings s;
        s.caption = std::string(caption);
        s.font = Font(fontHeight);
        return Add(name, unitId, kUnitGroupBox, left, top, width, height, s.Save());
    }

    FormUnit& Button(std::string_view name, uint32_t unitId, int32_t left, int32_t top,
                     int32_t width, std::string_view caption) {
        units::ButtonSettings s;
        s.caption = std::string(caption);
        s.font = Font(14);
        return Add(name, unitId, kUnitButton, left, top, width, 25, s.Save());
    }

    // Every check box of the window starts unchecked and disabled.
    FormUnit& CheckBox(std::string_view name, uint32_t unitId, int32_t left, int32_t top,
                       int32_t width, std::string_view caption, uint32_t colour = 0) {
        units::CheckBoxSettings s;
        s.caption = std::string(caption);
        s.font = Font(14);
        s.textColour = colour;
        FormUnit& unit = Add(name, unitId, kUnitCheckBox, left, top, width, 25, s.Save());
        unit.disabled = true;
        return unit;
    }

    FormUnit& Combo(std::string_view name, uint32_t unitId, int32_t top,
                    units::ComboBoxSettings s) {
        s.font = Font(14);
        return Add(name, unitId, kUnitComboBox, 69, top, 75, 25, s.Save());
    }

    FormUnit& Edit(std::string_view name, uint32_t unitId, int32_t left, int32_t top, int32_t width,
                   int32_t height, const units::EditBoxSettings& s) {
        return Add(name, unitId, kUnitEditBox, left, top, width, height, s.Save());
    }

    std::vector<FormUnit> Take() { return std::move(units_); }

  private:
    std::vector<FormUnit> units_;
    int32_t nextTabOrder_ = 1;
};

units::EditBoxSettings CounterBox() {
    units::EditBoxSettings s;
    s.alignment = 2;
    s.textColour = 0x000000FF;
    s.font = SystemBold12();
    s.content = "0";
    return s;
}

units::EditBoxSettings MillisecondField(std::string_view content) {
    units::EditBoxSettings s;
    s.alignment = 1;
    s.font = SystemBold12();
    s.content = std::string(content);
    return s;
}

units::EditBoxSettings BigBox(uint32_t colour, int32_t fontHeight, std::string_view content,
                              int32_t maxLength = 0) {
    units::EditBoxSettings s;
    s.multiLine = true;
    s.scrollBars = 2;
    s.textColour = colour;
    s.font = Font(fontHeight);
    s.content = std::string(content);
    s.maxLength = maxLength;
    return s;
}

units::ComboBoxSettings ComboList(int32_t listType, std::vector<std::string> items, int32_t index,
                                  bool sorted = false) {
    units::ComboBoxSettings s;
    s.listType = listType;
    s.items = std::move(items);
    s.listIndex = index;
    s.sorted = sorted;
    return s;
}

std::string TimerBlock(int32_t interval) {
    units::TimerSettings s;
    s.interval = interval;
    return s.Save();
}

// The port's stored block: the default settings with the parity check on.
std::string SerialPortBlock() {
    units::SerialPortSettings port;
    port.parityCheck = true;
    return port.Save();
}

std::string FileDialogBlock() {
    units::CommonDialogSettings s;
    s.dialogType = 1;
    s.filterIndex = 0;
    s.createPrompt = true;
    s.fileMustExist = true;
    s.overwritePrompt = true;
    s.pathMustExist = true;
    s.noChangeDir = true;
    return s.Save();
}

FormUnit WindowRecord() {
    units::WindowSettings s;
    s.frameStyle = 2;
    s.pictureLayout = 1;
    s.backColour = platform::kButtonFace;
    s.maxButton = 0;
    s.minButton = 1;
    s.controlBox = 1;
    s.windowState = 0;
    s.movable = 1;
    s.further21To24[0] = s.further21To24[1] = s.further21To24[2] = s.further21To24[3] = 0;
    s.further25 = 1;
    s.further26 = 1;
    s.further28 = 0;
    s.alwaysOnTop = 0;
    s.further27 = 1;
    s.title = "Kesu串口调试助手 V3.0";
    const std::string block = s.Save();

    FormUnit window;
    window.id = kWindowRecordId;
    window.type = kUnitWindow;
    window.left = 50;
    window.top = 50;
    window.width = 744;
    window.height = 547;
    window.data.assign(block.begin(), block.end());
    window.events = {Bind(window_event::kCreated, Handler::kWindowCreated)};
    return window;
}

}  // namespace

Form MainWindowForm() {
    using H = Handler;
    FormBuilder b;

    // Port settings. The group boxes come last in the template so that they lie beneath the
    // units drawn inside their frames.
    b.Label("项目2", id::kLabelPort, 16, 25, 50, "端口号");
    b.Combo("端口号", id::kPortList, 25, ComboList(2, {}, -1)).events = {
        Bind(units::ComboBoxUnit::kEventDroppingDown, H::kPortListDroppingDown)};
    b.Label("项目3", id::kLabelBaud, 16, 53, 50, "波特率");
    {
        // An editable list: the user may type any rate. The stored content is applied after
        // the selection, so the rate shown and used at start is 115200, not item 6.
        units::ComboBoxSettings s =
            ComboList(1, {"110",    "300",    "600",    "1200",   "2400",   "4800",   "9600",
                          "14400",  "19200",  "28800",  "38400",  "56000",  "57600",  "115200",
                          "128000", "230400", "256000", "460800", "921600", "1843200"},
                      6);
        s.content = "115200";
        b.Combo("波特率", id::kBaudRate, 53, s);
    }
    b.Label("项目4", id::kLabelDataBits, 16, 81, 50, "数据位");
    b.Combo("数据位", id::kDataBits, 81, ComboList(2, {"4", "5", "6", "7", "8"}, 4));
    b.Label("项目5", id::kLabelStopBits, 16, 109, 50, "停止位");
    b.Combo("停止位", id::kStopBits, 109, ComboList(2, {"1", "1.5", "2"}, 0));
    b.Label("项目6", id::kLabelParity, 16, 138, 50, "校验位");
    // Stored from "4" down to "0"; the sorted list shows "0无校验" first and selects it.
    b.Combo("校验位", id::kParity, 138,
            ComboList(2, {"4空白校验", "3标志校验", "2偶校验", "1奇校验", "0无校验"}, 0, true));
    b.Button("串口状态按钮", id::kPortButton, 16, 165, 125, "请选择端口").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kPortButtonClicked)};

    // Line signals: the four units inside 分组框6 are placed within it.
    constexpr uint32_t kSignalColour = 0x00FF0090;
    b.Label("项目9", id::kLabelDtr, 10, 17, 50, "DTR输出", kSignalColour).parent =
        id::kGroupSignals;
    {
        FormUnit& u = b.CheckBox("DTR输出", id::kDtrOutput, 72, 17, 64, "高电平", kSignalColour);
        u.parent = id::kGroupSignals;
        u.events = {Bind(units::CheckBoxUnit::kEventClicked, H::kDtrClicked)};
    }
    b.Label("项目10", id::kLabelRts, 10, 43, 50, "RTS输出", kSignalColour).parent =
        id::kGroupSignals;
    {
        FormUnit& u = b.CheckBox("RTS输出", id::kRtsOutput, 72, 43, 64, "高电平", kSignalColour);
        u.parent = id::kGroupSignals;
        u.events = {Bind(units::CheckBoxUnit::kEventClicked, H::kRtsClicked)};
    }

    // Counters.
    b.Label("项目1", id::kLabelSent, 16, 306, 50, "发  送");
    b.Edit("发送计数", id::kSentCount, 69, 306, 73, 25, CounterBox());
    b.Label("项目7", id::kLabelReceived, 16, 332, 50, "接  收");
    b.Edit("接收计数", id::kReceivedCount, 69, 332, 73, 25, CounterBox());
    b.Label("项目8", id::kLabelTriggers, 16, 358, 50, "触  发");
    b.Edit("触发计数", id::kTriggerCount, 69, 358, 73, 25, CounterBox());
    b.Button("计数清空按钮", id::kClearCounts, 16, 388, 125, "计数清空").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kClearCountsClicked)};

    // Receiving.
    b.Edit("接收框", id::kReceiveBox, 165, 25, 555, 218,
           BigBox(0, 14,
                  "\r\n Kesu串口调试助手\r\n 版本：V3.0\r\n 使用说明：\r\n 1.<数字> "
                  "代表超时换行及超时次数；\r\n 2.[数字] 代表触发换行及触发次数；\r\n"));
    b.CheckBox("HEX显示", id::kHexDisplay, 165, 249, 76, "HEX显示");
    b.CheckBox("超时换行", id::kTimeoutBreak, 260, 249, 76, "超时换行");
    b.Edit("换行间隔时间", id::kTimeoutPeriod, 355, 249, 40, 25, MillisecondField("100"));
    b.Label("项目12", id::kLabelTimeout, 400, 249, 35, "ms/行");
    b.Button("保存文本按钮", id::kSaveText, 470, 249, 70, "保存接收").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kSaveTextClicked)};
    b.Button("清空收接按钮", id::kClearReceive, 560, 249, 70, "清空收接").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kClearReceiveClicked)};
    b.Button("文本比较按钮", id::kCompareText, 650, 249, 70, "数据对比").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kCompareClicked)};

    // Sending.
    b.Edit("发送框", id::kSendBox, 165, 306, 555, 75,
           BigBox(0x00FF0000, 13, "02 2e 41 01 01 6f 10 03 10 ", 100000))
        .events = {Bind(units::EditBoxUnit::kEventChanged, H::kSendBoxChanged)};
    b.CheckBox("HEX发送", id::kHexSend, 165, 388, 76, "HEX发送");
    b.CheckBox("周期发送", id::kPeriodicSend, 260, 388, 76, "周期发送");
    b.Edit("周期发送时间", id::kSendPeriod, 355, 388, 40, 25, MillisecondField("1000")).events = {
        Bind(units::EditBoxUnit::kEventChanged, H::kSendPeriodChanged)};
    b.Label("项目11", id::kLabelPeriod, 400, 388, 35, "ms/次");
    b.Button("打开文本按钮", id::kLoadText, 470, 388, 70, "打开文本").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kLoadTextClicked)};
    b.Button("清空发送按钮", id::kClearSend, 560, 388, 70, "清空发送").events = {
        Bind(units::ButtonUnit::kEventClicked, H::kClearSendClicked)};
    {
        // Disabled while the port is closed and while a send holds it (the busy flag).
        FormUnit& u = b.Button("手动发送按钮", id::kManualSend, 650, 388, 70, "手动发送");
        u.disabled = true;
        u.events = {Bind(units::ButtonUnit::kEventClicked, H::kManualSendClicked)};
    }

    // Trigger.
    b.CheckBox("触发换行1", id::kTriggerBreak, 16, 444, 80, "触发换行", 0x00800080);
    b.CheckBox("收到1", id::kWatchReceive, 96, 444, 70, "收到-->", 0x008050FF);
    b.Edit("触发条件框1", id::kConditionBox, 165, 444, 555, 25,
           BigBox(0x008050FF, 20, "02 2e 41 01 01 6f 10 03 10 "))
        .events = {Bind(units::EditBoxUnit::kEventChanged, H::kConditionChanged)};
    b.CheckBox("触发鸣叫1", id::kTriggerBeep, 16, 474, 80, "触发鸣叫", 0x00800080);
    b.CheckBox("应答1", id::kAutoReply, 96, 474, 70, "应答-->", 0x000080FF);
    b.Edit("触发应答框1", id::kReplyBox, 165, 474, 555, 25,
           BigBox(0x000080FF, 20, "10 10 02 2F 00 02 04 00 29 10 03"))
        .events = {Bind(units::EditBoxUnit::kEventChanged, H::kReplyChanged)};

    // Units without a place on screen.
    b.Add("串口", id::kSerialPort, kUnitSerialPort, 0, 0, 32, 32, SerialPortBlock()).events = {
        Bind(units::SerialPortUnit::kEventDataArrived, H::kDataArrived),
        Bind(units::SerialPortUnit::kEventLineEvent, H::kPortLineEvent)};
    b.Add("通用对话框", id::kFileDialog, kUnitCommonDlg, 0, 0, 32, 32, FileDialogBlock());
    b.Add("界面刷新定时器", id::kRefreshTimer, kUnitTimer, 0, 0, 32, 32, TimerBlock(150)).events = {
        Bind(units::TimerUnit::kEventTick, H::kRefreshTimerTick)};
    b.Add("周期发送定时器", id::kPeriodicTimer, kUnitTimer, 0, 0, 32, 32, TimerBlock(1000))
        .events = {Bind(units::TimerUnit::kEventTick, H::kPeriodicTimerTick)};
    b.Add("超时换行定时器", id::kTimeoutTimer, kUnitTimer, 0, 0, 32, 32, TimerBlock(1000))
        .events = {Bind(units::TimerUnit::kEventTick, H::kTimeoutTimerTick)};

    // The frames, beneath everything drawn inside them.
    b.Group("分组框1", id::kGroupPort, 8, 8, 140, 190, "端口初始化", 12);
    b.Group("分组框6", id::kGroupSignals, 8, 206, 140, 74, "信号操作", 15);
    b.Group("分组框2", id::kGroupCounts, 8, 289, 140, 130, "收发计数", 12);
    b.Group("分组框4", id::kGroupReceive, 155, 8, 575, 272, "接收区", 14);
    b.Group("分组框3", id::kGroupSend, 155, 289, 575, 130, "发送区", 14);
    b.Group("分组框5", id::kGroupTrigger, 8, 428, 720, 80, "触发参数", 12);

    Form form;
    form.window = WindowRecord();
    form.units = b.Take();
    return form;
}

std::vector<uint32_t> ChildrenOf(const Form& form, uint32_t parent) {
    std::vector<uint32_t> ids;
    for (const FormUnit& unit : form.units) {
        if (unit.parent == parent) ids.push_back(unit.id);
    }
    return ids;
}

}  // namespace kesu::app
