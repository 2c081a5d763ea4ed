#include "runtime/notify.h"

#include <gtest/gtest.h>

#include "runtime/errors.h"
#include "tests/runtime/allocation_limit.h"
#include "tests/runtime/runtime_test_support.h"

namespace kesu {
namespace {

using test::ExitCodeOf;
using test::LastBoxText;

class NotifyTest : public ::testing::Test {
  protected:
    test::RuntimeSandbox sandbox;
};

TEST_F(NotifyTest, SuspensionNestsAndNeverGoesBelowZero) {
    EXPECT_EQ(EventSuspensionCount(), 0);
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    EXPECT_EQ(EventSuspensionCount(), 2);
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    EXPECT_TRUE(EventsSuspended());
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    EXPECT_FALSE(EventsSuspended());
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    EXPECT_EQ(EventSuspensionCount(), 0);
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    EXPECT_EQ(EventSuspensionCount(), 1);  // one suspension after the extra resumption
}

// Waiting messages run before the counter changes, so what was already
// queued is still dispatched (or, on resumption, still dropped).
std::vector<int> g_countAtProcessing;

TEST_F(NotifyTest, WaitingMessagesRunBeforeTheCounterChanges) {
    static WindowServices services;
    services.processMessages = [] { g_countAtProcessing.push_back(EventSuspensionCount()); };
    SetWindowServices(&services);
    g_countAtProcessing.clear();
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    NotifyRuntime(notify::kProcessMessages, 0, 0);
    EXPECT_EQ(g_countAtProcessing, (std::vector<int>{0, 1, 0}));
}

TEST_F(NotifyTest, WindowCodesAnswerZeroUntilServicesAreInstalled) {
    for (int code :
         {1000, 1007, 1008, 1010, 1012, 1013, 2000, 2006, 2008, 2017, 2022, 2031, 2033}) {
        EXPECT_EQ(NotifyRuntime(code, 0x52010001, 0x16010001), 0) << code;
    }
    // Loading cannot succeed without the window part: a failure, never 0.
    EXPECT_EQ(NotifyRuntime(notify::kLoadWindow, 0, 0), -1);
    // A missing unit is a runtime error for 2007.
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kFindUnitOrFail, 0x52010001, 5); }), -1);
    EXPECT_EQ(LastBoxText(), FormatRuntimeErrorText(errmsg::kUnitMissing, 0));
}

intptr_t g_lastA1 = 0, g_lastA2 = 0;

TEST_F(NotifyTest, WindowCodesReachTheInstalledServicesWithTheirArguments) {
    static WindowServices services;
    services.findUnit = [](intptr_t w, intptr_t u) -> intptr_t {
        g_lastA1 = w;
        g_lastA2 = u;
        return u == 7 ? 0 : 0x1234;
    };
    services.raiseEvent = [](intptr_t record) -> intptr_t { return record == 42 ? 1 : 0; };
    services.unitTypeOf = [](intptr_t, intptr_t) -> intptr_t { return kUnitButton; };
    services.loadWindow = [](intptr_t) -> intptr_t { return 0; };
    SetWindowServices(&services);
    EXPECT_EQ(NotifyRuntime(notify::kFindUnit, 0x52010001, 3), 0x1234);
    EXPECT_EQ(g_lastA1, 0x52010001);
    EXPECT_EQ(g_lastA2, 3);
    EXPECT_EQ(NotifyRuntime(notify::kFindUnitOrFail, 0x52010001, 4), 0x1234);
    EXPECT_EQ(NotifyRuntime(notify::kRaiseEvent, 42, 0), 1);
    EXPECT_EQ(NotifyRuntime(notify::kUnitTypeOf, 1, 2), kUnitButton);
    EXPECT_EQ(NotifyRuntime(notify::kLoadWindow, 1, 0), 0);
    EXPECT_EQ(NotifyRuntime(notify::kRaiseTypedEvent, 1, 0), 0);  // that member is unset
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kFindUnitOrFail, 0x52010001, 7); }), -1);
}

