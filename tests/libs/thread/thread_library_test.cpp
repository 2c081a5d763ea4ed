#include "libs/thread/thread_library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/runtime_state.h"

namespace kesu::thread {
namespace {

// What the started routines saw, guarded for the test thread to wait on.
std::mutex seen_mutex;
std::condition_variable seen_changed;
int starts = 0;
int32_t last_parameter = -1;

int32_t Record(int32_t parameter) {
    std::lock_guard lock(seen_mutex);
    ++starts;
    last_parameter = parameter;
    seen_changed.notify_all();
    return parameter * 2;
}

// Waits (with a generous deadline, never a fixed sleep) for `n` starts.
bool WaitForStarts(int n) {
    std::unique_lock lock(seen_mutex);
    return seen_changed.wait_for(lock, std::chrono::seconds(30), [&] { return starts >= n; });
}

class StartThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::lock_guard lock(seen_mutex);
        starts = 0;
        last_parameter = -1;
    }
    static ArgRecord Routine(ThreadRoutine routine) {
        ArgRecord r;
        r.SetPtr(reinterpret_cast<const void*>(routine), kTypeSubroutine);
        return r;
    }
    static ArgRecord Variable(ThreadHandle** variable) {
        ArgRecord r;
        r.SetPtr(variable, kTypeInt);
        return r;
    }
    static bool Start(std::vector<ArgRecord> args) {
        ResultRecord result;
        StartThread(&result, static_cast<int>(args.size()), args.data());
        return result.AsBool();
    }

    // A fresh run for each test; the threads it started are joined when it goes.
    RuntimeState runtime_;
};

TEST_F(StartThreadTest, WithoutParameterOrHandleTheThreadRunsOnItsOwn) {
    // The calling site passes three records, the optional ones all zero.
    EXPECT_TRUE(Start({Routine(Record), ArgRecord(), ArgRecord()}));
    ASSERT_TRUE(WaitForStarts(1));
    std::lock_guard lock(seen_mutex);
    EXPECT_EQ(last_parameter, 0);
}

TEST_F(StartThreadTest, ParameterIsPassedOnlyWhenItsRecordIsTyped) {
    EXPECT_TRUE(Start({Routine(Record), ArgRecord::Int(21)}));
    ASSERT_TRUE(WaitForStarts(1));
    {
        std::lock_guard lock(seen_mutex);
        EXPECT_EQ(last_parameter, 21);
    }
    ArgRecord untyped;
    untyped.low = 99;  // a value word without a type is not a parameter
    EXPECT_TRUE(Start({Routine(Record), untyped}));
    ASSERT_TRUE(WaitForStarts(2));
    std::lock_guard lock(seen_mutex);
    EXPECT_EQ(last_parameter, 0);
}

TEST_F(StartThreadTest, HandleVariableReceivesAnOwnedHandle) {
    ThreadHandle* variable = nullptr;
    EXPECT_TRUE(Start({Routine(Record), ArgRecord::Int(5), Variable(&variable)}));
    ASSERT_NE(variable, nullptr);
    ThreadHandle* first = variable;
    // A second start with the same variable overwrites it; the first handle
    // stays valid and is still the caller's to release.
    EXPECT_TRUE(Start({Routine(Record), ArgRecord::Int(7), Variable(&variable)}));
    ASSERT_NE(variable, nullptr);
    EXPECT_NE(variable, first);
    EXPECT_EQ(WaitForThread(first), 10);
    EXPECT_EQ(WaitForThread(variable), 14);
    EXPECT_EQ(WaitForThread(variable), 14);  // waiting again answers at once
    CloseThreadHandle(first);
    CloseThreadHandle(variable);
}

TEST_F(StartThreadTest, MissingRoutineFailsAndClearsTheVariable) {
    ThreadHandle* variable = reinterpret_cast<ThreadHandle*>(&seen_mutex);  // stale content
    EXPECT_FALSE(Start({Routine(nullptr), ArgRecord(), Variable(&variable)}));
    EXPECT_EQ(variable, nullptr);
    EXPECT_FALSE(Start({}));
}

// Routines that run until the test lets them go.
std::atomic<bool> let_go{false};
int32_t RunUntilLetGo(int32_t parameter) {
    while (!let_go.load()) std::this_thread::yield();
    return parameter;
}

TEST_F(StartThreadTest, TheLibraryKeepsAndJoinsThreadsWithoutAHandleOwner) {
    let_go = false;
    EXPECT_FALSE(KeptThreadsRunning());
    // Started without a handle, and started with one that is released while the thread runs:
    // both are the library's to join.
    EXPECT_TRUE(Start({Routine(RunUntilLetGo), ArgRecord(), ArgRecord()}));
    ThreadHandle* variable = nullptr;
    EXPECT_TRUE(Start({Routine(RunUntilLetGo), ArgRecord::Int(3), Variable(&variable)}));
    CloseThreadHandle(variable);
    EXPECT_TRUE(KeptThreadsRunning());
    let_go = true;
    JoinKeptThreads();
    EXPECT_FALSE(KeptThreadsRunning());
}

TEST(ThreadLibrary, NotifyCodesAndTheLockList) {
    RuntimeState runtime;
    size_t before = LockCount();
    ASSERT_NE(AddLock(), nullptr);
    ASSERT_NE(AddLock(), nullptr);
    EXPECT_EQ(LockCount(), before + 2);
    EXPECT_EQ(Notify(2, 0, 0), -1);
    EXPECT_EQ(Notify(7, 0, 0), -1);
    EXPECT_EQ(LockCount(), before + 2);  // other codes change nothing
    EXPECT_EQ(Notify(1, reinterpret_cast<intptr_t>(&NotifyRuntime), 0), 0);
    EXPECT_EQ(RuntimeNotifier(), &NotifyRuntime);
    EXPECT_EQ(Notify(6, 0, 0), 0);
    EXPECT_EQ(LockCount(), 0u);
}

TEST(ThreadLibrary, RegistersItsCodeUnderItsIdentifier) {
    RuntimeState runtime;
    RegisterThreadLibrary();
    std::string lower = kIdentifier;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const NativeLibrary* lib = FindRegisteredLibrary(lower);
    ASSERT_NE(lib, nullptr);
    ASSERT_EQ(lib->commands.size(), 1u);
    EXPECT_EQ(lib->commands[0], &StartThread);
    EXPECT_EQ(lib->notify, &Notify);
    LibraryInfo info = ThreadLibraryInfo();
    EXPECT_EQ(info.commandCount, 1u);
    EXPECT_EQ(info.flags, 0xC0000000u);
    EXPECT_EQ(info.name, "\xB6\xE0\xCF\xDF\xB3\xCC\xD6\xA7\xB3\xD6\xBF\xE2");
    EXPECT_TRUE(info.types.empty());
}

}  // namespace
}  // namespace kesu::thread
