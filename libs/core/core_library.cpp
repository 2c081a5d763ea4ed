#include "libs/core/core_library.h"

#include <atomic>
#include <utility>
#include <vector>

#include "commands/core_commands.h"
#include "runtime/runtime_state.h"
#include "units/button/button.h"
#include "units/check_box/check_box.h"
#include "units/combo_box/combo_box.h"
#include "units/common/type_descriptor.h"
#include "units/common_dialog/common_dialog.h"
#include "units/edit_box/edit_box.h"
#include "units/group_box/group_box.h"
#include "units/label/label.h"
#include "units/serial_port/serial_port_unit.h"
#include "units/timer/timer.h"
#include "units/window/window.h"

namespace kesu::core {

namespace {

// What the library keeps for the run: the runtime's notification function from start-up to
// shutdown.
struct CoreLibraryState : LibraryState {
    std::atomic<NotifyFunction> notifier{nullptr};
};

std::atomic<NotifyFunction>& Notifier() {
    return LibraryStateOf<CoreLibraryState>().notifier;
}

// 系统核心支持库 in GBK.
constexpr char kLibraryName[] = "\xCF\xB5\xCD\xB3\xBA\xCB\xD0\xC4\xD6\xA7\xB3\xD6\xBF\xE2";

UnitTypeDescriptor SerialPortTypeDescriptor() {
    using namespace units::kind;
    // 串口 in GBK; port number, baud rate, data bits, stop bits, parity check, event character,
    // time-out, open at start, parity, flow control, RTS mode, DTR mode.
    return units::DescribeUnitType(
        "\xB4\xAE\xBF\xDA", "SerialPort", 0x80008040,
        {kWord, kWord, kWord, kWord, kLogical, kText, kWord, kLogical, kWord, kWord, kWord, kWord});
}

struct TypeEntry {
    uint32_t number;
    UnitTypeDescriptor (*describe)();
    UnitInterfaceFn interface;
};

const std::vector<TypeEntry>& Types() {
    static const std::vector<TypeEntry> types = {
        {type_number::kWindow, units::WindowTypeDescriptor, units::WindowInterface},
        {type_number::kEditBox, units::EditBoxTypeDescriptor, units::EditBoxInterface},
        {type_number::kGroupBox, units::GroupBoxTypeDescriptor, units::GroupBoxInterface},
        {type_number::kLabel, units::LabelTypeDescriptor, units::LabelInterface},
        {type_number::kButton, units::ButtonTypeDescriptor, units::ButtonInterface},
        {type_number::kCheckBox, units::CheckBoxTypeDescriptor, units::CheckBoxInterface},
        {type_number::kComboBox, units::ComboBoxTypeDescriptor, units::ComboBoxInterface},
        {type_number::kCommonDlg, units::CommonDialogTypeDescriptor, units::CommonDialogInterface},
        {type_number::kTimer, units::TimerTypeDescriptor, units::TimerInterface},
        {type_number::kSerialPort, SerialPortTypeDescriptor, units::SerialPortInterface},
    };
    return types;
}

void InstallUnitMethods() {
    using commands::UnitMethod;
    commands::InstallUnitMethod(UnitMethod::kOpenDialog, units::OpenDialogCommand);
    commands::InstallUnitMethod(UnitMethod::kSendData, units::SerialPortSendDataCommand);
    commands::InstallUnitMethod(UnitMethod::kSetLineSignal, units::SerialPortSetLineSignalCommand);
    commands::InstallUnitMethod(UnitMethod::kAddText, units::AddTextCommand);
    commands::InstallUnitMethod(UnitMethod::kClearItems, units::ClearItemsCommand);
    commands::InstallUnitMethod(UnitMethod::kOpen, units::SerialPortOpenCommand);
    commands::InstallUnitMethod(UnitMethod::kClose, units::SerialPortCloseCommand);
    commands::InstallUnitMethod(UnitMethod::kAddItem, units::AddItemCommand);
}

}  // namespace

LibraryInfo CoreLibraryInfo() {
    LibraryInfo lib = MakeLibraryInfo(kIdentifier, kLibraryName, 5, 64, 0xC0000001);
    lib.types.resize(kTypeSlots);
    for (const TypeEntry& t : Types()) lib.types[t.number - 1] = t.describe();
    lib.commandCount = kCommandCount;
    return lib;
}

NativeLibrary CoreNativeLibrary() {
    InstallUnitMethods();
    NativeLibrary lib;
    lib.identifier = kIdentifier;
    const auto list = commands::CoreCommandList();
    lib.commands.assign(list.begin(), list.end());
    lib.notify = Notify;
    lib.unitInterfaces.assign(kTypeSlots, nullptr);
    for (const TypeEntry& t : Types()) lib.unitInterfaces[t.number - 1] = t.interface;
    return lib;
}

void RegisterCoreLibrary() {
    RegisterLibrary(CoreNativeLibrary());
}

intptr_t Notify(int code, intptr_t a1, intptr_t) {
    switch (code) {
        case 1:
            Notifier().store(reinterpret_cast<NotifyFunction>(a1));
            return 0;
        case 6:
            Notifier().store(nullptr);
            return 0;
        default:
            return 0;
    }
}

NotifyFunction RuntimeNotifier() {
    return Notifier().load();
}

}  // namespace kesu::core
