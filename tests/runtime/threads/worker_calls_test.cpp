// Memory functions, the notification codes for memory, the suspension
// counter, the open-file list and DLL command resolution are used from
// worker threads at the same time as from the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "image_builder/image_builder.h"
#include "runtime/image.h"
#include "runtime/notify.h"
#include "runtime/sysfunc.h"
#include "runtime/value.h"
#include "tests/runtime/runtime_test_support.h"

namespace kesu {
namespace {

constexpr int kThreads = 4;

template <typename F>
void OnThreads(F body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (auto& th : threads) th.join();
}

TEST(WorkerCalls, ValuesAreAllocatedAndFreedOnEveryThread) {
    test::RuntimeSandbox sandbox;
    OnThreads([](int t) {
        for (int i = 0; i < 2000; ++i) {
            char* text = CopyText("worker text");
            uint8_t* set = MakeByteSet(text, TextLength(text));
            auto* raw = reinterpret_cast<char*>(NotifyRuntime(notify::kAlloc, 32 + t, 0));
            raw = reinterpret_cast<char*>(
                NotifyRuntime(notify::kRealloc, reinterpret_cast<intptr_t>(raw), 64));
            raw[63] = static_cast<char>(i);
            NotifyRuntime(notify::kFree, reinterpret_cast<intptr_t>(raw), 0);
            const int32_t dims[] = {3};
            void* texts = AllocArray(kTypeText, dims);
            static_cast<char**>(ArrayData(texts))[1] = text;
            FreeArray(kTypeText, texts);
            MemFree(set);
        }
    });
}

TEST(WorkerCalls, SuspensionCounterStaysConsistentUnderContention) {
    test::RuntimeSandbox sandbox;
    std::atomic<bool> negative{false};
    OnThreads([&](int t) {
        for (int i = 0; i < 5000; ++i) {
            if (t % 2 == 0) {
                SuspendEvents();
                ResumeEvents();
            } else {
                // Extra resumptions must never take the counter below 0.
                ResumeEvents();
            }
            if (EventSuspensionCount() < 0) negative = true;
        }
    });
    EXPECT_FALSE(negative);
    EXPECT_EQ(EventSuspensionCount(), 0);
}

TEST(WorkerCalls, OpenFilesRegisterFromSeveralThreads) {
    test::RuntimeSandbox sandbox;
    OnThreads([](int t) {
        for (intptr_t f = 1; f <= 500; ++f) {
            intptr_t file = f * 16 + t;
            RegisterOpenFile(file, t);
            EXPECT_EQ(OpenFileAccess(file), t);
            EXPECT_TRUE(UnregisterOpenFile(file));
        }
    });
}

TEST(WorkerCalls, DllCommandsResolveOnceWhateverThreadCallsFirst) {
    test::RuntimeSandbox sandbox;
    ProgramImage image;
    image.dllFiles = {"", "libc.so.6"};
    image.dllNames = {"labs", "abs"};
    std::vector<uint8_t> bytes = tools::BuildProgramImage(image);
    SetProgramImage(bytes);
    InitialiseRuntime();
    std::atomic<int> wrong{0};
    OnThreads([&](int t) {
        for (int i = 0; i < 200; ++i) {
            const intptr_t arg[] = {-(i + t)};
            if (CallDllCommand(i % 2, arg) != i + t) ++wrong;
        }
    });
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace kesu
