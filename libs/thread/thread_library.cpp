#include "libs/thread/thread_library.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

namespace kesu::thread {

namespace {

std::atomic<NotifyFunction> runtime_notify{nullptr};

// The lock list: a singly linked list of locks, newest first.
struct LockNode {
    std::mutex lock;
    LockNode* next = nullptr;
};
std::mutex lock_list_mutex;
LockNode* lock_list = nullptr;

void ReleaseLockList() {
    std::lock_guard guard(lock_list_mutex);
    while (lock_list) {
        LockNode* next = lock_list->next;
        delete lock_list;
        lock_list = next;
    }
}

// What the thread and its handle share: the exit code, valid once the
// thread has been joined.
struct ThreadState {
    std::atomic<int32_t> exit_code{0};
};

}  // namespace

struct ThreadHandle {
    std::thread thread;
    std::shared_ptr<ThreadState> state;
};

int32_t WaitForThread(ThreadHandle* handle) {
    if (!handle) return 0;
    if (handle->thread.joinable() && handle->thread.get_id() != std::this_thread::get_id()) {
        handle->thread.join();
    }
    return handle->state->exit_code.load();
}

void CloseThreadHandle(ThreadHandle* handle) {
    if (!handle) return;
    if (handle->thread.joinable()) handle->thread.detach();
    delete handle;
}

void StartThread(ResultRecord* result, int argCount, ArgRecord* args) {
    auto routine =
        argCount > 0 ? reinterpret_cast<ThreadRoutine>(args[0].AsPtr()) : ThreadRoutine(nullptr);
    int32_t parameter = argCount > 1 && args[1].type != kTypeNone ? args[1].AsInt() : 0;
    auto** handle_variable = argCount > 2 && args[2].type != kTypeNone
                                 ? static_cast<ThreadHandle**>(args[2].AsPtr())
                                 : nullptr;
    ThreadHandle* handle = nullptr;
    if (routine) {
        try {
            auto state = std::make_shared<ThreadState>();
            handle = new ThreadHandle{
                std::thread([routine, parameter, state] { state->exit_code = routine(parameter); }),
                state};
        } catch (const std::exception&) {
            // No thread could be made (system limits or memory): false, and a
            // handle variable receives the null handle.
            delete handle;
            handle = nullptr;
        }
    }
    result->SetBool(handle != nullptr);
    if (handle_variable) {
        // The caller owns the handle from now on; whatever the variable held
        // before is overwritten, not released.
        *handle_variable = handle;
    } else {
        CloseThreadHandle(handle);
    }
}

std::span<const CommandBody> CommandList() {
    static constexpr CommandBody kList[] = {StartThread};
    return kList;
}

intptr_t Notify(int code, intptr_t value1, intptr_t) {
    switch (code) {
        case 1:
            runtime_notify.store(reinterpret_cast<NotifyFunction>(value1));
            return 0;
        case 6:
            ReleaseLockList();
            return 0;
        default:
            return -1;
    }
}

NotifyFunction RuntimeNotifier() {
    return runtime_notify.load();
}

std::mutex* AddLock() {
    auto* node = new (std::nothrow) LockNode;
    if (!node) return nullptr;
    std::lock_guard guard(lock_list_mutex);
    node->next = lock_list;
    lock_list = node;
    return &node->lock;
}

size_t LockCount() {
    std::lock_guard guard(lock_list_mutex);
    size_t n = 0;
    for (LockNode* node = lock_list; node; node = node->next) ++n;
    return n;
}

LibraryInfo ThreadLibraryInfo() {
    // "多线程支持库"
    LibraryInfo lib = MakeLibraryInfo(
        kIdentifier, "\xB6\xE0\xCF\xDF\xB3\xCC\xD6\xA7\xB3\xD6\xBF\xE2", 2, 3, 0xC0000000);
    lib.commandCount = 1;
    return lib;
}

NativeLibrary ThreadNativeLibrary() {
    NativeLibrary lib;
    lib.identifier = kIdentifier;
    auto list = CommandList();
    lib.commands.assign(list.begin(), list.end());
    lib.notify = Notify;
    return lib;
}

void RegisterThreadLibrary() {
    RegisterLibrary(ThreadNativeLibrary());
}

}  // namespace kesu::thread
