#include "runtime/sysfunc.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace kesu {

namespace {

FrameEntries g_frame;
std::atomic<ProcessExit> g_processExit{nullptr};
// Set while this thread carries out a shutdown, so that an end requested
// during it (a runtime error in a clean-up routine, say) ends the process at
// once instead of starting over. Per thread: a worker's request forwarded to
// the main thread must still be carried out there.
thread_local bool t_shuttingDown = false;
std::atomic<CleanupRoutine> g_cleanup{nullptr};

std::span<const uint8_t> g_imageBytes;
ProgramImage g_image;
// The directory the program works in (GBK, with file-name escapes), and the
// one that holds the program file (file system bytes), where DLLs are looked
// for.
std::string g_programDirectory;
std::string g_programFsDirectory;
std::string g_programFileName;
std::atomic<std::thread::id> g_mainThread{};

// Resolved DLL command addresses per declared index, and the modules opened
// for them; resolution happens on first use from any thread.
std::mutex g_dllMutex;
std::vector<void*> g_dllAddresses;
std::vector<void*> g_dllModules;

ResultRecord CallCommand(CommandBody body, int argCount, ArgRecord* args) {
    ResultRecord result{};
    if (body) body(&result, argCount, args);
    return result;
}

[[noreturn]] void DefaultProcessExit(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void* OpenModule(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) g_dllModules.push_back(module);
    return module;
}

// The address of the declared command `index`; null when it cannot be found.
void* ResolveDllCommand(size_t index) {
    const std::string& file = g_image.dllFiles[index];
    const std::string& name = g_image.dllNames[index];
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
    if (path.find('/') == std::string::npos && !g_programFsDirectory.empty()) {
        module = OpenModule(g_programFsDirectory + "/" + path);
    }
    if (!module) module = OpenModule(path);
    return module ? dlsym(module, symbol.c_str()) : nullptr;
}

[[noreturn]] void DllCommandMissing(size_t index) {
    bool known = index < g_image.dllNames.size();
    std::string file = known ? g_image.dllFiles[index] : std::string();
    std::string name = known ? g_image.dllNames[index] : std::string();
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
        std::lock_guard lock(g_dllMutex);
        if (index >= 0 && static_cast<size_t>(index) < g_dllAddresses.size()) {
            auto i = static_cast<size_t>(index);
            if (!g_dllAddresses[i]) g_dllAddresses[i] = ResolveDllCommand(i);
            address = g_dllAddresses[i];
        }
    }
    if (!address) DllCommandMissing(static_cast<size_t>(index < 0 ? SIZE_MAX : index));
    return CallAddress(address, args.first(std::min(args.size(), kMaxDllArgs)));
}

void SetFrameEntries(const FrameEntries& entries) {
    g_frame = entries;
}

uint64_t ReadUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component) {
    return g_frame.readUnitProperty
               ? g_frame.readUnitProperty(windowId, unitId, property, component)
               : 0;
}

void WriteUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component,
                       uint32_t low, uint32_t high) {
    if (g_frame.writeUnitProperty) {
        g_frame.writeUnitProperty(windowId, unitId, property, component, low, high);
    }
}

void RunMessageLoop() {
    if (g_frame.runMessageLoop) g_frame.runMessageLoop();
}

void LoadStartupWindow(uint32_t windowId) {
    if (!g_frame.loadStartupWindow) ReportRuntimeError(errmsg::kStartupWindow, 0);
    g_frame.loadStartupWindow(windowId);
}

void ShutdownRuntimeServices() {
    if (CleanupRoutine cleanup = TakeCleanupRoutine()) cleanup();
    StopLibraries();
    {
        std::lock_guard lock(g_dllMutex);
        for (void* module : g_dllModules) dlclose(module);
        g_dllModules.clear();
        std::fill(g_dllAddresses.begin(), g_dllAddresses.end(), nullptr);
    }
    ClearOpenFiles();
    RegisterConstantSegment(nullptr, 0);
}

