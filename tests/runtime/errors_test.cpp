#include "runtime/errors.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "runtime/notify.h"
#include "runtime/sysfunc.h"
#include "tests/runtime/runtime_test_support.h"

namespace kesu {
namespace {

using test::ExitCodeOf;
using test::RecordedBoxes;

// 运行时出错!\r\n\r\n, 错误代码：, 错误信息：
const std::string kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
const std::string kCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
const std::string kMessage = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";

class RuntimeErrorTest : public ::testing::Test {
  protected:
    test::RuntimeSandbox sandbox;
};

TEST_F(RuntimeErrorTest, CodedErrorShowsCodeThenMessageInTheErrorBox) {
    EXPECT_EQ(ExitCodeOf([] { RaiseRuntimeError(4); }), -1);
    ASSERT_EQ(RecordedBoxes().size(), 1u);
    // 数组成员引用下标必须大于等于1
    EXPECT_EQ(RecordedBoxes()[0].text,
              kHeading + kCode + "4\r\n\r\n" + kMessage + RuntimeErrorMessage(4) + "\r\n");
    EXPECT_EQ(RecordedBoxes()[0].title, "\xB4\xED\xCE\xF3");  // 错误
    EXPECT_STREQ(RuntimeErrorMessage(4),
                 "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB"
                 "\xB4\xF3\xD3\xDA\xB5\xC8\xD3\xDA"
                 "1");
}

TEST_F(RuntimeErrorTest, MessageOnlyErrorHasNoCodePart) {
    EXPECT_EQ(ExitCodeOf([] { ReportRuntimeError("boom", 0); }), -1);
    EXPECT_EQ(test::LastBoxText(), kHeading + kMessage + "boom\r\n");
    // A coded error without a table message shows no message part.
    EXPECT_EQ(FormatRuntimeErrorText(nullptr, 12), kHeading + kCode + "12\r\n\r\n");
}

TEST_F(RuntimeErrorTest, WithoutPresenterTheBoxGoesToThePlatform) {
    platform::headless::HeadlessPlatform backend;
    platform::ScopedInstall install(backend);
    SetErrorBoxPresenter(nullptr);
    EXPECT_EQ(ExitCodeOf([] { RaiseRuntimeError(1); }), -1);
    auto boxes = backend.dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "\xB4\xED\xCE\xF3");  // 错误
    EXPECT_EQ(boxes[0].flags, platform::mb::kOk | platform::mb::kIconError);
    EXPECT_EQ(boxes[0].text, FormatRuntimeErrorText(RuntimeErrorMessage(1), 1));
}

TEST(RuntimeErrorMessages, ElevenCodesEachWithItsOwnMessage) {
    EXPECT_EQ(RuntimeErrorMessage(0), nullptr);
    EXPECT_EQ(RuntimeErrorMessage(12), nullptr);
    EXPECT_EQ(RuntimeErrorMessage(-1), nullptr);
    for (int a = 1; a <= 11; ++a) {
        ASSERT_NE(RuntimeErrorMessage(a), nullptr) << a;
        for (int b = a + 1; b <= 11; ++b)
            EXPECT_STRNE(RuntimeErrorMessage(a), RuntimeErrorMessage(b));
    }
    // 所提供参数的数据类型不符合要求
    EXPECT_STREQ(RuntimeErrorMessage(11),
                 "\xCB\xF9\xCC\xE1\xB9\xA9\xB2\xCE\xCA\xFD\xB5\xC4\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD"
                 "\xB2\xBB\xB7\xFB\xBA\xCF\xD2\xAA\xC7\xF3");
}

TEST_F(RuntimeErrorTest, EventsStaySuspendedFromTheErrorOn) {
    int seenDuringBox = -1;
    static int* seen = nullptr;
    seen = &seenDuringBox;
    SetErrorBoxPresenter(
        [](const std::string&, const std::string&) { *seen = EventSuspensionCount(); });
    EXPECT_EQ(ExitCodeOf([] { RaiseRuntimeError(1); }), -1);
    EXPECT_EQ(seenDuringBox, 1);
    EXPECT_TRUE(EventsSuspended());
}

int g_hookCalls = 0;
int g_hookCode = 0;

TEST_F(RuntimeErrorTest, AHookThatReportsSkipsTheBox) {
    g_hookCalls = 0;
    SetErrorHook([](int code, const char*) {
        ++g_hookCalls;
        g_hookCode = code;
        return 1;
    });
    EXPECT_EQ(ExitCodeOf([] { RaiseRuntimeError(2); }), -1);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(g_hookCode, 2);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RuntimeErrorTest, AHookAnsweringZeroLeavesTheBoxAndIsNeverReentered) {
    g_hookCalls = 0;
    // The hook itself fails: the nested error must not call it again and
    // shows the box.
    SetErrorHook([](int, const char*) -> int {
        ++g_hookCalls;
        ReportRuntimeError("inner", 0);
    });
    EXPECT_EQ(ExitCodeOf([] { ReportRuntimeError("outer", 0); }), -1);
    EXPECT_EQ(g_hookCalls, 1);
    ASSERT_EQ(RecordedBoxes().size(), 1u);
    EXPECT_NE(RecordedBoxes()[0].text.find("inner"), std::string::npos);

    RecordedBoxes().clear();
    g_hookCalls = 0;
    SetErrorHook([](int, const char*) { return ++g_hookCalls, 0; });
    EXPECT_EQ(ExitCodeOf([] { ReportRuntimeError("plain", 0); }), -1);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(RecordedBoxes().size(), 1u);
}

TEST(RuntimeErrorDeath, TheProcessExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RuntimeState runtime;
    EXPECT_EXIT(RaiseRuntimeError(5), ::testing::ExitedWithCode(255), "");
    // The notification for a message-only error ends the same way, and the
    // box text reaches standard error when no presenter is installed.
    EXPECT_EXIT(NotifyRuntime(notify::kRuntimeError, reinterpret_cast<intptr_t>("no-presenter"), 0),
                ::testing::ExitedWithCode(255), "no-presenter");
}

}  // namespace
}  // namespace kesu
