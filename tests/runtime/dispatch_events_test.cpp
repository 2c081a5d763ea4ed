// Event dispatch: finding the handler through the event-source chain, the first matching binding,
// suspension, the current event source, argument passing of simple and typed records, results,
// and the three dispatch runtime errors.
#include <cstring>

#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

constexpr uint32_t kA = 0x16010001;
constexpr uint32_t kB = 0x16010002;
constexpr uint32_t kC = 0x16010003;
constexpr uint32_t kPlain = 0x16010004;

class DispatchTest : public FrameTest {
  protected:
    void SetUp() override {
        WindowTemplate w = Window(kMain);
        UnitRecord a = Record(kA, kProbeType);
        a.events = {Bind(1, 0), Bind(1, 1), Bind(2, -1), Bind(3, 5)};
        UnitRecord b = Record(kB, kProbeType);
        b.eventSource = kA;  // shares A's bindings
        UnitRecord c = Record(kC, kProbeType);
        c.eventSource = kB;  // chain C -> B -> A
        w.records = {w.records[0], a, b, c, Record(kPlain, kPlainType)};
        image.windows.push_back(w);
        Start();
        Load();
        Calls().clear();
    }
};

TEST_F(DispatchTest, FirstMatchingBindingWinsAndUnboundEventsCallNothing) {
    EXPECT_TRUE(Unit(kA)->Raise(1));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].slot, 0);
    // A binding of -1 and an event without binding find nothing.
    EXPECT_FALSE(Unit(kA)->Raise(2));
    EXPECT_FALSE(Unit(kA)->Raise(9));
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(DispatchTest, EventSourceChainSharesBindingsButReportsTheRaisingUnit) {
    EXPECT_TRUE(Unit(kC)->Raise(1));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].slot, 0);
    EXPECT_EQ(Calls()[0].source_window, kMain);
    EXPECT_EQ(Calls()[0].source_unit, kC);
}

TEST_F(DispatchTest, CyclicEventSourceChainStops) {
    LoadedWindow* w = FindLoadedWindow(kMain);
    w->tmpl->FindRecord(kA)->eventSource = kC;  // B -> A -> C -> B
    EventBinding resolved = Bind(1, 6);
    resolved.bound = true;
    resolved.handler = kCodeBase + 6;
    w->tmpl->FindRecord(kC)->events = {resolved};
    // The chain stops before it comes back to B: C's bindings answer.
    EXPECT_TRUE(Unit(kB)->Raise(1));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].slot, 6);
}

TEST_F(DispatchTest, ChainIgnoresSourcesOfAnotherType) {
    FindLoadedWindow(kMain)->tmpl->FindRecord(kB)->eventSource = kPlain;
    EXPECT_FALSE(Unit(kB)->Raise(1));  // B has no bindings of its own
}

TEST_F(DispatchTest, SuspendedEventsAreDroppedAndNest) {
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    NotifyRuntime(notify::kSuspendEvents, 0, 0);
    EXPECT_FALSE(Unit(kA)->Raise(1));
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    EXPECT_FALSE(Unit(kA)->Raise(1));
    NotifyRuntime(notify::kResumeEvents, 0, 0);
    NotifyRuntime(notify::kResumeEvents, 0, 0);  // stays at 0
    EXPECT_EQ(EventSuspensionCount(), 0);
    EXPECT_TRUE(Unit(kA)->Raise(1));
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(DispatchTest, CurrentEventSourceIsClearedWhenAnyHandlerReturns) {
    uint32_t after_nested[2] = {1, 1};
    intptr_t after_nested_result = -1;
    Script(0) = [&](auto) {
        Unit(kA)->Raise(3);  // nested handler, slot 5
        after_nested_result =
            NotifyRuntime(notify::kCurrentEventSource, reinterpret_cast<intptr_t>(after_nested), 0);
        return EventResult{};
    };
    uint32_t inside[2] = {0, 0};
    Script(5) = [&](auto) {
        NotifyRuntime(notify::kCurrentEventSource, reinterpret_cast<intptr_t>(inside), 0);
        return EventResult{};
    };
    Unit(kB)->Raise(1);
    EXPECT_EQ(inside[0], kMain);
    EXPECT_EQ(inside[1], kA);
    // The outer handler still runs, but no event counts as being handled any more.
    EXPECT_EQ(after_nested_result, 0);
    EXPECT_EQ(after_nested[0], 1u);
    uint32_t none[2] = {7, 7};
    EXPECT_EQ(NotifyRuntime(notify::kCurrentEventSource, reinterpret_cast<intptr_t>(none), 0), 0);
}

TEST_F(DispatchTest, SimpleRecordPassesArgumentsAndResult) {
    Script(0) = [](std::span<const uint32_t> args) {
        EXPECT_EQ(args.size(), 3u);
        return EventResult{true, static_cast<int64_t>(args[0] + args[1] + args[2])};
    };
    SimpleEventRecord r;
    r.window_id = kMain;
    r.unit_id = kA;
    r.event = 1;
    r.arg_count = 3;
    r.args[0] = 1;
    r.args[1] = 20;
    r.args[2] = 300;
    EXPECT_EQ(NotifyRuntime(notify::kRaiseEvent, reinterpret_cast<intptr_t>(&r), 0), 1);
    EXPECT_EQ(r.result_flag, 1);
    EXPECT_EQ(r.result_value, 321);
    // A handler without a value leaves the flag as the raiser set it.
    Script(0) = nullptr;
    SimpleEventRecord quiet = r;
    quiet.result_flag = 0;
    quiet.result_value = 0;
    EXPECT_EQ(RaiseEvent(quiet), 1);
    EXPECT_EQ(quiet.result_flag, 0);
    // The window itself is unit 0.
    SimpleEventRecord window;
    window.window_id = kMain;
    window.event = 0;
    EXPECT_EQ(RaiseEvent(window), 0);  // the window has no bindings here
}

TEST_F(DispatchTest, TypedRecordPassingRules) {
    std::vector<uint32_t> seen;
    Script(0) = [&](std::span<const uint32_t> args) {
        seen.assign(args.begin(), args.end());
        return EventResult{true, int64_t{0x0000000200000001}};
    };
    TypedEventRecord r;
    r.window_id = kMain;
    r.unit_id = kA;
    r.event = 1;
    r.arg_count = 6;
    r.args[0] = {0xFFFFFFFF, 9, kTypeByte, 0};   // byte: zero-extended low byte
    r.args[1] = {0x0000FFFF, 9, kTypeShort, 0};  // short -1: sign-extended
    double d = 1.5;
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    r.args[2] = {static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), kTypeDouble, 0};
    r.args[3] = {5, 6, kTypeDouble, 1};   // flag bit 0: the low word alone
    r.args[4] = {7, 8, kTypeInt, 2};      // flag bit 1: both words
    r.args[5] = {10, 11, 0x00010003, 0};  // that type code: both words
    EXPECT_EQ(NotifyRuntime(notify::kRaiseTypedEvent, reinterpret_cast<intptr_t>(&r), 0), 1);
    const std::vector<uint32_t> expected = {
        255, 0xFFFFFFFF, static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), 5, 7, 8,
        10,  11};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(r.result_flag, 1);
    EXPECT_EQ(r.result_low, 1u);
    EXPECT_EQ(r.result_high, 2u);

    // Long and date-time pass both words too; other types their low word.
    TypedArgument args[] = {{1, 2, kTypeLong, 0}, {3, 4, kTypeDateTime, 0}, {5, 6, kTypeText, 0}};
    EXPECT_TRUE(Unit(kA)->RaiseTyped(1, args));
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
}

