// The timer unit on the virtual clock: ticks from window creation at the template period, the
// Interval write rules, the stored block, and no ticks after the window is gone.
#include "units/timer/timer.h"

#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

constexpr uint32_t kTimer = 0x16010001;
constexpr int kInterval = 8;

class TimerTest : public FrameTest {
  protected:
    void Build(int32_t period, std::vector<uint8_t> block = {}) {
        WindowTemplate w = Window(kMain);
        UnitRecord timer = Record(kTimer, kTimerType, 0, 0, 32, 32);
        timer.typeData = block.empty() ? TimerBlock(period) : block;
        timer.events = {Bind(0, 0)};
        w.records.push_back(timer);
        image.windows.push_back(w);
        Script(0) = [this](auto) {
            ticks.push_back(loop().NowMs());
            return EventResult{};
        };
        Start();
        Load();
    }
    void WriteInterval(int32_t v) {
        WriteUnitProperty(kMain, kTimer, kInterval, 0, static_cast<uint32_t>(v), 0);
    }
    int32_t ReadInterval() {
        return static_cast<int32_t>(ReadUnitProperty(kMain, kTimer, kInterval, 0));
    }
    std::vector<uint64_t> ticks;
};

TEST_F(TimerTest, TemplatePeriodTicksFromCreation) {
    Build(150);
    loop().AdvanceBy(460);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{150, 300, 450}));
    EXPECT_EQ(ReadInterval(), 150);
    // A timer has no visible window whatever its record says.
    EXPECT_FALSE(Unit<units::TimerUnit>(kTimer)->IsVisible());
}

TEST_F(TimerTest, ZeroPeriodNeverTicksUntilWritten) {
    Build(0);
    loop().AdvanceBy(5000);
    EXPECT_TRUE(ticks.empty());
    loop().AdvanceTo(6000);
    WriteInterval(500);
    loop().AdvanceBy(1200);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{6500, 7000}));
}

TEST_F(TimerTest, SameValueKeepsThePhaseNewValueRestartsZeroStops) {
    Build(1000);
    loop().AdvanceTo(700);
    WriteInterval(1000);  // unchanged: still due at 1000
    loop().AdvanceTo(1100);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{1000}));
    WriteInterval(300);  // restarts from now
    loop().AdvanceTo(1800);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{1000, 1400, 1700}));
    WriteInterval(0);
    EXPECT_FALSE(Unit<units::TimerUnit>(kTimer)->running());
    loop().AdvanceTo(5000);
    EXPECT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ReadInterval(), 0);
}

TEST_F(TimerTest, NegativeIntervalStopsAndReadsZero) {
    Build(100);
    WriteInterval(-20);
    EXPECT_EQ(ReadInterval(), 0);
    loop().AdvanceBy(1000);
    EXPECT_TRUE(ticks.empty());
    EXPECT_FALSE(loop().HasTimer(Unit<units::TimerUnit>(kTimer)));
}

TEST_F(TimerTest, TicksStopWithTheWindow) {
    Build(100);
    loop().AdvanceTo(250);
    DestroyLoadedWindow(kMain);
    loop().AdvanceTo(1000);
    EXPECT_EQ(ticks, (std::vector<uint64_t>{100, 200}));
    EXPECT_EQ(loop().TimerCount(), 0u);
}

TEST_F(TimerTest, StoredBlockVersionsAndSave) {
    // An empty block is period 0; a newer version fails the creation and with it the load.
    EXPECT_EQ(units::TimerUnit::Create(UnitCreateInfo{})->interval(), 0);
    BlockWriter newer;
    newer.Word(2);
    newer.Word(100);
    UnitCreateInfo info;
    const std::string block = newer.Take();
    info.data = block;
    EXPECT_EQ(units::TimerUnit::Create(info), nullptr);
    const std::string truncated("\x01\0\0\0\x05", 5);
    info.data = truncated;
    EXPECT_EQ(units::TimerUnit::Create(info), nullptr);

    Build(250);
    std::string saved;
    ASSERT_EQ(Unit<units::TimerUnit>(kTimer)->Save(saved), 1);
    EXPECT_EQ(saved, std::string("\x01\0\0\0\xFA\0\0\0", 8));
    // Only the first own property exists.
    PropertyValue v;
    EXPECT_EQ(Unit<units::TimerUnit>(kTimer)->GetProperty(1, v), 0);
    v.number = 5;
    EXPECT_EQ(Unit<units::TimerUnit>(kTimer)->SetProperty(1, v), 0);
    EXPECT_EQ(ReadInterval(), 250);
}

}  // namespace
}  // namespace kesu::test
