#include "runtime/sysfunc.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/gbk.h"
#include "platform/work_directory.h"
#include "runtime/errors.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"

namespace kesu {

namespace {

ResultRecord CallCommand(CommandBody body, int argCount, ArgRecord* args) {
    ResultRecord result{};
    if (body) body(&result, argCount, args);
    return result;
}

[[noreturn]] void DefaultProcessExit(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

// Marks the calling thread as carrying out an end of the program; false when it already does.
bool BeginEnding(RuntimeState::Ending& ending) {
    std::lock_guard lock(ending.mutex);
    const std::thread::id self = std::this_thread::get_id();
    if (std::find(ending.threads.begin(), ending.threads.end(), self) != ending.threads.end()) {
        return false;
    }
    ending.threads.push_back(self);
    return true;
}

void EndEnding(RuntimeState::Ending& ending) {
    std::lock_guard lock(ending.mutex);
    std::erase(ending.threads, std::this_thread::get_id());
}

void* OpenModule(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) Runtime().dll.modules.push_back(module);
    return module;
}

// The address of the declared command `index`; null when it cannot be found.
void* ResolveDllCommand(size_t index) {
    const RuntimeState::Program& program = Runtime().program;
    const std::string& file = program.image.dllFiles[index];
    const std::string& name = program.image.dllNames[index];
    // An exported name "#n" selects an export by ordinal, which shared
    // objects do not have: such a name can never be found here.
    if (name.empty() || name[0] == '#') return nullptr;
    std::string symbol = platform::GbkToUtf8(name);
    if (file.empty()) {
        // No library named: search what the process has loaded already.
        return dlsym(RTLD_DEFAULT, symbol.c_str());
    }
    std::string path = platform::GbkToFsName(file);
    void* module = nullptr;
    if (path.find('/') == std::string::npos && !program.fsDirectory.empty()) {
        module = OpenModule(program.fsDirectory + "/" + path);
    }
    if (!module) module = OpenModule(path);
    return module ? dlsym(module, symbol.c_str()) : nullptr;
}

[[noreturn]] void DllCommandMissing(size_t index) {
    const ProgramImage& image = Runtime().program.image;
    bool known = index < image.dllNames.size();
    std::string file = known ? image.dllFiles[index] : std::string();
    std::string name = known ? image.dllNames[index] : std::string();
    std::string message =
        file.empty() ? FormatMessage(errmsg::kDllCommand, name.c_str())
                     : FormatMessage(errmsg::kDllCommandInFile, file.c_str(), name.c_str());
    ReportRuntimeError(message.c_str(), 0);
}

using W = intptr_t;

W CallAddress(void* address, std::span<const W> a) {
    // The arguments are machine words; every integer or pointer argument of
    // the platform's C calling convention is one.
    switch (a.size()) {
        case 0:
            return reinterpret_cast<W (*)()>(address)();
        case 1:
            return reinterpret_cast<W (*)(W)>(address)(a[0]);
        case 2:
            return reinterpret_cast<W (*)(W, W)>(address)(a[0], a[1]);
        case 3:
            return reinterpret_cast<W (*)(W, W, W)>(address)(a[0], a[1], a[2]);
        case 4:
            return reinterpret_cast<W (*)(W, W, W, W)>(address)(a[0], a[1], a[2], a[3]);
        case 5:
            return reinterpret_cast<W (*)(W, W, W, W, W)>(address)(a[0], a[1], a[2], a[3], a[4]);
        case 6:
            return reinterpret_cast<W (*)(W, W, W, W, W, W)>(address)(a[0], a[1], a[2], a[3], a[4],
                                                                      a[5]);
        default: {
            W x[kMaxDllArgs] = {};
            std::copy(a.begin(), a.begin() + static_cast<long>(std::min(a.size(), kMaxDllArgs)), x);
            return reinterpret_cast<W (*)(W, W, W, W, W, W, W, W, W, W, W, W)>(address)(
                x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], x[8], x[9], x[10], x[11]);
        }
    }
}

struct FileSearch {
    DIR* dir = nullptr;
    std::string directory;  // UTF-8, as the file system takes it
    std::string pattern;    // UTF-8 wildcard name
};

uint32_t AttributesOf(const FileSearch& s, const char* name) {
    struct stat st {};
    int fd = dirfd(s.dir);
    if (fstatat(fd, name, &st, 0) != 0 && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return 0;
    }
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= 0x10;
    if (S_ISREG(st.st_mode)) attributes |= 0x20;
    if (name[0] == '.') attributes |= 0x02;
    // Read-only is a property of the file, as its mode bits say, not of
    // whoever asks (a privileged user may write anything).
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= 0x01;
    return attributes;
}

bool Matches(uint32_t attributes, uint32_t mask, bool nonDirectories) {
    if (nonDirectories) return (attributes & 0x10) == 0;
    mask &= 0x37;
    return (mask & attributes) != 0 || (mask == 0 && attributes == 0);
}

}  // namespace

