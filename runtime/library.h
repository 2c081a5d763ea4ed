// The native libraries behind the image's library list.
//
// The image names each library by its identifier text (32 hexadecimal
// digits); the code of a library (its command table, notification entry and
// unit-type interface functions) is registered under that identifier by the
// library itself. Start-up pairs every library of the image with its
// registration, in image order, which fixes the library numbers used by the
// unit type codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/notify.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"

namespace kesu {

struct LibraryInfo;
struct UnitTypeDescriptor;

// The library's notification entry: code 1 at start-up with the address of
// NotifyRuntime in a1; code 6 at shutdown with the library's data word.
using LibraryNotifyEntry = intptr_t (*)(int code, intptr_t a1, intptr_t a2);

struct NativeLibrary {
    std::string identifier;  // compared without regard to letter case
    std::vector<CommandBody> commands;
    LibraryNotifyEntry notify = nullptr;
    // Indexed by type number minus 1; null where a type has no interface
    // (data types and unused slots).
    std::vector<UnitInterfaceFn> unitInterfaces;
};

// Registers a library's code for the run; a second registration of the same
// identifier replaces the first. The registry keeps its own copy.
void RegisterLibrary(const NativeLibrary& library);
// Null when nothing is registered under the identifier.
const NativeLibrary* FindRegisteredLibrary(std::string_view identifier);

// A library of the running program: its image record, its code and its data
// word.
struct LoadedLibrary {
    const LibraryInfo* info = nullptr;
    const NativeLibrary* native = nullptr;
    intptr_t dataWord = 0;
};

// Pairs the image's libraries with their registrations and sends each the
// start-up notification. False when a library of the image is not
// registered (nothing is notified then).
bool StartLibraries(const std::vector<LibraryInfo>& libraries);
// Sends every library the shutdown notification with its data word, then
// forgets them.
void StopLibraries();
std::vector<LoadedLibrary>& LoadedLibraries();

// Lookups by unit type code (library number times 0x10000 plus the type
// number): null when the code names no type of a loaded library.
const UnitTypeDescriptor* FindTypeDescriptor(uint32_t typeCode);
UnitInterfaceFn FindUnitInterface(uint32_t typeCode);
// Both of a type at once, for paths that need both for every property access.
struct UnitTypeOperations {
    const UnitTypeDescriptor* descriptor = nullptr;
    UnitInterfaceFn interface = nullptr;
    GetPropertyFn get = nullptr;
    SetPropertyFn set = nullptr;
    GetWordFn get_word = nullptr;
};
UnitTypeOperations FindUnitType(uint32_t typeCode);
// The command body `index` of library `libraryNumber` (1-based), or null.
CommandBody FindLibraryCommand(uint32_t libraryNumber, size_t index);

}  // namespace kesu
