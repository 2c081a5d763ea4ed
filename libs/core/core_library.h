// The core support library: its identity, its unit and data types with their property tables and
// interface functions, its command list, and its notification entry. The program image lists it
// first, so its type codes are 0x10000 plus the type number.
#pragma once

#include <cstdint>

#include "runtime/image.h"
#include "runtime/library.h"

namespace kesu::core {

// The library's fixed identifier: 32 hexadecimal digits.
inline constexpr char kIdentifier[] = "6B3E1F0A9C24475D8E51A07C3D92F418";
inline constexpr uint32_t kTypeSlots = 51;
inline constexpr uint32_t kCommandCount = 34;

// The type numbers (1-based) of the unit types this program uses.
namespace type_number {
inline constexpr uint32_t kWindow = 1;
inline constexpr uint32_t kEditBox = 5;
inline constexpr uint32_t kGroupBox = 9;
inline constexpr uint32_t kLabel = 10;
inline constexpr uint32_t kButton = 11;
inline constexpr uint32_t kCheckBox = 12;
inline constexpr uint32_t kComboBox = 14;
inline constexpr uint32_t kCommonDlg = 31;
inline constexpr uint32_t kTimer = 32;
inline constexpr uint32_t kSerialPort = 39;
}  // namespace type_number

// The library as the program image lists it: 51 type slots (the unused ones empty), 34 commands.
LibraryInfo CoreLibraryInfo();
// The library's code: the command list, the notification entry and the interface function of
// every unit type by type number. The unit methods of the command list are bound to their
// units' bodies.
NativeLibrary CoreNativeLibrary();
// Registers the code under the identifier (once per call; a second call replaces the first).
void RegisterCoreLibrary();

// The notification entry: code 1 keeps the runtime's notification function (answer 0); code 6
// forgets it; any other code answers 0.
intptr_t Notify(int code, intptr_t a1, intptr_t a2);
// The notification function the runtime handed over, or null before start-up and after shutdown.
NotifyFunction RuntimeNotifier();

}  // namespace kesu::core