ResultRecord CallCoreCommand(CommandBody body, int argCount, ArgRecord* args) {
    return CallCommand(body, argCount, args);
}

ResultRecord CallLibraryCommand(CommandBody body, int argCount, ArgRecord* args) {
    return CallCommand(body, argCount, args);
}

intptr_t CallDllCommand(int index, std::span<const intptr_t> args) {
    void* address = nullptr;
    {
        RuntimeState::Dll& dll = Runtime().dll;
        std::lock_guard lock(dll.mutex);
        if (index >= 0 && static_cast<size_t>(index) < dll.addresses.size()) {
            auto i = static_cast<size_t>(index);
            if (!dll.addresses[i]) dll.addresses[i] = ResolveDllCommand(i);
            address = dll.addresses[i];
        }
    }
    if (!address) DllCommandMissing(static_cast<size_t>(index < 0 ? SIZE_MAX : index));
    return CallAddress(address, args.first(std::min(args.size(), kMaxDllArgs)));
}

void SetFrameEntries(const FrameEntries& entries) {
    Runtime().entries.frame = entries;
}

uint64_t ReadUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component) {
    const FrameEntries& frame = Runtime().entries.frame;
    return frame.readUnitProperty ? frame.readUnitProperty(windowId, unitId, property, component)
                                  : 0;
}

void WriteUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component,
                       uint32_t low, uint32_t high) {
    const FrameEntries& frame = Runtime().entries.frame;
    if (frame.writeUnitProperty) {
        frame.writeUnitProperty(windowId, unitId, property, component, low, high);
    }
}

void RunMessageLoop() {
    const FrameEntries& frame = Runtime().entries.frame;
    if (frame.runMessageLoop) frame.runMessageLoop();
}

void LoadStartupWindow(uint32_t windowId) {
    const FrameEntries& frame = Runtime().entries.frame;
    if (!frame.loadStartupWindow) ReportRuntimeError(errmsg::kStartupWindow, 0);
    frame.loadStartupWindow(windowId);
}

void ShutdownRuntimeServices() {
    if (CleanupRoutine cleanup = TakeCleanupRoutine()) cleanup();
    StopLibraries();
    {
        RuntimeState::Dll& dll = Runtime().dll;
        std::lock_guard lock(dll.mutex);
        for (void* module : dll.modules) dlclose(module);
        dll.modules.clear();
        std::fill(dll.addresses.begin(), dll.addresses.end(), nullptr);
    }
    ClearOpenFiles();
    RegisterConstantSegment(nullptr, 0);
}

void EndProgram(int exitCode) {
    SuspendEvents();
    RuntimeState& state = Runtime();
    if (BeginEnding(state.ending)) {
        if (state.entries.frame.shutdown) {
            state.entries.frame.shutdown(exitCode);
        } else {
            ShutdownRuntimeServices();
        }
        EndEnding(state.ending);
    }
    ProcessExit exit = state.ending.processExit.load();
    (exit ? exit : DefaultProcessExit)(exitCode);
    // A process-exit routine must not return; if one does, end anyway.
    DefaultProcessExit(exitCode);
}

void SetProcessExit(ProcessExit exit) {
    Runtime().ending.processExit.store(exit);
}

