#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>

#include "commands/core_commands.h"
#include "platform/gbk.h"
#include "platform/headless/headless.h"
#include "runtime/notify.h"
#include "tests/commands/command_call.h"

namespace kesu::commands {
namespace {

using namespace test;
using platform::Answer;
using SystemCommands = CommandTest;
using CommandTable = CommandTest;

class InfoBoxTest : public ::testing::Test {
  protected:
    platform::headless::HeadlessPlatform backend_;
    platform::ScopedInstall install_{backend_};
    RuntimeState runtime_;

    platform::MessageBoxRequest LastBox() {
        auto boxes = backend_.dialogs().Boxes();
        EXPECT_FALSE(boxes.empty());
        return boxes.empty() ? platform::MessageBoxRequest() : boxes.back();
    }
};

TEST_F(InfoBoxTest, AnswersMapToCodesFromZero) {
    struct Case {
        uint32_t flags;
        Answer answer;
        int code;
    } cases[] = {
        {0, Answer::Ok, 0},    {1, Answer::Cancel, 1}, {2, Answer::Abort, 2},
        {2, Answer::Retry, 3}, {2, Answer::Ignore, 4}, {4, Answer::Yes, 5},
        {4, Answer::No, 6},
    };
    for (const auto& c : cases) {
        backend_.dialogs().QueueAnswer(c.answer);
        EXPECT_EQ(Call(InfoBox, {Text("?"), Int(static_cast<int32_t>(c.flags)), Omitted()}).AsInt(),
                  c.code);
    }
}

TEST_F(InfoBoxTest, ContentCaptionAndModality) {
    Call(InfoBox, {Text("hello"), Omitted(), Omitted()});
    auto box = LastBox();
    EXPECT_EQ(box.text, "hello");
    EXPECT_EQ(box.caption, platform::Gbk("信息："));
    EXPECT_EQ(box.flags, 0x2000u);  // task-modal is added

    Call(InfoBox, {Double(0.5), Int(0x1000 | 0x40), Text(platform::Gbk("标题"))});
    box = LastBox();
    EXPECT_EQ(box.text, "0.5");
    EXPECT_EQ(box.caption, platform::Gbk("标题"));
    EXPECT_EQ(box.flags, 0x1040u);  // system-modal stays without task-modal

    ArgRecord when;
    when.SetDateTime(JoinDateTime({2020, 1, 2, 0, 0, 0}));
    Call(InfoBox, {when});
    EXPECT_EQ(LastBox().text, platform::Gbk("2020年1月2日"));
    Call(InfoBox, {Bool(false)});
    EXPECT_EQ(LastBox().text, platform::Gbk("假"));
    uint8_t raw[] = {'x'};
    uint8_t* set = MakeByteSet(raw, 1);
    Call(InfoBox, {ArgRecord::ByteSet(set)});
    EXPECT_EQ(LastBox().text, "");  // other types show as the empty text
    MemFree(set);
    // A box nobody answers takes its default button.
    EXPECT_EQ(Call(InfoBox, {Text("x"), Int(4)}).AsInt(), 5);
}

TEST_F(InfoBoxTest, BeepReachesTheSoundDevice) {
    Call(Beep, {});
    Call(Beep, {});
    EXPECT_EQ(backend_.sound().Beeps(), 2);
}

TEST_F(SystemCommands, DelayBlocksOnlyForPositiveTimes) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    Call(Delay, {Int(-100)});
    Call(Delay, {Int(0)});
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    start = Clock::now();
    Call(Delay, {Int(30)});
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
}

TEST_F(SystemCommands, NowIsLocalTimeToTheSecond) {
    std::time_t before = std::time(nullptr);
    ResultRecord r = Call(Now, {});
    std::time_t after = std::time(nullptr);
    EXPECT_EQ(r.type, kTypeDateTime);
    double days = r.AsDouble();
    double seconds = (days - std::floor(days)) * 86400;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-4);  // whole seconds only
    auto expect_near = [&](std::time_t t) {
        std::tm local{};
        localtime_r(&t, &local);
        return JoinDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec});
    };
    EXPECT_GE(days, expect_near(before) - 1e-9);
    EXPECT_LE(days, expect_near(after) + 1e-9);
}

TEST_F(SystemCommands, RunDirectoryIsEmptyBeforeStartUp) {
    EXPECT_EQ(Call(GetRunDirectory, {}).AsText(), nullptr);
}

TEST_F(CommandTable, ListOrderAndUnitMethodSlots) {
    auto list = CoreCommandList();
    ASSERT_EQ(list.size(), 34u);
    for (CommandBody body : list) EXPECT_NE(body, nullptr);
    EXPECT_EQ(list[0], &ToNumber);
    EXPECT_EQ(list[1], &ToBytes);
    EXPECT_EQ(list[6], &TextLengthCommand);
    EXPECT_EQ(list[12], &Now);
    EXPECT_EQ(list[13], &ToText);
    EXPECT_EQ(list[16], &OpenFile);
    EXPECT_EQ(list[20], &ReadText);
    EXPECT_EQ(list[21], &ToHexText);
    EXPECT_EQ(list[24], &Beep);
    EXPECT_EQ(list[27], &Delay);
    EXPECT_EQ(list[33], &FormatNumberCommand);

    // A unit method entry forwards the records untouched to the body the
    // unit type installed.
    static int seen_count;
    static uint32_t seen_window;
    static std::string seen_text;
    auto fake = [](ResultRecord* result, int argCount, ArgRecord* args) {
        seen_count = argCount;
        seen_window = args[0].low;
        seen_text = TextToString(args[1].AsText());
        result->SetInt(77);
    };
    InstallUnitMethod(UnitMethod::kAddItem, fake);
    EXPECT_EQ(InstalledUnitMethod(UnitMethod::kAddItem), static_cast<CommandBody>(fake));
    ArgRecord unit;
    unit.low = 0x52010001;
    unit.high = 0x16010007;
    unit.type = kUnitComboBox;
    static const char kItem[] = "item";
    std::vector<ArgRecord> args = {unit, ArgRecord::Text(kItem), Omitted()};
    EXPECT_EQ(CallCoreCommand(list[32], 3, args.data()).AsInt(), 77);
    EXPECT_EQ(seen_count, 3);
    EXPECT_EQ(seen_window, 0x52010001u);
    EXPECT_EQ(seen_text, "item");
    InstallUnitMethod(UnitMethod::kAddItem, nullptr);
    // Without a body the entry still looks the unit up: a loaded unit leaves
    // the result zeroed ...
    WindowServices services;
    services.findUnit = [](intptr_t window, intptr_t unit) -> intptr_t {
        return window == 0x52010001 && unit == 0x16010007 ? 1 : 0;
    };
    SetWindowServices(&services);
    EXPECT_EQ(CallCoreCommand(list[32], 3, args.data()).AsInt(), 0);
    // ... and a unit that is not loaded ends in the unit-lookup runtime error.
    args[0].high = 0x16010099;
    EXPECT_EXIT(CallCoreCommand(list[32], 3, args.data()), ::testing::ExitedWithCode(255), "");
    SetWindowServices(nullptr);
}

}  // namespace
}  // namespace kesu::commands
