#include "libs/thread/thread_library.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/runtime_state.h"

namespace kesu::thread {

namespace {

// What a thread and its handle share: the exit code, valid once the thread
// has ended, and whether its routine has returned.
struct ThreadState {
    std::atomic<int32_t> exit_code{0};
    std::atomic<bool> ended{false};
};

// The lock list: a singly linked list of locks, newest first.
struct LockNode {
    std::mutex lock;
    LockNode* next = nullptr;
};

}  // namespace

struct ThreadHandle {
    std::thread thread;
    std::shared_ptr<ThreadState> state;
};

namespace {

// What the library keeps for the run: the runtime's notification function,
// the lock list and the threads it keeps (see KeptThreadsRunning). When the
// run's state goes, the kept threads are joined and the locks released.
struct ThreadLibraryState : LibraryState {
    ~ThreadLibraryState() override;

    std::atomic<NotifyFunction> runtime_notify{nullptr};
    std::mutex lock_list_mutex;
    LockNode* lock_list = nullptr;
    std::mutex threads_mutex;
    std::vector<std::unique_ptr<ThreadHandle>> kept;
};

ThreadLibraryState& State() {
    return LibraryStateOf<ThreadLibraryState>();
}

void ReleaseLockList(ThreadLibraryState& state) {
    std::lock_guard guard(state.lock_list_mutex);
    while (state.lock_list) {
        LockNode* next = state.lock_list->next;
        delete state.lock_list;
        state.lock_list = next;
    }
}

bool Ended(const ThreadHandle& handle) {
    return handle.state->ended.load();
}

void Join(ThreadHandle& handle) {
    if (handle.thread.joinable() && handle.thread.get_id() != std::this_thread::get_id()) {
        handle.thread.join();
    }
}

// Takes the kept threads that `which` selects out of the list, and joins them
// without the list's lock: a thread that is still ending may start another.
template <class Which>
void JoinKept(ThreadLibraryState& state, Which which) {
    std::vector<std::unique_ptr<ThreadHandle>> taken;
    {
        std::lock_guard guard(state.threads_mutex);
        auto keep = std::stable_partition(state.kept.begin(), state.kept.end(),
                                          [&](const auto& handle) { return !which(*handle); });
        taken.assign(std::make_move_iterator(keep), std::make_move_iterator(state.kept.end()));
        state.kept.erase(keep, state.kept.end());
    }
    for (auto& handle : taken) Join(*handle);
}

ThreadLibraryState::~ThreadLibraryState() {
    // Threads that are still running are waited for here, so by now nothing
    // they do may wait for the thread that ends the run (see the header).
    while (true) {
        JoinKept(*this, [](const ThreadHandle&) { return true; });
        std::lock_guard guard(threads_mutex);
        if (kept.empty()) break;
    }
    ReleaseLockList(*this);
}

void Keep(std::unique_ptr<ThreadHandle> handle) {
    ThreadLibraryState& state = State();
    std::lock_guard guard(state.threads_mutex);
    state.kept.push_back(std::move(handle));
}

}  // namespace

int32_t WaitForThread(ThreadHandle* handle) {
    if (!handle) return 0;
    Join(*handle);
    return handle->state->exit_code.load();
}

void CloseThreadHandle(ThreadHandle* handle) {
    if (!handle) return;
    std::unique_ptr<ThreadHandle> owned(handle);
    // A thread that still runs goes on to its end; the library keeps it and
    // joins it then.
    if (owned->thread.joinable()) Keep(std::move(owned));
}

bool KeptThreadsRunning() {
    ThreadLibraryState& state = State();
    std::lock_guard guard(state.threads_mutex);
    return std::any_of(state.kept.begin(), state.kept.end(),
                       [](const auto& handle) { return !Ended(*handle); });
}

void JoinKeptThreads() {
    JoinKept(State(), [](const ThreadHandle&) { return true; });
}

void StartThread(ResultRecord* result, int argCount, ArgRecord* args) {
    auto routine =
        argCount > 0 ? reinterpret_cast<ThreadRoutine>(args[0].AsPtr()) : ThreadRoutine(nullptr);
    int32_t parameter = argCount > 1 && args[1].type != kTypeNone ? args[1].AsInt() : 0;
    auto** handle_variable = argCount > 2 && args[2].type != kTypeNone
                                 ? static_cast<ThreadHandle**>(args[2].AsPtr())
                                 : nullptr;
    // Threads that ended since the last start are joined now, so that a
    // program starting many short threads does not pile up ended ones.
    JoinKept(State(), Ended);
    std::unique_ptr<ThreadHandle> handle;
    if (routine) {
        try {
            auto state = std::make_shared<ThreadState>();
            handle = std::make_unique<ThreadHandle>();
            handle->state = state;
            handle->thread = std::thread([routine, parameter, state] {
                state->exit_code = routine(parameter);
                state->ended = true;
            });
        } catch (const std::exception&) {
            // No thread could be made (system limits or memory): false, and a
            // handle variable receives the null handle.
            handle.reset();
        }
    }
    result->SetBool(handle != nullptr);
    if (handle_variable) {
        // The caller owns the handle from now on; whatever the variable held
        // before is overwritten, not released.
        *handle_variable = handle.release();
    } else if (handle) {
        Keep(std::move(handle));
    }
}

std::span<const CommandBody> CommandList() {
    static constexpr CommandBody kList[] = {StartThread};
    return kList;
}

intptr_t Notify(int code, intptr_t value1, intptr_t) {
    switch (code) {
        case 1:
            State().runtime_notify.store(reinterpret_cast<NotifyFunction>(value1));
            return 0;
        case 6:
            ReleaseLockList(State());
            return 0;
        default:
            return -1;
    }
}

NotifyFunction RuntimeNotifier() {
    return State().runtime_notify.load();
}

std::mutex* AddLock() {
    auto* node = new (std::nothrow) LockNode;
    if (!node) return nullptr;
    ThreadLibraryState& state = State();
    std::lock_guard guard(state.lock_list_mutex);
    node->next = state.lock_list;
    state.lock_list = node;
    return &node->lock;
}

size_t LockCount() {
    ThreadLibraryState& state = State();
    std::lock_guard guard(state.lock_list_mutex);
    size_t n = 0;
    for (LockNode* node = state.lock_list; node; node = node->next) ++n;
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