char* FindFile(const char* pattern, uint32_t attributeMask, bool nonDirectories, intptr_t* handle) {
    if (!handle) return nullptr;
    if (pattern && *pattern) {
        CloseFindFile(*handle);
        *handle = 0;
        std::string path = platform::GbkToFsName(pattern);
        auto slash = path.rfind('/');
        auto* search = new FileSearch;
        search->directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        search->pattern = slash == std::string::npos ? path : path.substr(slash + 1);
        // "*.*" names every file, also those without a dot.
        if (search->pattern == "*.*") search->pattern.assign(1, '*');
        search->dir = opendir(search->directory.c_str());
        if (!search->dir) {
            delete search;
            return nullptr;
        }
        *handle = reinterpret_cast<intptr_t>(search);
    }
    auto* search = reinterpret_cast<FileSearch*>(*handle);
    if (!search) return nullptr;
    while (dirent* entry = readdir(search->dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (fnmatch(search->pattern.c_str(), name, FNM_CASEFOLD) != 0) continue;
        if (!Matches(AttributesOf(*search, name), attributeMask, nonDirectories)) continue;
        std::string gbk = platform::FsNameToGbk(name);
        return CopyText(gbk.c_str());
    }
    CloseFindFile(*handle);
    *handle = 0;
    return nullptr;
}

void CloseFindFile(intptr_t handle) {
    auto* search = reinterpret_cast<FileSearch*>(handle);
    if (!search) return;
    closedir(search->dir);
    delete search;
}

void RegisterCleanupRoutine(CleanupRoutine routine) {
    Runtime().program.cleanup.store(routine);
}

CleanupRoutine TakeCleanupRoutine() {
    return Runtime().program.cleanup.exchange(nullptr);
}

void SetProgramImage(std::span<const uint8_t> bytes) {
    Runtime().program.imageBytes = bytes;
}

void InitialiseRuntime() {
    RuntimeState::Program& program = Runtime().program;
    ReadProgramImageOrFail(program.imageBytes, program.image);
    NoteLookupsChanged();

    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string file = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
    auto slash = file.rfind('/');
    // The root directory keeps its one separator.
    program.fsDirectory.clear();
    if (slash != std::string::npos)
        program.fsDirectory = file.substr(0, std::max<size_t>(slash, 1));
    // An installed program cannot write beside itself; it works in the
    // user's directory instead, so that saving with the proposed name works.
    std::string work = platform::WorkDirectory(program.fsDirectory);
    if (!work.empty() && chdir(work.c_str()) != 0) {
        std::perror("chdir");
    }
    program.directory = platform::FsNameToGbk(work);
    program.fileName =
        platform::FsNameToGbk(slash == std::string::npos ? file : file.substr(slash + 1));

    program.mainThread.store(std::this_thread::get_id());
    if (!program.image.constants.empty()) {
        RegisterConstantSegment(program.image.constants.data(), program.image.constants.size());
    }
    {
        RuntimeState::Dll& dll = Runtime().dll;
        std::lock_guard lock(dll.mutex);
        dll.addresses.assign(program.image.header.dllCount, nullptr);
    }
    // A library of the image without code registered under its identifier
    // is as unusable as a damaged image.
    if (!StartLibraries(program.image.libraries)) ReportRuntimeError(errmsg::kTemplateLoad, 0);
}

const ProgramImage* LoadedProgramImage() {
    return &Runtime().program.image;
}
uint32_t BuildMode() {
    return Runtime().program.image.header.buildMode;
}
uint32_t ModeWord2() {
    return Runtime().program.image.header.modeWord2;
}
uint32_t BuildNumberPlusOne() {
    return Runtime().program.image.header.buildNumber + 1;
}
const std::string& ProgramDirectory() {
    return Runtime().program.directory;
}
const std::string& ProgramFileName() {
    return Runtime().program.fileName;
}
bool IsMainThread() {
    return Runtime().program.mainThread.load() == std::this_thread::get_id();
}
std::vector<WindowTemplate>& WindowTemplates() {
    return Runtime().program.image.windows;
}

namespace {

[[noreturn]] void RaiseSlot(int code) {
    RaiseRuntimeError(code);
}
[[noreturn]] void EndSlot(int code) {
    EndProgram(code);
}
intptr_t ServiceSlot(int s, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5,
                     intptr_t a6) {
    return RuntimeService(s, a1, a2, a3, a4, a5, a6);
}

const SystemFunctionTable kTable = {
    RaiseSlot,         CallDllCommand,    CallLibraryCommand, CallCoreCommand, ReadUnitProperty,
    WriteUnitProperty, MemAlloc,          MemRealloc,         MemFree,         EndSlot,
    RunMessageLoop,    LoadStartupWindow, ServiceSlot,
};

}  // namespace

intptr_t RuntimeService(int s, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5,
                        intptr_t a6) {
    switch (s) {
        case service::kFindFile:
            return reinterpret_cast<intptr_t>(FindFile(reinterpret_cast<const char*>(a1),
                                                       static_cast<uint32_t>(a2), a3 != 0,
                                                       reinterpret_cast<intptr_t*>(a4)));
        case service::kCloseFind:
            CloseFindFile(a1);
            return 0;
        case service::kMakeArrayWritable:
            MakeArrayWritable(static_cast<size_t>(a1), reinterpret_cast<void**>(a2));
            return 0;
        case service::kRegisterCleanup:
            RegisterCleanupRoutine(reinterpret_cast<CleanupRoutine>(a1));
            return 0;
        case service::kReadObjectProperty: {
            const FrameEntries& frame = Runtime().entries.frame;
            return frame.readObjectProperty ? static_cast<intptr_t>(frame.readObjectProperty(
                                                  static_cast<TypeCode>(a1), a2,
                                                  static_cast<int>(a3), static_cast<int>(a4)))
                                            : 0;
        }
        case service::kWriteObjectProperty: {
            const FrameEntries& frame = Runtime().entries.frame;
            if (frame.writeObjectProperty) {
                frame.writeObjectProperty(static_cast<TypeCode>(a1), a2, static_cast<int>(a3),
                                          static_cast<int>(a4), static_cast<uint32_t>(a5),
                                          static_cast<uint32_t>(a6));
            }
            return 0;
        }
        case service::kInitialise:
            InitialiseRuntime();
            return 0;
        default:
            return 0;
    }
}

const SystemFunctionTable& SystemFunctions() {
    return kTable;
}

}  // namespace kesu
