#include "runtime/notify.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "runtime/errors.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "runtime/runtime_state.h"
#include "runtime/sysfunc.h"
#include "runtime/value.h"

namespace kesu {

namespace {

// The buffer of code 1006 has no size; the callers size it for the longest
// classic path (260 bytes), so the copy never writes more than that.
constexpr size_t kPathBufferSize = 260;

intptr_t CopyPathInto(intptr_t selector, intptr_t buffer) {
    if (buffer == 0) return 0;
    std::string text;
    if (selector == 1 || selector == 2001) {
        text = ProgramDirectory() + "/";
    } else if (selector == 2002) {
        text = ProgramFileName();
    }
    size_t n = std::min(text.size(), kPathBufferSize - 1);
    char* out = reinterpret_cast<char*>(buffer);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
    return 0;
}

void ProcessWaitingMessages(const WindowServices* ws) {
    if (ws && ws->processMessages) ws->processMessages();
}

template <typename F, typename... Args>
intptr_t Delegate(F WindowServices::*member, Args... args) {
    const WindowServices* ws = GetWindowServices();
    if (!ws || !(ws->*member)) return 0;
    return (ws->*member)(args...);
}

intptr_t TypeKind(uint32_t typeCode) {
    const UnitTypeDescriptor* t = FindTypeDescriptor(typeCode);
    if (!t) return 0;
    if (t->flags & type_flag::kEventSourceOld) return 2;
    if (t->flags & type_flag::kPlacedUnit) return 1;
    return 0;
}

}  // namespace

void SetWindowServices(const WindowServices* services) {
    Runtime().entries.windowServices.store(services);
}
const WindowServices* GetWindowServices() {
    return Runtime().entries.windowServices.load();
}

void SuspendEvents() {
    Runtime().dispatch.suspension.fetch_add(1);
}

void ResumeEvents() {
    std::atomic<int>& suspension = Runtime().dispatch.suspension;
    int current = suspension.load();
    while (current > 0 && !suspension.compare_exchange_weak(current, current - 1)) {
    }
}

int EventSuspensionCount() {
    return Runtime().dispatch.suspension.load();
}
bool EventsSuspended() {
    return Runtime().dispatch.suspension.load() > 0;
}

int OpenFileAccess(intptr_t file) {
    RuntimeState::Files& files = Runtime().files;
    std::lock_guard lock(files.mutex);
    auto it = files.open.find(file);
    return it == files.open.end() ? -1 : it->second;
}

void RegisterOpenFile(intptr_t file, int access) {
    RuntimeState::Files& files = Runtime().files;
    std::lock_guard lock(files.mutex);
    files.open.emplace(file, access & 0xFF);
}

bool UnregisterOpenFile(intptr_t file) {
    RuntimeState::Files& files = Runtime().files;
    std::lock_guard lock(files.mutex);
    return files.open.erase(file) != 0;
}

void ClearOpenFiles() {
    RuntimeState::Files& files = Runtime().files;
    std::lock_guard lock(files.mutex);
    files.open.clear();
}

intptr_t NotifyRuntime(int code, intptr_t a1, intptr_t a2) {
    using WS = WindowServices;
    switch (code) {
        case notify::kProgramIcons:
            return Delegate(&WS::programIcons, a1);
        case notify::kTemplateList:
            return reinterpret_cast<intptr_t>(&WindowTemplates());
        case notify::kTypeDescriptor:
            return reinterpret_cast<intptr_t>(FindTypeDescriptor(static_cast<uint32_t>(a1)));
        case notify::kInterfaceVersion:
            return 5;
        case notify::kProgramPathInto:
            return CopyPathInto(a1, a2);
        case notify::kCreateFont:
            return Delegate(&WS::createFont, a1);
        case notify::kDestroyObject:
            return Delegate(&WS::destroyObject, a1);
        case notify::kWindowHandleOf:
            return Delegate(&WS::windowHandleOf, a1);
        case notify::kAddIdleRoutine:
            return Delegate(&WS::addIdleRoutine, a1);
        case notify::kRemoveIdleRoutine:
            return Delegate(&WS::removeIdleRoutine, a1);
        case notify::kUnitDestroyed:
            return Delegate(&WS::unitDestroyed, a1, a2);
        case notify::kValueToInteger:
            return a1 ? ValueToInteger(*reinterpret_cast<const ArgRecord*>(a1)) : 0;
        case notify::kZero:
            return 0;
        case notify::kProgramDirectory:
            return reinterpret_cast<intptr_t>(ProgramDirectory().c_str());
        case notify::kProgramFileName:
            return reinterpret_cast<intptr_t>(ProgramFileName().c_str());
        case notify::kLoadWindow: {
            // Without the window part nothing can be loaded: report the
            // failure rather than the success that 0 would mean here.
            const WindowServices* ws = GetWindowServices();
            return ws && ws->loadWindow ? ws->loadWindow(a1) : -1;
        }
        case notify::kFindUnit:
            return Delegate(&WS::findUnit, a1, a2);
        case notify::kFindUnitOrFail: {
            intptr_t unit = Delegate(&WS::findUnit, a1, a2);
            if (unit == 0 && Delegate(&WS::lookupFailureIgnored, a1) == 0) {
                ReportRuntimeError(errmsg::kUnitMissing, 0);
            }
            return unit;
        }
        case notify::kRaiseEvent:
            return Delegate(&WS::raiseEvent, a1);
        case notify::kSuspendEvents:
            ProcessWaitingMessages(GetWindowServices());
            SuspendEvents();
            return 0;
        case notify::kResumeEvents:
            ProcessWaitingMessages(GetWindowServices());
            ResumeEvents();
            return 0;
        case notify::kOpenFileAccess:
            return OpenFileAccess(a1);
        case notify::kRegisterOpenFile:
            RegisterOpenFile(a1, static_cast<int>(a2));
            return 0;
        case notify::kUnregisterOpenFile:
            return UnregisterOpenFile(a1) ? 1 : 0;
        case notify::kEndProgramNormally:
            EndProgram(0);
        case notify::kCurrentEventSource:
            return Delegate(&WS::currentEventSource, a1);
        case notify::kProcessMessages:
            ProcessWaitingMessages(GetWindowServices());
            return 0;
        case notify::kUnitTypeOf:
            return Delegate(&WS::unitTypeOf, a1, a2);
        case notify::kFreeArray:
            FreeArray(static_cast<TypeCode>(a1), reinterpret_cast<void*>(a2));
            return 0;
        case notify::kAlloc: {
            // A negative size can never be served: it fails like exhaustion.
            if (a2 != 0) {
                return a1 < 0 ? 0
                              : reinterpret_cast<intptr_t>(TryMemAlloc(static_cast<size_t>(a1)));
            }
            if (a1 < 0) ReportAllocationFailure(a1);
            return reinterpret_cast<intptr_t>(MemAlloc(static_cast<size_t>(a1)));
        }
        case notify::kFree:
            MemFree(reinterpret_cast<void*>(a1));
            return 0;
        case notify::kRealloc:
            if (a2 < 0) ReportAllocationFailure(a2);
            return reinterpret_cast<intptr_t>(
                MemRealloc(reinterpret_cast<void*>(a1), static_cast<size_t>(a2)));
        case notify::kRuntimeError:
            ReportRuntimeError(reinterpret_cast<const char*>(a1), 0);
        case notify::kEndProgram:
            EndProgram(static_cast<int>(a1));
        case notify::kTypeKind:
            return TypeKind(static_cast<uint32_t>(a1));
        case notify::kBuildMode:
            return BuildMode();
        case notify::kRaiseTypedEvent:
            return Delegate(&WS::raiseTypedEvent, a1);
        case notify::kTemplateCount:
            return static_cast<intptr_t>(WindowTemplates().size());
        case notify::kWindowHandleById:
            return Delegate(&WS::windowHandleById, a1);
        default:
            // Reserved codes of runtime parts this program does not use.
            return 0;
    }
}

}  // namespace kesu
