#include "runtime/library.h"

#include <list>
#include <mutex>

#include "runtime/image.h"

namespace kesu {

namespace {

// A list keeps the registrations' addresses stable while more are added.
std::mutex g_registryMutex;
std::list<NativeLibrary> g_registry;
std::vector<LoadedLibrary> g_loaded;

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
    if (lib == 0 || lib > g_loaded.size()) return nullptr;
    return &g_loaded[lib - 1];
}

}  // namespace

void RegisterLibrary(const NativeLibrary& library) {
    std::lock_guard lock(g_registryMutex);
    for (NativeLibrary& existing : g_registry) {
        if (SameIdentifier(existing.identifier, library.identifier)) {
            existing = library;
            return;
        }
    }
    g_registry.push_back(library);
}

const NativeLibrary* FindRegisteredLibrary(std::string_view identifier) {
    std::lock_guard lock(g_registryMutex);
    for (const NativeLibrary& lib : g_registry) {
        if (SameIdentifier(lib.identifier, identifier)) return &lib;
    }
    return nullptr;
}

void UnregisterAllLibraries() {
    std::lock_guard lock(g_registryMutex);
    g_loaded.clear();
    g_registry.clear();
}

bool StartLibraries(const std::vector<LibraryInfo>& libraries) {
    std::vector<LoadedLibrary> loaded;
    for (const LibraryInfo& info : libraries) {
        const NativeLibrary* native = FindRegisteredLibrary(info.identifier);
        if (!native) return false;
        loaded.push_back(LoadedLibrary{&info, native, 0});
    }
    g_loaded = std::move(loaded);
    for (const LoadedLibrary& lib : g_loaded) {
        if (lib.native->notify) {
            lib.native->notify(1, reinterpret_cast<intptr_t>(&NotifyRuntime), 0);
        }
    }
    return true;
}

void StopLibraries() {
    std::vector<LoadedLibrary> loaded = std::move(g_loaded);
    g_loaded.clear();
    for (const LoadedLibrary& lib : loaded) {
        if (lib.native->notify) lib.native->notify(6, lib.dataWord, 0);
    }
}

std::vector<LoadedLibrary>& LoadedLibraries() {
    return g_loaded;
}

const UnitTypeDescriptor* FindTypeDescriptor(uint32_t typeCode) {
    const LoadedLibrary* lib = LibraryOfType(typeCode);
    return lib ? TypeOfLibrary(*lib->info, TypeNumberOf(typeCode)) : nullptr;
}

UnitInterfaceFn FindUnitInterface(uint32_t typeCode) {
    if (!FindTypeDescriptor(typeCode)) return nullptr;
    const LoadedLibrary* lib = LibraryOfType(typeCode);
    uint32_t n = TypeNumberOf(typeCode);
    const auto& interfaces = lib->native->unitInterfaces;
    return n <= interfaces.size() ? interfaces[n - 1] : nullptr;
}

CommandBody FindLibraryCommand(uint32_t libraryNumber, size_t index) {
    if (libraryNumber == 0 || libraryNumber > g_loaded.size()) return nullptr;
    const auto& commands = g_loaded[libraryNumber - 1].native->commands;
    return index < commands.size() ? commands[index] : nullptr;
}

}  // namespace kesu
