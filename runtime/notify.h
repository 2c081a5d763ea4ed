// NotifyRuntime: the one service entry through which unit classes and
// support libraries reach the runtime, by request code.
//
// Codes that need loaded windows are served through a table of window
// services that the window-loading part of the runtime installs; while none
// is installed those codes answer 0.
#pragma once

#include <cstdint>

namespace kesu {

// The request codes this runtime serves.
namespace notify {
inline constexpr int kProgramIcons = 1000;
inline constexpr int kTemplateList = 1001;
inline constexpr int kTypeDescriptor = 1002;
inline constexpr int kInterfaceVersion = 1005;
inline constexpr int kProgramPathInto = 1006;
inline constexpr int kCreateFont = 1007;
inline constexpr int kDestroyObject = 1008;
inline constexpr int kWindowHandleOf = 1010;
inline constexpr int kAddIdleRoutine = 1012;
inline constexpr int kRemoveIdleRoutine = 1013;
inline constexpr int kUnitDestroyed = 2000;
inline constexpr int kValueToInteger = 2001;
inline constexpr int kZero = 2002;
inline constexpr int kProgramDirectory = 2003;
inline constexpr int kProgramFileName = 2004;
inline constexpr int kLoadWindow = 2005;
inline constexpr int kFindUnit = 2006;
inline constexpr int kFindUnitOrFail = 2007;
inline constexpr int kRaiseEvent = 2008;
inline constexpr int kSuspendEvents = 2009;
inline constexpr int kResumeEvents = 2010;
inline constexpr int kOpenFileAccess = 2011;
inline constexpr int kRegisterOpenFile = 2012;
inline constexpr int kUnregisterOpenFile = 2013;
inline constexpr int kEndProgramNormally = 2016;
inline constexpr int kCurrentEventSource = 2017;
inline constexpr int kProcessMessages = 2018;
inline constexpr int kUnitTypeOf = 2022;
inline constexpr int kFreeArray = 2023;
inline constexpr int kAlloc = 2024;
inline constexpr int kFree = 2025;
inline constexpr int kRealloc = 2026;
inline constexpr int kRuntimeError = 2027;
inline constexpr int kEndProgram = 2028;
inline constexpr int kTypeKind = 2029;
inline constexpr int kBuildMode = 2030;
inline constexpr int kRaiseTypedEvent = 2031;
inline constexpr int kTemplateCount = 2032;
inline constexpr int kWindowHandleById = 2033;
}  // namespace notify

// On this 64-bit build arguments and result are pointer-wide, so that
// objects and records pass whole.
intptr_t NotifyRuntime(int code, intptr_t a1, intptr_t a2);
using NotifyFunction = intptr_t (*)(int code, intptr_t a1, intptr_t a2);

// Services that need the window part of the runtime. Each answers exactly as
// the corresponding NotifyRuntime code; a null member answers 0.
struct WindowServices {
    intptr_t (*programIcons)(intptr_t record) = nullptr;                      // 1000
    intptr_t (*createFont)(intptr_t description) = nullptr;                   // 1007
    intptr_t (*destroyObject)(intptr_t object) = nullptr;                     // 1008
    intptr_t (*windowHandleOf)(intptr_t unitObject) = nullptr;                // 1010
    intptr_t (*addIdleRoutine)(intptr_t record) = nullptr;                    // 1012
    intptr_t (*removeIdleRoutine)(intptr_t windowHandle) = nullptr;           // 1013
    intptr_t (*unitDestroyed)(intptr_t windowId, intptr_t unitId) = nullptr;  // 2000
    intptr_t (*loadWindow)(intptr_t record) = nullptr;                        // 2005
    intptr_t (*findUnit)(intptr_t windowId, intptr_t unitId) = nullptr;       // 2006 and 2007
    // Non-zero when a failed lookup of 2007 is let go: a worker's unit vanished with its window.
    intptr_t (*lookupFailureIgnored)(intptr_t windowId) = nullptr;
    intptr_t (*raiseEvent)(intptr_t record) = nullptr;          // 2008
    intptr_t (*currentEventSource)(intptr_t record) = nullptr;  // 2017
    // Runs the messages already waiting (2009, 2010, 2018).
    void (*processMessages)() = nullptr;
    intptr_t (*unitTypeOf)(intptr_t windowId, intptr_t unitId) = nullptr;  // 2022
    intptr_t (*raiseTypedEvent)(intptr_t record) = nullptr;                // 2031
    intptr_t (*windowHandleById)(intptr_t windowId) = nullptr;             // 2033
};

// Installs the table (kept by pointer; it must outlive its use). Null removes it.
void SetWindowServices(const WindowServices* services);
const WindowServices* GetWindowServices();

// The event suspension counter: while it is 1 or more no event is
// dispatched. Resuming never takes it below 0.
void SuspendEvents();
void ResumeEvents();
int EventSuspensionCount();
bool EventsSuspended();

// The open-file registry behind codes 2011 to 2013: an open file object and
// its access byte.
int OpenFileAccess(intptr_t file);                 // -1 when not registered
void RegisterOpenFile(intptr_t file, int access);  // once; a second call keeps the first
bool UnregisterOpenFile(intptr_t file);
void ClearOpenFiles();

}  // namespace kesu
