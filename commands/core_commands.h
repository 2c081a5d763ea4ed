#pragma once

// The core commands: the bodies of the core support library's command list.
//
// Every body follows the command contract: argument k is record k; an
// optional argument left out is a record of three zero words; a result text,
// byte set or array is a new MemAlloc block owned by the caller, and the empty
// text and empty byte set are returned as null. No body raises a runtime
// error: unusable input gives the zero value of the result type.

#include <span>

#include "runtime/sysfunc.h"

namespace kesu::commands {

// Text, byte-set and number conversions.
void ToNumber(ResultRecord* result, int argCount, ArgRecord* args);
void ToBytes(ResultRecord* result, int argCount, ArgRecord* args);
void SplitTextCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToByte(ResultRecord* result, int argCount, ArgRecord* args);
void ToHalfWidthCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToUpperCommand(ResultRecord* result, int argCount, ArgRecord* args);
void TextLengthCommand(ResultRecord* result, int argCount, ArgRecord* args);
void MidText(ResultRecord* result, int argCount, ArgRecord* args);
void LeftText(ResultRecord* result, int argCount, ArgRecord* args);
void FindTextCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToAmountText(ResultRecord* result, int argCount, ArgRecord* args);
void CompareTextCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToText(ResultRecord* result, int argCount, ArgRecord* args);
void ToHexText(ResultRecord* result, int argCount, ArgRecord* args);
void BytesLength(ResultRecord* result, int argCount, ArgRecord* args);
void RightBytes(ResultRecord* result, int argCount, ArgRecord* args);
void FormatNumberCommand(ResultRecord* result, int argCount, ArgRecord* args);

// Files, message box, sound, delay and time.
void Now(ResultRecord* result, int argCount, ArgRecord* args);
void GetRunDirectory(ResultRecord* result, int argCount, ArgRecord* args);
void OpenFile(ResultRecord* result, int argCount, ArgRecord* args);
void WriteText(ResultRecord* result, int argCount, ArgRecord* args);
void CloseFile(ResultRecord* result, int argCount, ArgRecord* args);
void InfoBox(ResultRecord* result, int argCount, ArgRecord* args);
void ReadText(ResultRecord* result, int argCount, ArgRecord* args);
void Beep(ResultRecord* result, int argCount, ArgRecord* args);
void Delay(ResultRecord* result, int argCount, ArgRecord* args);

// The unit methods of the list. Their bodies belong to the unit types; the
// list holds a fixed entry per method that forwards to the body installed for
// it. The values are the methods' indices in the list.
enum class UnitMethod : int {
    kOpenDialog = 15,     // CommonDlg
    kSendData = 25,       // SerialPort
    kSetLineSignal = 26,  // SerialPort
    kAddText = 28,        // EditBox
    kClearItems = 29,     // ComboBox
    kOpen = 30,           // SerialPort
    kClose = 31,          // SerialPort
    kAddItem = 32,        // ComboBox
};

// Installs the body a list entry forwards to (null uninstalls). Until a body
// is installed the entry still looks the unit up, so a reference to a unit
// that is not loaded ends in the runtime's unit-lookup error as with a real
// method, and otherwise leaves the result zeroed.
void InstallUnitMethod(UnitMethod method, CommandBody body);
CommandBody InstalledUnitMethod(UnitMethod method);

inline constexpr size_t kCoreCommandCount = 34;
// The 34 entries in list order.
std::span<const CommandBody> CoreCommandList();

}  // namespace kesu::commands
