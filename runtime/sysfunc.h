// The system function table: the thirteen entry points through which
// application code reaches the runtime, in their fixed order, plus the
// run's state that start-up establishes (RuntimeService 6), kept in the
// runtime state (runtime/runtime_state.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "runtime/value.h"

namespace kesu {

struct ProgramImage;
struct WindowTemplate;

// A command body: writes its value into the zeroed result record.
using CommandBody = void (*)(ResultRecord* result, int argCount, ArgRecord* args);

// Both zero a result record, run the body and return the record. With 0
// arguments the body receives a pointer it must not read.
ResultRecord CallCoreCommand(CommandBody body, int argCount, ArgRecord* args);
ResultRecord CallLibraryCommand(CommandBody body, int argCount, ArgRecord* args);

// Calls the declared DLL command `index` with up to kMaxDllArgs word
// arguments. The first call resolves and caches the address; a name that
// cannot be resolved ends in the runtime error naming the file and export.
inline constexpr size_t kMaxDllArgs = 12;
intptr_t CallDllCommand(int index, std::span<const intptr_t> args);

// Entries served by the window part of the runtime, installed by it at
// start-up. Until then reads give 0 and the others do nothing.
struct FrameEntries {
    uint64_t (*readUnitProperty)(uint32_t windowId, uint32_t unitId, int property,
                                 int component) = nullptr;
    void (*writeUnitProperty)(uint32_t windowId, uint32_t unitId, int property, int component,
                              uint32_t low, uint32_t high) = nullptr;
    void (*runMessageLoop)() = nullptr;
    void (*loadStartupWindow)(uint32_t windowId) = nullptr;
    // RuntimeService 4 and 5: a unit held in a variable.
    uint64_t (*readObjectProperty)(TypeCode type, intptr_t object, int property,
                                   int component) = nullptr;
    void (*writeObjectProperty)(TypeCode type, intptr_t object, int property, int component,
                                uint32_t low, uint32_t high) = nullptr;
    // The runtime shutdown (windows, clean-up routine, libraries, modules);
    // forwards to the main thread when called elsewhere. EndProgram ends the
    // process after it returns.
    void (*shutdown)(int exitCode) = nullptr;
};
void SetFrameEntries(const FrameEntries& entries);

uint64_t ReadUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component);
void WriteUnitProperty(uint32_t windowId, uint32_t unitId, int property, int component,
                       uint32_t low, uint32_t high);
void RunMessageLoop();
void LoadStartupWindow(uint32_t windowId);
// Runs the runtime shutdown, then ends the process with the code.
[[noreturn]] void EndProgram(int exitCode);

// The runtime's own part of shutdown, called by the full shutdown after the
// windows are gone: the clean-up routine (once), the libraries' shutdown
// notification, the modules loaded for DLL commands, the open-file list and
// the static range. Safe to call more than once.
void ShutdownRuntimeServices();

// How the process finally ends. The default flushes the standard streams and
// exits immediately with the code (no static destructors run while worker
// threads may still be alive).
using ProcessExit = void (*)(int exitCode);
void SetProcessExit(ProcessExit exit);

// RuntimeService: the service number, then its arguments (unused ones 0).
namespace service {
inline constexpr int kFindFile = 0;
inline constexpr int kCloseFind = 1;
inline constexpr int kMakeArrayWritable = 2;
inline constexpr int kRegisterCleanup = 3;
inline constexpr int kReadObjectProperty = 4;
inline constexpr int kWriteObjectProperty = 5;
inline constexpr int kInitialise = 6;
}  // namespace service
intptr_t RuntimeService(int service, intptr_t a1 = 0, intptr_t a2 = 0, intptr_t a3 = 0,
                        intptr_t a4 = 0, intptr_t a5 = 0, intptr_t a6 = 0);

// Service 0: the next name matching `pattern` (a directory part and a
// wildcard name with * and ?), as a fresh text, or null when none is left (the
// handle is then closed and cleared). An empty or null pattern continues the
// search of *handle. Attribute bits: read-only 0x01 (no write permission bit), hidden
// 0x02 (dot-files), directory 0x10, archive 0x20 (regular files).
char* FindFile(const char* pattern, uint32_t attributeMask, bool nonDirectories, intptr_t* handle);
void CloseFindFile(intptr_t handle);

// Service 3.
using CleanupRoutine = void (*)();
void RegisterCleanupRoutine(CleanupRoutine routine);
// Returns the registered routine and forgets it (shutdown calls it once).
CleanupRoutine TakeCleanupRoutine();

// Makes `bytes` the program image that service 6 reads. The bytes must stay
// alive for the whole run (the embedded image is static data).
void SetProgramImage(std::span<const uint8_t> bytes);

// Service 6: heap, header words, program path and current directory, main
// thread, constant segment, DLL command lists, libraries (notification code
// 1), then the window templates with their event bindings resolved. A fault
// in the image raises "载入窗口模板数据段出错!".
void InitialiseRuntime();

// State kept for the whole run, valid after InitialiseRuntime.
const ProgramImage* LoadedProgramImage();
uint32_t BuildMode();
uint32_t ModeWord2();
uint32_t BuildNumberPlusOne();
// The directory the program works in (without trailing separator) and the
// program's file name, as GBK texts whose file-name escapes carry the file
// system's bytes (platform/gbk.h). The work directory is the one that holds
// the program file, or the user's directory when that one is not writable
// (platform/work_directory.h); it is the current directory after start-up.
const std::string& ProgramDirectory();
const std::string& ProgramFileName();
bool IsMainThread();
// The window templates read from the image; the window part keeps its
// records in them for the whole run.
std::vector<WindowTemplate>& WindowTemplates();

// The table itself, slot by slot.
struct SystemFunctionTable {
    [[noreturn]] void (*raiseRuntimeError)(int code);
    intptr_t (*callDllCommand)(int index, std::span<const intptr_t> args);
    ResultRecord (*callLibraryCommand)(CommandBody body, int argCount, ArgRecord* args);
    ResultRecord (*callCoreCommand)(CommandBody body, int argCount, ArgRecord* args);
    uint64_t (*readUnitProperty)(uint32_t windowId, uint32_t unitId, int property, int component);
    void (*writeUnitProperty)(uint32_t windowId, uint32_t unitId, int property, int component,
                              uint32_t low, uint32_t high);
    void* (*memAlloc)(size_t size);
    void* (*memRealloc)(void* ptr, size_t size);
    void (*memFree)(void* ptr);
    void (*endProgram)(int exitCode);
    void (*runMessageLoop)();
    void (*loadStartupWindow)(uint32_t windowId);
    intptr_t (*runtimeService)(int service, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4,
                               intptr_t a5, intptr_t a6);
};
const SystemFunctionTable& SystemFunctions();

}  // namespace kesu
