// The assistant's one window, described as data: every unit with its place, stored settings and
// event bindings. The build serialises this description into the program image that the runtime
// loads at start-up, so this file is the single source of what the window looks like.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/image.h"

namespace kesu::app {

inline constexpr uint32_t kMainWindowId = 0x52010001;

// Unit ids of the main window: 0x1601 in the upper half and a serial number below.
namespace unit_id {
inline constexpr uint32_t kGroupPort = 0x16010001;      // 分组框1
inline constexpr uint32_t kLabelPort = 0x16010002;      // 项目2
inline constexpr uint32_t kPortList = 0x16010003;       // 端口号
inline constexpr uint32_t kLabelBaud = 0x16010004;      // 项目3
inline constexpr uint32_t kBaudRate = 0x16010005;       // 波特率
inline constexpr uint32_t kLabelDataBits = 0x16010006;  // 项目4
inline constexpr uint32_t kDataBits = 0x16010007;       // 数据位
inline constexpr uint32_t kLabelStopBits = 0x16010008;  // 项目5
inline constexpr uint32_t kStopBits = 0x16010009;       // 停止位
inline constexpr uint32_t kLabelParity = 0x1601000A;    // 项目6
inline constexpr uint32_t kParity = 0x1601000B;         // 校验位
inline constexpr uint32_t kPortButton = 0x1601000C;     // 串口状态按钮
inline constexpr uint32_t kGroupSignals = 0x1601000D;   // 分组框6
inline constexpr uint32_t kLabelDtr = 0x1601000E;       // 项目9
inline constexpr uint32_t kDtrOutput = 0x1601000F;      // DTR输出
inline constexpr uint32_t kLabelRts = 0x16010010;       // 项目10
inline constexpr uint32_t kRtsOutput = 0x16010011;      // RTS输出
inline constexpr uint32_t kGroupCounts = 0x16010012;    // 分组框2
inline constexpr uint32_t kLabelSent = 0x16010013;      // 项目1
inline constexpr uint32_t kSentCount = 0x16010014;      // 发送计数
inline constexpr uint32_t kLabelReceived = 0x16010015;  // 项目7
inline constexpr uint32_t kReceivedCount = 0x16010016;  // 接收计数
inline constexpr uint32_t kLabelTriggers = 0x16010017;  // 项目8
inline constexpr uint32_t kTriggerCount = 0x16010018;   // 触发计数
inline constexpr uint32_t kClearCounts = 0x16010019;    // 计数清空按钮
inline constexpr uint32_t kGroupReceive = 0x1601001A;   // 分组框4
inline constexpr uint32_t kReceiveBox = 0x1601001B;     // 接收框
inline constexpr uint32_t kHexDisplay = 0x1601001C;     // HEX显示
inline constexpr uint32_t kTimeoutBreak = 0x1601001D;   // 超时换行
inline constexpr uint32_t kTimeoutPeriod = 0x1601001E;  // 换行间隔时间
inline constexpr uint32_t kLabelTimeout = 0x1601001F;   // 项目12
inline constexpr uint32_t kSaveText = 0x16010020;       // 保存文本按钮
inline constexpr uint32_t kClearReceive = 0x16010021;   // 清空收接按钮
inline constexpr uint32_t kCompareText = 0x16010022;    // 文本比较按钮
inline constexpr uint32_t kGroupSend = 0x16010023;      // 分组框3
inline constexpr uint32_t kSendBox = 0x16010024;        // 发送框
inline constexpr uint32_t kHexSend = 0x16010025;        // HEX发送
inline constexpr uint32_t kPeriodicSend = 0x16010026;   // 周期发送
inline constexpr uint32_t kSendPeriod = 0x16010027;     // 周期发送时间
inline constexpr uint32_t kLabelPeriod = 0x16010028;    // 项目11
inline constexpr uint32_t kLoadText = 0x16010029;       // 打开文本按钮
inline constexpr uint32_t kClearSend = 0x1601002A;      // 清空发送按钮
inline constexpr uint32_t kManualSend = 0x1601002B;     // 手动发送按钮
inline constexpr uint32_t kGroupTrigger = 0x1601002C;   // 分组框5
inline constexpr uint32_t kTriggerBreak = 0x1601002D;   // 触发换行1
inline constexpr uint32_t kWatchReceive = 0x1601002E;   // 收到1
inline constexpr uint32_t kConditionBox = 0x1601002F;   // 触发条件框1
inline constexpr uint32_t kTriggerBeep = 0x16010030;    // 触发鸣叫1
inline constexpr uint32_t kAutoReply = 0x16010031;      // 应答1
inline constexpr uint32_t kReplyBox = 0x16010032;       // 触发应答框1
inline constexpr uint32_t kSerialPort = 0x16010033;     // 串口
inline constexpr uint32_t kFileDialog = 0x16010034;     // 通用对话框
inline constexpr uint32_t kRefreshTimer = 0x16010035;   // 界面刷新定时器
inline constexpr uint32_t kPeriodicTimer = 0x16010036;  // 周期发送定时器
inline constexpr uint32_t kTimeoutTimer = 0x16010037;   // 超时换行定时器
}  // namespace unit_id

// The application's handler routines, by their position in its handler table. An event binding
// of the window template holds this position as its handler offset.
enum class Handler : int32_t {
    kWindowCreated = 0,
    kPortListDroppingDown,
    kPortButtonClicked,
    kDtrClicked,
    kRtsClicked,
    kSendBoxChanged,
    kManualSendClicked,
    kPeriodicTimerTick,
    kSendPeriodChanged,
    kDataArrived,
    kTimeoutTimerTick,
    kRefreshTimerTick,
    kClearCountsClicked,
    kConditionChanged,
    kReplyChanged,
    kSaveTextClicked,
    kLoadTextClicked,
    kClearSendClicked,
    kClearReceiveClicked,
    kCompareClicked,
    kPortLineEvent,
    kCount,
};

// One record of the window template: the window itself or one unit.
struct FormUnit {
    std::string name;  // GBK
    uint32_t id = 0;
    uint32_t type = 0;    // unit type code
    uint32_t parent = 0;  // unit id of the containing unit, 0 for the window
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool disabled = false;
    bool tabStop = false;
    int32_t tabOrder = 0;
    std::vector<std::pair<int32_t, int32_t>> events;  // (event number, handler position)
    std::vector<uint8_t> data;                        // the type's stored property block
};

struct Form {
    uint32_t windowId = kMainWindowId;
    FormUnit window;              // record 0
    std::vector<FormUnit> units;  // records 1 and on, in template order
};

// The main window as the program image carries it.
Form MainWindowForm();

// The ids of the units whose parent is `parent` (0 for the window), in template order.
std::vector<uint32_t> ChildrenOf(const Form& form, uint32_t parent);

}  // namespace kesu::app