TEST_F(NotifyTest, MemoryCodes) {
    auto* p = reinterpret_cast<char*>(NotifyRuntime(notify::kAlloc, 16, 0));
    ASSERT_NE(p, nullptr);
    p = reinterpret_cast<char*>(NotifyRuntime(notify::kRealloc, reinterpret_cast<intptr_t>(p), 64));
    p[63] = 1;
    NotifyRuntime(notify::kFree, reinterpret_cast<intptr_t>(p), 0);

    // Without checking, exhaustion gives null and the program goes on.
    SetAllocationLimitForTesting(100);
    EXPECT_EQ(NotifyRuntime(notify::kAlloc, 1000, 1), 0);
    EXPECT_EQ(NotifyRuntime(notify::kAlloc, -1, 1), 0);
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kAlloc, 1000, 0); }), -1);
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kAlloc, -8, 0); }), -1);
    // 分配 -8 字节内存失败!
    EXPECT_NE(LastBoxText().find(" -8 "), std::string::npos);
    SetAllocationLimitForTesting(0);

    const int32_t dims[] = {2};
    void* texts = AllocArray(kTypeText, dims);
    static_cast<char**>(ArrayData(texts))[0] = CopyText("leaks unless freed");
    NotifyRuntime(notify::kFreeArray, kTypeText | kTypeArrayFlag,
                  reinterpret_cast<intptr_t>(texts));

    ArgRecord r;
    r.SetDouble(-9.9);
    EXPECT_EQ(NotifyRuntime(notify::kValueToInteger, reinterpret_cast<intptr_t>(&r), 0), -9);
}

TEST_F(NotifyTest, OpenFileRegistry) {
    int a = 0, b = 0;
    auto fa = reinterpret_cast<intptr_t>(&a);
    auto fb = reinterpret_cast<intptr_t>(&b);
    EXPECT_EQ(NotifyRuntime(notify::kOpenFileAccess, fa, 0), -1);
    NotifyRuntime(notify::kRegisterOpenFile, fa, 3);
    NotifyRuntime(notify::kRegisterOpenFile, fa, 5);  // registered once: the first stays
    NotifyRuntime(notify::kRegisterOpenFile, fb, 0x1FF);
    EXPECT_EQ(NotifyRuntime(notify::kOpenFileAccess, fa, 0), 3);
    EXPECT_EQ(NotifyRuntime(notify::kOpenFileAccess, fb, 0), 0xFF);  // an access byte
    EXPECT_EQ(NotifyRuntime(notify::kUnregisterOpenFile, fa, 0), 1);
    EXPECT_EQ(NotifyRuntime(notify::kUnregisterOpenFile, fa, 0), 0);
    EXPECT_EQ(NotifyRuntime(notify::kOpenFileAccess, fa, 0), -1);
}

TEST_F(NotifyTest, FixedAnswersAndProgramEnds) {
    EXPECT_EQ(NotifyRuntime(notify::kInterfaceVersion, 0, 0), 5);
    EXPECT_EQ(NotifyRuntime(notify::kZero, 0, 0), 0);
    EXPECT_EQ(NotifyRuntime(1003, 1, 1), 0);  // reserved codes answer 0
    EXPECT_EQ(NotifyRuntime(notify::kTemplateCount, 0, 0), 0);
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kEndProgram, 7, 0); }), 7);
    {
        test::RuntimeSandbox freshRun;
        EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(notify::kEndProgramNormally, 0, 0); }), 0);
    }
    test::RuntimeSandbox freshRun;
    EXPECT_EQ(ExitCodeOf(
                  [] { NotifyRuntime(notify::kRuntimeError, reinterpret_cast<intptr_t>("m"), 0); }),
              -1);
    EXPECT_EQ(LastBoxText(), FormatRuntimeErrorText("m", 0));
}

}  // namespace
}  // namespace kesu
