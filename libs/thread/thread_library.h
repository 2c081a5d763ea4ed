#pragma once

// The multi-thread support library: runs an application subroutine on a new
// thread.

#include <cstdint>
#include <mutex>
#include <span>

#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/sysfunc.h"

namespace kesu::thread {

// The library's fixed identifier: 32 hexadecimal digits.
inline constexpr char kIdentifier[] = "A41C7E0952D84F6B9E3A1D07C58B26F3";

// A subroutine that can serve as a thread entry: it receives the parameter
// and its result is the thread's exit code. A subroutine-pointer argument
// carries the routine's address.
using ThreadRoutine = int32_t (*)(int32_t parameter);

// A started thread, as the handle variable of StartThread receives it (the
// variable is one pointer-sized word). Its owner releases it with
// CloseThreadHandle, after WaitForThread or without waiting: a thread whose
// handle is released keeps running to its end.
struct ThreadHandle;
// Waits until the thread has ended and returns its exit code; a second wait
// returns the code at once.
int32_t WaitForThread(ThreadHandle* handle);
void CloseThreadHandle(ThreadHandle* handle);

// Every thread the library starts is joined by the library unless its handle
// owner waits for it: the library keeps each thread started without a handle
// variable, and each one whose handle was released while it still ran. Every
// start first joins the kept threads that have ended since, and the rest are
// joined when the run's state goes. Joining waits, so a thread that may wait
// for the UI thread (a property access from a worker is a send to it) must
// have ended before the UI thread joins it: an orderly end waits until
// KeptThreadsRunning is false while it keeps serving the UI thread's loop,
// then joins them with JoinKeptThreads.
bool KeptThreadsRunning();
// Joins every kept thread, waiting for those that still run.
void JoinKeptThreads();

// StartThread (subroutine pointer; opt parameter integer; opt handle variable
// by reference): true when the thread was started.
void StartThread(ResultRecord* result, int argCount, ArgRecord* args);

// The one-entry command list.
std::span<const CommandBody> CommandList();

// The library's notification entry: code 1 records the runtime's
// notification function, code 6 (program end) releases every lock of the
// lock list; both answer 0. Every other code answers -1 and changes nothing.
intptr_t Notify(int code, intptr_t value1, intptr_t value2);
NotifyFunction RuntimeNotifier();

// The library's lock list: the locks made by its lock commands live until the
// program ends (code 6). Returns a new lock, or null when none can be made.
std::mutex* AddLock();
size_t LockCount();

// The library as the program image lists it, and its code for the registry.
LibraryInfo ThreadLibraryInfo();
NativeLibrary ThreadNativeLibrary();
void RegisterThreadLibrary();

}  // namespace kesu::thread
