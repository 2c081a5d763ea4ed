#include "runtime/library.h"

#include <mutex>

#include "runtime/image.h"
#include "runtime/runtime_state.h"

namespace kesu {

namespace {

bool SameIdentifier(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const LoadedLibrary* LibraryOfType(uint32_t typeCode) {
    if (CategoryOf(typeCode) != TypeCategory::kLibrary) return nullptr;
    uint32_t lib = LibraryNumberOf(typeCode);
    const std::vector<LoadedLibrary>& loaded = Runtime().libraries.loaded;
    if (lib == 0 || lib > loaded.size()) return nullptr;
    return &loaded[lib - 1];
}

}  // namespace

void RegisterLibrary(const NativeLibrary& library) {
    RuntimeState::Libraries& libraries = Runtime().libraries;
    std::lock_guard lock(libraries.registryMutex);
    for (NativeLibrary& existing : libraries.registry) {
        if (SameIdentifier(existing.identifier, library.identifier)) {
            existing = library;
            return;
        }
    }
    libraries.registry.push_back(library);
}

const NativeLibrary* FindRegisteredLibrary(std::string_view identifier) {
    RuntimeState::Libraries& libraries = Runtime().libraries;
    std::lock_guard lock(libraries.registryMutex);
    for (const NativeLibrary& lib : libraries.registry) {
        if (SameIdentifier(lib.identifier, identifier)) return &lib;
    }
    return nullptr;
}

bool StartLibraries(const std::vector<LibraryInfo>& libraries) {
    std::vector<LoadedLibrary> loaded;
    for (const LibraryInfo& info : libraries) {
        const NativeLibrary* native = FindRegisteredLibrary(info.identifier);
        if (!native) return false;
        loaded.push_back(LoadedLibrary{&info, native, 0});
    }
    Runtime().libraries.loaded = std::move(loaded);
    NoteLookupsChanged();
    for (const LoadedLibrary& lib : Runtime().libraries.loaded) {
        if (lib.native->notify) {
            lib.native->notify(1, reinterpret_cast<intptr_t>(&NotifyRuntime), 0);
        }
    }
    return true;
}

void StopLibraries() {
    std::vector<LoadedLibrary> loaded = std::move(Runtime().libraries.loaded);
    Runtime().libraries.loaded.clear();
    NoteLookupsChanged();
    for (const LoadedLibrary& lib : loaded) {
        if (lib.native->notify) lib.native->notify(6, lib.dataWord, 0);
    }
}

std::vector<LoadedLibrary>& LoadedLibraries() {
    return Runtime().libraries.loaded;
}

const UnitTypeDescriptor* FindTypeDescriptor(uint32_t typeCode) {
    const LoadedLibrary* lib = LibraryOfType(typeCode);
    return lib ? TypeOfLibrary(*lib->info, TypeNumberOf(typeCode)) : nullptr;
}

UnitInterfaceFn FindUnitInterface(uint32_t typeCode) {
    return FindUnitType(typeCode).interface;
}

UnitTypeOperations FindUnitType(uint32_t typeCode) {
    UnitTypeOperations found;
    const LoadedLibrary* lib = LibraryOfType(typeCode);
    if (!lib) return found;
    const uint32_t n = TypeNumberOf(typeCode);
    found.descriptor = TypeOfLibrary(*lib->info, n);
    if (!found.descriptor) return found;
    const auto& interfaces = lib->native->unitInterfaces;
    if (n <= interfaces.size()) found.interface = interfaces[n - 1];
    found.get = GetPropertyOperation(found.interface);
    found.set = SetPropertyOperation(found.interface);
    found.get_word = GetWordOperation(found.interface);
    return found;
}

CommandBody FindLibraryCommand(uint32_t libraryNumber, size_t index) {
    const std::vector<LoadedLibrary>& loaded = Runtime().libraries.loaded;
    if (libraryNumber == 0 || libraryNumber > loaded.size()) return nullptr;
    const auto& commands = loaded[libraryNumber - 1].native->commands;
    return index < commands.size() ? commands[index] : nullptr;
}

}  // namespace kesu