void EndProgram(int exitCode) {
    SuspendEvents();
    if (!t_shuttingDown) {
        t_shuttingDown = true;
        if (g_frame.shutdown) {
            g_frame.shutdown(exitCode);
        } else {
            ShutdownRuntimeServices();
        }
        t_shuttingDown = false;
    }
    ProcessExit exit = g_processExit.load();
    (exit ? exit : DefaultProcessExit)(exitCode);
    // A process-exit routine must not return; if one does, end anyway.
    DefaultProcessExit(exitCode);
}

void SetProcessExit(ProcessExit exit) {
    g_processExit.store(exit);
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
    g_cleanup.store(routine);
}

CleanupRoutine TakeCleanupRoutine() {
    return g_cleanup.exchange(nullptr);
}

void SetProgramImage(std::span<const uint8_t> bytes) {
    g_imageBytes = bytes;
}

void InitialiseRuntime() {
    ReadProgramImageOrFail(g_imageBytes, g_image);

    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string file = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
    auto slash = file.rfind('/');
    // The root directory keeps its one separator.
    g_programFsDirectory.clear();
    if (slash != std::string::npos)
        g_programFsDirectory = file.substr(0, std::max<size_t>(slash, 1));
    // An installed program cannot write beside itself; it works in the
    // user's directory instead, so that saving with the proposed name works.
    std::string work = platform::WorkDirectory(g_programFsDirectory);
    if (!work.empty() && chdir(work.c_str()) != 0) {
        std::perror("chdir");
    }
    g_programDirectory = platform::FsNameToGbk(work);
    g_programFileName =
        platform::FsNameToGbk(slash == std::string::npos ? file : file.substr(slash + 1));

    g_mainThread.store(std::this_thread::get_id());
    if (!g_image.constants.empty()) {
        RegisterConstantSegment(g_image.constants.data(), g_image.constants.size());
    }
    {
        std::lock_guard lock(g_dllMutex);
        g_dllAddresses.assign(g_image.header.dllCount, nullptr);
    }
    // A library of the image without code registered under its identifier
    // is as unusable as a damaged image.
    if (!StartLibraries(g_image.libraries)) ReportRuntimeError(errmsg::kTemplateLoad, 0);
}

const ProgramImage* LoadedProgramImage() {
    return &g_image;
}
uint32_t BuildMode() {
    return g_image.header.buildMode;
}
uint32_t ModeWord2() {
    return g_image.header.modeWord2;
}
uint32_t BuildNumberPlusOne() {
    return g_image.header.buildNumber + 1;
}
const std::string& ProgramDirectory() {
    return g_programDirectory;
}
const std::string& ProgramFileName() {
    return g_programFileName;
}
bool IsMainThread() {
    return g_mainThread.load() == std::this_thread::get_id();
}
std::vector<WindowTemplate>& WindowTemplates() {
    return g_image.windows;
}

void ResetRuntimeState() {
    StopLibraries();
    {
        std::lock_guard lock(g_dllMutex);
        for (void* module : g_dllModules) dlclose(module);
        g_dllModules.clear();
        g_dllAddresses.clear();
    }
    g_image = ProgramImage{};
    g_programDirectory.clear();
    g_programFsDirectory.clear();
    g_programFileName.clear();
    g_mainThread.store(std::thread::id{});
    g_cleanup.store(nullptr);
    t_shuttingDown = false;
    ClearOpenFiles();
    RegisterConstantSegment(nullptr, 0);
    ResetEventSuspension();
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
        case service::kReadObjectProperty:
            return g_frame.readObjectProperty ? static_cast<intptr_t>(g_frame.readObjectProperty(
                                                    static_cast<TypeCode>(a1), a2,
                                                    static_cast<int>(a3), static_cast<int>(a4)))
                                              : 0;
        case service::kWriteObjectProperty:
            if (g_frame.writeObjectProperty) {
                g_frame.writeObjectProperty(static_cast<TypeCode>(a1), a2, static_cast<int>(a3),
                                            static_cast<int>(a4), static_cast<uint32_t>(a5),
                                            static_cast<uint32_t>(a6));
            }
            return 0;
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