TEST_F(DispatchTest, RecordCountsOutOfRangeAreHeldToTheRecord) {
    Script(0) = [](std::span<const uint32_t> args) {
        EXPECT_EQ(args.size(), 5u);
        return EventResult{};
    };
    SimpleEventRecord r;
    r.window_id = kMain;
    r.unit_id = kA;
    r.event = 1;
    r.arg_count = 99;
    EXPECT_EQ(RaiseEvent(r), 1);
    r.arg_count = -3;
    Script(0) = [](std::span<const uint32_t> args) {
        EXPECT_TRUE(args.empty());
        return EventResult{};
    };
    EXPECT_EQ(RaiseEvent(r), 1);
}

TEST_F(DispatchTest, DestroyedUnitsRaiseNothing) {
    ProbeUnit* a = Unit(kA);
    DestroyLoadedWindow(kMain);
    EXPECT_FALSE(a->Raise(1));  // still alive until the loop runs, but detached
    EXPECT_TRUE(Calls().empty());
}

TEST_F(DispatchTest, MissingWindowEndsWithItsRuntimeError) {
    SimpleEventRecord r;
    r.window_id = 0x52010077;
    EXPECT_EQ(ExitCodeOf([&] { RaiseEvent(r); }), -1);
    // 未找到引发事件的窗口
    EXPECT_NE(LastBox().find("\xCE\xB4\xD5\xD2\xB5\xBD\xD2\xFD\xB7\xA2\xCA\xC2\xBC\xFE\xB5\xC4\xB4"
                             "\xB0\xBF\xDA\r\n"),
              std::string::npos);
}

TEST_F(DispatchTest, MissingUnitEndsWithItsRuntimeError) {
    EXPECT_EQ(ExitCodeOf([] { FindEventHandler(kMain, 0x16010050, 1); }), -1);
    // 未找到引发事件的窗口组件
    EXPECT_NE(LastBox().find("\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE\r\n"), std::string::npos);
    // The program's windows were destroyed on the way out.
    EXPECT_EQ(Win(), nullptr);
}

TEST_F(DispatchTest, UnitTypeThatIsNoEventSourceEndsWithItsRuntimeError) {
    EXPECT_EQ(ExitCodeOf([] { FindEventHandler(kMain, kPlain, 1); }), -1);
    // 引发事件的窗口组件无效
    EXPECT_NE(LastBox().find("\xCE\xDE\xD0\xA7"), std::string::npos);
}

TEST(ArgumentWords, ByTypeAndFlags) {
    std::vector<uint32_t> w;
    AppendArgumentWords({0x1FF, 0, kTypeByte, 0}, w);
    AppendArgumentWords({0x8000, 0, kTypeShort, 0}, w);
    AppendArgumentWords({1, 2, kTypeEightBytes, 0}, w);
    AppendArgumentWords({3, 4, kTypeInt, 0}, w);
    AppendArgumentWords({5, 6, kTypeByte, 1}, w);  // bit 0 wins over the type
    EXPECT_EQ(w, (std::vector<uint32_t>{0xFF, 0xFFFF8000, 1, 2, 3, 5}));
}

}  // namespace
}  // namespace kesu::test
