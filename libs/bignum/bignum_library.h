#pragma once

// The big-number support library: the `UnlNum` data type and its methods.
//
// A `UnlNum` variable of the application is a cell: a pointer-sized block from
// MemAlloc that holds the address of a number object (or null when it holds no
// number). Arguments of type `UnlNum` carry the cell's address. The methods
// that produce a number return a new cell holding a new number; the caller
// owns both and releases the number with `Destroy` and the cell with MemFree.
// A null cell address or a cell without a number behaves as 0.

#include <cstdint>
#include <span>

#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/sysfunc.h"

namespace kesu::bignum {

struct Number;

// The command bodies, in the order of the library's command list.
void SetValue(ResultRecord* result, int argCount, ArgRecord* args);
void MultiplyCommand(ResultRecord* result, int argCount, ArgRecord* args);
void Destroy(ResultRecord* result, int argCount, ArgRecord* args);
void AddCommand(ResultRecord* result, int argCount, ArgRecord* args);
void IsGreater(ResultRecord* result, int argCount, ArgRecord* args);
void ModCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToTextCommand(ResultRecord* result, int argCount, ArgRecord* args);
void DivideCommand(ResultRecord* result, int argCount, ArgRecord* args);
void IntegerPartCommand(ResultRecord* result, int argCount, ArgRecord* args);
void ToInteger(ResultRecord* result, int argCount, ArgRecord* args);
void Create(ResultRecord* result, int argCount, ArgRecord* args);

// The eleven bodies in list order.
std::span<const CommandBody> CommandList();

// The library's notification entry: code 1 records the runtime's
// notification function (result 0); every other code answers -1.
intptr_t Notify(int code, intptr_t value1, intptr_t value2);

// The library's fixed identifier: 32 hexadecimal digits.
inline constexpr char kIdentifier[] = "5D0E93B2C7A64F18B3E2094A6C1D7F85";
// The type number of `UnlNum` in the library: its type code is 0x0003000A
// when the library is the program's third.
inline constexpr uint32_t kUnlNumTypeNumber = 10;
inline constexpr uint32_t kTypeSlots = 11;

// The library as the program image lists it, and its code for the registry.
LibraryInfo BignumLibraryInfo();
NativeLibrary BignumNativeLibrary();
void RegisterBignumLibrary();

// The number a cell holds (null for a null cell or an empty one).
Number* CellNumber(const void* cell);

}  // namespace kesu::bignum
