#include "app/window_units.h"

#include <vector>

#include "app/commands.h"
#include "runtime/library.h"
#include "runtime/sysfunc.h"
#include "units/combo_box/combo_box.h"

namespace kesu::app {

namespace {

constexpr uint32_t kCoreLibrary = 1;

// Places of the unit methods in the core library's command list.
enum MethodCommand : size_t {
    kOpenDialog = 15,
    kSendData = 25,
    kSetLineSignal = 26,
    kAddText = 28,
    kClearItems = 29,
    kOpen = 30,
    kClose = 31,
    kAddItem = 32,
};

// The first argument of a unit method: window id, unit id and the unit's type code.
ArgRecord UnitReference(uint32_t unitId, TypeCode type) {
    ArgRecord r;
    r.low = kMainWindowId;
    r.high = unitId;
    r.type = type;
    return r;
}

ResultRecord CallMethod(size_t command, std::vector<ArgRecord>& args) {
    return CallCoreCommand(FindLibraryCommand(kCoreLibrary, command), static_cast<int>(args.size()),
                           args.data());
}

}  // namespace

OwnedText UnitHandle::ReadText(int property) const {
    const uint64_t value = ReadUnitProperty(kMainWindowId, id_, property, 0);
    return OwnedText(reinterpret_cast<char*>(static_cast<uintptr_t>(value)));
}

void UnitHandle::WriteText(int property, const char* text) const {
    const uint64_t bits = reinterpret_cast<uintptr_t>(text ? text : EmptyText());
    WriteUnitProperty(kMainWindowId, id_, property, 0, static_cast<uint32_t>(bits),
                      static_cast<uint32_t>(bits >> 32));
}

int32_t UnitHandle::ReadInt(int property) const {
    return static_cast<int32_t>(ReadUnitProperty(kMainWindowId, id_, property, 0));
}

void UnitHandle::WriteInt(int property, int32_t value) const {
    WriteUnitProperty(kMainWindowId, id_, property, 0, static_cast<uint32_t>(value), 0);
}

bool UnitHandle::Disabled() const {
    return ReadInt(property::kDisabled) != 0;
}

void UnitHandle::SetDisabled(bool disabled) const {
    WriteInt(property::kDisabled, disabled ? 1 : 0);
}

uint32_t EditBoxHandle::TextColour() const {
    return static_cast<uint32_t>(ReadInt(property::kEditTextColour));
}

void EditBoxHandle::SetTextColour(uint32_t colour) const {
    WriteInt(property::kEditTextColour, static_cast<int32_t>(colour));
}

void EditBoxHandle::AddText(std::initializer_list<const char*> texts) const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitEditBox)};
    for (const char* text : texts) args.push_back(TextArgument(text));
    CallMethod(kAddText, args);
}

void ComboBoxHandle::ClearItems() const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitComboBox)};
    CallMethod(kClearItems, args);
}

int32_t ComboBoxHandle::AddItem(const char* text) const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitComboBox), TextArgument(text), ArgRecord()};
    return CallMethod(kAddItem, args).AsInt();
}

void ComboBoxHandle::SetItemToolTip(int32_t index, const char* text) const {
    ArgRecord args[] = {UnitReference(id_, kUnitComboBox), ArgRecord::Int(index),
                        TextArgument(text)};
    ResultRecord result;
    units::SetItemToolTipCommand(&result, 3, args);
}

bool SerialPortHandle::Open() const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitSerialPort)};
    return CallMethod(kOpen, args).AsBool();
}

void SerialPortHandle::Close() const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitSerialPort)};
    CallMethod(kClose, args);
}

bool SerialPortHandle::SendData(const uint8_t* byteSet) const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitSerialPort), ByteSetArgument(byteSet)};
    return CallMethod(kSendData, args).AsBool();
}

bool SerialPortHandle::SetLineSignal(units::SignalAction action, units::SignalLine line) const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitSerialPort),
                                ArgRecord::Int(static_cast<int32_t>(action)),
                                ArgRecord::Int(static_cast<int32_t>(line))};
    return CallMethod(kSetLineSignal, args).AsBool();
}

bool CommonDlgHandle::OpenDialog() const {
    std::vector<ArgRecord> args{UnitReference(id_, kUnitCommonDlg)};
    return CallMethod(kOpenDialog, args).AsBool();
}

}  // namespace kesu::app
